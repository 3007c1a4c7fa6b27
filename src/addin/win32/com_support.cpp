#include "addin/win32/com_server.h"

#include <fmt/format.h>

#include <atomic>
#include <exception>
#include <new>

#include "support/win32/module_file.h"
#include "support/win32/wide_string.h"
#include "support/win32/win32_error.h"

namespace trovex::addin::win32 {
namespace {

using trovex::win32::Utf8FromWide;
using trovex::win32::WideFromUtf8;

HINSTANCE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

}  // namespace

void SetModuleHandle(HINSTANCE module) noexcept { g_module = module; }
HINSTANCE ModuleHandle() noexcept { return g_module; }

std::wstring ModulePath() {
  const std::wstring path = trovex::win32::ModuleFileName(g_module);
  // The registry keeps the long form, whatever form the loader used.
  const DWORD needed = ::GetLongPathNameW(path.c_str(), nullptr, 0);
  if (needed == 0) return path;
  std::wstring longPath(needed, L'\0');
  const DWORD n = ::GetLongPathNameW(path.c_str(), longPath.data(), needed);
  if (n == 0 || n >= needed) return path;
  longPath.resize(n);
  return longPath;
}

void ObjectCreated() noexcept { ++g_objects; }
void ObjectDestroyed() noexcept { --g_objects; }
void ServerLocked() noexcept { ++g_locks; }
void ServerUnlocked() noexcept { --g_locks; }
bool ServerInUse() noexcept { return g_objects.load() != 0 || g_locks.load() != 0; }

HRESULT HResultFromCurrentException() noexcept {
  HRESULT hr = E_FAIL;
  const char* message = "unknown exception";
  try {
    throw;
  } catch (const trovex::win32::Win32Error& e) {
    hr = FAILED(e.Code()) ? e.Code() : E_FAIL;
    message = e.what();
  } catch (const std::bad_alloc&) {
    hr = E_OUTOFMEMORY;
    message = "out of memory";
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    hr = E_UNEXPECTED;
  }
  try {
    ::OutputDebugStringW(WideFromUtf8(fmt::format("trovex_addin: {} (0x{:08X})\n", message,
                                                  static_cast<unsigned long>(hr)))
                             .c_str());
  } catch (...) {
    // No memory for the trace: the HRESULT still tells.
  }
  return hr;
}

std::string GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return Utf8FromWide(text);
}

}  // namespace trovex::addin::win32
