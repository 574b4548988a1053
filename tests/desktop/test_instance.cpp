// One running player: real second launches of the player binary hand their
// file to the window listening as the running instance; junk, other users,
// crashed and stale listeners change nothing.
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>

#include "DesktopFixture.h"
#include "main/InstanceMessage.h"
#include "skins/engine/SkinForm.h"

namespace fs = std::filesystem;
using desktoptest::ConnectAbstract;

namespace {

class Instance : public desktoptest::DesktopTest {
 protected:
  // Playlist rows "Row A", "Row B" and a song "Handed" outside the playlist.
  void SetUpSongs() {
    rowA = Tone("a.mp3", 30.0, "Row A");
    rowB = Tone("b.mp3", 30.0, "Row B");
    handed = Tone("handed.mp3", 6.0, "Handed", "Guest");
    WritePlaylist({{"Row A", "", 0, cp::PathToAnsi(rowA)}, {"Row B", "", 0, cp::PathToAnsi(rowB)}});
  }
  bool WaitPlaying(const char* title, int ms = 10000) {
    return QTest::qWaitFor([&] { return Title() == title && Playing(); }, ms);
  }
  fs::path rowA, rowB, handed;
};

TEST_F(Instance, SecondLaunchPlaysItsFileFromTheTrayWithoutTouchingThePlaylist) {
  SetUpSongs();
  Start();
  Listen();
  ASSERT_TRUE(WaitReady());
  DoubleClickRow(Form().PlaylistBox(), 1);
  ASSERT_TRUE(WaitPlaying("Row B"));
  HideToTray();
  std::string playlistBefore = ReadBytes(Dir() / "playlist.txt");
  std::string playlistFile = Player().PlaylistFile();

  // Spaces around the argument are trimmed.
  EXPECT_EQ(Launch({"  " + handed.string() + "  "}), 0);
  ASSERT_TRUE(WaitPlaying("Handed"));
  EXPECT_TRUE(Form().isVisible());
  EXPECT_EQ(Player().CurrentIndex(), 1);
  EXPECT_EQ(Player().PlaylistFile(), playlistFile);
  EXPECT_EQ(Form().PlaylistBox()->Count(), 2);
  EXPECT_EQ(ReadBytes(Dir() / "playlist.txt"), playlistBefore);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Instance, LaunchWithoutArgumentsOnlyRaisesAndSeveralPlayOnlyTheFirst) {
  SetUpSongs();
  Start();
  Listen();
  ASSERT_TRUE(WaitReady());
  HideToTray();
  EXPECT_EQ(Launch({}), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Form().isVisible(); }, 3000));
  QTest::qWait(300);
  EXPECT_EQ(Player().Stream(), 0u);
  EXPECT_EQ(Player().CurrentIndex(), -1);

  Form().SkinForm()->Minimize();
  EXPECT_EQ(Launch({handed.string(), rowA.string(), rowB.string()}), 0);
  ASSERT_TRUE(WaitPlaying("Handed"));
  EXPECT_TRUE(Form().isVisible());
  QTest::qWait(500);
  EXPECT_EQ(Title(), "Handed");
  EXPECT_EQ(Player().CurrentIndex(), -1);
}

TEST_F(Instance, FileIsDroppedBeforeTheRulesAreReadAndIgnoredWhenMissing) {
  SetUpSongs();
  ruleStatus = 404;  // the rule set never becomes ready
  Start();
  Listen();
  EXPECT_EQ(Launch({handed.string()}), 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Instances()->OpenConnections() == 0; }, 3000));
  QTest::qWait(300);
  EXPECT_EQ(Player().Stream(), 0u);

  ruleStatus = 200;
  EXPECT_EQ(Launch({(Dir() / "no such.mp3").string()}), 0);
  EXPECT_EQ(Launch({Dir().string()}), 0);  // a folder
  QTest::qWait(300);
  EXPECT_EQ(Player().Stream(), 0u);
  EXPECT_TRUE(Messages().empty());
}

// A listener that died leaves nothing behind, and a name held by a socket
// that never listens does not keep the player from starting.
TEST_F(Instance, CrashedOrStaleListenerDoesNotBlockTheNextStart) {
  SetUpSongs();
  QProcess& first = Spawn({});
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return instance::HandOver(InstanceName(), {}, 200) == instance::THandOver::HandedOver;
      },
      10000));
  ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
  ASSERT_TRUE(first.waitForFinished(3000));

  Start();
  Listen();
  EXPECT_TRUE(Instances()->IsListening());
  ASSERT_TRUE(WaitReady());
  EXPECT_EQ(Launch({handed.string()}), 0);
  ASSERT_TRUE(WaitPlaying("Handed"));
  Form().close();

  // Bound, never listening: connecting is refused and so is listening.
  std::string other = InstanceName().toStdString() + "-stale";
  int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path + 1, other.data(), other.size());
  ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&addr),
                   static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + other.size())),
            0);
  TAppInstances blocked(QString::fromStdString(other));
  EXPECT_EQ(instance::HandOver(blocked.Name(), {}, 500), instance::THandOver::NoInstance);
  EXPECT_FALSE(blocked.Listen());
  ::close(stale);
}

TEST_F(Instance, AnotherUsersConnectionIsDropped) {
  SetUpSongs();
  Start();
  Listen().SetPeerUid([](qintptr) { return std::optional<uid_t>(geteuid() + 1); });
  ASSERT_TRUE(WaitReady());
  HideToTray();
  // The second launch gets no acknowledgement and still ends quietly.
  EXPECT_EQ(Launch({handed.string()}), 0);
  QTest::qWait(300);
  EXPECT_FALSE(Form().isVisible());
  EXPECT_EQ(Player().Stream(), 0u);
  EXPECT_EQ(Instances()->OpenConnections(), 0);
}

