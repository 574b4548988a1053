#include "skins/WindowHeight.h"

namespace winheight {

int Midpoint(int minHeight, int maxHeight) {
  return (maxHeight - minHeight) / 2 + minHeight;
}

int Toggled(int current, int minHeight, int maxHeight) {
  return current < Midpoint(minHeight, maxHeight) ? maxHeight : minHeight;
}

}  // namespace winheight
