// Internet streams against loopback servers: a whole file, a live stream that
// stalls and resumes, and the ways an address can fail.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <random>

#include "AudioTestUtil.h"

using namespace audiotest;
using namespace std::chrono_literals;

namespace {

class AudioUrl : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(EnsureEngine()) << BASS_ErrorText(); }
};

HSTREAM OpenUrl(const std::string& url) {
  return BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
}

// Holds a handler until opened; opened at the latest when the guard goes, so
// the server can stop.
struct Gate {
  std::mutex mutex;
  std::condition_variable cv;
  bool open = false;
  void Open() {
    {
      std::lock_guard lock(mutex);
      open = true;
    }
    cv.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return open; });
  }
};
struct OpenOnExit {
  Gate& gate;
  ~OpenOnExit() { gate.Open(); }
};

// Serves `body` chunked (no length, not seekable, like a radio), pausing at
// `stallAt` until `gate` opens. With an `icyInterval`, a client that asks for
// metadata is told that the body holds a metadata block after every
// `icyInterval` bytes of sound (see testsupport::IcyBody).
void ServeLive(httplib::Server& server, const std::string& path, const std::string& body,
               size_t stallAt, Gate& gate, size_t icyInterval = 0) {
  server.Get(path, [&body, stallAt, &gate, icyInterval](const httplib::Request& req,
                                                        httplib::Response& res) {
    if (icyInterval != 0 && req.get_header_value("Icy-MetaData") == "1")
      res.set_header("icy-metaint", std::to_string(icyInterval));
    res.set_chunked_content_provider(
        "audio/mpeg", [&body, stallAt, &gate](size_t offset, httplib::DataSink& sink) {
          if (offset >= body.size()) {
            sink.done();
            return true;
          }
          if (offset == stallAt) gate.Wait();
          size_t end = std::min(body.size(), offset + 4096);
          if (offset < stallAt) end = std::min(end, stallAt);
          return sink.write(body.data() + offset, end - offset);
        });
  });
}

TEST_F(AudioUrl, AWholeFilePlaysToItsEnd) {
  const std::string body = testsupport::ReadFile(Tone("net.mp3", Spec(1.0, 44100, 2, "-b:a 128k")));
  testsupport::LoopbackServer srv;
  srv.server().Get("/song.mp3", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(body, "audio/mpeg");
  });
  srv.Start();

  // Any case of the scheme is an address.
  std::string upper = srv.url("/song.mp3");
  upper.replace(0, 4, "HTTP");
  HSTREAM h = OpenUrl(upper);
  ASSERT_NE(h, 0u) << BASS_ErrorText();
  EXPECT_NEAR(static_cast<double>(BASS_ChannelGetLength(h, 0)), kBytesPerSecond, 1152 * 4 * 2);
  SyncRecorder rec;
  rec.Arm(h);
  ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return rec.calls > 0; }));
  EXPECT_EQ(BASS_ChannelGetPosition(h, 0), BASS_ChannelGetLength(h, 0));
  EXPECT_NEAR(static_cast<double>(BASS_ChannelGetLength(h, 0)), kBytesPerSecond, 1152 * 4);
  BASS_StreamFree(h);
}

// A live stream has no length until it ends; when its data stops it reports
// "stalled" and goes back to "playing" when data comes again.
TEST_F(AudioUrl, ALiveStreamStallsAndResumes) {
  const std::string body =
      testsupport::ReadFile(Tone("live.mp3", Spec(4.0, 44100, 2, "-b:a 128k")));
  Gate gate;
  testsupport::LoopbackServer srv;
  OpenOnExit release{gate};
  // About 1.6 s of sound, then silence on the wire.
  const size_t stallAt = 26 * 1024;
  ServeLive(srv.server(), "/live", body, stallAt, gate);
  srv.Start();

  HSTREAM h = OpenUrl(srv.url("/live"));
  ASSERT_NE(h, 0u) << BASS_ErrorText();
  EXPECT_EQ(BASS_ChannelGetLength(h, 0), BASS_ERROR_VALUE);
  // No length, no seeking.
  EXPECT_EQ(BASS_ChannelSetPosition(h, 2 * 176400, BASS_POS_BYTE), 0);
  EXPECT_EQ(BASS_ChannelGetPosition(h, 0), 0u);
  SyncRecorder rec;
  rec.Arm(h);
  ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING);

  ASSERT_TRUE(WaitUntil([&] { return BASS_ChannelIsActive(h) == BASS_ACTIVE_STALLED; }));
  QWORD stalledAt = BASS_ChannelGetPosition(h, 0);
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(BASS_ChannelGetPosition(h, 0), stalledAt);  // nothing plays while stalled
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_STALLED);
  EXPECT_EQ(rec.calls, 0);

  gate.Open();
  ASSERT_TRUE(WaitUntil([&] { return BASS_ChannelIsActive(h) == BASS_ACTIVE_PLAYING; }));
  ASSERT_TRUE(WaitUntil([&] { return BASS_ChannelGetPosition(h, 0) > stalledAt; }));
  ASSERT_TRUE(WaitUntil([&] { return rec.calls > 0; }));
  // At its end the length is known: all that played.
  EXPECT_EQ(BASS_ChannelGetLength(h, 0), BASS_ChannelGetPosition(h, 0));
  EXPECT_NEAR(static_cast<double>(BASS_ChannelGetLength(h, 0)), 4 * kBytesPerSecond, 1152 * 4);
  EXPECT_EQ(rec.calls, 1);
  BASS_StreamFree(h);
}

