// A timed page fetch and the two ways a fault may end it, shared by the tests
// of misbehaving servers (plain and TLS).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "online/IEgetHttp.h"

namespace onlinetest {

using Seconds = std::chrono::duration<double>;

// The fetcher's rule for one network wait.
constexpr Seconds kWait = std::chrono::seconds(3);

struct Outcome {
  bool ok = false;
  std::string page;
  double seconds = 0;
};

inline Outcome Fetch(const std::string& url) {
  Outcome o;
  o.page = "stale";
  auto start = std::chrono::steady_clock::now();
  o.ok = IEgetHttp::FetchPage(url, o.page);
  o.seconds = Seconds(std::chrono::steady_clock::now() - start).count();
  if (!o.ok) {
    EXPECT_EQ(o.page, "") << "a failed fetch leaves no text";
  }
  return o;
}

// Fails well before any time limit could have fired.
inline void ExpectQuickFailure(const Outcome& o) {
  EXPECT_FALSE(o.ok);
  EXPECT_LT(o.seconds, kWait.count()) << "the fault was not seen until a time limit";
}

// Fails by the 3 s rule: not before it, and not much after.
inline void ExpectFailureByTheWaitLimit(const Outcome& o) {
  EXPECT_FALSE(o.ok);
  EXPECT_GE(o.seconds, kWait.count() - 0.05);
  EXPECT_LE(o.seconds, 2 * kWait.count());
}

}  // namespace onlinetest
