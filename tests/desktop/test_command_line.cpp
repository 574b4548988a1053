// The command line as a user types it: help and the version answer at once
// and never reach a running player, unknown options are refused, and a file
// named relative to the launch's own folder, or with a name that is not
// UTF-8, is the file that plays, started first or handed over.
#include "DesktopFixture.h"
#include "common/codepage.h"
#include "main/CommandLine.h"

namespace fs = std::filesystem;

namespace {

class CommandLine : public desktoptest::DesktopTest {
 protected:
  bool WaitPlaying(const char* title, int ms = 10000) {
    return QTest::qWaitFor([&] { return Title() == title && Playing(); }, ms);
  }
  // Counts what reaches the running player from second launches.
  void CountArrivals() {
    QObject::connect(Instances(), &TAppInstances::UserNotify, [this](int) { ++arrivals; });
  }
  int arrivals = 0;
};

// A finished launch: its exit code (-1 when it did not end) and its output.
struct TRun {
  int Code = -1;
  QByteArray Out;
};

TEST_F(CommandLine, HelpAndVersionPrintAndEndWithoutReachingThePlayer) {
  auto run = [&](const std::vector<std::string>& args) {
    QProcess& p = Spawn(args);
    TRun r;
    if (!p.waitForFinished(15000)) return r;
    r.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.Out = p.readAllStandardOutput();
    return r;
  };
  // With no player running, help does not start one.
  TRun help = run({"--help"});
  EXPECT_EQ(help.Code, 0);
  EXPECT_TRUE(help.Out.startsWith("Usage: lyrano")) << help.Out.toStdString();
  EXPECT_TRUE(help.Out.contains("--version"));
  EXPECT_TRUE(QString::fromUtf8(help.Out).toUtf8() == help.Out);  // UTF-8

  Start();
  Listen();
  CountArrivals();
  ASSERT_TRUE(WaitReady());
  HideToTray();
  EXPECT_EQ(run({"-h"}).Out, help.Out);
  EXPECT_EQ(run({"a.mp3", "--help"}).Code, 0);
  TRun version = run({"--version"});
  EXPECT_EQ(version.Code, 0);
  EXPECT_TRUE(version.Out.startsWith("Lyrano 1.")) << version.Out.toStdString();
  EXPECT_TRUE(version.Out.endsWith("\n"));
  QTest::qWait(300);
  EXPECT_EQ(arrivals, 0);
  EXPECT_FALSE(Form().isVisible());
}

TEST_F(CommandLine, UnknownOptionIsRefusedAndAFileSoNamedPassesAfterDoubleDash) {
  fs::path tone = Tone("tone.mp3", 6.0, "Dashed");
  fs::create_directories(Dir() / "music");
  fs::rename(tone, Dir() / "music" / "--help");
  Start();
  Listen();
  CountArrivals();
  ASSERT_TRUE(WaitReady());

  QProcess& p = Spawn({"--no-such-option", (Dir() / "music" / "--help").string()});
  ASSERT_TRUE(p.waitForFinished(15000));
  EXPECT_EQ(p.exitCode(), 2);
  EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
  QTest::qWait(300);
  EXPECT_EQ(arrivals, 0);
  EXPECT_EQ(Player().Stream(), 0u);

  // Relative, after "--": the file in the launch's folder.
  EXPECT_EQ(LaunchBytes(Dir() / "music", {"--", "--help"}), 0);
  EXPECT_TRUE(WaitPlaying("Dashed"));
  EXPECT_EQ(arrivals, 1);
}

// The running player's own folder is not the launch's: a relative name means
// the folder the second launch was started in.
TEST_F(CommandLine, RelativeNameIsTheFileInTheLaunchFolder) {
  fs::create_directories(Dir() / "Music" / "sub");
  fs::rename(Tone("r.mp3", 6.0, "Relative"), Dir() / "Music" / "song.mp3");
  fs::rename(Tone("s.mp3", 6.0, "Deeper"), Dir() / "Music" / "sub" / "deeper.mp3");
  Start();
  Listen();
  ASSERT_TRUE(WaitReady());

  EXPECT_EQ(LaunchBytes(Dir() / "Music", {"song.mp3"}), 0);
  EXPECT_TRUE(WaitPlaying("Relative"));
  EXPECT_EQ(LaunchBytes(Dir() / "Music" / "sub", {"  ../sub/./deeper.mp3 "}), 0);
  EXPECT_TRUE(WaitPlaying("Deeper"));
}

// GBK bytes, as an archive made elsewhere leaves them: no UTF-8.
TEST_F(CommandLine, NameThatIsNotUtf8PlaysHandedOverAndAtStart) {
  const std::string gbk = "\xB8\xE8\xD2\xA5.mp3";  // "song" in GBK
  fs::path file = Dir() / "gbk" / gbk;
  fs::create_directories(file.parent_path());
  fs::rename(Tone("g.mp3", 6.0, "Undecoded"), file);
  ASSERT_TRUE(fs::exists(file));

  // The first argument, as the process entry turns it into internal text.
  Start({cp::PathToAnsi(file)});
  Listen();
  ASSERT_TRUE(WaitReady());
  EXPECT_TRUE(WaitPlaying("Undecoded"));
  Player().Stop();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Playing(); }, 3000));

  // Handed over, absolute and relative.
  EXPECT_EQ(LaunchBytes(Dir(), {file.string()}), 0);
  EXPECT_TRUE(WaitPlaying("Undecoded"));
  Player().Stop();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Playing(); }, 3000));
  EXPECT_EQ(LaunchBytes(file.parent_path(), {gbk}), 0);
  EXPECT_TRUE(WaitPlaying("Undecoded"));
}

TEST(CommandLineParse, OptionsFilesAndFolders) {
  using cmdline::TAction;
  struct Row {
    std::vector<std::string> args;
    TAction action;
    std::vector<std::string> files;
  };
  const std::vector<Row> rows = {
      {{}, TAction::Run, {}},
      {{"a.mp3", "/b.mp3", "../c d.mp3"}, TAction::Run, {"/w/a.mp3", "/b.mp3", "/w/../c d.mp3"}},
      {{" a.mp3\t", "  /b.mp3 ", ""}, TAction::Run, {"/w/a.mp3", "  /b.mp3 ", ""}},
      {{"-x", "-"}, TAction::Run, {"/w/-x", "/w/-"}},  // single dashes are names
      {{"--", "--help", "-h", "--"}, TAction::Run, {"/w/--help", "/w/-h", "/w/--"}},
      {{"a.mp3", "-h"}, TAction::Help, {}},
      {{"--version", "--help"}, TAction::Version, {}},
      {{"--helpme"}, TAction::Refuse, {}},
      {{"a.mp3", "--", "b.mp3"}, TAction::Run, {"/w/a.mp3", "/w/b.mp3"}},
      {{"\xB8\xE8.mp3"}, TAction::Run, {"/w/\xB8\xE8.mp3"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.args));
    cmdline::TCommandLine line = cmdline::Parse(row.args, "/w");
    EXPECT_EQ(line.Action, row.action);
    EXPECT_EQ(line.Files, row.files);
  }
  EXPECT_EQ(cmdline::Parse({"x", "--bad opt"}, "/w").Option, "--bad opt");
  EXPECT_EQ(cmdline::Absolute("a.mp3", "/w/"), "/w/a.mp3");
  EXPECT_EQ(cmdline::Absolute("a.mp3", ""), "a.mp3");  // no working folder known
}

}  // namespace
