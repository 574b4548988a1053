// Makes a song's audio and its LRC lyrics from the catalogue tables: a sung
// line is played by a lead voice over a soft chord pad and a plucked bass, and
// each lyric line is timed to the first note of its phrase.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Catalogue.h"

namespace demo {

constexpr int kSampleRate = 22050;

struct Note {
  int degree = 0;  // 1..7, 0 for a rest
  int octave = 0;
  double beats = 1.0;
};

// Throws std::invalid_argument naming the bad token.
std::vector<Note> ParseMelody(std::string_view melody);

// Start of each line in seconds, and the song's length including its tail.
std::vector<double> LineStarts(const Song& song);
double SongSeconds(const Song& song);

// A mono 16-bit PCM WAV file.
std::string RenderWav(const Song& song);

// UTF-8 LRC text: title, singer and one timed line per sung line.
std::string LrcText(const Song& song);

// Throws std::invalid_argument when a song of the catalogue is malformed or
// lasts less than 20 or more than 40 seconds, or two songs share an id.
void CheckCatalogue();

}  // namespace demo
