// One song of a playlist or a search result. A path makes it a local song, else
// a song number a site song, else it is looked up by title and singer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct TPlaylistEntry {
  std::string Title;     // full title, local code page
  std::string geshou;    // singer, may be empty
  int32_t SongId = 0;    // the music site's song number, 0 for none
  std::string mp3Patch;  // local path, empty for an online song

  friend bool operator==(const TPlaylistEntry&, const TPlaylistEntry&) = default;
};

// What a playlist line cannot hold. The file format has no escaping, so a "|"
// in a title or singer would shift the fields and a CR or LF would end the
// line early. Every road into a list (the tags of an added file, the rows of a
// result page, adding to the playlist, and so the title lookup, which asks with
// a row's text) passes titles and singers through StorableText, which puts the
// full-width bar "｜" (U+FF5C, GBK A3 FC) for every "|" and a space for every
// CR and LF. A path cannot be changed that way: one holding any of the three
// is refused (StorablePath false). Reading is unchanged, so files written
// before load as they always did.
inline constexpr std::string_view kBarStandIn = "\xA3\xFC";

inline std::string StorableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '|') {
      out += kBarStandIn;
    } else if (c == '\r' || c == '\n') {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

inline bool StorablePath(std::string_view path) {
  return path.find_first_of("|\r\n") == std::string_view::npos;
}
