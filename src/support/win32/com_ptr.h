// A move-only owner of one COM interface reference. Not copyable on
// purpose: every AddRef is explicit (Share), so reference counts can be
// read off the code.
#pragma once

#include <unknwn.h>

#include <utility>

namespace trovex::win32 {

template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.p_, nullptr));
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { Reset(); }

  // Takes over a reference the caller already owns (no AddRef).
  static ComPtr Attach(T* p) noexcept {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  // Adds a reference of its own to `p`.
  static ComPtr AddRefOf(T* p) noexcept {
    if (p) p->AddRef();
    return Attach(p);
  }
  // A second owner of the same object.
  ComPtr Share() const noexcept { return AddRefOf(p_); }

  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // For out-parameters: releases what is held first.
  T** Put() noexcept {
    Reset();
    return &p_;
  }
  void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
  [[nodiscard]] T* Detach() noexcept { return std::exchange(p_, nullptr); }
  void Reset(T* p = nullptr) noexcept {
    T* old = std::exchange(p_, p);
    if (old) old->Release();
  }

  // QueryInterface for U; the HRESULT tells why `out` stays empty.
  template <typename U>
  HRESULT As(REFIID iid, ComPtr<U>& out) const noexcept {
    if (!p_) {
      out.Reset();
      return E_POINTER;
    }
    return p_->QueryInterface(iid, out.PutVoid());
  }

 private:
  T* p_ = nullptr;
};

}  // namespace trovex::win32
