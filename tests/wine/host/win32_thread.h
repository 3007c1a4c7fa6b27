// A lock and a thread from Win32 itself: the toolchain's win32 thread model
// has neither std::mutex nor std::thread.
#pragma once

#include <windows.h>

#include <functional>
#include <stdexcept>
#include <utility>

namespace trovex::wine_host {

// Meets BasicLockable; not recursive.
class Win32Lock {
 public:
  Win32Lock() = default;
  Win32Lock(const Win32Lock&) = delete;
  Win32Lock& operator=(const Win32Lock&) = delete;
  void lock() { ::AcquireSRWLockExclusive(&lock_); }
  void unlock() { ::ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

class Win32Guard {
 public:
  explicit Win32Guard(Win32Lock& lock) : lock_(lock) { lock_.lock(); }
  ~Win32Guard() { lock_.unlock(); }
  Win32Guard(const Win32Guard&) = delete;
  Win32Guard& operator=(const Win32Guard&) = delete;

 private:
  Win32Lock& lock_;
};

// Runs `body` on a thread of its own; the destructor waits for it.
class Win32Thread {
 public:
  explicit Win32Thread(std::function<void()> body) : body_(std::move(body)) {
    handle_ = ::CreateThread(nullptr, 0, &Win32Thread::Run, this, 0, nullptr);
    if (!handle_) throw std::runtime_error("CreateThread failed");
  }
  ~Win32Thread() { Join(); }
  Win32Thread(const Win32Thread&) = delete;
  Win32Thread& operator=(const Win32Thread&) = delete;

  void Join() {
    if (!handle_) return;
    ::WaitForSingleObject(handle_, INFINITE);
    ::CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<Win32Thread*>(self)->body_();
    return 0;
  }

  std::function<void()> body_;
  HANDLE handle_ = nullptr;
};

}  // namespace trovex::wine_host
