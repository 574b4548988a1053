#include "common/WebModule.h"

#include "common/LazyModule.h"
#include "net/WebTable.h"

namespace web {
namespace {

lazymod::LazyModule& Module() {
  static lazymod::LazyModule module(kWebModuleFile, kWebEntry, kWebTableVersion);
  return module;
}

}  // namespace

bool FetchRaw(std::string_view url, std::string_view userAgent, std::string& body,
              const std::atomic<bool>* cancel) {
  body.clear();
  const auto* client = static_cast<const WebTable*>(Module().Get());
  return client != nullptr && client->FetchRaw(url, userAgent, body, cancel);
}

bool Resolve(const std::string& base, const std::string& relative, std::string& out) {
  const auto* client = static_cast<const WebTable*>(Module().Get());
  return client != nullptr && client->Resolve(base, relative, out);
}

std::string LoadError() {
  return Module().Error();
}

}  // namespace web
