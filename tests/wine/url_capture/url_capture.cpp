// url_capture LOG ARGUMENT: what the tests register as the browser for
// http and https. Appends ARGUMENT (the address the shell hands to the
// browser) and a line break to LOG, in UTF-8, and exits.
#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!args || count != 3) return 2;
  const int needed = ::WideCharToMultiByte(CP_UTF8, 0, args[2], -1, nullptr, 0, nullptr, nullptr);
  std::string line(static_cast<std::size_t>(needed > 0 ? needed - 1 : 0), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, args[2], -1, line.data(), needed, nullptr, nullptr);
  line += '\n';
  // Appends are atomic, so browsers started close together keep their lines.
  const HANDLE log = ::CreateFileW(args[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ::LocalFree(args);
  if (log == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const BOOL ok = ::WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  ::CloseHandle(log);
  return ok && written == line.size() ? 0 : 1;
}
