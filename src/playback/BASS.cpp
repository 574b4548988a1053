// The BASS operations over the engine in playback/audio. Each function checks
// its arguments, finds the stream and forwards; nothing here blocks except the
// opens, Free (which joins the stream's decoder thread) and RemoveSync (which
// waits for a procedure already running).
#include "playback/BASS.h"

#include <cmath>
#include <string>

#include "playback/audio/Engine.h"

using lyrano::audio::Engine;
using lyrano::audio::PlayState;
using lyrano::audio::Source;

namespace {

thread_local std::string gLastError;

BOOL Fail(std::string why) {
  gLastError = std::move(why);
  return 0;
}

DWORD Open(const Source& source) {
  std::string error;
  DWORD handle = Engine::Get().CreateStream(source, &error);
  gLastError = handle == 0 ? error : std::string();
  return handle;
}

}  // namespace

extern "C" {

BOOL BASS_Init(int device, DWORD freq, DWORD /*flags*/, HWND /*win*/, const void* /*clsid*/) {
  std::string error;
  if (!Engine::Get().Init(device, freq, &error)) return Fail(error);
  gLastError.clear();
  return 1;
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length,
                              DWORD /*flags*/) {
  if (mem != 0) return Fail("streams from memory are not supported");
  if (offset != 0 || length != 0) return Fail("only whole files can be opened");
  if (file == nullptr) return Fail("no file name");
  return Open(Source::FromAnsiPath(static_cast<const char*>(file)));
}

HSTREAM BASS_StreamCreateURL(const char* url, DWORD offset, DWORD /*flags*/, DOWNLOADPROC proc,
                             void* /*user*/) {
  if (offset != 0) return Fail("an address plays from its start only");
  if (proc != nullptr) return Fail("download procedures are not supported");
  if (url == nullptr) return Fail("no address");
  return Open(Source::FromAnsiUrl(url));
}

BOOL BASS_StreamFree(HSTREAM handle) {
  return Engine::Get().Free(handle) ? 1 : 0;
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
  auto stream = Engine::Get().Find(handle);
  return stream && stream->Play(restart != 0) ? 1 : 0;
}

BOOL BASS_ChannelPause(DWORD handle) {
  auto stream = Engine::Get().Find(handle);
  return stream && stream->Pause() ? 1 : 0;
}

BOOL BASS_ChannelStop(DWORD handle) {
  auto stream = Engine::Get().Find(handle);
  return stream && stream->Stop() ? 1 : 0;
}

DWORD BASS_ChannelIsActive(DWORD handle) {
  auto stream = Engine::Get().Find(handle);
  if (!stream) return BASS_ACTIVE_STOPPED;
  switch (stream->State()) {
    case PlayState::Playing:
      return stream->Stalled() ? BASS_ACTIVE_STALLED : BASS_ACTIVE_PLAYING;
    case PlayState::Paused:
      return BASS_ACTIVE_PAUSED;
    default:
      return BASS_ACTIVE_STOPPED;
  }
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode) {
  auto stream = Engine::Get().Find(handle);
  if (!stream || mode != BASS_POS_BYTE) return BASS_ERROR_VALUE;
  return stream->Length().value_or(BASS_ERROR_VALUE);
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
  auto stream = Engine::Get().Find(handle);
  if (!stream || mode != BASS_POS_BYTE) return BASS_ERROR_VALUE;
  return stream->Position();
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
  if (!Engine::Get().Find(handle)) return -1.0;
  // Signed, so the error value (all bits set) comes out as a tiny negative time
  // rather than millions of years.
  return static_cast<double>(static_cast<int64_t>(pos)) / lyrano::audio::kBytesPerSecond;
}

BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
  if (attrib != BASS_ATTRIB_VOL || std::isnan(value)) return 0;
  auto stream = Engine::Get().Find(handle);
  if (!stream) return 0;
  stream->SetVolume(std::fmin(std::fmax(value, 0.0f), 1.0f));
  return 1;
}

HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD /*param*/, SYNCPROC proc, void* user) {
  return Engine::Get().SetSync(handle, type, proc, user);
}

BOOL BASS_ChannelRemoveSync(DWORD handle, HSYNC sync) {
  return Engine::Get().RemoveSync(handle, sync) ? 1 : 0;
}

const char* BASS_ErrorText() {
  return gLastError.c_str();
}

}  // extern "C"
