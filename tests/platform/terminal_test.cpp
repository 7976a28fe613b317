// Ctrl-C handling: the first interrupt is a flag, a burst of repeats is still
// that one interrupt, and a later second one ends the process.
#include <gtest/gtest.h>

#include "platform/terminal.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

// Signals reach the watch on POSIX; a Windows console sends its events another
// way, which raise() does not imitate.
#if !GTEST_OS_WINDOWS

namespace {

TEST(InterruptWatch, BurstIsOneInterruptAndALaterRepeatEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The process survives a burst (what timeout(1) delivers for one key press)
  // and keeps the flag until it is cleared.
  EXPECT_EXIT(
      {
        plat::WatchInterrupts();
        std::raise(SIGINT);
        std::raise(SIGINT);
        std::raise(SIGTERM);
        if (!plat::InterruptRequested()) std::_Exit(2);
        plat::ClearInterrupt();
        if (plat::InterruptRequested()) std::_Exit(3);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  // A second Ctrl-C after the burst window is the user insisting.
  EXPECT_EXIT(
      {
        plat::WatchInterrupts();
        std::raise(SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(plat::kRepeatedInterruptMs + 200));
        std::raise(SIGINT);
        std::_Exit(0);
      },
      ::testing::KilledBySignal(SIGINT), "");
}

}  // namespace
#endif
