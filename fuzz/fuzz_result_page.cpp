// A result page cut with a fixed, valid rule set (the one the tests' site uses).
#include "FuzzInput.h"
#include "common/errors.h"
#include "online/OnlineFixtures.h"
#include "online/Search.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TRuleValues rules = onlinetest::SiteRules();
  search::TResultPage out;
  size_t delivered = 0;
  try {
    search::CutResultPage(fuzz::Bytes(data, size), "http://127.0.0.1:1/search?key=x", rules, out,
                          [&](const TPlaylistEntry&) { ++delivered; });
  } catch (const lyrano::ConvertError&) {
    // a song number that is not an integer
  } catch (const lyrano::PatternError&) {
    // the matcher gave up
  }
  if (delivered != out.Rows.size()) __builtin_trap();
  return 0;
}
