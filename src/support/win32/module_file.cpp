#include "support/win32/module_file.h"

#include "support/win32/win32_error.h"

namespace trovex::win32 {

std::wstring ModuleFileName(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) ThrowLastError("GetModuleFileNameW");
    // A cut-off name fills the buffer exactly.
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace trovex::win32
