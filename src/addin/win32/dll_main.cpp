// The library's entry point. Everything else waits for the first COM call:
// under the loader lock nothing more is safe.
#include <windows.h>

#include "addin/win32/com_server.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) trovex::addin::win32::SetModuleHandle(instance);
  return TRUE;
}
