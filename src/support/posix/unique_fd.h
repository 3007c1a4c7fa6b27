// Owns a POSIX file descriptor: closed exactly once, on every path.
#pragma once

#include <unistd.h>

#include "support/unique_handle.h"

namespace trovex {

struct FdTraits {
  using Type = int;
  static Type None() noexcept { return -1; }
  static void Close(Type fd) noexcept { ::close(fd); }
};

class UniqueFd : public UniqueHandle<FdTraits> {
 public:
  using UniqueHandle::UniqueHandle;

  // Closes now, for callers that must see close()'s error (a written file
  // reports a full disk there); 0 or -1 with errno set.
  int Close() noexcept {
    const int old = Release();
    return old >= 0 ? ::close(old) : 0;
  }
};

}  // namespace trovex
