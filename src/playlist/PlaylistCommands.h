// The index rules of the playlist commands, as pure functions over plain
// values; the rows themselves live in the window's list panel.
#pragma once

namespace plcmd {

// CurrentIndex after deleting row `deleted` ("删除记录"), with `remaining` rows
// left: an earlier or the current row moves it back by one; -1 with rows left
// becomes 0. The result is always within -1 .. remaining - 1.
int CurrentAfterDelete(int deleted, int current, int remaining);

}  // namespace plcmd
