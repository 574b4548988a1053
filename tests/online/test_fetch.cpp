// Page fetching against loopback servers: request fields, transfer and content
// codings, redirects and cookies, failures, stalls, limits and the code-page
// step; and the UTF-8 classification.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "online/IEgetHttp.h"
#include "support/TestSupport.h"

namespace {

using namespace std::string_literals;
using IEgetHttp::Utf8Class;

using testsupport::Gate;

// "compressed 中 page" in UTF-8, as gzip and as zlib-wrapped deflate.
const std::string kGzipBody =
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x4b\xce\xcf\x2d\x28\x4a\x2d\x2e\x4e\x4d\x51\x78\xb2"
    "\x63\xad\x42\x41\x62\x7a\x2a\x00\x77\x45\x66\x71\x13\x00\x00\x00"s;
const std::string kDeflateBody =
    "\x78\x9c\x4b\xce\xcf\x2d\x28\x4a\x2d\x2e\x4e\x4d\x51\x78\xb2\x63\xad\x42\x41\x62\x7a\x2a\x00"
    "\x53\x31\x08\x5c"s;
const std::string kPlainUtf8 = "compressed \xE4\xB8\xAD page";
const std::string kPlainAnsi = "compressed \xD6\xD0 page";

constexpr size_t kLimit = size_t{32} << 20;

// Serves `total` bytes of 'z' in 1 MiB pieces, with or without a length.
void ServeBytes(httplib::Response& res, size_t total, bool withLength) {
  static const std::string piece(1 << 20, 'z');
  if (withLength) {
    res.set_content_provider(total, "application/octet-stream",
                             [](size_t, size_t length, httplib::DataSink& sink) {
                               return sink.write(piece.data(), std::min(piece.size(), length));
                             });
  } else {
    res.set_chunked_content_provider(
        "application/octet-stream",
        [total, sent = size_t{0}](size_t, httplib::DataSink& sink) mutable {
          if (sent >= total) {
            sink.done();
            return true;
          }
          size_t n = std::min(piece.size(), total - sent);
          sent += n;
          return sink.write(piece.data(), n);
        });
  }
}

class FetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& s = server_.server();
    s.Get("/echo", [](const httplib::Request& req, httplib::Response& res) {
      std::string out;
      for (const char* name :
           {"Accept", "Accept-Language", "User-Agent", "Accept-Encoding", "Host", "Connection",
            "Cookie", "Cache-Control", "Pragma", "Authorization", "Proxy-Authorization"}) {
        if (req.has_header(name))
          out += std::string(name) + ": " + req.get_header_value(name) + "\n";
      }
      res.set_content(out, "application/octet-stream");
    });
    s.Get("/gzip", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kGzipBody, "application/octet-stream");
      res.set_header("Content-Encoding", "gzip");
    });
    s.Get("/deflate", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(kDeflateBody, "application/octet-stream");
      res.set_header("Content-Encoding", "deflate");
    });
    s.Get("/chunked", [](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("application/octet-stream",
                                       [n = 0](size_t, httplib::DataSink& sink) mutable {
                                         if (n == 3) {
                                           sink.done();
                                           return true;
                                         }
                                         std::string part = "part" + std::to_string(n++) + ";";
                                         return sink.write(part.data(), part.size());
                                       });
    });
    s.Get(R"(/r/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      int n = std::stoi(req.matches[1]);
      if (n == 0) {
        res.set_content("end of chain", "text/plain");
      } else {
        res.status = n % 2 ? 302 : 301;
        res.set_header("Location", "/r/" + std::to_string(n - 1));
      }
    });
    s.Get("/cookie/set", [](const httplib::Request&, httplib::Response& res) {
      res.status = 302;
      res.set_header("Set-Cookie", "session=abc123; Path=/");
      res.set_header("Location", "/cookie/check");
    });
    s.Get("/cookie/check", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content("cookie=" + req.get_header_value("Cookie"), "application/octet-stream");
    });
    s.Get(R"(/status/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      res.status = std::stoi(req.matches[1]);
      if (res.status == 401) res.set_header("WWW-Authenticate", "Basic realm=\"x\"");
      if (res.status == 305) res.set_header("Location", "http://127.0.0.1:9/");
      res.set_content("status body", "application/octet-stream");
    });
    s.Get("/no-location", [](const httplib::Request&, httplib::Response& res) {
      res.status = 302;
      res.set_content("nowhere", "text/plain");
    });
    s.Get("/to-file", [](const httplib::Request&, httplib::Response& res) {
      res.status = 302;
      res.set_header("Location", "file:///etc/hostname");
    });
    s.Get("/to-ftp", [](const httplib::Request&, httplib::Response& res) {
      res.status = 301;
      res.set_header("Location", "ftp://127.0.0.1/x");
    });
    // Stalls: without the time limit these would answer successfully, late.
    s.Get("/stall/head", [this](const httplib::Request&, httplib::Response& res) {
      gate_.WaitFor(std::chrono::seconds(20));
      res.set_content("late", "text/plain");
    });
    s.Get("/stall/body", [this](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("application/octet-stream",
                                       [this, n = 0](size_t, httplib::DataSink& sink) mutable {
                                         if (n++ == 0) return sink.write("early", 5);
                                         gate_.WaitFor(std::chrono::seconds(20));
                                         sink.done();
                                         return true;
                                       });
    });
    // Two pauses of 2 s each: every wait is within the limit, the total is not.
    s.Get("/pauses", [this](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("application/octet-stream",
                                       [this, n = 0](size_t, httplib::DataSink& sink) mutable {
                                         if (n == 3) {
                                           sink.done();
                                           return true;
                                         }
                                         if (n > 0) gate_.WaitFor(std::chrono::milliseconds(2000));
                                         char c = static_cast<char>('a' + n++);
                                         return sink.write(&c, 1);
                                       });
    });
    // A byte every 50 ms for 20 s: never idle, so only cancelling ends it early.
    s.Get("/trickle", [this](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("application/octet-stream",
                                       [this, n = 0](size_t, httplib::DataSink& sink) mutable {
                                         if (n++ == 400 || gate_.IsOpen()) {
                                           sink.done();
                                           return true;
                                         }
                                         gate_.WaitFor(std::chrono::milliseconds(50));
                                         return sink.write("x", 1);
                                       });
    });
    // A byte every 2 s for a minute: every wait is within the limit, the whole
    // fetch is not.
    s.Get("/drip", [this](const httplib::Request&, httplib::Response& res) {
      res.set_chunked_content_provider("application/octet-stream",
                                       [this, n = 0](size_t, httplib::DataSink& sink) mutable {
                                         if (n++ == 30 || gate_.WaitFor(std::chrono::seconds(2))) {
                                           sink.done();
                                           return true;
                                         }
                                         return sink.write("x", 1);
                                       });
    });
    s.Get("/big/length/limit",
          [](const httplib::Request&, httplib::Response& res) { ServeBytes(res, kLimit, true); });
    s.Get("/big/length/over", [](const httplib::Request&, httplib::Response& res) {
      ServeBytes(res, kLimit + 1, true);
    });
    s.Get("/big/chunked/over", [](const httplib::Request&, httplib::Response& res) {
      ServeBytes(res, kLimit + (1 << 20), false);
    });
    s.Get("/page/utf8", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<p>\xE6\xAD\x8C\xE6\x9B\xB2 \xEA\xB0\x80</p>", "application/octet-stream");
    });
    s.Get("/page/gbk", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<p>\xB8\xE8\xC7\xFA</p>", "application/octet-stream");
    });
    s.Get("/page/broken", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<p>\xE6\xAD\x8C\xFF</p>", "application/octet-stream");
    });
    s.Get("/page/ascii", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("<p>plain</p>", "application/octet-stream");
    });
    s.Get("/page/empty", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("", "application/octet-stream");
    });
    server_.Start();
  }

  void TearDown() override { gate_.Open(); }

  std::string Url(std::string_view path) { return server_.url(path); }

  // The page, or nullopt when the fetch failed (checking the empty text too).
  std::optional<std::string> Page(std::string_view path,
                                  const std::atomic<bool>* cancel = nullptr) {
    std::string page = "stale";
    if (IEgetHttp::FetchPage(Url(path), page, cancel)) return page;
    EXPECT_EQ(page, "") << "a failed fetch must leave the text empty";
    return std::nullopt;
  }
  std::optional<std::string> Raw(std::string_view path) {
    std::string body = "stale";
    if (IEgetHttp::FetchRaw(Url(path), body)) return body;
    EXPECT_EQ(body, "");
    return std::nullopt;
  }

  // Milliseconds a fetch of `path` took to fail; -1 when it succeeded.
  long FailsAfterMs(std::string_view path) {
    auto start = std::chrono::steady_clock::now();
    if (Page(path)) return -1;
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
  }

  Gate gate_;  // declared first: outlives the server's handler threads
  testsupport::LoopbackServer server_;
};

