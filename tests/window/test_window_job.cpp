// The window's job lane: results come back on the window's thread, the latest
// job wins, a failure is thrown there, and the lane cancels and joins its
// threads when it goes.
#include <gtest/gtest.h>

#include <QObject>
#include <QTest>
#include <QThread>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "player/JobLane.h"

namespace {

using namespace std::chrono_literals;

class WindowJobLane : public testing::Test {
 protected:
  QObject window;
  std::vector<std::string> errors;
  TJobLane lane{&window, [this](const std::function<void()>& delivery) {
                  try {
                    delivery();
                  } catch (const std::exception& e) {
                    errors.push_back(e.what());
                  }
                }};
};

// Work that sleeps `ms` (stopping early when cancelled) and returns `value`.
std::function<int(const std::atomic<bool>&)> Sleepy(int ms, int value) {
  return [ms, value](const std::atomic<bool>& cancel) {
    for (int i = 0; i < ms / 10 && !cancel.load(); ++i) std::this_thread::sleep_for(10ms);
    return value;
  };
}

TEST_F(WindowJobLane, DeliversOnTheWindowsThreadAndTheLatestJobWins) {
  std::vector<int> got;
  bool onWindowThread = true;
  auto done = [&](int& v) {
    onWindowThread = onWindowThread && QThread::currentThread() == window.thread();
    got.push_back(v);
  };
  lane.Start<int>(Sleepy(300, 1), done);
  EXPECT_TRUE(lane.Busy());
  // The first job's work does not look at its flag: it still finishes, late.
  lane.Start<int>(
      [](const std::atomic<bool>&) {
        std::this_thread::sleep_for(50ms);
        return 2;
      },
      done);
  lane.Start<int>(
      [](const std::atomic<bool>&) {
        std::this_thread::sleep_for(150ms);
        return 3;
      },
      done);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !lane.Busy(); }, 5000));
  QTest::qWait(400);
  EXPECT_EQ(got, std::vector<int>{3});
  EXPECT_TRUE(onWindowThread);

  // Cancel drops a running job's result too.
  lane.Start<int>(Sleepy(100, 4), done);
  lane.Cancel();
  EXPECT_FALSE(lane.Busy());
  QTest::qWait(300);
  EXPECT_EQ(got, std::vector<int>{3});
}

TEST_F(WindowJobLane, AFailureIsThrownOnTheWindowsThread) {
  bool done = false;
  lane.Start<int>([](const std::atomic<bool>&) -> int { throw std::runtime_error("bad pattern"); },
                  [&](int&) { done = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return !errors.empty(); }, 5000));
  EXPECT_EQ(errors, std::vector<std::string>{"bad pattern"});
  EXPECT_FALSE(done);
  EXPECT_FALSE(lane.Busy());
}

TEST_F(WindowJobLane, GoingAwayCancelsAndJoinsAtOnce) {
  std::atomic<bool> sawCancel{false};
  auto lane2 = std::make_unique<TJobLane>(&window, [](const std::function<void()>& d) { d(); });
  lane2->Start<int>(
      [&](const std::atomic<bool>& cancel) {
        for (int i = 0; i < 2000 && !cancel.load(); ++i) std::this_thread::sleep_for(10ms);
        sawCancel = cancel.load();
        return 0;
      },
      [](int&) {});
  std::this_thread::sleep_for(50ms);
  auto start = std::chrono::steady_clock::now();
  lane2.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_TRUE(sawCancel);
}

}  // namespace
