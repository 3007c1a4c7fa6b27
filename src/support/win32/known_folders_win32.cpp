// The documents folder from the shell, with the registry's record of it as
// the answer when the shell call itself errs.
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "support/known_folders.h"
#include "support/win32/registry_win32.h"
#include "support/win32/wide_string.h"

namespace trovex {

std::string PersonalFolder() {
  wchar_t buffer[MAX_PATH] = {};
  const HRESULT hr = ::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, buffer);
  if (hr == S_OK) return win32::Utf8FromWide(buffer);
  // S_FALSE: the folder is known but does not exist; that is an answer.
  if (SUCCEEDED(hr)) return {};
  win32::Win32Registry registry;
  return registry.ReadRegString(RegistryRoot::CurrentUser,
                                "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Personal");
}

}  // namespace trovex
