// The BASS operations: arguments are checked here, then forwarded to the
// audio engine module (playback/audio), which is loaded on first need. Only
// BASS_Init and the stream opens need the engine and so load it; every call on
// a handle answers "unknown handle" while it is not loaded, since only the
// engine issues handles. A module that cannot be loaded makes BASS_Init and
// every open fail with the reason in BASS_ErrorText, as a missing output
// device would.
#include "playback/BASS.h"

#include <cmath>
#include <string>

#include "common/LazyModule.h"
#include "playback/audio/EngineTable.h"

using lyrano::audio::EngineTable;

namespace {

lazymod::LazyModule& Module() {
  static lazymod::LazyModule module(lyrano::audio::kEngineModuleFile, lyrano::audio::kEngineEntry,
                                    lyrano::audio::kEngineTableVersion);
  return module;
}

// The reason of this thread's last failure comes either from the checks here
// (and the module's loading) or from the engine.
thread_local std::string gOwnError;
thread_local bool gEngineHasError = false;

BOOL Fail(std::string why) {
  gOwnError = std::move(why);
  gEngineHasError = false;
  return 0;
}

// The engine for a call that needs it: loads it, or waits for a load under way.
const EngineTable* Need() {
  auto* table = static_cast<const EngineTable*>(Module().Get());
  if (table == nullptr) Fail("the audio engine cannot be loaded: " + Module().Error());
  return table;
}

// The engine if it is loaded; a call on a handle never loads it.
const EngineTable* Loaded() {
  return static_cast<const EngineTable*>(Module().IfLoaded());
}

// The reason of an engine call's failure is the engine's from now on.
template <typename T>
T Forwarded(T result) {
  gEngineHasError = true;
  return result;
}

}  // namespace

extern "C" {

BOOL BASS_Init(int device, DWORD freq, DWORD /*flags*/, HWND /*win*/, const void* /*clsid*/) {
  const EngineTable* e = Need();
  return e == nullptr ? 0 : Forwarded(e->Init(device, freq));
}

void BASS_InitDeferred(int device, DWORD freq, DWORD /*flags*/, HWND /*win*/,
                       const void* /*clsid*/) {
  Module().AfterLoad([device, freq](const void* table) {
    static_cast<const EngineTable*>(table)->Init(device, freq);
  });
}

void BASS_Preload(void) {
  Module().LoadInBackground();
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length,
                              DWORD /*flags*/) {
  if (mem != 0) return Fail("streams from memory are not supported");
  if (offset != 0 || length != 0) return Fail("only whole files can be opened");
  if (file == nullptr) return Fail("no file name");
  const EngineTable* e = Need();
  return e == nullptr ? 0 : Forwarded(e->OpenFile(static_cast<const char*>(file)));
}

HSTREAM BASS_StreamCreateURL(const char* url, DWORD offset, DWORD /*flags*/, DOWNLOADPROC proc,
                             void* /*user*/) {
  if (offset != 0) return Fail("an address plays from its start only");
  if (proc != nullptr) return Fail("download procedures are not supported");
  if (url == nullptr) return Fail("no address");
  const EngineTable* e = Need();
  return e == nullptr ? 0 : Forwarded(e->OpenUrl(url));
}

BOOL BASS_StreamFree(HSTREAM handle) {
  const EngineTable* e = Loaded();
  return e != nullptr && handle != 0 ? e->Free(handle) : 0;
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
  const EngineTable* e = Loaded();
  return e != nullptr && handle != 0 ? e->Play(handle, restart) : 0;
}

BOOL BASS_ChannelPause(DWORD handle) {
  const EngineTable* e = Loaded();
  return e != nullptr && handle != 0 ? e->Pause(handle) : 0;
}

BOOL BASS_ChannelStop(DWORD handle) {
  const EngineTable* e = Loaded();
  return e != nullptr && handle != 0 ? e->Stop(handle) : 0;
}

DWORD BASS_ChannelIsActive(DWORD handle) {
  const EngineTable* e = Loaded();
  return e != nullptr && handle != 0 ? e->State(handle) : BASS_ACTIVE_STOPPED;
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode) {
  const EngineTable* e = Loaded();
  if (e == nullptr || handle == 0 || mode != BASS_POS_BYTE) return BASS_ERROR_VALUE;
  return e->Length(handle);
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
  const EngineTable* e = Loaded();
  if (e == nullptr || handle == 0 || mode != BASS_POS_BYTE) return BASS_ERROR_VALUE;
  return e->Position(handle);
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode) {
  const EngineTable* e = Loaded();
  if (e == nullptr || handle == 0 || mode != BASS_POS_BYTE) return 0;
  return e->SetPosition(handle, pos);
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
  const EngineTable* e = Loaded();
  if (e == nullptr || handle == 0 || !e->Exists(handle)) return -1.0;
  // Signed, so the error value (all bits set) comes out as a tiny negative time
  // rather than millions of years.
  return static_cast<double>(static_cast<int64_t>(pos)) / lyrano::audio::kPcmBytesPerSecond;
}

BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
  if (attrib != BASS_ATTRIB_VOL || std::isnan(value)) return 0;
  const EngineTable* e = Loaded();
  if (e == nullptr || handle == 0) return 0;
  return e->SetVolume(handle, std::fmin(std::fmax(value, 0.0f), 1.0f));
}

BOOL BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value) {
  if (attrib != BASS_ATTRIB_VOL || value == nullptr) return 0;
  const EngineTable* e = Loaded();
  if (e == nullptr || handle == 0) return 0;
  return e->GetVolume(handle, value);
}

HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD /*param*/, SYNCPROC proc, void* user) {
  const EngineTable* e = Loaded();
  return e != nullptr && handle != 0 ? e->SetSync(handle, type, proc, user) : 0;
}

BOOL BASS_ChannelRemoveSync(DWORD handle, HSYNC sync) {
  const EngineTable* e = Loaded();
  return e != nullptr ? e->RemoveSync(handle, sync) : 0;
}

const char* BASS_ChannelGetTags(DWORD handle, DWORD tags) {
  if (tags != BASS_TAG_META) return nullptr;
  const EngineTable* e = Loaded();
  return e != nullptr && handle != 0 ? e->Meta(handle) : nullptr;
}

const char* BASS_ErrorText() {
  const EngineTable* e = Loaded();
  if (gEngineHasError && e != nullptr) return e->ErrorText();
  return gOwnError.c_str();
}

}  // extern "C"
