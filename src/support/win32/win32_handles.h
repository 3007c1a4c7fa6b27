// Move-only owners of Win32 and OLE Automation handles: one alias per
// handle type, so that every handle is released exactly once on every path.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string_view>
#include <utility>

#include "support/unique_handle.h"

namespace trovex::win32 {

struct HkeyTraits {
  using Type = HKEY;
  static Type None() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::RegCloseKey(h); }
};

// Kernel handles whose "none" is null (events, processes, mappings).
struct HandleTraits {
  using Type = HANDLE;
  static Type None() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::CloseHandle(h); }
};

// CreateFileW reports failure as INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Type = HANDLE;
  static Type None() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) noexcept { ::CloseHandle(h); }
};

// FindFirstFileW's search, which only FindClose ends.
struct FindHandleTraits {
  using Type = HANDLE;
  static Type None() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) noexcept { ::FindClose(h); }
};

struct HmoduleTraits {
  using Type = HMODULE;
  static Type None() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::FreeLibrary(h); }
};

struct HiconTraits {
  using Type = HICON;
  static Type None() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::DestroyIcon(h); }
};

struct BstrTraits {
  using Type = BSTR;
  static Type None() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::SysFreeString(h); }
};

using unique_hkey = UniqueHandle<HkeyTraits>;
using unique_handle = UniqueHandle<HandleTraits>;
using unique_hfile = UniqueHandle<FileHandleTraits>;
using unique_hfind = UniqueHandle<FindHandleTraits>;
using unique_hmodule = UniqueHandle<HmoduleTraits>;
using unique_hicon = UniqueHandle<HiconTraits>;
using unique_bstr = UniqueHandle<BstrTraits>;

// A BSTR holding `text`; throws std::bad_alloc when the system has no memory.
unique_bstr MakeBstr(std::wstring_view text);

// Owns a VARIANT and clears it (releasing strings, objects, arrays) once.
class unique_variant {
 public:
  unique_variant() noexcept { ::VariantInit(&v_); }
  unique_variant(unique_variant&& other) noexcept : v_(other.v_) { ::VariantInit(&other.v_); }
  unique_variant& operator=(unique_variant&& other) noexcept {
    if (this != &other) {
      Reset();
      v_ = other.v_;
      ::VariantInit(&other.v_);
    }
    return *this;
  }
  unique_variant(const unique_variant&) = delete;
  unique_variant& operator=(const unique_variant&) = delete;
  ~unique_variant() { ::VariantClear(&v_); }

  const VARIANT& Get() const noexcept { return v_; }
  VARIANT& Get() noexcept { return v_; }
  VARTYPE Type() const noexcept { return v_.vt; }
  // For out-parameters (Invoke's result): clears what is held first.
  VARIANT* Put() noexcept {
    Reset();
    return &v_;
  }
  void Reset() noexcept {
    ::VariantClear(&v_);
    ::VariantInit(&v_);
  }

 private:
  VARIANT v_;
};

// Owns the texts that Invoke's callee put into an EXCEPINFO and frees them
// once.
class unique_excepinfo {
 public:
  unique_excepinfo() noexcept = default;
  unique_excepinfo(unique_excepinfo&& other) noexcept : e_(std::exchange(other.e_, EXCEPINFO{})) {}
  unique_excepinfo& operator=(unique_excepinfo&& other) noexcept {
    if (this != &other) {
      Reset();
      e_ = std::exchange(other.e_, EXCEPINFO{});
    }
    return *this;
  }
  unique_excepinfo(const unique_excepinfo&) = delete;
  unique_excepinfo& operator=(const unique_excepinfo&) = delete;
  ~unique_excepinfo() { Reset(); }

  const EXCEPINFO& Get() const noexcept { return e_; }
  EXCEPINFO& Get() noexcept { return e_; }
  // For Invoke's out-parameter: frees what is held first.
  EXCEPINFO* Put() noexcept {
    Reset();
    return &e_;
  }
  void Reset() noexcept {
    ::SysFreeString(e_.bstrSource);
    ::SysFreeString(e_.bstrDescription);
    ::SysFreeString(e_.bstrHelpFile);
    e_ = EXCEPINFO{};
  }

 private:
  EXCEPINFO e_{};
};

}  // namespace trovex::win32
