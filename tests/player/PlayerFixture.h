// The player core over the fake engine: a temporary folder for list and lyric
// files, a core whose rule set is ready, and the fake's control table.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "fake_engine/FakeEngine.h"
#include "player/Player.h"
#include "support/TestSupport.h"

namespace playertest {

// The fake's control table; loads the fake through BASS.h on first use.
const fakeengine::TControl& Fake();

class PlayerTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Rows "A", "B", ... as local songs named <dir>/<letter>.mp3 (no file needed:
  // the fake opens names).
  std::vector<TPlaylistEntry> Songs(const std::string& letters) const;
  void UseRows(const std::string& letters);
  std::string PathOf(char letter) const;
  // The letter of the song last opened, or 0.
  char Opened() const;

  // Runs the event loop until `done` holds (false after `ms`).
  template <typename F>
  bool WaitFor(F done, int ms = 3000) {
    return QTest::qWaitFor(done, ms);
  }
  // Delivers what is queued (an end notification) without waiting for timers.
  static void Deliver() { QCoreApplication::processEvents(); }

  testsupport::TempDir dir;
  std::unique_ptr<TPlayer> player;
  std::vector<std::string> failures;  // what Failed said
};

}  // namespace playertest
