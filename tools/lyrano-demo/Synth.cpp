#include "Synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <set>

namespace demo {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTailSeconds = 1.0;
constexpr std::array<int, 7> kMajor = {0, 2, 4, 5, 7, 9, 11};

double Frequency(int midi) {
  return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

int Midi(const Song& song, int degree, int octave) {
  return song.keyRoot + kMajor[static_cast<size_t>(degree - 1)] + 12 * octave;
}

struct Timbre {
  std::array<double, 6> harmonics;
  double decay;    // per second, after the attack; 0 holds the note
  double sustain;  // level the decay falls to
};

Timbre TimbreOf(Voice voice) {
  switch (voice) {
    case Voice::Soft:
      return {{1.0, 0.35, 0.12, 0.05, 0, 0}, 1.5, 0.65};
    case Voice::Flute:
      return {{1.0, 0.2, 0.08, 0.02, 0, 0}, 0.8, 0.8};
    case Voice::Reed:
      return {{1.0, 0.05, 0.45, 0.05, 0.25, 0.1}, 1.2, 0.7};
    case Voice::Bell:
      return {{1.0, 0.5, 0.3, 0.2, 0.1, 0.05}, 3.5, 0.15};
    case Voice::Pluck:
      return {{1.0, 0.6, 0.35, 0.2, 0.1, 0.05}, 4.5, 0.05};
  }
  return {{1.0, 0, 0, 0, 0, 0}, 1.0, 0.5};
}

// The chord under a melody note: the first of I, V, vi, IV, ii holding it.
std::array<int, 3> ChordFor(int degree) {
  static const std::array<std::array<int, 3>, 5> chords = {
      {{1, 3, 5}, {5, 7, 2}, {6, 1, 3}, {4, 6, 1}, {2, 4, 6}}};
  for (const auto& chord : chords) {
    if (std::find(chord.begin(), chord.end(), degree) != chord.end()) return chord;
  }
  return chords[0];
}

// One period of a timbre's wave: the mixer reads it by phase instead of
// summing a sine per harmonic for every sample.
struct Wave {
  static constexpr size_t kSize = 4096;
  Timbre timbre;
  std::vector<double> table;

  explicit Wave(const Timbre& t) : timbre(t), table(kSize) {
    for (size_t i = 0; i < kSize; ++i) {
      const double x = 2 * kPi * static_cast<double>(i) / kSize;
      for (size_t h = 0; h < t.harmonics.size(); ++h) {
        table[i] += t.harmonics[h] * std::sin(x * static_cast<double>(h + 1));
      }
    }
  }
  double At(double phase) const {  // phase in periods
    const double pos = (phase - std::floor(phase)) * kSize;
    const auto i = static_cast<size_t>(pos) % kSize;
    const double frac = pos - std::floor(pos);
    return table[i] + (table[(i + 1) % kSize] - table[i]) * frac;
  }
};

struct Mixer {
  std::vector<double> samples;

  // Attack, decay toward the sustain level, release at the end of the note.
  void AddTone(double start, double length, double frequency, double amplitude, const Wave& wave,
               bool vibrato) {
    constexpr double attack = 0.02;
    constexpr double release = 0.08;
    const auto first = static_cast<size_t>(start * kSampleRate);
    const auto count = static_cast<size_t>(length * kSampleRate);
    if (first + count > samples.size()) samples.resize(first + count, 0.0);
    const double step = std::exp(-wave.timbre.decay / kSampleRate);
    const double sustain = wave.timbre.sustain;
    double decay = 1.0;
    double phase = 0.0;
    for (size_t i = 0; i < count; ++i) {
      const double t = static_cast<double>(i) / kSampleRate;
      double f = frequency;
      if (vibrato && t > 0.25) f *= 1.0 + 0.004 * std::sin(2 * kPi * 5.0 * t);
      phase += f / kSampleRate;
      double level = 1.0;
      if (t < attack) {
        level = t / attack;
      } else {
        level = sustain + (1.0 - sustain) * decay;
        decay *= step;
      }
      if (t > length - release) level *= std::max(0.0, (length - t) / release);
      samples[first + i] += amplitude * level * wave.At(phase);
    }
  }
};

void ParseToken(std::string_view token, Note& note) {
  size_t i = 0;
  if (token[0] < '0' || token[0] > '7') {
    throw std::invalid_argument("bad melody token '" + std::string(token) + "'");
  }
  note.degree = token[i++] - '0';
  double halves = 1.0;
  int extra = 0;
  bool dotted = false;
  for (; i < token.size(); ++i) {
    switch (token[i]) {
      case '\'':
        ++note.octave;
        break;
      case ',':
        --note.octave;
        break;
      case '_':
        halves *= 0.5;
        break;
      case '.':
        dotted = true;
        break;
      case '-':
        ++extra;
        break;
      default:
        throw std::invalid_argument("bad melody token '" + std::string(token) + "'");
    }
  }
  note.beats = halves * (dotted ? 1.5 : 1.0) + extra;
}

double Beats(const std::vector<Note>& notes) {
  double beats = 0;
  for (const Note& n : notes) beats += n.beats;
  return beats;
}

}  // namespace

std::vector<Note> ParseMelody(std::string_view melody) {
  std::vector<Note> notes;
  size_t pos = 0;
  while (pos < melody.size()) {
    const size_t end = std::min(melody.find(' ', pos), melody.size());
    const std::string_view token = melody.substr(pos, end - pos);
    pos = end + 1;
    if (token.empty() || token == "|") continue;
    if (token.find_first_not_of('-') == std::string_view::npos) {
      // A dash of its own holds the note before it one beat longer.
      if (notes.empty()) throw std::invalid_argument("melody starts with '-'");
      notes.back().beats += static_cast<double>(token.size());
      continue;
    }
    Note note;
    ParseToken(token, note);
    notes.push_back(note);
  }
  return notes;
}

std::vector<double> LineStarts(const Song& song) {
  std::vector<double> starts;
  double beats = 0;
  for (const Line& line : song.lines) {
    starts.push_back(beats * 60.0 / song.bpm);
    beats += Beats(ParseMelody(line.melody));
  }
  return starts;
}

double SongSeconds(const Song& song) {
  double beats = 0;
  for (const Line& line : song.lines) beats += Beats(ParseMelody(line.melody));
  return beats * 60.0 / song.bpm + kTailSeconds;
}

std::string RenderWav(const Song& song) {
  const double beat = 60.0 / song.bpm;
  const Wave lead(TimbreOf(song.voice));
  const Wave pad(Timbre{{1.0, 0.3, 0.1, 0, 0, 0}, 0.3, 0.7});
  const Wave bass(Timbre{{1.0, 0.5, 0.2, 0.1, 0, 0}, 3.0, 0.1});

  std::vector<Note> melody;
  for (const Line& line : song.lines) {
    for (const Note& n : ParseMelody(line.melody)) melody.push_back(n);
  }

  Mixer mix;
  mix.samples.assign(static_cast<size_t>(SongSeconds(song) * kSampleRate), 0.0);
  double at = 0;  // in beats
  int lastBar = -1;
  std::array<int, 3> chord = ChordFor(1);
  for (const Note& n : melody) {
    // A new chord at each bar of four beats, from the note sounding there.
    const int bar = static_cast<int>(at / 4.0 + 1e-9);
    if (bar != lastBar) {
      if (n.degree != 0) chord = ChordFor(n.degree);
      lastBar = bar;
      const double barStart = bar * 4 * beat;
      for (int degree : chord) {
        mix.AddTone(barStart, 4 * beat, Frequency(Midi(song, degree, -1)), 0.07, pad, false);
      }
      for (int half = 0; half < 2; ++half) {
        mix.AddTone(barStart + half * 2 * beat, 2 * beat, Frequency(Midi(song, chord[0], -2)), 0.22,
                    bass, false);
      }
    }
    if (n.degree != 0) {
      mix.AddTone(at * beat, n.beats * beat, Frequency(Midi(song, n.degree, n.octave)), 0.3, lead,
                  true);
    }
    at += n.beats;
  }

  // Gentle fades, then scale the loudest sample to 85% of full range.
  const size_t total = mix.samples.size();
  const auto fadeIn = static_cast<size_t>(0.05 * kSampleRate);
  const auto fadeOut = static_cast<size_t>(1.5 * kSampleRate);
  double peak = 1e-9;
  for (size_t i = 0; i < total; ++i) {
    double g = 1.0;
    if (i < fadeIn) g = static_cast<double>(i) / static_cast<double>(fadeIn);
    if (i + fadeOut > total) g *= static_cast<double>(total - i) / static_cast<double>(fadeOut);
    mix.samples[i] *= g;
    peak = std::max(peak, std::fabs(mix.samples[i]));
  }
  const double scale = 0.85 * 32767.0 / peak;

  const auto dataBytes = static_cast<uint32_t>(total * 2);
  std::string wav;
  wav.reserve(44 + dataBytes);
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) wav += static_cast<char>((v >> (8 * i)) & 0xff);
  };
  auto put16 = [&](uint16_t v) {
    wav += static_cast<char>(v & 0xff);
    wav += static_cast<char>(v >> 8);
  };
  wav += "RIFF";
  put32(36 + dataBytes);
  wav += "WAVEfmt ";
  put32(16);
  put16(1);  // PCM
  put16(1);  // mono
  put32(kSampleRate);
  put32(kSampleRate * 2);
  put16(2);
  put16(16);
  wav += "data";
  put32(dataBytes);
  for (double s : mix.samples) {
    const long v = std::lround(std::clamp(s * scale, -32767.0, 32767.0));
    put16(static_cast<uint16_t>(static_cast<int16_t>(v)));
  }
  return wav;
}

