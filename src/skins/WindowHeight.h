// The list button's rule between the compact and the expanded window height.
#pragma once

namespace winheight {

// (max - min) div 2 + min, the division truncating.
int Midpoint(int minHeight, int maxHeight);

// The height the list button gives a window of `current` height: below the
// midpoint it expands to `maxHeight`, otherwise it collapses to `minHeight`.
int Toggled(int current, int minHeight, int maxHeight);

}  // namespace winheight
