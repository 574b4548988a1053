// The audio engine as a module of its own (lyrano-audio.so): FFmpeg and SDL
// load with it, on first need, not with the program. Its one way in is this
// table of our own entry points, which BASS.cpp calls after checking the
// arguments; nothing else in the program sees the engine or its libraries.
//
// Every entry may be called from any thread. Handles are the engine's; 0 or
// an unknown handle fails without effect, as BASS.h says.
#pragma once

#include <cstdint>

#include "playback/BASS.h"

namespace lyrano::audio {

// Raised whenever an entry is added, removed or changes its meaning.
constexpr uint32_t kEngineTableVersion = 4;  // 2: GetVolume, 3: SetPosition, 4: Meta
constexpr char kEngineModuleFile[] = "lyrano-audio.so";
constexpr char kEngineEntry[] = "lyrano_audio_engine";
// Decoded 44100 Hz 16-bit stereo PCM.
constexpr double kPcmBytesPerSecond = 176400.0;

struct EngineTable {
  BOOL (*Init)(int device, DWORD freq);
  // A plain local file by its name in the local code page / an http(s) address.
  HSTREAM (*OpenFile)(const char* ansiPath);
  HSTREAM (*OpenUrl)(const char* ansiUrl);
  BOOL (*Free)(HSTREAM handle);
  bool (*Exists)(DWORD handle);

  BOOL (*Play)(DWORD handle, BOOL restart);
  BOOL (*Pause)(DWORD handle);
  BOOL (*Stop)(DWORD handle);
  DWORD (*State)(DWORD handle);  // BASS_ACTIVE_*
  // Bytes; BASS_ERROR_VALUE when unknown or for a bad handle.
  QWORD (*Length)(DWORD handle);
  QWORD (*Position)(DWORD handle);
  // 0.0 to 1.0, already checked.
  BOOL (*SetVolume)(DWORD handle, float volume);

  HSYNC (*SetSync)(DWORD handle, DWORD type, SYNCPROC proc, void* user);
  BOOL (*RemoveSync)(DWORD handle, HSYNC sync);

  // Why the last failed Init or open on this thread failed; empty after a success.
  const char* (*ErrorText)();

  // The volume last set on the stream (1.0 until set); false for a bad handle.
  BOOL (*GetVolume)(DWORD handle, float* volume);

  // Bytes, as BASS_ChannelSetPosition says; false for a bad handle or a
  // stream whose length is unknown.
  BOOL (*SetPosition)(DWORD handle, QWORD bytes);

  // The stream's latest metadata packet, copied for the calling thread and
  // valid until its next call; null when there is none or for a bad handle.
  const char* (*Meta)(DWORD handle);
};

}  // namespace lyrano::audio

// The module's one exported function: its table, or null when `version` is not
// the one it was built with.
extern "C" const lyrano::audio::EngineTable* lyrano_audio_engine(uint32_t version);
