// A stand-in for the audio engine module, built as a lyrano-audio.so of its
// own in a folder the player tests name in LYRANO_MODULE_DIR. It offers the
// engine's table, so the player core reaches it through BASS.h as it reaches
// the real one, and a control table the tests use to make its streams
// misbehave: fail to open, never start, stall, end early, or end when told.
// No sound device, no decoding: a stream is a name, a state and a position.
#pragma once

#include <cstdint>

#include "playback/BASS.h"

namespace fakeengine {

// How streams opened from one name behave. Names without a behaviour open
// and play, with a length of ten seconds.
struct TBehaviour {
  bool FailOpen = false;              // the open fails (a missing file, a dead address)
  bool NeverStarts = false;           // it opens but stays stalled (a server that sends nothing)
  int64_t LengthBytes = 10 * 176400;  // < 0: unknown (a live stream)
};

struct TControl {
  // Sets the behaviour of streams opened from `name` from now on.
  void (*Behave)(const char* name, TBehaviour behaviour);
  // Forgets every behaviour and stream, and counts from zero.
  void (*Reset)();
  // Plays `handle` to its end now: state stopped, its end sync runs on a
  // thread of the fake's, as the engine's does.
  void (*End)(HSTREAM handle);
  void (*Stall)(HSTREAM handle);
  void (*SetPosition)(HSTREAM handle, QWORD bytes);
  // The name of the stream last opened, or "" when none.
  const char* (*LastOpened)();
  int (*Opens)();                   // open attempts since Reset
  int (*LiveStreams)();             // opened and not freed
  float (*Volume)(HSTREAM handle);  // -1 for an unknown handle
  int (*Seeks)(HSTREAM handle);     // positions set through the engine; -1 for an unknown handle
  // What BASS_ChannelGetTags(handle, BASS_TAG_META) answers from now on, as a
  // radio's metadata packet; null for none (the start).
  void (*SetMeta)(HSTREAM handle, const char* packet);
};

}  // namespace fakeengine

// The control table, exported beside the engine's entry.
extern "C" const fakeengine::TControl* lyrano_fake_engine_control();
