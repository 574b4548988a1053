// Address and text helpers of page reading: the base, a NUL, then the
// relative address (also the text for the entity and escape decoders).
#include "FuzzInput.h"
#include "common/funPub.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto [base, relative] = fuzz::SplitAtNul(fuzz::Bytes(data, size));
  volatile size_t n = funPub::CombineUrl(base, relative).size() +
                      funPub::UrlDirectory(base).size() +
                      funPub::DecodeHtmlEntities(relative).size() +
                      funPub::DecodeJsonEscapes(relative).size() + funPub::UrlEncode(base).size();
  (void)n;
  return 0;
}
