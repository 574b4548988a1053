// The demo catalogue's web pages: the rule page, the search result pages, song
// information, the title lookup, the lyric files and the audio streams.
#pragma once

#include <httplib.h>

namespace demo {

// Registers every route on `server`. Audio is made on first request and kept.
void RegisterRoutes(httplib::Server& server);

}  // namespace demo
