#include "playlist/PlaylistCommands.h"

namespace plcmd {

int CurrentAfterDelete(int deleted, int current, int remaining) {
  if (deleted <= current) --current;
  if (current == -1 && remaining > 0) current = 0;
  if (current >= remaining) current = remaining - 1;
  if (current < -1) current = -1;
  return current;
}

}  // namespace plcmd
