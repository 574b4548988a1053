// The HTTP client as a module of its own (lyrano-web.so): libcurl and its TLS,
// authentication and compression libraries load with it, on first need, not
// with the program. Its one way in is this table of our own entry points;
// common/WebModule forwards to it, and nothing else sees libcurl.
//
// Every entry is thread-safe: calls share nothing and may overlap.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace web {

// Raised whenever an entry is added, removed or changes its meaning.
constexpr uint32_t kWebTableVersion = 1;
constexpr char kWebModuleFile[] = "lyrano-web.so";
constexpr char kWebEntry[] = "lyrano_web_client";

struct WebTable {
  // A blocking GET of `url`, the body as received; the rules are those of
  // IEgetHttp::FetchRaw. False and an empty body on any failure.
  bool (*FetchRaw)(std::string_view url, std::string_view userAgent, std::string& body,
                   const std::atomic<bool>* cancel);
  // `relative` resolved against `base` and canonicalised; `relative` empty
  // gives `base` canonicalised. False when either cannot be parsed.
  bool (*Resolve)(const std::string& base, const std::string& relative, std::string& out);
};

}  // namespace web

// The module's one exported function: its table, or null when `version` is not
// the one it was built with.
extern "C" const web::WebTable* lyrano_web_client(uint32_t version);
