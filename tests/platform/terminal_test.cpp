// Ctrl-C handling: the first interrupt is a flag, a burst of repeats is still
// that one interrupt, and a later second one ends the process.
#include <gtest/gtest.h>

#include "platform/terminal.h"

#ifndef _WIN32
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

TEST(InterruptWatch, BurstIsOneInterruptAndALaterRepeatEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The process survives a burst (what timeout(1) delivers for one key press)
  // and keeps the flag until it is cleared.
  EXPECT_EXIT(
      {
        plat::WatchInterrupts();
        raise(SIGINT);
        raise(SIGINT);
        kill(getpid(), SIGTERM);
        if (!plat::InterruptRequested()) _exit(2);
        plat::ClearInterrupt();
        if (plat::InterruptRequested()) _exit(3);
        _exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  // A second Ctrl-C after the burst window is the user insisting.
  EXPECT_EXIT(
      {
        plat::WatchInterrupts();
        raise(SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(plat::kRepeatedInterruptMs + 200));
        raise(SIGINT);
        _exit(0);
      },
      ::testing::KilledBySignal(SIGINT), "");
}

}  // namespace
#endif
