// lyrano-cli lrc, end to end.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace {

using testsupport::CliRun;
using testsupport::RunCli;
using testsupport::ShellQuote;

TEST(LrcCli, PrintsTheSortedTimelineInUtf8) {
  testsupport::TempDir dir;
  // The file name arrives in UTF-8 and is not GBK; the text is GBK bytes.
  auto file = dir / "\xEB\x85\xB8\xEB\x9E\x98 song.lrc";
  testsupport::WriteFile(
      file, "[ar:x]\r\n[00:03.20]\xCA\xC0\xBD\xE7\ta\\b\r\n[00:01]\xC4\xE3\xBA\xC3\r\n");
  CliRun r = RunCli("lrc " + ShellQuote(file.string()));
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "1\t\xE4\xBD\xA0\xE5\xA5\xBD\n3\t\xE4\xB8\x96\xE7\x95\x8C\\ta\\\\b\n");
}

TEST(LrcCli, MissingFileAndUsage) {
  testsupport::TempDir dir;
  CliRun missing = RunCli("lrc " + ShellQuote((dir / "none.lrc").string()));
  EXPECT_EQ(missing.rc, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err, "");

  EXPECT_EQ(RunCli("lrc").rc, 2);
  testsupport::WriteFile(dir / "empty.lrc", "");
  CliRun empty = RunCli("lrc " + ShellQuote((dir / "empty.lrc").string()));
  EXPECT_EQ(empty.rc, 0);
  EXPECT_EQ(empty.out, "");
}

}  // namespace
