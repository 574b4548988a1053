#include "lyrics/LyricRetrieval.h"

#include <charconv>
#include <chrono>
#include <random>

#include "common/codepage.h"
#include "common/funPub.h"
#include "online/Addresses.h"
#include "online/IEgetHttp.h"
#include "online/RegExpr.h"

namespace lyrics {

std::string LookupAddress(std::string_view boxurl, std::string_view title, std::string_view singer,
                          double random) {
  static const std::string titleMark = cp::Utf8ToAnsi("《歌名》");
  static const std::string singerMark = cp::Utf8ToAnsi("《歌手》");
  static const std::string keyMark = cp::Utf8ToAnsi("《钥匙》");
  std::string url = funPub::ReplaceAll(boxurl, titleMark, funPub::UrlEncode(cp::AnsiToUtf8(title)));
  url = funPub::ReplaceAll(url, singerMark, funPub::UrlEncode(cp::AnsiToUtf8(singer)));
  if (url.find(keyMark) != std::string::npos) {
    url = funPub::ReplaceAll(url, keyMark, FormatRandom(random));
  }
  return "http://" + url;
}

double FreshRandom() {
  static std::atomic<uint64_t> calls{0};
  // Seeded from the clock at every call; the counter keeps two calls within
  // one clock tick apart.
  const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  std::seed_seq seed{static_cast<uint64_t>(now), calls.fetch_add(1) + 1};
  std::mt19937_64 gen(seed);
  // 53 random bits scaled into [0, 1): never 1.
  return static_cast<double>(gen() >> 11) * 0x1.0p-53;
}

std::string FormatRandom(double random) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, random, std::chars_format::general, 15);
  if (ec != std::errc()) return "0";
  return std::string(buf, end);
}

std::string LyricAddress(std::string_view id) {
  const int32_t number = funPub::StrToInt(id);
  return addresses::LyricUrl() + "/bdlrc/" + std::to_string(number / 100) + "/" + std::string(id) +
         ".lrc";
}

TLookupAnswer ReadLookupAnswer(std::string_view page, const TRuleValues& rules) {
  TRegExpr re;
  re.SetInputString(page);
  std::string folder;
  re.SetExpression("(?i)" + rules.encode);
  if (re.Exec()) {
    const std::string address = funPub::Trim(re.Match(1));
    if (!address.empty()) folder = funPub::UrlDirectory(address);
  }
  std::string file;
  re.SetExpression("(?i)" + rules.decode);
  if (re.Exec()) file = funPub::Trim(re.Match(1));

  TLookupAnswer answer;
  re.SetExpression("(?i)" + rules.lrcid);
  if (re.Exec()) {
    std::string id = funPub::Trim(re.Match(1));
    if (id != "0") answer.LyricId = std::move(id);
  }
  if (!folder.empty() && !file.empty()) answer.StreamAddress = folder + file;
  return answer;
}

}  // namespace lyrics

void FindSongAndLyric(std::string_view title, std::string_view singer, const TRuleValues& rules,
                      std::string& lyricText, std::string& streamAddress,
                      const std::atomic<bool>* cancel) {
  lyricText.clear();
  streamAddress.clear();
  const std::string cleanTitle = funPub::Trim(title);
  const std::string cleanSinger = funPub::Trim(singer);
  if (cleanTitle.empty()) return;

  const std::string url =
      lyrics::LookupAddress(rules.boxurl, cleanTitle, cleanSinger, lyrics::FreshRandom());
  std::string page;
  if (!IEgetHttp::FetchPage(url, page, cancel)) return;
  lyrics::TLookupAnswer answer = lyrics::ReadLookupAnswer(page, rules);

  std::string lrc;
  if (answer.LyricId) {
    if (!IEgetHttp::FetchPage(lyrics::LyricAddress(*answer.LyricId), lrc, cancel)) lrc.clear();
  }
  if (answer.StreamAddress.empty()) return;
  streamAddress = std::move(answer.StreamAddress);
  lyricText = std::move(lrc);
}
