// lyrano-cli play, run as a process on the dummy output driver.
#include <gtest/gtest.h>

#include <charconv>
#include <sstream>
#include <string>
#include <vector>

#include "AudioTestUtil.h"

using namespace audiotest;

namespace {

using testsupport::ShellQuote;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> f;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) f.push_back(field);
  return f;
}

double Number(const std::string& text) {
  double v = -1;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  return ec == std::errc() && ptr == text.data() + text.size() ? v : -1;
}

class CliPlay : public ::testing::Test {
 protected:
  void SetUp() override {
    cli_ = testsupport::BuiltProgram("lyrano-cli");
    if (!std::filesystem::exists(cli_)) GTEST_SKIP() << "lyrano-cli is not built";
  }
  int Run(const std::string& args, std::string* out) {
    return testsupport::RunCommand(testsupport::CliCommand("play " + args + " 2>&1"), out);
  }
  std::filesystem::path cli_;
};

TEST_F(CliPlay, PrintsTheStateEverySecondAndTheEnd) {
  testsupport::TempDir dir;
  // A name in UTF-8 on the command line ("歌.mp3").
  auto file = dir / "\xE6\xAD\x8C.mp3";
  std::filesystem::copy_file(Tone("cli.mp3", Spec(1.3)), file);
  std::string out;
  ASSERT_EQ(Run(ShellQuote(file.string()) + " --volume 0.5", &out), 0) << out;
  std::vector<std::string> lines = Lines(out);
  ASSERT_GE(lines.size(), 3u) << out;
  EXPECT_EQ(lines.back(), "end");
  double last = -1;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    std::vector<std::string> f = Fields(lines[i]);
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[0], "state");
    EXPECT_EQ(f[1], "1");
    // Two decimals, growing, within the length.
    EXPECT_EQ(f[2].size() - f[2].find('.'), 3u);
    double position = Number(f[2]);
    double length = Number(f[3]);
    EXPECT_GE(position, last);
    EXPECT_NEAR(length, 1.3, 0.05);
    EXPECT_LE(position, length);
    last = position;
  }
}

TEST_F(CliPlay, StopsAfterTheGivenSeconds) {
  std::string out;
  ASSERT_EQ(Run(ShellQuote(Tone("three.mp3", Spec(3.0)).string()) + " --seconds 0.3", &out), 0)
      << out;
  std::vector<std::string> lines = Lines(out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().rfind("state\t", 0), 0u);  // no "end": it was cut short
}

TEST_F(CliPlay, FailedOpensAndUsageErrors) {
  testsupport::TempDir dir;
  auto tone = Tone("three.mp3", Spec(3.0)).string();
  struct Row {
    std::string args;
    int rc;
  };
  const Row rows[] = {
      {ShellQuote((dir / "missing.mp3").string()), 1},
      {ShellQuote("ftp://127.0.0.1/song.mp3"), 1},  // "://" makes it an address
      {"", 2},
      {ShellQuote(tone) + " --volume 2", 2},
      {ShellQuote(tone) + " --volume loud", 2},
      {ShellQuote(tone) + " --seconds", 2},
      {ShellQuote(tone) + " --seconds -1", 2},
      {ShellQuote(tone) + " " + ShellQuote(tone), 2},
      {ShellQuote(tone) + " --speed 2", 2},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.args);
    std::string out;
    EXPECT_EQ(Run(r.args, &out), r.rc) << out;
    EXPECT_FALSE(out.empty());  // a reason or the usage line
  }
}

}  // namespace
