// The WMA (ASF header objects) reader over a file holding the input.
#include "FuzzInput.h"
#include "tags/ATL_WMAfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::InputFile file("tags.wma");
  if (!file.Write(fuzz::Bytes(data, size))) return 0;
  TWMAfile wma;
  if (wma.ReadFromFile(file.Ansi()) == tags::TagResult::Ok) {
    volatile size_t n = wma.Title().size() + wma.Artist().size() + wma.Lyrics().size();
    (void)n;
  }
  return 0;
}
