// The framework's message boxes (the error handler's "Fehler" box).
//
// Test seam: when the environment variable TROVEX_TEST_MESSAGEBOX_LOG
// names a file, no box is shown; each one is appended to that file in
// UTF-8 as "[<caption>]\n<text>\n" and answered with OK. The Wine test
// host uses it to see the add-in's errors without a desktop.
#include <windows.h>

#include <string>

#include "addin/win32/com_server.h"
#include "support/win32/wide_string.h"
#include "support/win32/win32_handles.h"

namespace trovex::addin::win32 {
namespace {

using trovex::win32::WideFromUtf8;

std::wstring EnvironmentValue(const wchar_t* name) {
  const DWORD needed = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return {};
  std::wstring value(needed, L'\0');
  const DWORD n = ::GetEnvironmentVariableW(name, value.data(), needed);
  value.resize(n < needed ? n : 0);
  return value;
}

// False when the file cannot be written; the box is shown then.
bool AppendToLog(const std::wstring& file, const std::string& record) {
  const trovex::win32::unique_hfile log(::CreateFileW(file.c_str(), FILE_APPEND_DATA,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!log) return false;
  DWORD written = 0;
  return ::WriteFile(log.Get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr) &&
         written == record.size();
}

class FrameworkMessageBoxes final : public MessageBoxes {
 public:
  int ShowMessageBox(const std::string& text, const std::string& caption, MessageKind kind,
                     MessageButtons buttons) override {
    const std::string shownCaption = EffectiveCaption(caption, kind);
    const std::wstring log = EnvironmentValue(L"TROVEX_TEST_MESSAGEBOX_LOG");
    if (!log.empty() && AppendToLog(log, "[" + shownCaption + "]\n" + text + "\n")) return kResultOk;

    UINT style = MessageBoxStyle(kind, buttons);
    // The framework's error box carries the error (stop) icon.
    if (kind == MessageKind::Error) style = (style & ~static_cast<UINT>(MB_ICONMASK)) | MB_ICONERROR;
    // No owner window: modal for all of Outlook's windows on this thread.
    return ::MessageBoxW(nullptr, WideFromUtf8(text).c_str(), WideFromUtf8(shownCaption).c_str(), style | MB_TASKMODAL);
  }
};

}  // namespace

MessageBoxes& AddInMessageBoxes() {
  static FrameworkMessageBoxes boxes;
  return boxes;
}

}  // namespace trovex::addin::win32
