// The index rules of the playlist commands.
#include <gtest/gtest.h>

#include "playlist/PlaylistCommands.h"

namespace {

TEST(PlaylistCommands, CurrentAfterDelete) {
  struct Row {
    int deleted, current, remaining, expected;
  };
  const Row rows[] = {
      {1, 3, 4, 2},    // an earlier row: the same song stays current
      {3, 3, 4, 2},    // the current row: the one before it
      {4, 3, 4, 3},    // a later row: unchanged
      {0, 0, 2, 0},    // row 0 while current, rows left: 0
      {0, 0, 1, 0},    // ... also when one row is left
      {0, 0, 0, -1},   // the last row: none
      {2, -1, 3, 0},   // nothing current and rows left: 0
      {0, 9, 3, 2},    // an index already beyond the list comes back in range
      {2, -2, 3, -1},  // and one below -1
  };
  for (const Row& r : rows) {
    EXPECT_EQ(plcmd::CurrentAfterDelete(r.deleted, r.current, r.remaining), r.expected)
        << r.deleted << " " << r.current << " " << r.remaining;
  }
}

}  // namespace
