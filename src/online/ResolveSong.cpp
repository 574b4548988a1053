#include "online/ResolveSong.h"

#include "common/codepage.h"
#include "common/funPub.h"
#include "online/Addresses.h"
#include "online/IEgetHttp.h"
#include "online/RegExpr.h"

namespace {

// Group 1 of the first match, trimmed, with the JSON escaping leftovers
// (backslashes and quotes) taken out.
std::string Captured(TRegExpr& re, const std::string& pattern) {
  re.SetExpression("(?i)" + pattern);
  if (!re.Exec()) return {};
  std::string value = funPub::Trim(re.Match(1));
  std::erase(value, '\\');
  std::erase(value, '"');
  return value;
}

}  // namespace

void ResolveSong(int32_t songId, const TRuleValues& rules, std::string& streamAddress,
                 std::string& lyricText, const std::atomic<bool>* cancel) {
  streamAddress.clear();
  lyricText.clear();
  if (songId <= 0) return;

  static const std::string placeholder = cp::Utf8ToAnsi("《歌曲ID》");
  const std::string url =
      "http://" + funPub::ReplaceAll(rules.jsurl, placeholder, std::to_string(songId));
  std::string answer;
  if (!IEgetHttp::FetchPage(url, answer, cancel)) return;
  answer = funPub::DecodeJsonEscapes(answer);

  TRegExpr re;
  re.SetInputString(answer);
  const std::string audio = Captured(re, rules.jsmp3);
  const std::string xcode = Captured(re, rules.jsxcode);
  std::string lyricUrl = funPub::Trim(Captured(re, rules.jslrc));

  std::string lyrics;
  if (!lyricUrl.empty()) {
    if (lyricUrl.front() == '/') lyricUrl = addresses::SiteUrl() + lyricUrl;
    if (!IEgetHttp::FetchPage(lyricUrl, lyrics, cancel)) lyrics.clear();
  }

  if (audio.empty() || xcode.empty()) return;
  static const std::string kXcode = "?xcode=";
  streamAddress = audio.find(kXcode) != std::string::npos ? audio : audio + kXcode + xcode;
  lyricText = std::move(lyrics);
}
