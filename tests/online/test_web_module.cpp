// The HTTP client is a module loaded by the first fetch: without it, or with a
// broken one, a fetch fails like an unreachable address and an address cannot
// be combined; nothing crashes. Run through lyrano-cli so each case starts afresh.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ShellQuote;

class WebModule : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.server().Get("/page", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<p>ok</p>", "text/html");
    });
    server_.Start();
  }
  testsupport::CliRun Fetch(const fs::path& moduleDir) {
    return testsupport::RunCli("fetch " + ShellQuote(server_.url("/page")),
                               "LYRANO_MODULE_DIR=" + ShellQuote(moduleDir.string()));
  }
  testsupport::LoopbackServer server_;
};

TEST_F(WebModule, FetchesWithTheModuleFromItsFolder) {
  auto run = Fetch(LYRANO_BINARY_DIR);
  EXPECT_EQ(run.rc, 0) << run.err;
  EXPECT_EQ(run.out, "<p>ok</p>");
}

TEST_F(WebModule, MissingOrBrokenModuleFailsTheFetchLikeADeadAddress) {
  testsupport::TempDir dir;
  auto missing = Fetch(dir.path());
  EXPECT_EQ(missing.rc, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("fetch failed"), std::string::npos) << missing.err;

  testsupport::WriteFile(dir.path() / "lyrano-web.so",
                         "\x7f"
                         "ELF but nothing more");
  auto broken = Fetch(dir.path());
  EXPECT_EQ(broken.rc, 1);
  EXPECT_EQ(broken.out, "");
}

}  // namespace
