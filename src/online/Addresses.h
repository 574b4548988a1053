// The built-in addresses of the rule page, the music site and the lyric server
// (set at configure time), each overridden at run time by the environment
// variable of the same name. Read at each call, so tests can change them.
#pragma once

#include <string>

namespace addresses {
std::string RuleUrl();   // LYRANO_RULE_URL
std::string SiteUrl();   // LYRANO_SITE_URL, scheme and host, no trailing slash
std::string LyricUrl();  // LYRANO_LYRIC_URL, scheme and host, no trailing slash
}  // namespace addresses
