// A fetched rule page: the values, the readiness and the window effects.
#include "FuzzInput.h"
#include "common/errors.h"
#include "online/RuleSet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    rules::RulePageReading r = rules::ReadRulePage(true, fuzz::Bytes(data, size));
    TRuleSet set;
    rules::ApplyReading(set, r);
    if (set.IsReady() != r.ready) __builtin_trap();
  } catch (const lyrano::PatternError&) {
    // the documented failure: the matcher gave up on a pathological page
  }
  return 0;
}