// As root the check is tried for real: a child process turned into another
// user sends a well-formed message and gets nothing.
TEST_F(Instance, RealOtherUserGetsNoAnswer) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  SetUpSongs();
  Start();
  Listen();
  ASSERT_TRUE(WaitReady());
  std::string name = InstanceName().toStdString();
  std::string bytes = instance::EncodeHandover({instance::kActivate, {handed.string()}});
  pid_t child = fork();
  if (child == 0) {
    if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) _exit(3);
    int fd = ConnectAbstract(name);
    if (fd < 0) _exit(4);
    if (send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size()))
      _exit(0);  // dropped while sending: refused too
    char ack = 0;
    _exit(recv(fd, &ack, 1, 0) == 1 ? 1 : 0);
  }
  int status = -1;
  ASSERT_TRUE(QTest::qWaitFor([&] { return waitpid(child, &status, WNOHANG) == child; }, 10000));
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  QTest::qWait(300);
  EXPECT_EQ(Player().Stream(), 0u);
}

TEST_F(Instance, ThousandJunkConnectionsLeaveThePlayerPlayingAndAnswering) {
  SetUpSongs();
  Start();
  Listen().SetTimeLimit(300);
  ASSERT_TRUE(WaitReady());
  DoubleClickRow(Form().PlaylistBox(), 0);
  ASSERT_TRUE(WaitPlaying("Row A"));

  const std::string name = InstanceName().toStdString();
  const std::string valid = instance::EncodeHandover({instance::kActivate, {handed.string()}});
  std::atomic<bool> done{false};
  std::atomic<int> connected{0};
  std::thread flood([&] {
    std::mt19937 random(7);
    std::vector<int> held;
    for (int i = 0; i < 1000; ++i) {
      int fd = ConnectAbstract(name);
      if (fd < 0) continue;
      ++connected;
      std::string junk;
      switch (i % 8) {
        case 0:  // noise
          for (int k = 0; k < 200; ++k) junk.push_back(static_cast<char>(random()));
          break;
        case 1:  // a valid message cut short, then silence
          junk = valid.substr(0, valid.size() - 3);
          break;
        case 2:  // an impossible argument count
          junk = valid.substr(0, 12) + std::string("\xff\xff\xff\x7f", 4);
          break;
        case 3:  // an argument longer than the cap
          junk = valid.substr(0, 16) + std::string("\xff\xff\xff\xff", 4);
          break;
        case 4:  // more than the cap in all
          junk = valid.substr(0, 20) + std::string(80 * 1024, 'x');
          break;
        case 5:  // a valid message with a trailing byte
          junk = valid + "!";
          break;
        case 6:  // nothing at all, held open past the time limit
          held.push_back(fd);
          fd = -1;
          break;
        default:  // connect and leave at once
          break;
      }
      if (fd >= 0) {
        if (!junk.empty()) send(fd, junk.data(), junk.size(), MSG_NOSIGNAL);
        ::close(fd);
      }
      if (held.size() >= 20) {
        for (int h : held) ::close(h);
        held.clear();
      }
    }
    for (int h : held) ::close(h);
    done = true;
  });
  bool finished = QTest::qWaitFor([&] { return done.load(); }, 60000);
  flood.join();
  ASSERT_TRUE(finished);
  EXPECT_GT(connected.load(), 900);

  EXPECT_TRUE(Playing());
  EXPECT_EQ(Title(), "Row A");
  EXPECT_EQ(Player().CurrentIndex(), 0);
  EXPECT_TRUE(Messages().empty());
  ASSERT_TRUE(QTest::qWaitFor([&] { return Instances()->OpenConnections() == 0; }, 3000));
  // Still answering: a real second launch hands over.
  EXPECT_EQ(Launch({handed.string()}), 0);
  EXPECT_TRUE(WaitPlaying("Handed"));
}

// The message layout: what is sent decodes, prefixes wait, junk is refused.
TEST(InstanceMessage, RoundTripPrefixesAndJunk) {
  using instance::TDecode;
  instance::THandover in{100, {"/music/a b.mp3", "", "\xe6\xad\x8c.mp3"}};
  std::string bytes = instance::EncodeHandover(in);
  instance::THandover out;
  ASSERT_EQ(instance::DecodeHandover(bytes, out), TDecode::Complete);
  EXPECT_EQ(out.Notification, 100u);
  EXPECT_EQ(out.Args, in.Args);
  for (size_t n = 0; n < bytes.size(); ++n)
    EXPECT_EQ(instance::DecodeHandover(std::string_view(bytes).substr(0, n), out),
              TDecode::Incomplete)
        << n;
  EXPECT_EQ(instance::DecodeHandover(bytes + "x", out), TDecode::Malformed);
  EXPECT_EQ(instance::DecodeHandover("GET / HTTP/1.0\r\n", out), TDecode::Malformed);
  std::string nul = bytes;
  nul[bytes.size() - 1] = '\0';
  EXPECT_EQ(instance::DecodeHandover(nul, out), TDecode::Malformed);

  // Arguments that cannot travel are left off from the first one, not cut.
  instance::THandover big{100, {"first", std::string(70 * 1024, 'x'), "third"}};
  ASSERT_EQ(instance::DecodeHandover(instance::EncodeHandover(big), out), TDecode::Complete);
  EXPECT_EQ(out.Args, std::vector<std::string>{"first"});
  EXPECT_EQ(out.Notification, 100u);
}

}  // namespace
