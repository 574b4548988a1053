// The demo catalogue's web pages: the rule page, the search result pages, song
// information, the title lookup, the lyric files and the audio streams.
#pragma once

#include <httplib.h>

#include <atomic>

namespace demo {

// Registers every route on `server`. Audio is made on first request and kept.
void RegisterRoutes(httplib::Server& server);

// Makes every MP3 stream ahead of its first request (a second or two of the
// encoder's work), so the first play of one does not wait. Any thread; it
// returns early, between two songs, once `stop` is set.
void WarmUpAudio(const std::atomic<bool>& stop);

}  // namespace demo
