// POSIX back end: holds only code valid on every POSIX system.
#include "platform/thread.h"

#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace plat {

struct Mutex::Impl {
  std::recursive_mutex m;
};
Mutex::Mutex() : impl_(new Impl) {}
Mutex::~Mutex() = default;
void Mutex::Lock() { impl_->m.lock(); }
void Mutex::Unlock() { impl_->m.unlock(); }

struct Semaphore::Impl {
  std::mutex m;
  std::condition_variable cv;
  int32_t count = 0;
  int32_t maximum = 1;
};
Semaphore::Semaphore(int32_t initial, int32_t maximum) : impl_(new Impl) {
  impl_->count = initial;
  impl_->maximum = maximum;
}
Semaphore::~Semaphore() = default;
bool Semaphore::Wait(uint32_t milliseconds) {
  std::unique_lock<std::mutex> lock(impl_->m);
  auto ready = [this] { return impl_->count > 0; };
  if (milliseconds == kInfinite) {
    impl_->cv.wait(lock, ready);
  } else if (!impl_->cv.wait_for(lock, std::chrono::milliseconds(milliseconds), ready)) {
    return false;
  }
  --impl_->count;
  return true;
}
bool Semaphore::Release() {
  std::lock_guard<std::mutex> lock(impl_->m);
  if (impl_->count >= impl_->maximum) return false;
  ++impl_->count;
  impl_->cv.notify_one();
  return true;
}

struct Event::Impl {
  std::mutex m;
  std::condition_variable cv;
  bool manual = true;
  bool set = false;
};
Event::Event(bool manualReset, bool initiallySet) : impl_(new Impl) {
  impl_->manual = manualReset;
  impl_->set = initiallySet;
}
Event::~Event() = default;
void Event::Set() {
  std::lock_guard<std::mutex> lock(impl_->m);
  impl_->set = true;
  impl_->cv.notify_all();
}
void Event::Reset() {
  std::lock_guard<std::mutex> lock(impl_->m);
  impl_->set = false;
}
bool Event::Wait(uint32_t milliseconds) {
  std::unique_lock<std::mutex> lock(impl_->m);
  auto ready = [this] { return impl_->set; };
  if (milliseconds == kInfinite) {
    impl_->cv.wait(lock, ready);
  } else if (!impl_->cv.wait_for(lock, std::chrono::milliseconds(milliseconds), ready)) {
    return false;
  }
  if (!impl_->manual) impl_->set = false;
  return true;
}

struct Thread::Impl {
  std::thread t;
};
Thread::Thread() = default;
Thread::~Thread() { Join(); }
bool Thread::Start(std::function<void()> body) {
  if (impl_) return false;
  try {
    impl_.reset(new Impl);
    // The new thread starts with Ctrl-C, SIGTERM and SIGHUP blocked (it inherits
    // the mask in force at its creation), so that these always reach the thread
    // that watches for them and a blocked read there gives up.
    sigset_t interrupts;
    sigset_t previous;
    sigemptyset(&interrupts);
    sigaddset(&interrupts, SIGINT);
    sigaddset(&interrupts, SIGTERM);
    sigaddset(&interrupts, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
    try {
      impl_->t = std::thread(std::move(body));
    } catch (...) {
      pthread_sigmask(SIG_SETMASK, &previous, nullptr);
      throw;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  } catch (...) {
    impl_.reset();
    return false;
  }
  return true;
}
void Thread::Join() {
  if (impl_ && impl_->t.joinable()) impl_->t.join();
  impl_.reset();
}
bool Thread::IsRunning() const { return impl_ && impl_->t.joinable(); }

uint32_t CurrentThreadId() { return static_cast<uint32_t>(::syscall(SYS_gettid)); }

}  // namespace plat
