// Title and singer as the playlist shows them: every tag reader in turn, then
// the file name, over a file holding the input.
#include "FuzzInput.h"
#include "tags/TitleFromTags.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::InputFile file("song.mp3");
  if (!file.Write(fuzz::Bytes(data, size))) return 0;
  std::string title, singer;
  TitleFromTags(file.Ansi(), title, singer);
  return 0;
}
