#include "playback/PlaySequence.h"

namespace playseq {

int InRange(int index, int count) {
  if (count <= 0 || index < -1) return -1;
  if (index >= count) return count - 1;
  return index;
}

int NextIndex(int index, int count) {
  if (count <= 0) return -1;
  return (InRange(index, count) + 1) % count;
}

int PrevIndex(int index, int count) {
  if (count <= 0) return -1;
  int i = index - 1;
  if (i < 0 || i > count - 1) i = 0;
  return i;
}

void OnUserCommand(TAdvanceGuard& guard) {
  guard.FailedInRow = 0;
}

void OnOpenSucceeded(TAdvanceGuard& guard) {
  guard.FailedInRow = 0;
}

bool OnOpenFailed(TAdvanceGuard& guard, int count) {
  if (guard.FailedInRow < count) ++guard.FailedInRow;
  return guard.FailedInRow < count;
}

}  // namespace playseq
