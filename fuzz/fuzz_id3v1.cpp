// The ID3v1 reader over a file holding the input.
#include "FuzzInput.h"
#include "tags/Mp3FileUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::InputFile file("id3v1.mp3");
  if (!file.Write(fuzz::Bytes(data, size))) return 0;
  TID3v1Tag tag;
  if (tag.ReadFromFile(file.Ansi()) == tags::TagResult::Ok) {
    volatile size_t n = tag.Title().size() + tag.Artist().size();
    (void)n;
  }
  return 0;
}
