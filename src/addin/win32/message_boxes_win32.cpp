// The framework's message boxes (the error handler's "Fehler" box).
#include <windows.h>

#include <string>

#include "addin/win32/com_server.h"
#include "support/win32/wide_string.h"

namespace trovex::addin::win32 {
namespace {

using trovex::win32::WideFromUtf8;

class FrameworkMessageBoxes final : public MessageBoxes {
 public:
  int ShowMessageBox(const std::string& text, const std::string& caption, MessageKind kind,
                     MessageButtons buttons) override {
    UINT style = MessageBoxStyle(kind, buttons);
    // The framework's error box carries the error (stop) icon.
    if (kind == MessageKind::Error) style = (style & ~static_cast<UINT>(MB_ICONMASK)) | MB_ICONERROR;
    // No owner window: modal for all of Outlook's windows on this thread.
    return ::MessageBoxW(nullptr, WideFromUtf8(text).c_str(), WideFromUtf8(EffectiveCaption(caption, kind)).c_str(),
                         style | MB_TASKMODAL);
  }
};

}  // namespace

MessageBoxes& AddInMessageBoxes() {
  static FrameworkMessageBoxes boxes;
  return boxes;
}

}  // namespace trovex::addin::win32