// A file served whole (the server takes ranges) seeks as a local one does,
// forwards and back, and still ends once.
TEST_F(AudioUrl, AServedFileSeeks) {
  const std::string body =
      testsupport::ReadFile(Tone("long.mp3", Spec(6.0, 44100, 2, "-b:a 128k")));
  testsupport::LoopbackServer srv;
  srv.server().Get("/song.mp3", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(body, "audio/mpeg");
  });
  srv.Start();
  HSTREAM h = OpenUrl(srv.url("/song.mp3"));
  ASSERT_NE(h, 0u) << BASS_ErrorText();
  SyncRecorder rec;
  rec.Arm(h);
  ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
  const QWORD second = 176400;
  ASSERT_TRUE(BASS_ChannelSetPosition(h, 5 * second, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ChannelGetPosition(h, 0), 5 * second);
  ASSERT_TRUE(WaitUntil([&] { return BASS_ChannelGetPosition(h, 0) > 5 * second + second / 10; }));
  ASSERT_TRUE(BASS_ChannelSetPosition(h, 4 * second, BASS_POS_BYTE));
  ASSERT_TRUE(WaitUntil([&] { return BASS_ChannelGetPosition(h, 0) > 4 * second + second / 10; }));
  EXPECT_LT(BASS_ChannelGetPosition(h, 0), 5 * second);
  ASSERT_TRUE(WaitUntil([&] { return rec.calls > 0; }));
  EXPECT_EQ(rec.calls, 1);
  EXPECT_EQ(BASS_ChannelGetPosition(h, 0), BASS_ChannelGetLength(h, 0));
  BASS_StreamFree(h);
}

TEST_F(AudioUrl, FreeingAStalledStreamDoesNotWaitForTheServer) {
  const std::string body = testsupport::ReadFile(Tone("net.mp3", Spec(1.0, 44100, 2, "-b:a 128k")));
  Gate gate;
  testsupport::LoopbackServer srv;
  OpenOnExit release{gate};
  ServeLive(srv.server(), "/live", body, 12 * 1024, gate);
  srv.Start();
  HSTREAM h = OpenUrl(srv.url("/live"));
  ASSERT_NE(h, 0u) << BASS_ErrorText();
  ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return BASS_ChannelIsActive(h) == BASS_ACTIVE_STALLED; }));
  // The decoder thread is blocked reading the socket; freeing must cut it loose
  // (a hang here is what the test catches).
  EXPECT_EQ(BASS_StreamFree(h), 1);
  EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
}

std::string Tags(HSTREAM h) {
  const char* text = BASS_ChannelGetTags(h, BASS_TAG_META);
  return text != nullptr ? text : "(none)";
}

// A radio that sends metadata: the engine reports the first packet it sent
// (without its control character), then the second once it has come. The
// server holds the second back until the first has been seen.
TEST_F(AudioUrl, ARadiosMetadataIsReportedAsItChanges) {
  const std::string audio =
      testsupport::ReadFile(Tone("radio.mp3", Spec(4.0, 44100, 2, "-b:a 128k")));
  const std::string first = "StreamTitle='First \x01Singer - Song; it's one';StreamUrl='';";
  const std::string second = "StreamTitle='Second Singer - Another';";
  const size_t interval = 8192;
  std::vector<size_t> blocks;
  const std::string body =
      testsupport::IcyBody(audio, interval, {{1, first}, {4, second}}, &blocks);
  const size_t stallAt = blocks[3];
  Gate gate;
  testsupport::LoopbackServer srv;
  OpenOnExit release{gate};
  // Only a client that asks for metadata gets it.
  ServeLive(srv.server(), "/radio", body, stallAt, gate, interval);
  srv.Start();

  HSTREAM h = OpenUrl(srv.url("/radio"));
  ASSERT_NE(h, 0u) << BASS_ErrorText();
  SyncRecorder rec;
  rec.Arm(h);
  ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
  const std::string firstSeen = "StreamTitle='First Singer - Song; it's one';StreamUrl='';";
  ASSERT_TRUE(WaitUntil([&] { return Tags(h) == firstSeen; })) << Tags(h);
  EXPECT_EQ(BASS_ChannelGetTags(h, BASS_TAG_META + 1), nullptr);  // another type
  gate.Open();
  ASSERT_TRUE(WaitUntil([&] { return Tags(h) == second; })) << Tags(h);
  // The metadata was taken out of the sound: all four seconds play, no more.
  ASSERT_TRUE(WaitUntil([&] { return rec.calls > 0; }));
  EXPECT_NEAR(static_cast<double>(BASS_ChannelGetLength(h, 0)), 4 * kBytesPerSecond, 1152 * 4);
  EXPECT_EQ(Tags(h), second);
  BASS_StreamFree(h);
  EXPECT_EQ(BASS_ChannelGetTags(h, BASS_TAG_META), nullptr);
}

