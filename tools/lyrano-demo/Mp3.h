// MP3 versions of the demo's songs, made from our own synthesized WAV audio by
// the ffmpeg program (Debian's, with its LAME encoder), so the demo serves
// MP3 streams as real sites do.
#pragma once

#include <string>

namespace demo {

// The MP3 encoding of `wav` (a WAV file in memory), at 96 kbit/s with the
// song's title and singer as tags. Throws std::runtime_error when ffmpeg is
// missing or fails. Any thread; each call works in its own temporary folder.
std::string EncodeMp3(const std::string& wav, const std::string& title, const std::string& singer);

}  // namespace demo
