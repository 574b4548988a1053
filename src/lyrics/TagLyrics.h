// Lyrics stored in a local file's own tag, for a song that has no lyric file
// beside it: the ID3v2 lyrics frames, else the WMA header's WM/Lyrics.
#pragma once

#include <string>

#include "lyrics/LyricTimeline.h"
#include "tags/TagIO.h"

// The lyrics of the file's ID3v2 tag, else of its WMA header; empty when it
// has none or cannot be read. `path` in the local code page. Reads the file on
// the caller's thread; never throws.
tags::TTagLyrics ReadTagLyrics(const std::string& path);

// Fills `timeline` from a tag's lyrics: timed lines as they are (times cut to
// whole seconds, texts in the local code page); else a text holding LRC time
// tags, parsed as LRC; else the text's lines that are not blank, as still
// lines. False, leaving the timeline untouched, when nothing yields a line.
// HasLyrics is the caller's to set. Throws only lyrano::PatternError, as
// ParseLyricText does.
bool FillFromTagLyrics(TLyricTimeline& timeline, const tags::TTagLyrics& lyrics);
