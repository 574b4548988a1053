// The song an internet radio announces in its metadata packets: the field
// StreamTitle='...'; turned into local text and split into singer and title.
// Pure functions over untrusted bytes; any thread.
//
// The packet comes from the server as it is: its encoding is not declared.
// Text that is valid UTF-8 is read as UTF-8; otherwise text that is valid in
// the local code page (GBK, GB18030) is taken as it is; anything else is read
// as Latin-1, which every byte sequence is. Plain ASCII reads the same in all
// three. Control characters are dropped and the title is cut to
// kMaxTitleBytes on a whole character.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace streamtitle {

constexpr size_t kMaxTitleBytes = 255;

// The raw bytes of the packet's StreamTitle value; nullopt when the packet has
// no such field. The value may hold quotes and semicolons: it ends at the
// "';" that ends the packet or is followed by the next field ("Name='").
std::optional<std::string> FieldOf(std::string_view packet);

// Bytes of undeclared encoding as local text: decoded as described above,
// control characters dropped, blanks trimmed, cut to kMaxTitleBytes.
std::string ToAnsi(std::string_view bytes);

struct TStreamSong {
  std::string Title;   // local text, trimmed
  std::string Singer;  // empty when the announcement names none
  bool operator==(const TStreamSong&) const = default;
};

// "singer - title" at the first " - " with text on both sides; anything else
// is a title alone.
TStreamSong Split(std::string_view ansiTitle);

// The song a packet announces; nullopt when it has no StreamTitle field. An
// empty StreamTitle gives an empty song (the station names nothing now).
std::optional<TStreamSong> SongOf(std::string_view packet);

}  // namespace streamtitle
