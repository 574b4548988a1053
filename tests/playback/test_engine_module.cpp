// The audio engine is a module loaded on first need: without it, or with a
// broken one, the output cannot be opened and nothing plays, with the reason
// given; nothing crashes. Run through lyrano-cli so each case starts afresh.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "AudioTestUtil.h"

using namespace audiotest;

namespace {

namespace fs = std::filesystem;

class EngineModule : public ::testing::Test {
 protected:
  testsupport::CliRun Play(const fs::path& moduleDir) {
    return testsupport::RunCli(
        "play " + testsupport::ShellQuote(Tone("module.mp3", Spec(0.4)).string()),
        "LYRANO_MODULE_DIR=" + testsupport::ShellQuote(moduleDir.string()));
  }
};

TEST_F(EngineModule, PlaysWithTheModuleFromItsFolder) {
  auto run = Play(LYRANO_BINARY_DIR);
  EXPECT_EQ(run.rc, 0) << run.err;
  EXPECT_NE(run.out.find("end"), std::string::npos) << run.out;
}

TEST_F(EngineModule, MissingModuleIsAnOutputThatCannotBeOpened) {
  testsupport::TempDir dir;
  auto run = Play(dir.path());
  EXPECT_EQ(run.rc, 1);
  EXPECT_NE(run.err.find("cannot open the audio output: the audio engine cannot be loaded: "
                         "lyrano-audio.so was not found"),
            std::string::npos)
      << run.err;
}

TEST_F(EngineModule, BrokenOrForeignModuleIsAnErrorNotACrash) {
  testsupport::TempDir dir;
  // The real module cut short after its headers, then another module under its name.
  std::string bytes = testsupport::ReadFile(fs::path(LYRANO_BINARY_DIR) / "lyrano-audio.so");
  testsupport::WriteFile(dir.path() / "lyrano-audio.so", bytes.substr(0, 4096));
  auto truncated = Play(dir.path());
  EXPECT_EQ(truncated.rc, 1);
  EXPECT_NE(truncated.err.find("the audio engine cannot be loaded"), std::string::npos)
      << truncated.err;

  fs::remove(dir.path() / "lyrano-audio.so");
  fs::copy_file(fs::path(LYRANO_BINARY_DIR) / "lyrano-web.so", dir.path() / "lyrano-audio.so");
  auto foreign = Play(dir.path());
  EXPECT_EQ(foreign.rc, 1);
  EXPECT_NE(foreign.err.find("has no entry point lyrano_audio_engine"), std::string::npos)
      << foreign.err;
}

}  // namespace
