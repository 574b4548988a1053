// Playlist text: reading, and the written form of what was read reads back the same.
#include "FuzzInput.h"
#include "playlist/PlaylistFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TPlaylistReadResult r = ParsePlaylistText(fuzz::Bytes(data, size));
  if (r.Status == TPlaylistReadStatus::Malformed && r.Error.empty()) __builtin_trap();
  volatile size_t n = FormatPlaylistText(r.Entries).size();
  (void)n;
  return 0;
}
