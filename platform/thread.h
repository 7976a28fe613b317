// Threads and synchronisation.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

namespace plat {

// Recursive mutex (a critical section): the same thread may enter it again.
class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void Lock();
  void Unlock();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class LockGuard {
 public:
  explicit LockGuard(Mutex& m) : m_(m) { m_.Lock(); }
  ~LockGuard() { m_.Unlock(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  Mutex& m_;
};

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// Counting semaphore private to the process (never shared by name).
class Semaphore {
 public:
  Semaphore(int32_t initial, int32_t maximum);
  ~Semaphore();
  Semaphore(const Semaphore&) = delete;
  Semaphore& operator=(const Semaphore&) = delete;
  // True when taken, false on time-out.
  bool Wait(uint32_t milliseconds = kInfinite);
  // Adds one unless the maximum is reached (then false).
  bool Release();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Event with manual or automatic reset.
class Event {
 public:
  explicit Event(bool manualReset, bool initiallySet = false);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  void Set();
  void Reset();
  bool Wait(uint32_t milliseconds = kInfinite);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A joinable thread running `body`; the destructor joins. On POSIX the thread
// starts with SIGINT, SIGTERM and SIGHUP blocked: interrupts reach the thread
// that started the watch (platform/terminal.h), never a worker.
class Thread {
 public:
  Thread();  // defined beside Impl: an inline one would need Impl complete
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  bool Start(std::function<void()> body);
  void Join();
  bool IsRunning() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

uint32_t CurrentThreadId();

}  // namespace plat
