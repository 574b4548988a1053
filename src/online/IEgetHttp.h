// Page fetching. FetchPage is a blocking GET on a fresh HTTP client handle: 3000 ms
// for each network wait and kTotalLimitMs for the whole fetch (redirects
// included, so a site that sends a byte every 2 s cannot hold a caller for
// ever), at most 15 redirects, cookies kept within the call, gzip/deflate and
// chunked bodies (a compressed body that ends before its stream does fails),
// any status of 400 or above fails, no proxy.
// Only http and https are fetched (redirects included) and a body above 32 MiB
// fails, so a hostile page can neither read local files nor exhaust memory.
// A page that is well-formed UTF-8 is returned in the local code page; any other
// page is returned byte for byte.
//
// The HTTP client is a module loaded by the first fetch (common/WebModule); one
// that cannot be loaded makes every fetch fail like an unreachable address.
//
// Thread-safe: calls share nothing and may overlap (worker thread and window).
#pragma once

#include <atomic>
#include <string>
#include <string_view>

namespace IEgetHttp {

// The whole of one fetch, from the first request to the last byte.
constexpr long kTotalLimitMs = 20000;

enum class Utf8Class { AllAscii = 0, WellFormedUtf8 = 1, NotUtf8 = 2 };

std::string GetUserAgent();

// True and the page on success; false and an empty page on any failure.
// `cancel`, when given and set, aborts the transfer as a failure.
bool FetchPage(std::string_view url, std::string& page, const std::atomic<bool>* cancel = nullptr);

// Body bytes as received (no code-page step); used by FetchPage and the CLI.
bool FetchRaw(std::string_view url, std::string& body, const std::atomic<bool>* cancel = nullptr);

Utf8Class ClassifyUtf8(std::string_view text);

// The code-page step of FetchPage: well-formed UTF-8 becomes ANSI, the rest stays.
std::string PageToAnsi(std::string_view body);

}  // namespace IEgetHttp
