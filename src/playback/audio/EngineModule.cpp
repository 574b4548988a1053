// The entry points of the audio engine module: each finds the stream and
// forwards to the engine in this folder. Nothing here blocks except the opens,
// Free (which joins the stream's decoder thread) and RemoveSync (which waits
// for a procedure already running).
#include <string>

#include "playback/audio/Engine.h"
#include "playback/audio/EngineTable.h"

namespace lyrano::audio {
namespace {

static_assert(kPcmBytesPerSecond == kBytesPerSecond);

thread_local std::string gLastError;

DWORD Open(const Source& source) {
  std::string error;
  DWORD handle = Engine::Get().CreateStream(source, &error);
  gLastError = handle == 0 ? error : std::string();
  return handle;
}

BOOL Init(int device, DWORD freq) {
  std::string error;
  bool ok = Engine::Get().Init(device, freq, &error);
  gLastError = ok ? std::string() : error;
  return ok ? 1 : 0;
}

HSTREAM OpenFile(const char* path) {
  return Open(Source::FromAnsiPath(path));
}

HSTREAM OpenUrl(const char* url) {
  return Open(Source::FromAnsiUrl(url));
}

BOOL Free(HSTREAM handle) {
  return Engine::Get().Free(handle) ? 1 : 0;
}

bool Exists(DWORD handle) {
  return Engine::Get().Find(handle) != nullptr;
}

BOOL Play(DWORD handle, BOOL restart) {
  auto stream = Engine::Get().Find(handle);
  return stream && stream->Play(restart != 0) ? 1 : 0;
}

BOOL Pause(DWORD handle) {
  auto stream = Engine::Get().Find(handle);
  return stream && stream->Pause() ? 1 : 0;
}

BOOL Stop(DWORD handle) {
  auto stream = Engine::Get().Find(handle);
  return stream && stream->Stop() ? 1 : 0;
}

DWORD State(DWORD handle) {
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

QWORD Length(DWORD handle) {
  auto stream = Engine::Get().Find(handle);
  if (!stream) return BASS_ERROR_VALUE;
  return stream->Length().value_or(BASS_ERROR_VALUE);
}

QWORD Position(DWORD handle) {
  auto stream = Engine::Get().Find(handle);
  return stream ? stream->Position() : BASS_ERROR_VALUE;
}

BOOL SetVolume(DWORD handle, float volume) {
  auto stream = Engine::Get().Find(handle);
  if (!stream) return 0;
  stream->SetVolume(volume);
  return 1;
}

BOOL GetVolume(DWORD handle, float* volume) {
  auto stream = Engine::Get().Find(handle);
  if (!stream) return 0;
  *volume = stream->Volume();
  return 1;
}

BOOL SetPosition(DWORD handle, QWORD bytes) {
  auto stream = Engine::Get().Find(handle);
  return stream && stream->SetPosition(bytes) ? 1 : 0;
}

const char* Meta(DWORD handle) {
  thread_local std::string copy;
  auto stream = Engine::Get().Find(handle);
  if (!stream) return nullptr;
  copy = stream->Meta();
  return copy.empty() ? nullptr : copy.c_str();
}

HSYNC SetSync(DWORD handle, DWORD type, SYNCPROC proc, void* user) {
  return Engine::Get().SetSync(handle, type, proc, user);
}

BOOL RemoveSync(DWORD handle, HSYNC sync) {
  return Engine::Get().RemoveSync(handle, sync) ? 1 : 0;
}

const char* ErrorText() {
  return gLastError.c_str();
}

constexpr EngineTable kTable{Init,    OpenFile,   OpenUrl,   Free,      Exists,     Play,
                             Pause,   Stop,       State,     Length,    Position,   SetVolume,
                             SetSync, RemoveSync, ErrorText, GetVolume, SetPosition, Meta};

}  // namespace
}  // namespace lyrano::audio

extern "C" __attribute__((visibility("default"))) const lyrano::audio::EngineTable*
lyrano_audio_engine(uint32_t version) {
  return version == lyrano::audio::kEngineTableVersion ? &lyrano::audio::kTable : nullptr;
}