TEST_F(FetchTest, SendsTheRequiredFieldsAndNothingElse) {
  auto page = Page("/echo");
  ASSERT_TRUE(page);
  const std::string expected =
      "Accept: */*\nAccept-Language: zh-CN\nUser-Agent: " + IEgetHttp::GetUserAgent() +
      "\nAccept-Encoding: gzip, deflate\nHost: 127.0.0.1:" + std::to_string(server_.port()) +
      "\nConnection: Keep-Alive\n";
  EXPECT_EQ(*page, expected);
  EXPECT_EQ(IEgetHttp::GetUserAgent().rfind("Mozilla/4.0 (compatible; MSIE 7.0; ", 0), 0u);
}

TEST_F(FetchTest, DecodesContentAndTransferCodings) {
  EXPECT_EQ(Raw("/gzip"), kPlainUtf8);
  EXPECT_EQ(Raw("/deflate"), kPlainUtf8);
  EXPECT_EQ(Page("/gzip"), kPlainAnsi);
  EXPECT_EQ(Page("/chunked"), "part0;part1;part2;");
}

TEST_F(FetchTest, FollowsUpToFifteenRedirects) {
  EXPECT_EQ(Page("/r/1"), "end of chain");
  EXPECT_EQ(Page("/r/15"), "end of chain");
  EXPECT_EQ(Page("/r/16"), std::nullopt);
  EXPECT_EQ(Page("/no-location"), std::nullopt);
}

