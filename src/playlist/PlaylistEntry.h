// One song of a playlist or a search result. A path makes it a local song, else
// a song number a site song, else it is looked up by title and singer.
#pragma once

#include <cstdint>
#include <string>

struct TPlaylistEntry {
  std::string Title;     // full title, local code page
  std::string geshou;    // singer, may be empty
  int32_t SongId = 0;    // the music site's song number, 0 for none
  std::string mp3Patch;  // local path, empty for an online song

  friend bool operator==(const TPlaylistEntry&, const TPlaylistEntry&) = default;
};
