// Result-page cutting with fuzzed rule patterns: the eight values the cutter
// uses, then the page, each ended by a NUL.
#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzInput.h"
#include "common/errors.h"
#include "online/Search.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view rest = fuzz::Bytes(data, size);
  TRuleValues rules;
  for (std::string* field : {&rules.listcat, &rules.tempOne, &rules.songid, &rules.gequ,
                             &rules.geshou, &rules.emptygeshou, &rules.nextpage, &rules.prevpage}) {
    auto [value, after] = fuzz::SplitAtNul(rest);
    field->assign(value);
    rest = after;
  }
  search::TResultPage out;
  try {
    search::CutResultPage(rest, "http://127.0.0.1:1/a/search?key=x", rules, out);
  } catch (const lyrano::ConvertError&) {
  } catch (const lyrano::PatternError&) {
  }
  return 0;
}
