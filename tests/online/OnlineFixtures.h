// Shared by the online and lyric retrieval tests: a rule set that fits the
// small test sites the tests serve, rule pages written from it, and a scoped
// environment variable for the built-in addresses.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "common/codepage.h"
#include "online/RuleSet.h"

namespace onlinetest {

// Test sources are UTF-8; the program's text is in the local code page.
inline std::string A(std::string_view utf8) {
  return cp::Utf8ToAnsi(utf8);
}

// `host` is "127.0.0.1:port" of the server that answers the lookups.
inline TRuleValues SiteRules(const std::string& host = "127.0.0.1:1") {
  TRuleValues v;
  v.listcat = "<ol id=\"hits\">(.+?)</ol>";
  v.tempOne = "<li>(.+?)</li>";
  v.songid = "data-id=\"(.*?)\"";
  v.gequ = "<span class=\"t\">(.+?)</span>";
  v.geshou = "<span class=\"s\">(.+?)</span>";
  v.emptygeshou = "<i>nosinger</i>";
  v.nextpage = "<a id=\"next\" href=\"(.+?)\">";
  v.prevpage = "<a id=\"prev\" href=\"(.+?)\">";
  v.boxurl = host + A("/box?t=《歌名》&s=《歌手》&k=《钥匙》");
  v.encode = "<enc>(.+?)</enc>";
  v.httpdir = "http://" + host + "/";
  v.decode = "<dec>(.+?)</dec>";
  v.lrcid = "<lrc>(.*?)</lrc>";
  v.jsurl = host + A("/info?id=《歌曲ID》");
  v.jsmp3 = "\"mp3\":\"(.+?)\"";
  v.jsxcode = "\"xcode\":\"(.*?)\"";
  v.jslrc = "\"lrc\":\"(.*?)\"";
  return v;
}

inline std::string Entities(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A UTF-8 HTML rule page holding every non-empty value of `v` (entity-encoded)
// and ver=【ver】 inside the marked region, or without the markers.
inline std::string RulePage(const TRuleValues& v, std::string_view ver = "1", bool region = true) {
  std::string entries;
  for (const rules::RuleKey& key : rules::kRuleKeys) {
    const std::string& value = v.*key.field;
    if (value.empty()) continue;
    entries += std::string(key.name) + "=【" + Entities(cp::AnsiToUtf8(value)) + "】<br>\n";
  }
  if (!ver.empty()) entries += "ver=【" + std::string(ver) + "】\n";
  std::string page = "<html><head><meta charset=\"utf-8\"></head><body><p>规则</p>\n";
  page += region ? "【我的正则区域开始】\n" + entries + "【我的正则区域结束】\n" : entries;
  return page + "</body></html>\n";
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace onlinetest
