// The demo catalogue: our own songs, in plain tables. Every text is UTF-8.
// A melody is written in numbered notation, one phrase per lyric line:
//   "1".."7" scale degrees of the song's key, "0" a rest;
//   ' one octave up, , one octave down (may repeat);
//   _ halves the note (may repeat), . adds half, each - adds a beat
//   (written after a note or as a token of its own);
//   "|" is a bar line and is skipped.
// To add a song, append a row to the table in Catalogue.cpp: a new id, the
// texts, tempo, key and voice, an intro, the lines and an outro. The song must
// last 20 to 40 seconds (the demo refuses to start otherwise).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace demo {

enum class Voice { Soft, Flute, Reed, Bell, Pluck };

// How the site serves a song's stream; each shows the player another road.
enum class Delivery {
  Wav,          // a WAV file with its length
  Mp3,          // an MP3 file with its length
  Mp3Chunked,   // MP3 sent chunked, without a length
  Mp3Redirect,  // the song's address answers 302 and points at the MP3
  Broken,       // the address answers 404: the player skips the song
};

struct Line {
  const char* melody;
  const char* words;  // empty: instrumental, no lyric line
};

struct Song {
  int id;  // song number on the site; its lyric number too
  const char* title;
  const char* singer;  // empty: the site shows "群星" with the no-singer marker
  int bpm;
  int keyRoot;  // MIDI note of degree 1
  Voice voice;
  std::vector<Line> lines;  // intro and outro are lines without words; all without: no lyrics
  // Further words the search finds the song by, besides title and singer (as
  // a real site matches albums): "我们的歌" and "夏天" each fill several pages.
  const char* tags = "";
  Delivery delivery = Delivery::Wav;
  bool listedWithId = true;  // false: its result item has no song number
};

// True when at least one line has words: only then is there a lyric file.
bool HasLyrics(const Song& song);

const std::vector<Song>& Catalogue();
const Song* FindSong(int id);

// Songs whose title, singer or tags contain `keyword`, in catalogue order;
// "全部" lists every song.
std::vector<const Song*> SearchSongs(std::string_view keyword);

// The title lookup: an exact title (and singer, when given) first, else the
// first title that contains the asked title.
const Song* LookupSong(std::string_view title, std::string_view singer);

// The access code the site hands out with a song's address.
std::string AccessCode(int id);

}  // namespace demo
