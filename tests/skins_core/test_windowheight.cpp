// The list button's height rule.
#include <gtest/gtest.h>

#include "skins/WindowHeight.h"

namespace {

TEST(WindowHeight, MidpointRule) {
  EXPECT_EQ(winheight::Midpoint(188, 405), 296);
  struct Row {
    int current, min, max, expected;
  };
  const Row rows[] = {
      {188, 188, 405, 405},
      {295, 188, 405, 405},
      {296, 188, 405, 188},
      {405, 188, 405, 188},
      {500, 188, 405, 188},
      {100, 188, 405, 405},
      // Heights where max is not above min still give one of the two.
      {188, 188, 188, 188},
      {150, 300, 200, 200},
      {260, 300, 200, 300},
  };
  for (const Row& r : rows)
    EXPECT_EQ(winheight::Toggled(r.current, r.min, r.max), r.expected) << r.current;
}

}  // namespace
