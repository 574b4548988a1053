#include "online/IEgetHttp.h"

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <string>

#include "common/codepage.h"

namespace IEgetHttp {
namespace {

constexpr char kUserAgent[] =
    "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.1; Trident/5.0; SLCC2; .NET CLR 2.0.50727; "
    ".NET CLR 3.5.30729; .NET CLR 3.0.30729; Media Center PC 6.0)";
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

// State of one request, shared with libcurl's callbacks.
struct Transfer {
  using Clock = std::chrono::steady_clock;
  std::string body;
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
  // Refuse rather than buffer: the limit holds for the decoded size, so a
  // compressed bomb stops here too.
  if (n > kMaxBody - t->body.size()) {
    t->tooLarge = true;
    return 0;
  }
  t->body.append(data, n);
  return n;
}

size_t OnHeader(char*, size_t size, size_t count, void* user) {
  static_cast<Transfer*>(user)->Touch();
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

bool SetCommonOptions(CURL* h, Transfer& t) {
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
  set(CURLOPT_USERAGENT, GetUserAgent().c_str());
  set(CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
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

bool Fetch(std::string_view address, std::string& body, const std::atomic<bool>* cancel) {
  body.clear();
  GlobalInitOnce();
  std::unique_ptr<CURL, EasyDeleter> h(curl_easy_init());
  if (!h) return false;
  Transfer t;
  t.cancel = cancel;
  if (!SetCommonOptions(h.get(), t)) return false;

  std::string url(address);
  for (int redirects = 0;; ++redirects) {
    if (cancel != nullptr && cancel->load()) return false;
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
  body = std::move(t.body);
  return true;
}

}  // namespace

std::string GetUserAgent() {
  // No platform user-agent service on this system: always the fixed text.
  return kUserAgent;
}

bool FetchRaw(std::string_view url, std::string& body, const std::atomic<bool>* cancel) {
  try {
    return Fetch(url, body, cancel);
  } catch (...) {  // out of memory: the fetch fails like any other
    body.clear();
    return false;
  }
}

bool FetchPage(std::string_view url, std::string& page, const std::atomic<bool>* cancel) {
  page.clear();
  try {
    std::string body;
    if (!Fetch(url, body, cancel)) return false;
    page = PageToAnsi(body);
    return true;
  } catch (...) {
    page.clear();
    return false;
  }
}

Utf8Class ClassifyUtf8(std::string_view text) {
  size_t i = 0;
  const size_t n = text.size();
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  while (i < n && byte(i) < 0x80) ++i;
  if (i == n) return Utf8Class::AllAscii;
  while (i < n) {
    unsigned char c = byte(i);
    size_t len;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (c < 0x80) {
      len = 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c == 0xE0) {
      len = 3;
      lo = 0xA0;
    } else if (c >= 0xE1 && c <= 0xEF) {
      len = 3;
    } else if (c == 0xF0) {
      len = 4;
      lo = 0x90;
    } else if (c >= 0xF1 && c <= 0xF3) {
      len = 4;
    } else if (c == 0xF4) {
      len = 4;
      hi = 0x8F;
    } else {
      return Utf8Class::NotUtf8;
    }
    if (len > n - i) return Utf8Class::NotUtf8;
    for (size_t k = 1; k < len; ++k) {
      unsigned char cont = byte(i + k);
      // Only the second byte has a narrowed range.
      unsigned char min = k == 1 ? lo : 0x80;
      unsigned char max = k == 1 ? hi : 0xBF;
      if (cont < min || cont > max) return Utf8Class::NotUtf8;
    }
    i += len;
  }
  return Utf8Class::WellFormedUtf8;
}

std::string PageToAnsi(std::string_view body) {
  if (ClassifyUtf8(body) == Utf8Class::WellFormedUtf8) return cp::Utf8ToAnsi(body);
  return std::string(body);
}

}  // namespace IEgetHttp
