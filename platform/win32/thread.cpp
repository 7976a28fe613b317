// Win32 back end: holds only code valid on every Windows system.
// A critical section for the recursive mutex, unnamed kernel semaphores and
// events (private to the process), and std::thread for threads.
#include "platform/win32/windows_wrapper.h"

#include "platform/thread.h"

#include <new>
#include <thread>

#include "platform/errors.h"
#include "platform/win32/win32_util.h"

namespace plat {

namespace {

// Waits on a kernel object; a handle that could not be created never signals.
bool WaitOn(const ScopedHandle& h, uint32_t milliseconds) {
  if (!h.IsValid()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  DWORD r = ::WaitForSingleObject(h.Get(), milliseconds);
  if (r == WAIT_TIMEOUT) SetLastError(kErrorTimeout);
  return r == WAIT_OBJECT_0;
}

}  // namespace

struct Mutex::Impl {
  CRITICAL_SECTION section;
};
Mutex::Mutex() : impl_(new Impl) { ::InitializeCriticalSection(&impl_->section); }
Mutex::~Mutex() { ::DeleteCriticalSection(&impl_->section); }
void Mutex::Lock() { ::EnterCriticalSection(&impl_->section); }
void Mutex::Unlock() { ::LeaveCriticalSection(&impl_->section); }

struct Semaphore::Impl {
  ScopedHandle handle;
};
Semaphore::Semaphore(int32_t initial, int32_t maximum) : impl_(new Impl) {
  impl_->handle.Reset(::CreateSemaphoreW(nullptr, initial, maximum, nullptr));
}
Semaphore::~Semaphore() = default;
bool Semaphore::Wait(uint32_t milliseconds) { return WaitOn(impl_->handle, milliseconds); }
bool Semaphore::Release() {
  // Fails with ERROR_TOO_MANY_POSTS when the maximum is reached.
  return impl_->handle.IsValid() && ::ReleaseSemaphore(impl_->handle.Get(), 1, nullptr) != 0;
}

struct Event::Impl {
  ScopedHandle handle;
};
Event::Event(bool manualReset, bool initiallySet) : impl_(new Impl) {
  impl_->handle.Reset(::CreateEventW(nullptr, manualReset, initiallySet, nullptr));
}
Event::~Event() = default;
void Event::Set() {
  if (impl_->handle.IsValid()) ::SetEvent(impl_->handle.Get());
}
void Event::Reset() {
  if (impl_->handle.IsValid()) ::ResetEvent(impl_->handle.Get());
}
bool Event::Wait(uint32_t milliseconds) { return WaitOn(impl_->handle, milliseconds); }

struct Thread::Impl {
  std::thread t;
};
Thread::Thread() = default;
Thread::~Thread() { Join(); }
bool Thread::Start(std::function<void()> body) {
  if (impl_) return false;
  try {
    impl_.reset(new Impl);
    impl_->t = std::thread(std::move(body));
  } catch (...) {
    impl_.reset();
    SetLastError(kErrorNotEnoughMemory);
    return false;
  }
  return true;
}
void Thread::Join() {
  if (impl_ && impl_->t.joinable()) impl_->t.join();
  impl_.reset();
}
bool Thread::IsRunning() const { return impl_ && impl_->t.joinable(); }

uint32_t CurrentThreadId() { return ::GetCurrentThreadId(); }

}  // namespace plat
