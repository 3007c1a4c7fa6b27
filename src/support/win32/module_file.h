// The file a loaded module (or, for nullptr, the process) was loaded from.
#pragma once

#include <windows.h>

#include <string>

namespace trovex::win32 {

// The full path, however long; throws Win32Error when the system has none.
std::wstring ModuleFileName(HMODULE module);

}  // namespace trovex::win32
