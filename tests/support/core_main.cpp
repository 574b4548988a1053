#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  // Discovery and direct runs happen outside ctest's environment.
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