TEST_F(FetchTest, KeepsCookiesAcrossARedirectButNotAcrossCalls) {
  EXPECT_EQ(Page("/cookie/set"), "cookie=session=abc123");
  EXPECT_EQ(Page("/cookie/check"), "cookie=");
}

TEST_F(FetchTest, StatusDecidesSuccess) {
  for (int status : {400, 401, 403, 404, 407, 500, 503}) {
    SCOPED_TRACE(status);
    EXPECT_EQ(Page("/status/" + std::to_string(status)), std::nullopt);
  }
  EXPECT_EQ(Page("/status/200"), "status body");
  EXPECT_EQ(Page("/status/203"), "status body");
  // 305 is not followed; it delivers its body. 304 has no body by definition.
  EXPECT_EQ(Page("/status/305"), "status body");
  EXPECT_EQ(Page("/status/304"), "");
}

TEST_F(FetchTest, RefusesEverythingButWebAddresses) {
  EXPECT_EQ(Page("/to-file"), std::nullopt);
  EXPECT_EQ(Page("/to-ftp"), std::nullopt);
  std::string page;
  EXPECT_FALSE(IEgetHttp::FetchPage("file:///etc/hostname", page));
  EXPECT_FALSE(IEgetHttp::FetchPage("", page));
  EXPECT_FALSE(IEgetHttp::FetchPage("not an address", page));
  EXPECT_FALSE(IEgetHttp::FetchPage("http://127.0.0.1:1/", page));  // refused
}

