// The window's keys: which command a key press asks for, as a pure function,
// so the window's key handler only runs what it names.
//
// While the search box is being typed in, every key is the box's except
// Escape, which leaves it.
#pragma once

#include <Qt>
#include <cstdint>

namespace keys {

enum class TKeyCommand {
  None,  // not ours: the key goes where it was going
  PlayPause,
  SeekBack,
  SeekForward,
  VolumeUp,
  VolumeDown,
  FocusSearch,  // the cursor into the search box
  LeaveSearch,  // out of the search box, back to the window
  LyricsEarlier,     // [  the lyrics 0.5 s earlier
  LyricsLater,       // ]  the lyrics 0.5 s later
  LyricTimingReset,  // \  the lyrics at the file's own timing
};

// How far one press of Left or Right seeks, and Up or Down changes the volume.
inline constexpr int64_t kSeekStepUs = 5'000'000;
inline constexpr int kVolumeStep = 5;

// `key` is a Qt::Key; the keypad flag is ignored, so the keypad's arrows act
// as the others do. Any other modifier makes a plain key none of ours.
TKeyCommand KeyCommand(int key, Qt::KeyboardModifiers modifiers, bool typingInSearch);

}  // namespace keys
