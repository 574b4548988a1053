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
constexpr DWORD BASS_TAG_META = 5;
// Returned by length and position queries that cannot be answered.
constexpr QWORD BASS_ERROR_VALUE = ~QWORD{0};

extern "C" {
// Opens the default output device (device -1 only) at `freq` Hz stereo (44100
// only). False when there is no output device or it is already open, or when
// the engine cannot be loaded; every open before a successful call fails.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const void* clsid);

// Our additions. The engine and its libraries are loaded on first need, not
// with the program. BASS_InitDeferred returns at once: BASS_Init with these
// arguments then runs right after the engine has loaded, before any other
// call reaches it; for a caller that ignores BASS_Init's result. BASS_Preload
// starts loading the engine on a thread of its own and returns at once. A
// stream open (or BASS_Init) made meanwhile waits for the load; calls on
// handles never load the engine.
void BASS_InitDeferred(int device, DWORD freq, DWORD flags, HWND win, const void* clsid);
void BASS_Preload(void);

// A plain local file (never an FFmpeg protocol or device name), `file` being its
// name in the local code page. Whole files only: `mem` true or a non-zero
// offset or length fails. Blocks until the first sound is decoded. 0 on failure.
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
// http and https only; blocks until the stream is ready to play or has failed,
// each network wait bounded by 3000 ms. A non-zero offset or a download
// procedure fails. Mid-stream, an address that sends no sound for 10 s ends.
// 0 on failure.
HSTREAM BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC proc,
                             void* user);
// Stops the sound at once and invalidates the handle.
BOOL BASS_StreamFree(HSTREAM handle);

// Resumes a paused or stopped stream; starts from the beginning when `restart`
// is true or the stream has ended (reopening its file or address).
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
// False unless the stream was playing (or stalled).
BOOL BASS_ChannelPause(DWORD handle);
// State 0; a later play resumes where it stopped.
BOOL BASS_ChannelStop(DWORD handle);
DWORD BASS_ChannelIsActive(DWORD handle);

// Mode 0 (bytes) only. The length is the container's figure until the input has
// been decoded to its end, then exact; BASS_ERROR_VALUE while unknown.
QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode);
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);
// Moves the stream to byte `pos` (mode 0 only), rounded down to a whole sample
// frame (4 bytes). Returns at once; the move itself happens on the engine's
// thread. From the call on, the position reads `pos` and the output gets no
// sample of the old position; the next samples it gets are those at `pos`.
// A playing stream plays on there, a paused or stopped one stays so and
// resumes there, an ended one becomes stopped there. A position at or past
// the length moves to the end, which ends the stream as playing to its last
// sample does: the end sync runs once (for a paused or stopped stream, when
// it plays; an ended stream stays ended). False, with
// nothing changed, for a stream whose length is unknown (a live address).
BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode);
// `pos` is taken as signed, so BASS_ERROR_VALUE gives a tiny negative time.
// -1 for an invalid handle.
double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);

// Attribute 2 is the volume, 0.0 to 1.0 (clamped; NaN fails), effective within
// one output buffer.
BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value);
// The volume last set on the stream (1.0 until set); false for another
// attribute or an invalid handle.
BOOL BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value);

// Type BASS_SYNC_END, optionally | BASS_SYNC_ONETIME; other types return 0. The
// procedure gets (sync, stream, 0, user) on the engine's notification thread,
// for ends after the call. It may call any BASS function, but must not wait
// for a thread that is removing it.
HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC proc, void* user);
// Once this returns the procedure is not running and will not run. False when
// the sync is unknown (a one-time sync that already ran included).
BOOL BASS_ChannelRemoveSync(DWORD handle, HSYNC sync);

// Our addition for internet radio. Tag type BASS_TAG_META only: the latest
// metadata packet the stream's server sent between the sound, as it came
// ("StreamTitle='...';StreamUrl='...';", bytes of an undeclared encoding),
// without control characters and at most 4096 bytes. It changes while the
// stream plays, some seconds ahead of the sound. Null for a stream without
// one (a local file, a server that sends none, none yet since the stream
// started or restarted), an invalid handle or another type. The text is a
// copy for the calling thread, valid until its next BASS_ChannelGetTags.
// Never waits for the network.
const char* BASS_ChannelGetTags(DWORD handle, DWORD tags);

// Why the last failed BASS_Init or stream open on this thread failed, in
// English; empty after a success. Our addition, for diagnostics.
const char* BASS_ErrorText(void);
}