std::string LrcText(const Song& song) {
  std::string text = "[ti:" + std::string(song.title) + "]\r\n";
  text += "[ar:" + std::string(*song.singer != '\0' ? song.singer : "群星") + "]\r\n";
  text += "[by:Lyrano 演示曲库]\r\n";
  const std::vector<double> starts = LineStarts(song);
  for (size_t i = 0; i < song.lines.size(); ++i) {
    if (*song.lines[i].words == '\0') continue;
    const auto centis = static_cast<long>(std::lround(starts[i] * 100));
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%02ld:%02ld.%02ld]", centis / 6000, centis / 100 % 60,
                  centis % 100);
    text += stamp;
    text += song.lines[i].words;
    text += "\r\n";
  }
  return text;
}

void CheckCatalogue() {
  std::set<int> ids;
  for (const Song& song : Catalogue()) {
    if (!ids.insert(song.id).second || song.id <= 0) {
      throw std::invalid_argument("song id " + std::to_string(song.id) + " is not unique");
    }
    if (song.bpm <= 0) throw std::invalid_argument(std::string(song.title) + ": bad tempo");
    const double seconds = SongSeconds(song);  // parses every melody
    if (seconds < 20.0 || seconds > 40.0) {
      throw std::invalid_argument(std::string(song.title) + " lasts " +
                                  std::to_string(static_cast<int>(seconds)) + " s, not 20 to 40");
    }
  }
}

}  // namespace demo
