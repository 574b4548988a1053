// lyrano-cli match and fetch, and the rules every command shares, run as processes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace {

using testsupport::CliCommand;
using testsupport::ShellQuote;

class CliBase : public ::testing::Test {
 protected:
  void SetUp() override {
    cli_ = testsupport::BuiltProgram("lyrano-cli");
    if (!std::filesystem::exists(cli_)) GTEST_SKIP() << "lyrano-cli is not built";
  }
  int Run(const std::string& args, std::string* out) {
    return testsupport::RunCommand(CliCommand(args), out);
  }
  std::filesystem::path cli_;
};

TEST_F(CliBase, MatchListsEveryMatchAndGroup) {
  testsupport::TempDir dir;
  // GBK bytes in the file, the pattern in UTF-8 (歌 is B8 E8 in GBK).
  testsupport::WriteFile(dir / "page.txt", "<B>\xB8\xE8</b>\n<b>x\ty</b><b></b>");
  std::string out;
  EXPECT_EQ(Run("match " + ShellQuote("<b>(\xE6\xAD\x8C|x(\\s)y)</b>") + " " +
                    ShellQuote((dir / "page.txt").string()),
                &out),
            0);
  EXPECT_EQ(out,
            "0\t0\t<B>\xE6\xAD\x8C</b>\n0\t1\t\xE6\xAD\x8C\n0\t2\t\n"
            "1\t0\t<b>x\\ty</b>\n1\t1\tx\\ty\n1\t2\t\\t\n");
}

TEST_F(CliBase, MatchReadsStdinAndReportsFailures) {
  std::string out;
  EXPECT_EQ(Run("match 'b(.)' < /dev/null", &out), 1);
  EXPECT_EQ(out, "");
  out.clear();
  EXPECT_EQ(testsupport::RunCommand("printf 'ab\\0bc' | " + CliCommand("match 'b(.?)'"), &out), 0);
  EXPECT_EQ(out, "0\t0\tb\n0\t1\t\n");  // the NUL ends the input
  out.clear();
  EXPECT_EQ(Run("match '(a*)*' /dev/null 2>&1", &out), 2);
  EXPECT_NE(out.find("empty"), std::string::npos) << out;
  out.clear();
  // A missing file is an expected failure, not a raised error.
  EXPECT_EQ(Run("match 'a' /no/such/file 2>&1", &out), 1);
  EXPECT_NE(out.find("/no/such/file"), std::string::npos) << out;
}

TEST_F(CliBase, FetchWritesThePageInTheLocalCodePage) {
  testsupport::LoopbackServer server;
  server.server().Get("/song", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<i>\xE6\xAD\x8C</i>", "application/octet-stream");
  });
  server.server().Get("/gone",
                      [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
  server.Start();
  std::string out;
  EXPECT_EQ(Run("fetch " + ShellQuote(server.url("/song")), &out), 0);
  EXPECT_EQ(out, "<i>\xB8\xE8</i>");
  out.clear();
  EXPECT_EQ(Run("fetch " + ShellQuote(server.url("/gone")) + " 2>/dev/null", &out), 1);
  EXPECT_EQ(out, "");
}

TEST_F(CliBase, HelpListsEveryCommandAndUsageErrorsExitTwo) {
  std::string out;
  EXPECT_EQ(Run("--help", &out), 0);
  for (const char* name : {"tags", "lrc", "playlist", "match", "fetch", "rules", "search", "page",
                           "resolve", "find", "play"}) {
    EXPECT_NE(out.find("\n  " + std::string(name) + " "), std::string::npos) << name;
  }
  for (const char* args : {"", "nosuchcommand", "tags", "match", "fetch", "fetch a b", "rules x",
                           "resolve", "find", "page"}) {
    out.clear();
    EXPECT_EQ(Run(std::string(args) + " 2>/dev/null", &out), 2) << args;
    EXPECT_EQ(out, "") << args;
  }
}

// Arguments arrive in UTF-8; one that is not UTF-8 is a conversion error before
// anything is read or fetched, never a name quietly full of '?'.
TEST_F(CliBase, ArgumentsThatAreNotUtf8AreRaisedErrors) {
  for (const char* args :
       {"tags ok.mp3 $'\\xC4\\xE3.mp3'", "lrc $'\\xFF.lrc'", "playlist $'\\xFF'",
        "match $'\\xB8\\xE8' /dev/null", "fetch $'http://127.0.0.1:1/\\xFF'", "search $'\\xFF'",
        "resolve $'1\\xFF'", "find $'\\xFF'", "play $'\\xFF.mp3'"}) {
    std::string out;
    EXPECT_EQ(testsupport::RunCommand(
                  "bash -c " + ShellQuote(CliCommand(args) + " 2>&1 >/dev/null"), &out),
              2)
        << args;
    EXPECT_NE(out.find("not valid UTF-8"), std::string::npos) << args << ": " << out;
  }
}

TEST_F(CliBase, OutputThatCannotBeWrittenIsNoSuccess) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::string out;
  EXPECT_EQ(Run("tags /no/such.mp3 >/dev/full 2>&1", &out), 2);
}

}  // namespace
