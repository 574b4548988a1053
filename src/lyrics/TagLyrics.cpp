#include "lyrics/TagLyrics.h"

#include <new>

#include "common/funPub.h"
#include "lyrics/LrcParser.h"
#include "tags/ATL_WMAfile.h"
#include "tags/Mp3FileUtils.h"

tags::TTagLyrics ReadTagLyrics(const std::string& path) {
  try {
    TID3v2Tag id3;
    id3.WantLyrics();
    if (id3.ReadFromFile(path) == tags::TagResult::Ok && !id3.Lyrics().Empty()) return id3.Lyrics();
    TWMAfile wma;
    if (wma.ReadFromFile(path) == tags::TagResult::Ok && !wma.Lyrics().empty())
      return {{}, wma.Lyrics()};
  } catch (const std::bad_alloc&) {
    // Lyrics too large for memory: the song plays without them.
  }
  return {};
}

bool FillFromTagLyrics(TLyricTimeline& timeline, const tags::TTagLyrics& lyrics) {
  if (!lyrics.Timed.empty()) {
    timeline.Clear();
    for (const tags::TTimedText& line : lyrics.Timed) {
      timeline.Times.push_back(std::to_string(line.Ms / 1000));
      timeline.Texts.push_back(tags::TextToAnsi(line.Text));
    }
    return true;
  }
  const std::string text = tags::TextToAnsi(lyrics.Text);
  TLyricTimeline parsed;
  ParseLyricText(parsed, text);
  if (parsed.Count() == 0) {
    size_t pos = 0;
    while (pos < text.size()) {
      std::string line = funPub::Trim(funPub::NextLine(text, pos));
      if (!line.empty()) parsed.StillLines.push_back(std::move(line));
    }
    if (parsed.StillLines.empty()) return false;
  }
  parsed.Cursor = 0;
  parsed.HasLyrics = timeline.HasLyrics;
  timeline = std::move(parsed);
  return true;
}
