// The HTTP client (net/, over libcurl) as the rest of the program calls it.
// The client is a module loaded on first need, on the thread that first needs
// it (the rule worker, in the player), so libcurl and its libraries are not
// loaded before the window is up. A client that cannot be loaded makes every
// call fail like an unreachable address; LoadError() says why.
//
// Thread-safe.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

namespace web {

// See net/WebTable.h. False and an empty body when the client cannot be loaded.
bool FetchRaw(std::string_view url, std::string_view userAgent, std::string& body,
              const std::atomic<bool>* cancel);
bool Resolve(const std::string& base, const std::string& relative, std::string& out);

// Why the client could not be loaded; empty while it has not failed.
std::string LoadError();

}  // namespace web
