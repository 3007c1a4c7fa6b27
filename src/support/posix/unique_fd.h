// Owns a POSIX file descriptor: closed exactly once, on every path.
#pragma once

#include <unistd.h>

#include <utility>

namespace trovex {

class UniqueFd {
 public:
  UniqueFd() noexcept = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int Get() const noexcept { return fd_; }
  explicit operator bool() const noexcept { return fd_ >= 0; }
  // For a new owner, such as a stream that closes the descriptor itself.
  [[nodiscard]] int Release() noexcept { return std::exchange(fd_, -1); }
  void Reset(int fd = -1) noexcept {
    if (const int old = std::exchange(fd_, fd); old >= 0) ::close(old);
  }
  // Closes now, for callers that must see close()'s error (a written file
  // reports a full disk there); 0 or -1 with errno set.
  int Close() noexcept {
    const int old = Release();
    return old >= 0 ? ::close(old) : 0;
  }

 private:
  int fd_ = -1;
};

}  // namespace trovex
