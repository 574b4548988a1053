// The answers of the song information request and of the title lookup, read
// with a fixed, valid rule set. The first byte chooses the reader.
#include "FuzzInput.h"
#include "common/errors.h"
#include "lyrics/LyricRetrieval.h"
#include "online/OnlineFixtures.h"
#include "online/ResolveSong.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TRuleValues rules = onlinetest::SiteRules();
  if (size == 0) return 0;
  std::string_view answer = fuzz::Bytes(data + 1, size - 1);
  try {
    if (data[0] & 1) {
      TSongInformation info = ReadSongInformation(answer, rules);
      volatile size_t n = info.StreamAddress.size() + info.LyricUrl.size();
      (void)n;
    } else {
      lyrics::TLookupAnswer found = lyrics::ReadLookupAnswer(answer, rules);
      if (found.LyricId) lyrics::LyricAddress(*found.LyricId);
    }
  } catch (const lyrano::ConvertError&) {
    // a lyric number that is not an integer
  } catch (const lyrano::PatternError&) {
  }
  return 0;
}
