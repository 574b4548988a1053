// The audio library: the operations the player calls, by their names, over our
// own engine (FFmpeg decodes, SDL2 plays). Callers include only this header.
//
// - Handles are 32-bit, never reused within a run; 0 means none. Every call on 0
//   or a freed handle fails without effect.
// - Positions and lengths are bytes of decoded 44100 Hz 16-bit stereo PCM
//   (176,400 bytes a second). The position is what has been handed to the output.
// - States: 0 stopped (ended, stopped, freed, or handle 0), 1 playing,
//   2 stalled (an internet stream waiting for data), 3 paused.
// - A sync of type BASS_SYNC_END | BASS_SYNC_ONETIME runs its procedure exactly
//   once, on an engine thread, when the last sample has been played.
//   BASS_ChannelRemoveSync guarantees it will not run afterwards.
// - All calls may be made from any thread; the player makes them from the
//   window's thread.
#pragma once

#include <cstdint>

using DWORD = uint32_t;
using QWORD = uint64_t;
using BOOL = int;
using HSTREAM = DWORD;
using HSYNC = DWORD;
using HWND = void*;

using SYNCPROC = void (*)(HSYNC handle, DWORD channel, DWORD data, void* user);
using DOWNLOADPROC = void (*)(const void* buffer, DWORD length, void* user);

constexpr DWORD BASS_ACTIVE_STOPPED = 0;
constexpr DWORD BASS_ACTIVE_PLAYING = 1;
constexpr DWORD BASS_ACTIVE_STALLED = 2;
constexpr DWORD BASS_ACTIVE_PAUSED = 3;

constexpr DWORD BASS_SYNC_END = 2;
constexpr DWORD BASS_SYNC_ONETIME = 0x80000000u;
constexpr DWORD BASS_ATTRIB_VOL = 2;
constexpr DWORD BASS_POS_BYTE = 0;
// Returned by length and position queries that cannot be answered.
constexpr QWORD BASS_ERROR_VALUE = ~QWORD{0};

extern "C" {
// Opens the default output device (device -1) at `freq` Hz stereo. False when
// there is no output device; every later open then fails.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const void* clsid);

// A plain local file (never an FFmpeg protocol or device name). 0 on failure.
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length,
                              DWORD flags);
// http and https only; blocks until the stream is ready to play or has failed,
// each network wait bounded by 3000 ms. 0 on failure.
HSTREAM BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC proc,
                             void* user);
// Stops the sound at once and invalidates the handle.
BOOL BASS_StreamFree(HSTREAM handle);

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
BOOL BASS_ChannelPause(DWORD handle);
BOOL BASS_ChannelStop(DWORD handle);
DWORD BASS_ChannelIsActive(DWORD handle);

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode);
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);
double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);

// Attribute 2 is the volume, 0.0 to 1.0, effective within one output buffer.
BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value);

HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC proc, void* user);
BOOL BASS_ChannelRemoveSync(DWORD handle, HSYNC sync);
}
