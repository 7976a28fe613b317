// Ctrl-C handling: the first interrupt is a flag, a burst of repeats is still
// that one interrupt, and a later second one removes the registered temporary
// file and ends the process.
#include <gtest/gtest.h>

#include "platform/terminal.h"

#include "platform/directory.h"
#include "platform/file.h"
#include "tests/platform/scratch_folder.h"

#include <chrono>
#include <csignal>
#include <iterator>
#include <cstdlib>
#include <string>
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
}

// A second interrupt after the burst window is the user insisting: the process
// ends by that signal, and the temporary file it registered is gone. SIGTERM and
// SIGHUP are watched like Ctrl-C.
TEST(InterruptWatch, ALaterRepeatRemovesTheRegisteredFileAndEndsTheProcess) {
  // "fast": the child is forked here, so it writes into this test's folder (a
  // re-executed child would make a folder of its own).
  GTEST_FLAG_SET(death_test_style, "fast");
  testing_support::ScratchFolder scratch;
  for (int number : {SIGINT, SIGTERM, SIGHUP}) {
    const plat::String16 temp = scratch / ("~partial-" + std::to_string(number));
    const plat::String16 other = scratch / "unregistered";
    // A private folder goes too: the files named for it (one never written), then the folder.
    const plat::String16 folder = scratch / ("private-" + std::to_string(number));
    const ZoChar* const names[] = {u"settings.ini", u"never-written", u"payload.ach"};
    EXPECT_EXIT(
        {
          plat::WatchInterrupts();
          plat::File::Open(other.c_str(), plat::Access::Write, plat::kShareNone, plat::Disposition::CreateAlways);
          plat::RemoveOnForcedExit(other.c_str());
          plat::RemoveOnForcedExit(temp.c_str());  // the latest registration wins
          if (!plat::CreateDirectory(folder.c_str())) std::_Exit(5);
          for (const ZoChar* name : {names[0], names[2]}) {
            const plat::String16 inside = folder + plat::kSeparator + name;
            plat::File::Open(inside.c_str(), plat::Access::Write, plat::kShareNone, plat::Disposition::CreateAlways);
          }
          if (!plat::RemoveFolderOnForcedExit(folder.c_str(), names, std::size(names))) std::_Exit(6);
          plat::File written =
              plat::File::Open(temp.c_str(), plat::Access::Write, plat::kShareNone, plat::Disposition::CreateAlways);
          if (!written) std::_Exit(4);
          std::raise(number);
          if (!plat::InterruptRequested()) std::_Exit(2);
          std::this_thread::sleep_for(std::chrono::milliseconds(plat::kRepeatedInterruptMs + 200));
          std::raise(number);
          std::_Exit(0);
        },
        ::testing::KilledBySignal(number), "");
    EXPECT_FALSE(plat::Exists(temp.c_str())) << number;
    EXPECT_FALSE(plat::Exists(folder.c_str())) << number;
    EXPECT_TRUE(plat::Exists(other.c_str())) << number;
  }
}

}  // namespace
#endif
