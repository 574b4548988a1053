#include "online/Addresses.h"

#include <cstdlib>

namespace {
std::string FromEnv(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return (v != nullptr && *v != '\0') ? std::string(v) : std::string(fallback);
}
}  // namespace

namespace addresses {
std::string RuleUrl() { return FromEnv("LYRANO_RULE_URL", LYRANO_RULE_URL_DEFAULT); }
std::string SiteUrl() { return FromEnv("LYRANO_SITE_URL", LYRANO_SITE_URL_DEFAULT); }
std::string LyricUrl() { return FromEnv("LYRANO_LYRIC_URL", LYRANO_LYRIC_URL_DEFAULT); }
}  // namespace addresses
