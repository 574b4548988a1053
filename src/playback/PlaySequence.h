// Which playlist row plays next: index moves of the next, previous and
// automatic-advance commands, and the guard that stops the automatic advance
// once every row has failed to open in a row. Pure functions over plain values;
// the window owns the state and calls these on its own thread.
#pragma once

namespace playseq {

// An index brought into -1 .. count - 1: the playlist may have shrunk under it
// (deleting ticked rows, a new list). Beyond the end gives the last row, below
// -1 gives -1, an empty list gives -1.
int InRange(int index, int count);

// Next: (index + 1) mod count after InRange; -1 for an empty list.
int NextIndex(int index, int count);
// Previous: index - 1, below 0 or beyond the last row gives 0; -1 for an empty list.
int PrevIndex(int index, int count);

// The automatic advance after a stream ended or failed to open.
struct TAdvanceGuard {
  int FailedInRow = 0;  // opens that failed since the last success or user command
};

// A user command (play, next, previous, double-click, menu) re-arms the advance.
void OnUserCommand(TAdvanceGuard& guard);
// A stream opened and started.
void OnOpenSucceeded(TAdvanceGuard& guard);
// A stream failed to open; true when the advance may go on to the next row,
// false once every one of the `count` rows has failed in a row.
bool OnOpenFailed(TAdvanceGuard& guard, int count);

}  // namespace playseq
