// The fake engine's two tables. One mutex guards every field; an end sync is
// run on a thread of its own, outside the lock, and End() returns after it ran.
#include "fake_engine/FakeEngine.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "playback/audio/EngineTable.h"

namespace {

using fakeengine::TBehaviour;

struct TSync {
  SYNCPROC Proc = nullptr;
  void* User = nullptr;
  bool OneTime = false;
};

struct TStream {
  std::string Name;
  TBehaviour Behaviour;
  DWORD State = BASS_ACTIVE_STOPPED;
  QWORD Position = 0;
  bool Ended = false;
  float Volume = 1.0f;
  int Seeks = 0;
  std::optional<std::string> Meta;
  std::map<HSYNC, TSync> Syncs;
};

std::mutex gMutex;
std::map<std::string, TBehaviour> gBehaviours;
std::map<HSTREAM, TStream> gStreams;
DWORD gNextHandle = 1;
int gOpens = 0;
std::string gLastOpened;
thread_local std::string gError;

TStream* Find(DWORD handle) {
  auto it = gStreams.find(handle);
  return it == gStreams.end() ? nullptr : &it->second;
}

BOOL Init(int, DWORD) {
  return 1;
}

HSTREAM Open(const char* name) {
  std::lock_guard lock(gMutex);
  ++gOpens;
  gLastOpened = name;
  TBehaviour behaviour;
  if (auto it = gBehaviours.find(name); it != gBehaviours.end()) behaviour = it->second;
  // No name, no stream, as with the real engine.
  if (behaviour.FailOpen || *name == '\0') {
    gError = "cannot open";
    return 0;
  }
  gError.clear();
  HSTREAM handle = gNextHandle++;
  TStream& stream = gStreams[handle];
  stream.Name = name;
  stream.Behaviour = behaviour;
  return handle;
}

BOOL Free(HSTREAM handle) {
  std::lock_guard lock(gMutex);
  return gStreams.erase(handle) > 0;
}

bool Exists(DWORD handle) {
  std::lock_guard lock(gMutex);
  return Find(handle) != nullptr;
}

BOOL Play(DWORD handle, BOOL restart) {
  std::lock_guard lock(gMutex);
  TStream* s = Find(handle);
  if (!s) return 0;
  if (restart || s->Ended) {
    s->Position = 0;
    s->Ended = false;
  }
  s->State = s->Behaviour.NeverStarts ? BASS_ACTIVE_STALLED : BASS_ACTIVE_PLAYING;
  return 1;
}

BOOL Pause(DWORD handle) {
  std::lock_guard lock(gMutex);
  TStream* s = Find(handle);
  if (!s || (s->State != BASS_ACTIVE_PLAYING && s->State != BASS_ACTIVE_STALLED)) return 0;
  s->State = BASS_ACTIVE_PAUSED;
  return 1;
}

BOOL Stop(DWORD handle) {
  std::lock_guard lock(gMutex);
  TStream* s = Find(handle);
  if (!s) return 0;
  s->State = BASS_ACTIVE_STOPPED;
  return 1;
}

DWORD State(DWORD handle) {
  std::lock_guard lock(gMutex);
  TStream* s = Find(handle);
  return s ? s->State : BASS_ACTIVE_STOPPED;
}

QWORD Length(DWORD handle) {
  std::lock_guard lock(gMutex);
  TStream* s = Find(handle);
  if (!s || s->Behaviour.LengthBytes < 0) return BASS_ERROR_VALUE;
  return static_cast<QWORD>(s->Behaviour.LengthBytes);
}

QWORD Position(DWORD handle) {
  std::lock_guard lock(gMutex);
  TStream* s = Find(handle);
  return s ? s->Position : BASS_ERROR_VALUE;
}

BOOL SetVolume(DWORD handle, float volume) {
  std::lock_guard lock(gMutex);
  TStream* s = Find(handle);
  if (!s) return 0;
  s->Volume = volume;
  return 1;
}

BOOL GetVolume(DWORD handle, float* volume) {
  std::lock_guard lock(gMutex);
  TStream* s = Find(handle);
  if (!s) return 0;
  *volume = s->Volume;
  return 1;
}

// As the engine: within the known length, a frame at a time; past the end
// the position stays at the end (the test ends the stream with End()).
BOOL SeekTo(DWORD handle, QWORD bytes) {
  std::lock_guard lock(gMutex);
  TStream* s = Find(handle);
  if (!s || s->Behaviour.LengthBytes < 0) return 0;
  s->Position = std::min<QWORD>(bytes, static_cast<QWORD>(s->Behaviour.LengthBytes)) / 4 * 4;
  ++s->Seeks;
  if (s->Ended && s->Position < static_cast<QWORD>(s->Behaviour.LengthBytes)) s->Ended = false;
  return 1;
}

HSYNC SetSync(DWORD handle, DWORD type, SYNCPROC proc, void* user) {
  std::lock_guard lock(gMutex);
  TStream* s = Find(handle);
  if (!s || (type & ~BASS_SYNC_ONETIME) != BASS_SYNC_END) return 0;
  HSYNC sync = gNextHandle++;
  s->Syncs[sync] = TSync{proc, user, (type & BASS_SYNC_ONETIME) != 0};
  return sync;
}

BOOL RemoveSync(DWORD handle, HSYNC sync) {
  std::lock_guard lock(gMutex);
  TStream* s = Find(handle);
  return s && s->Syncs.erase(sync) > 0;
}

const char* ErrorText() {
  return gError.c_str();
}

const char* Meta(DWORD handle) {
  thread_local std::string copy;
  std::lock_guard lock(gMutex);
  TStream* s = Find(handle);
  if (!s || !s->Meta) return nullptr;
  copy = *s->Meta;
  return copy.c_str();
}

const lyrano::audio::EngineTable kEngine = {Init,
                                            [](const char* name) { return Open(name); },
                                            [](const char* url) { return Open(url); },
                                            Free,
                                            Exists,
                                            Play,
                                            Pause,
                                            Stop,
                                            State,
                                            Length,
                                            Position,
                                            SetVolume,
                                            SetSync,
                                            RemoveSync,
                                            ErrorText,
                                            GetVolume,
                                            SeekTo,
                                            Meta};

// --- control ---------------------------------------------------------------

void Behave(const char* name, TBehaviour behaviour) {
  std::lock_guard lock(gMutex);
  gBehaviours[name] = behaviour;
}

void Reset() {
  std::lock_guard lock(gMutex);
  gBehaviours.clear();
  gStreams.clear();
  gOpens = 0;
  gLastOpened.clear();
}

void End(HSTREAM handle) {
  std::map<HSYNC, TSync> fire;
  {
    std::lock_guard lock(gMutex);
    TStream* s = Find(handle);
    if (!s) return;
    s->State = BASS_ACTIVE_STOPPED;
    s->Ended = true;
    if (s->Behaviour.LengthBytes >= 0) s->Position = static_cast<QWORD>(s->Behaviour.LengthBytes);
    fire = s->Syncs;
    for (auto it = s->Syncs.begin(); it != s->Syncs.end();)
      it = it->second.OneTime ? s->Syncs.erase(it) : std::next(it);
  }
  std::thread notifier([fire, handle] {
    for (const auto& [sync, s] : fire) s.Proc(sync, handle, 0, s.User);
  });
  notifier.join();
}

void Stall(HSTREAM handle) {
  std::lock_guard lock(gMutex);
  if (TStream* s = Find(handle)) s->State = BASS_ACTIVE_STALLED;
}

void SetPosition(HSTREAM handle, QWORD bytes) {
  std::lock_guard lock(gMutex);
  if (TStream* s = Find(handle)) s->Position = bytes;
}

const char* LastOpened() {
  std::lock_guard lock(gMutex);
  return gLastOpened.c_str();
}

int Opens() {
  std::lock_guard lock(gMutex);
  return gOpens;
}

int LiveStreams() {
  std::lock_guard lock(gMutex);
  return static_cast<int>(gStreams.size());
}

float Volume(HSTREAM handle) {
  std::lock_guard lock(gMutex);
  TStream* s = Find(handle);
  return s ? s->Volume : -1.0f;
}

int Seeks(HSTREAM handle) {
  std::lock_guard lock(gMutex);
  TStream* s = Find(handle);
  return s ? s->Seeks : -1;
}

void SetMeta(HSTREAM handle, const char* packet) {
  std::lock_guard lock(gMutex);
  TStream* s = Find(handle);
  if (!s) return;
  if (packet != nullptr) {
    s->Meta = packet;
  } else {
    s->Meta.reset();
  }
}

const fakeengine::TControl kControl = {Behave, Reset,       End,    Stall, SetPosition, LastOpened,
                                       Opens,  LiveStreams, Volume, Seeks, SetMeta};

}  // namespace

extern "C" __attribute__((visibility("default"))) const lyrano::audio::EngineTable*
lyrano_audio_engine(uint32_t version) {
  return version == lyrano::audio::kEngineTableVersion ? &kEngine : nullptr;
}

extern "C" __attribute__((visibility("default"))) const fakeengine::TControl*
lyrano_fake_engine_control() {
  return &kControl;
}
