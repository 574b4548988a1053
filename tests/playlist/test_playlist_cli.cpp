// lyrano-cli playlist, end to end.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace {

using testsupport::CliRun;
using testsupport::RunCli;
using testsupport::ShellQuote;

TEST(PlaylistCli, PrintsEntriesInUtf8) {
  testsupport::TempDir dir;
  auto file = dir / "\xF0\x9F\x8E\xB6 list.txt";
  testsupport::WriteFile(file,
                         "\xC4\xE3\xBA\xC3|\xCA\xC0\xBD\xE7|0|/m/a.mp3\r\nno bar\r\nB|b|77|\r\n");
  CliRun r = RunCli("playlist " + ShellQuote(file.string()));
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out,
            "\xE4\xBD\xA0\xE5\xA5\xBD\t\xE4\xB8\x96\xE7\x95\x8C\t0\t/m/a.mp3\n"
            "B\tb\t77\t\n");
}

TEST(PlaylistCli, MalformedLineMissingFileAndUsage) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "bad.txt", "A|a|1|\r\nB|b|x|\r\nC|c|2|\r\n");
  CliRun bad = RunCli("playlist " + ShellQuote((dir / "bad.txt").string()));
  EXPECT_EQ(bad.rc, 2);
  EXPECT_EQ(bad.out, "A\ta\t1\t\n");
  EXPECT_EQ(bad.err, "'x' is not a valid integer value\n");

  CliRun missing = RunCli("playlist " + ShellQuote((dir / "none.txt").string()));
  EXPECT_EQ(missing.rc, 1);
  EXPECT_EQ(missing.out, "");

  EXPECT_EQ(RunCli("playlist a b").rc, 2);
}

}  // namespace
