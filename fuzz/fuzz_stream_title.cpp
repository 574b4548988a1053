// The song an internet radio's metadata packet announces: the field, the
// text of any encoding, the split into singer and title.
#include "FuzzInput.h"
#include "playback/StreamTitle.h"

namespace {

void CheckText(std::string_view text) {
  if (text.size() > streamtitle::kMaxTitleBytes) __builtin_trap();
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in = fuzz::Bytes(data, size);
  std::optional<std::string> field = streamtitle::FieldOf(in);
  if (field && (field->size() > in.size() || in.find(*field) == std::string_view::npos))
    __builtin_trap();
  CheckText(streamtitle::ToAnsi(in));
  if (std::optional<streamtitle::TStreamSong> song = streamtitle::SongOf(in)) {
    CheckText(song->Title);
    CheckText(song->Singer);
    if (song->Title.empty() && !song->Singer.empty()) __builtin_trap();
  }
  return 0;
}
