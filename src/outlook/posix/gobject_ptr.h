// Owners of GLib's reference-counted objects and of g_malloc'ed memory.
#pragma once

#include <glib-object.h>

#include <memory>

namespace trovex::store {

struct GObjectUnref {
  void operator()(void* object) const noexcept {
    if (object) g_object_unref(object);
  }
};

// Takes over one reference: what a GMime constructor returns.
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// Shared owners for objects whose parts others keep pointers into.
template <typename T>
std::shared_ptr<T> ShareGObject(T* object) {
  return std::shared_ptr<T>(object, GObjectUnref());
}

struct GFree {
  void operator()(void* p) const noexcept { g_free(p); }
};

using GCharPtr = std::unique_ptr<char, GFree>;

}  // namespace trovex::store
