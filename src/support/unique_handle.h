// A move-only owner of one handle of the system: released exactly once, on
// every path.
#pragma once

#include <utility>

namespace trovex {

// Owns one handle described by Traits (the type, its "none" value and how
// to release it).
template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Type h) noexcept : h_(h) {}
  UniqueHandle(UniqueHandle&& other) noexcept : h_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  Type Get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != Traits::None(); }
  // For out-parameters: releases what is held first.
  Type* Put() noexcept {
    Reset();
    return &h_;
  }
  // For a new owner, such as a stream that closes the handle itself.
  [[nodiscard]] Type Release() noexcept { return std::exchange(h_, Traits::None()); }
  void Reset(Type h = Traits::None()) noexcept {
    const Type old = std::exchange(h_, h);
    if (old != Traits::None()) Traits::Close(old);
  }

 private:
  Type h_ = Traits::None();
};

}  // namespace trovex
