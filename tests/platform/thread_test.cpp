// Threads and synchronisation objects.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/thread.h"
#include "platform/time.h"

namespace {

TEST(Semaphore, CountsUpToItsMaximumAndTimesOut) {
  plat::Semaphore s(0, 2);
  EXPECT_FALSE(s.Wait(0));
  uint64_t start = plat::TickCount();
  EXPECT_FALSE(s.Wait(50));
  EXPECT_GE(plat::TickCount() - start, 30u);  // the wait really waited (ticks step by up to 16 ms)
  EXPECT_TRUE(s.Release());
  EXPECT_TRUE(s.Release());
  EXPECT_FALSE(s.Release());  // at the maximum
  EXPECT_TRUE(s.Wait(0));
  EXPECT_TRUE(s.Wait(0));
  EXPECT_FALSE(s.Wait(0));
}

TEST(Event, ManualResetStaysSetAndAutoResetWakesOnce) {
  plat::Event manual(true, false);
  EXPECT_FALSE(manual.Wait(0));
  manual.Set();
  EXPECT_TRUE(manual.Wait(0));
  EXPECT_TRUE(manual.Wait(0));
  manual.Reset();
  EXPECT_FALSE(manual.Wait(0));

  plat::Event automatic(false, true);
  EXPECT_TRUE(automatic.Wait(0));
  EXPECT_FALSE(automatic.Wait(0));
}

TEST(Thread, RunsItsBodyOnAnotherThreadAndHandsOverThroughAnEvent) {
  plat::Event started(true), proceed(false);
  std::atomic<uint32_t> workerId{0};
  std::atomic<int> stage{0};
  {
    plat::Thread t;
    ASSERT_TRUE(t.Start([&] {
      workerId = plat::CurrentThreadId();
      started.Set();
      proceed.Wait();
      stage = 2;
    }));
    EXPECT_FALSE(t.Start([] {}));  // one body per thread object
    EXPECT_TRUE(t.IsRunning());
    ASSERT_TRUE(started.Wait(10000));
    EXPECT_EQ(stage.load(), 0);
    proceed.Set();
    t.Join();
    EXPECT_FALSE(t.IsRunning());
  }
  EXPECT_EQ(stage.load(), 2);
  EXPECT_NE(workerId.load(), plat::CurrentThreadId());
}

TEST(Mutex, IsRecursiveAndExcludesOtherThreads) {
  plat::Mutex m;
  {
    plat::LockGuard outer(m);
    plat::LockGuard inner(m);  // the same thread may enter again
  }
  long counter = 0;
  auto body = [&] {
    for (int i = 0; i < 20000; ++i) {
      plat::LockGuard lock(m);
      long seen = counter;
      counter = seen + 1;
    }
  };
  {
    plat::Thread a, b;
    ASSERT_TRUE(a.Start(body));
    ASSERT_TRUE(b.Start(body));
  }  // the destructors join
  EXPECT_EQ(counter, 40000);
}

}  // namespace