TEST_F(FetchTest, BodyLimit) {
  auto atLimit = Raw("/big/length/limit");
  ASSERT_TRUE(atLimit);
  EXPECT_EQ(atLimit->size(), kLimit);
  EXPECT_EQ(Raw("/big/length/over"), std::nullopt);
  EXPECT_EQ(Raw("/big/chunked/over"), std::nullopt);
}

TEST_F(FetchTest, CompressedBodyIsLimitedAfterDecoding) {
  // 40 MiB of zeros compress to some 40 KiB.
  std::string bomb;
  ASSERT_EQ(testsupport::RunCommand("head -c 41943040 /dev/zero | gzip -c", &bomb), 0);
  ASSERT_LT(bomb.size(), kLimit);
  server_.server().Get("/bomb", [bomb](const httplib::Request&, httplib::Response& res) {
    res.set_content(bomb, "application/octet-stream");
    res.set_header("Content-Encoding", "gzip");
  });
  EXPECT_EQ(Raw("/bomb"), std::nullopt);
}

TEST_F(FetchTest, StallBeforeTheAnswerFailsAfterThreeSeconds) {
  long ms = FailsAfterMs("/stall/head");
  EXPECT_GE(ms, 3000);
  EXPECT_LE(ms, 6000);
}

TEST_F(FetchTest, StallInsideTheBodyFailsAfterThreeSeconds) {
  long ms = FailsAfterMs("/stall/body");
  EXPECT_GE(ms, 3000);
  EXPECT_LE(ms, 6000);
}

TEST_F(FetchTest, TheWaitLimitIsPerWait) {
  EXPECT_EQ(Page("/pauses"), "abc");
}

TEST_F(FetchTest, AWholeFetchEndsAfterTwentySeconds) {
  long ms = FailsAfterMs("/drip");
  EXPECT_GE(ms, 20000);
  EXPECT_LE(ms, 40000);
}

TEST_F(FetchTest, CancelFlagAbortsATransfer) {
  std::atomic<bool> cancel{true};
  EXPECT_EQ(Page("/page/ascii", &cancel), std::nullopt);

  cancel = false;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cancel = true;
  });
  EXPECT_EQ(Page("/trickle", &cancel), std::nullopt);
  canceller.join();
}

// Sets the proxy variables for the test and restores them afterwards.
class ProxyEnvironment {
 public:
  ProxyEnvironment() {
    for (const char* name : kNames) {
      const char* old = std::getenv(name);
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      if (std::string_view(name).find("no_proxy") != std::string_view::npos ||
          std::string_view(name).find("NO_PROXY") != std::string_view::npos) {
        unsetenv(name);
      } else {
        setenv(name, "http://127.0.0.1:9", 1);
      }
    }
  }
  ~ProxyEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }

 private:
  static constexpr const char* kNames[] = {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                           "all_proxy",  "ALL_PROXY",  "no_proxy",    "NO_PROXY"};
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

size_t Discard(char*, size_t size, size_t count, void*) {
  return size * count;
}

TEST_F(FetchTest, ProxyVariablesAreIgnored) {
  ProxyEnvironment env;
  // Control: a plain handle does go through the (dead) proxy and fails.
  CURL* plain = curl_easy_init();
  ASSERT_NE(plain, nullptr);
  const std::string url = Url("/page/ascii");
  curl_easy_setopt(plain, CURLOPT_URL, url.c_str());
  curl_easy_setopt(plain, CURLOPT_WRITEFUNCTION, Discard);
  curl_easy_setopt(plain, CURLOPT_CONNECTTIMEOUT_MS, 3000L);
  EXPECT_NE(curl_easy_perform(plain), CURLE_OK);
  curl_easy_cleanup(plain);

  EXPECT_EQ(Page("/page/ascii"), "<p>plain</p>");
}

