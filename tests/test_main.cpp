// The tests' main: every test program runs with the same environment,
// whichever way it is started (ctest or by hand).
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  // Sound goes to SDL's dummy driver unless the caller chose one; settings
  // come from the build tree's own folder, never from the user's.
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("ORALIS_DIR", LAMINA_TEST_ORALIS_DIR, 0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
