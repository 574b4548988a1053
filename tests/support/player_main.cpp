#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdlib>

// The player core's tests: an event loop for its timers and queued calls,
// and nothing of a display.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