// Streams without metadata report none: an address whose server sends none,
// a local file, no stream at all.
TEST_F(AudioUrl, StreamsWithoutMetadataReportNone) {
  const std::string body = testsupport::ReadFile(Tone("net.mp3", Spec(1.0, 44100, 2, "-b:a 128k")));
  Gate gate;
  testsupport::LoopbackServer srv;
  OpenOnExit release{gate};
  ServeLive(srv.server(), "/live", body, body.size(), gate);
  srv.Start();
  HSTREAM h = OpenUrl(srv.url("/live"));
  ASSERT_NE(h, 0u) << BASS_ErrorText();
  ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return BASS_ChannelGetPosition(h, 0) > 0; }));
  EXPECT_EQ(BASS_ChannelGetTags(h, BASS_TAG_META), nullptr);
  gate.Open();
  BASS_StreamFree(h);

  HSTREAM file = OpenFile(Tone("net.mp3", Spec(1.0, 44100, 2, "-b:a 128k")));
  ASSERT_NE(file, 0u) << BASS_ErrorText();
  EXPECT_EQ(BASS_ChannelGetTags(file, BASS_TAG_META), nullptr);
  BASS_StreamFree(file);
  EXPECT_EQ(BASS_ChannelGetTags(0, BASS_TAG_META), nullptr);
}

// A restart is a new connection: what the one before announced is gone.
TEST_F(AudioUrl, ARestartForgetsThePreviousConnectionsMetadata) {
  const std::string audio =
      testsupport::ReadFile(Tone("net.mp3", Spec(1.0, 44100, 2, "-b:a 128k")));
  const std::string body = testsupport::IcyBody(audio, 4096, {{1, "StreamTitle='Once';"}});
  std::atomic<int> requests{0};
  testsupport::LoopbackServer srv;
  srv.server().Get("/once", [&](const httplib::Request& req, httplib::Response& res) {
    if (requests++ == 0 && req.get_header_value("Icy-MetaData") == "1") {
      res.set_header("icy-metaint", "4096");
      res.set_content(body, "audio/mpeg");
    } else {
      res.set_content(audio, "audio/mpeg");
    }
  });
  srv.Start();
  HSTREAM h = OpenUrl(srv.url("/once"));
  ASSERT_NE(h, 0u) << BASS_ErrorText();
  SyncRecorder rec;
  rec.Arm(h);
  ASSERT_EQ(BASS_ChannelPlay(h, 0), 1);
  ASSERT_TRUE(WaitUntil([&] { return Tags(h) == "StreamTitle='Once';"; })) << Tags(h);
  ASSERT_TRUE(WaitUntil([&] { return rec.calls > 0; }));
  ASSERT_EQ(BASS_ChannelPlay(h, 1), 1);
  EXPECT_EQ(requests.load(), 2);
  EXPECT_EQ(BASS_ChannelGetTags(h, BASS_TAG_META), nullptr);
  BASS_StreamFree(h);
}

TEST_F(AudioUrl, AddressesThatCannotPlayReturnZero) {
  std::string noise(64 * 1024, '\0');
  std::mt19937 rng(7);
  for (char& c : noise) c = static_cast<char>(rng());
  testsupport::LoopbackServer srv;
  srv.server().Get("/garbage.mp3", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(noise, "audio/mpeg");
  });
  srv.server().Get("/page.mp3", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content("<html><body>Not here</body></html>", "text/html");
  });
  srv.Start();
  auto path = Tone("net.mp3", Spec(1.0, 44100, 2, "-b:a 128k"));
  const std::string urls[] = {
      srv.url("/missing.mp3"),  // 404
      srv.url("/garbage.mp3"),
      srv.url("/page.mp3"),
      "http://127.0.0.1:1/refused.mp3",
      "ftp://127.0.0.1/song.mp3",
      "file://" + path.string(),
      "rtsp://127.0.0.1/stream",
      "://nothing",
      srv.url("/song.mp3\r\nX-Injected: 1"),
      "",
  };
  for (const std::string& url : urls) {
    SCOPED_TRACE(url);
    EXPECT_EQ(OpenUrl(url), 0u);
    EXPECT_STRNE(BASS_ErrorText(), "");
  }
}

// A server that takes the connection and never answers: the open gives up after
// its wait bound instead of blocking the player.
TEST_F(AudioUrl, AServerThatNeverAnswersIsGivenUp) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(fd, 4), 0);  // the kernel accepts; nobody ever reads or writes
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  std::string url = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/song.mp3";
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OpenUrl(url), 0u);
  // Only a hang guard: the bound is one wait of 3 s with a wide margin.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
  close(fd);
}

}  // namespace
