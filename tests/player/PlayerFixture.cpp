#include "PlayerFixture.h"

#include <dlfcn.h>

#include <cstdlib>

#include "playback/BASS.h"

namespace playertest {

const fakeengine::TControl& Fake() {
  static const fakeengine::TControl* control = [] {
    // Before the engine is first needed: the fake stands in for it.
    setenv("LYRANO_MODULE_DIR", LYRANO_FAKE_ENGINE_DIR, 1);
    if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) ADD_FAILURE() << BASS_ErrorText();
    // The same module, already loaded: its control table.
    void* module = dlopen(LYRANO_FAKE_ENGINE_DIR "/lyrano-audio.so", RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr) return static_cast<const fakeengine::TControl*>(nullptr);
    auto get = reinterpret_cast<const fakeengine::TControl* (*)()>(
        dlsym(module, "lyrano_fake_engine_control"));
    return get ? get() : nullptr;
  }();
  if (control == nullptr) {
    ADD_FAILURE() << "the fake engine did not load";
    std::abort();
  }
  return *control;
}

void PlayerTest::SetUp() {
  Fake().Reset();
  player = std::make_unique<TPlayer>();
  player->Rules().Publish();
  QObject::connect(player.get(), &TPlayer::Failed,
                   [this](const std::string& message) { failures.push_back(message); });
}

void PlayerTest::TearDown() {
  player.reset();
  EXPECT_EQ(Fake().LiveStreams(), 0) << "a stream outlived the core";
}

std::string PlayerTest::PathOf(char letter) const {
  return (dir / (std::string(1, letter) + ".mp3")).string();
}

std::vector<TPlaylistEntry> PlayerTest::Songs(const std::string& letters) const {
  std::vector<TPlaylistEntry> rows;
  for (char c : letters) rows.push_back({std::string("Song ") + c, "Band", 0, PathOf(c)});
  return rows;
}

void PlayerTest::UseRows(const std::string& letters) {
  player->Rows().AppendAll(Songs(letters));
}

char PlayerTest::Opened() const {
  std::string name = Fake().LastOpened();
  if (name.size() < 5) return 0;
  return name[name.size() - 5];
}

}  // namespace playertest