TEST_F(FetchTest, CodePageStep) {
  // Well-formed UTF-8 becomes GB18030 (characters outside GBK included).
  EXPECT_EQ(Page("/page/utf8"), "<p>\xB8\xE8\xC7\xFA \x82\x37\xCF\x35</p>");
  EXPECT_EQ(Page("/page/gbk"), "<p>\xB8\xE8\xC7\xFA</p>");
  EXPECT_EQ(Page("/page/broken"), "<p>\xE6\xAD\x8C\xFF</p>");
  EXPECT_EQ(Page("/page/ascii"), "<p>plain</p>");
  EXPECT_EQ(Page("/page/empty"), "");
  EXPECT_EQ(Raw("/page/utf8"), "<p>\xE6\xAD\x8C\xE6\x9B\xB2 \xEA\xB0\x80</p>");
}

TEST(ClassifyUtf8, FollowsTheSequenceTable) {
  struct Case {
    std::string text;
    Utf8Class expected;
  };
  const std::vector<Case> cases = {
      {"", Utf8Class::AllAscii},
      {"plain\x7F\x01", Utf8Class::AllAscii},
      {"\0\0"s, Utf8Class::AllAscii},
      {"a\xC3\xA9", Utf8Class::WellFormedUtf8},
      {"\xC2\x80\xDF\xBF", Utf8Class::WellFormedUtf8},
      {"\xE0\xA0\x80", Utf8Class::WellFormedUtf8},
      {"\xED\xA0\x80", Utf8Class::WellFormedUtf8},  // a surrogate, allowed by the table
      {"\xEF\xBF\xBF", Utf8Class::WellFormedUtf8},
      {"\xF0\x90\x80\x80", Utf8Class::WellFormedUtf8},
      {"\xF3\xBF\xBF\xBF", Utf8Class::WellFormedUtf8},
      {"\xF4\x8F\xBF\xBF", Utf8Class::WellFormedUtf8},
      {"\xE4\xB8\xAD"
       "a\0b"s,
       Utf8Class::WellFormedUtf8},
      {"\xC0\x80", Utf8Class::NotUtf8},
      {"\xC1\xBF", Utf8Class::NotUtf8},
      {"\x80", Utf8Class::NotUtf8},
      {"a\xE4\xB8", Utf8Class::NotUtf8},  // cut short by the end
      {"\xE0\x9F\x80", Utf8Class::NotUtf8},
      {"\xE1\x7F\x80", Utf8Class::NotUtf8},
      {"\xE1\x80\xC0", Utf8Class::NotUtf8},
      {"\xF0\x8F\x80\x80", Utf8Class::NotUtf8},
      {"\xF4\x90\x80\x80", Utf8Class::NotUtf8},
      {"\xF5\x80\x80\x80", Utf8Class::NotUtf8},
      {"\xC3\xA9\xFF", Utf8Class::NotUtf8},
      {"\xD6\xD0\xCE\xC4", Utf8Class::NotUtf8},  // GBK
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.text));
    EXPECT_EQ(IEgetHttp::ClassifyUtf8(c.text), c.expected);
  }
}

TEST(PageToAnsi, ConvertsOnlyWellFormedUtf8) {
  EXPECT_EQ(IEgetHttp::PageToAnsi("\xE4\xB8\xAD"), "\xD6\xD0");
  EXPECT_EQ(IEgetHttp::PageToAnsi("\xD6\xD0"), "\xD6\xD0");
  EXPECT_EQ(IEgetHttp::PageToAnsi("abc"), "abc");
  EXPECT_EQ(IEgetHttp::PageToAnsi("\xE4\xB8\xAD\xFF"s), "\xE4\xB8\xAD\xFF");
  // The table lets an encoded surrogate pass; the conversion then takes it
  // for the malformed sequence it is: a question mark per byte, no failure.
  EXPECT_EQ(IEgetHttp::PageToAnsi(" \xED\xA0\x80"), " ???");
}

}  // namespace
