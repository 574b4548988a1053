// The HTTP client module over libcurl: page fetches and address resolution.
#include <curl/curl.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "net/WebTable.h"
#include "online/IEgetHttp.h"

namespace web {
namespace {

constexpr long kWaitMs = 3000;
constexpr int kMaxRedirects = 15;
constexpr size_t kMaxBody = size_t{32} << 20;

struct EasyDeleter {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct SlistDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct UrlDeleter {
  void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
struct CurlStringDeleter {
  void operator()(char* s) const { curl_free(s); }
};

void GlobalInitOnce() {
  static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
  (void)done;
}

// The body's content coding, decoded here rather than by libcurl: libcurl
// delivers a gzip or deflate body that ends early (cut in half, trailer
// missing) as a success, and a cut page must fail like any broken answer.
class BodyDecoder {
 public:
  enum class Coding { Identity, Gzip, Deflate, Unsupported };

  ~BodyDecoder() { End(); }
  void Reset(Coding coding) {
    End();
    coding_ = coding;
    started_ = finished_ = failed_ = false;
    rawSeen_ = 0;
    pending_.clear();
  }
  Coding coding() const { return coding_; }

  // Decodes `in`, appending to `out` while it stays within `cap`; false on
  // corrupt data, an unsupported coding, or output beyond the cap (`tooLarge`).
  bool Feed(std::string_view in, std::string& out, size_t cap, bool& tooLarge) {
    rawSeen_ += in.size();
    if (coding_ == Coding::Unsupported) return false;
    if (coding_ == Coding::Identity) return Append(in, out, cap, tooLarge);
    if (failed_) return false;
    if (finished_) return true;  // bytes after the end of the stream are dropped
    if (!started_) {
      // A deflate body comes with or without the zlib wrapper; its first two
      // bytes tell which.
      pending_.append(in);
      if (coding_ == Coding::Deflate && pending_.size() < 2) return true;
      if (!Start()) return Fail();
      in = pending_;
    }
    char buffer[16384];
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    stream_.avail_in = static_cast<uInt>(in.size());
    while (stream_.avail_in > 0 && !finished_) {
      stream_.next_out = reinterpret_cast<Bytef*>(buffer);
      stream_.avail_out = sizeof buffer;
      int rc = inflate(&stream_, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return Fail();
      size_t made = sizeof buffer - stream_.avail_out;
      if (!Append(std::string_view(buffer, made), out, cap, tooLarge)) return Fail();
      if (rc == Z_STREAM_END) finished_ = true;
      if (rc == Z_BUF_ERROR && made == 0) break;
    }
    pending_.clear();
    return true;
  }

  // After the last byte: false when a compressed body ended before its stream
  // did. An empty body is an empty page whatever its coding.
  bool Complete() const {
    if (coding_ == Coding::Identity || rawSeen_ == 0) return true;
    return coding_ != Coding::Unsupported && finished_ && !failed_;
  }

 private:
  static bool Append(std::string_view data, std::string& out, size_t cap, bool& tooLarge) {
    // Refuse rather than buffer: the limit holds for the decoded size, so a
    // compressed bomb stops here too.
    if (data.size() > cap - out.size()) {
      tooLarge = true;
      return false;
    }
    out.append(data);
    return true;
  }
  bool Start() {
    int windowBits = 15 + 32;  // gzip or zlib, told apart by their headers
    if (coding_ == Coding::Deflate) {
      auto b0 = static_cast<unsigned char>(pending_[0]);
      auto b1 = static_cast<unsigned char>(pending_[1]);
      bool wrapped = (b0 & 0x0F) == 8 && (b0 * 256 + b1) % 31 == 0;
      if (!wrapped) windowBits = -15;
    }
    stream_ = z_stream{};
    if (inflateInit2(&stream_, windowBits) != Z_OK) return false;
    started_ = true;
    return true;
  }
  bool Fail() {
    failed_ = true;
    return false;
  }
  void End() {
    if (started_) inflateEnd(&stream_);
    started_ = false;
  }

  Coding coding_ = Coding::Identity;
  z_stream stream_{};
  bool started_ = false;
  bool finished_ = false;
  bool failed_ = false;
  size_t rawSeen_ = 0;
  std::string pending_;
};

// The coding a Content-Encoding value asks for: one layer of gzip or deflate,
// or none. Anything else (a coding we did not offer, two layers) is refused.
BodyDecoder::Coding CodingOf(std::string_view value) {
  BodyDecoder::Coding coding = BodyDecoder::Coding::Identity;
  while (!value.empty()) {
    size_t comma = value.find(',');
    std::string token(value.substr(0, comma));
    value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
    token.erase(0, token.find_first_not_of(" \t"));
    token.erase(token.find_last_not_of(" \t\r\n") + 1);
    std::transform(token.begin(), token.end(), token.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (token.empty() || token == "identity") continue;
    bool known = token == "gzip" || token == "x-gzip" || token == "deflate";
    if (!known || coding != BodyDecoder::Coding::Identity) return BodyDecoder::Coding::Unsupported;
    coding = token == "deflate" ? BodyDecoder::Coding::Deflate : BodyDecoder::Coding::Gzip;
  }
  return coding;
}

// State of one request, shared with libcurl's callbacks.
struct Transfer {
  using Clock = std::chrono::steady_clock;
  std::string body;
  BodyDecoder decoder;
  bool tooLarge = false;
  const std::atomic<bool>* cancel = nullptr;
  Clock::time_point lastActivity = Clock::now();
  curl_off_t lastDown = -1;
  curl_off_t lastUp = -1;

  void Touch() { lastActivity = Clock::now(); }
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  size_t n = size * count;
  t->Touch();
  if (!t->decoder.Feed(std::string_view(data, n), t->body, kMaxBody, t->tooLarge)) return 0;
  return n;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  t->Touch();
  std::string_view line(data, size * count);
  // Every answer (an interim one, each redirect) starts with its status line
  // and brings its own coding.
  if (line.substr(0, 5) == "HTTP/") {
    t->decoder.Reset(BodyDecoder::Coding::Identity);
  } else if (size_t colon = line.find(':'); colon != std::string_view::npos) {
    std::string name(line.substr(0, colon));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name == "content-encoding") t->decoder.Reset(CodingOf(line.substr(colon + 1)));
  }
  return size * count;
}

// Called at least once a second while a transfer waits; "no data for 3 s"
// and the cancel flag end it here.
int OnProgress(void* user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
  auto* t = static_cast<Transfer*>(user);
  if (t->cancel != nullptr && t->cancel->load(std::memory_order_relaxed)) return 1;
  if (dlnow != t->lastDown || ulnow != t->lastUp) {
    t->lastDown = dlnow;
    t->lastUp = ulnow;
    t->Touch();
  }
  auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(Transfer::Clock::now() -
                                                                    t->lastActivity);
  return idle.count() >= kWaitMs ? 1 : 0;
}

// "Host: name" with ":port" unless the port is 80 or 443 (or absent).
std::string HostHeader(const std::string& url) {
  std::unique_ptr<CURLU, UrlDeleter> u(curl_url());
  if (!u || curl_url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return {};
  char* raw = nullptr;
  if (curl_url_get(u.get(), CURLUPART_HOST, &raw, 0) != CURLUE_OK) return {};
  std::unique_ptr<char, CurlStringDeleter> host(raw);
  std::string header = std::string("Host: ") + host.get();
  raw = nullptr;
  if (curl_url_get(u.get(), CURLUPART_PORT, &raw, 0) == CURLUE_OK) {
    std::unique_ptr<char, CurlStringDeleter> port(raw);
    std::string p = port.get();
    if (p != "80" && p != "443") header += ":" + p;
  }
  return header;
}

bool SetCommonOptions(CURL* h, Transfer& t, const std::string& userAgent) {
  bool ok = true;
  auto set = [&](CURLoption option, auto value) {
    ok = ok && curl_easy_setopt(h, option, value) == CURLE_OK;
  };
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_HTTPGET, 1L);
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  // Only web addresses: a page must not make us read local files.
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  // Redirects are followed here, one request at a time, to apply the rules
  // for 304, 305 and a redirect without a usable Location.
  set(CURLOPT_FOLLOWLOCATION, 0L);
  // An empty proxy overrides http_proxy, HTTPS_PROXY, ALL_PROXY and the like.
  set(CURLOPT_PROXY, "");
  set(CURLOPT_USERAGENT, userAgent.c_str());
  set(CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
  // The header is sent, the decoding is ours (BodyDecoder).
  set(CURLOPT_HTTP_CONTENT_DECODING, 0L);
  // Cookie engine on, reading no file: cookies live as long as this handle.
  set(CURLOPT_COOKIEFILE, "");
  set(CURLOPT_CONNECTTIMEOUT_MS, kWaitMs);
  set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBody));
  set(CURLOPT_WRITEFUNCTION, OnBody);
  set(CURLOPT_WRITEDATA, static_cast<void*>(&t));
  set(CURLOPT_HEADERFUNCTION, OnHeader);
  set(CURLOPT_HEADERDATA, static_cast<void*>(&t));
  set(CURLOPT_XFERINFOFUNCTION, OnProgress);
  set(CURLOPT_XFERINFODATA, static_cast<void*>(&t));
  set(CURLOPT_NOPROGRESS, 0L);
  return ok;
}

bool IsRedirect(long status) {
  return status >= 300 && status <= 399 && status != 304 && status != 305;
}

bool Fetch(std::string_view address, const std::string& userAgent, std::string& body,
           const std::atomic<bool>* cancel) {
  body.clear();
  GlobalInitOnce();
  std::unique_ptr<CURL, EasyDeleter> h(curl_easy_init());
  if (!h) return false;
  Transfer t;
  t.cancel = cancel;
  if (!SetCommonOptions(h.get(), t, userAgent)) return false;

  const auto deadline =
      Transfer::Clock::now() + std::chrono::milliseconds(IEgetHttp::kTotalLimitMs);
  std::string url(address);
  for (int redirects = 0;; ++redirects) {
    if (cancel != nullptr && cancel->load()) return false;
    // Each request gets what is left of the fetch's time.
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Transfer::Clock::now());
    if (left.count() <= 0) return false;
    if (curl_easy_setopt(h.get(), CURLOPT_TIMEOUT_MS, static_cast<long>(left.count())) !=
        CURLE_OK) {
      return false;
    }
    std::string host = HostHeader(url);
    if (host.empty()) return false;
    curl_slist* raw = nullptr;
    for (const std::string& line :
         {std::string("Accept: */*"), std::string("Accept-Language: zh-CN"), host,
          std::string("Connection: Keep-Alive")}) {
      curl_slist* next = curl_slist_append(raw, line.c_str());
      if (next == nullptr) {
        curl_slist_free_all(raw);
        return false;
      }
      raw = next;
    }
    std::unique_ptr<curl_slist, SlistDeleter> headers(raw);
    if (curl_easy_setopt(h.get(), CURLOPT_HTTPHEADER, headers.get()) != CURLE_OK ||
        curl_easy_setopt(h.get(), CURLOPT_URL, url.c_str()) != CURLE_OK) {
      return false;
    }
    t.body.clear();
    t.lastDown = t.lastUp = -1;
    t.Touch();
    CURLcode rc = curl_easy_perform(h.get());
    // The list must outlive the request; drop the handle's pointer to it first.
    curl_easy_setopt(h.get(), CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
    if (rc != CURLE_OK) return false;

    long status = 0;
    curl_easy_getinfo(h.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400 || status < 200) return false;
    if (!IsRedirect(status)) break;
    if (redirects == kMaxRedirects) return false;
    char* location = nullptr;
    if (curl_easy_getinfo(h.get(), CURLINFO_REDIRECT_URL, &location) != CURLE_OK ||
        location == nullptr || *location == '\0') {
      return false;  // a redirect that cannot be followed
    }
    url = location;
  }
  if (!t.decoder.Complete()) return false;
  body = std::move(t.body);
  return true;
}

bool FetchRaw(std::string_view url, std::string_view userAgent, std::string& body,
              const std::atomic<bool>* cancel) {
  try {
    return Fetch(url, std::string(userAgent), body, cancel);
  } catch (...) {  // out of memory: the fetch fails like any other
    body.clear();
    return false;
  }
}

bool Resolve(const std::string& base, const std::string& relative, std::string& out) {
  try {
    std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK) return false;
    if (!relative.empty() &&
        curl_url_set(url.get(), CURLUPART_URL, relative.c_str(), 0) != CURLUE_OK) {
      return false;
    }
    char* raw = nullptr;
    if (curl_url_get(url.get(), CURLUPART_URL, &raw, 0) != CURLUE_OK) return false;
    std::unique_ptr<char, CurlStringDeleter> text(raw);
    out = text.get();
    return true;
  } catch (...) {
    return false;
  }
}

constexpr WebTable kTable{FetchRaw, Resolve};

}  // namespace
}  // namespace web

extern "C" __attribute__((visibility("default"))) const web::WebTable* lyrano_web_client(
    uint32_t version) {
  return version == web::kWebTableVersion ? &web::kTable : nullptr;
}
