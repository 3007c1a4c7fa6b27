// Shell and user-interface services: message boxes, the folder selection
// dialog, file-type names and icons. UI-bound: they need a desktop and are
// kept out of automated tests apart from the type name.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "support/message_box.h"
#include "support/win32/win32_handles.h"

namespace trovex::win32 {

// MessageBoxExW owned by the thread's active window, in the neutral
// language; returns the ID* result (0 when the box could not be shown).
class Win32MessageBoxes final : public MessageBoxes {
 public:
  int ShowMessageBox(const std::string& text, const std::string& caption, MessageKind kind,
                     MessageButtons buttons) override;
};

// The shell's folder dialog. `folder` is the start selection on entry (cleared
// when it is no existing directory) and the choice on return; `root`, when
// not empty, limits the dialog to that subtree. The thread's other windows
// are disabled while it is open. False on cancel or when the shell's
// allocator is unavailable.
bool BrowseForFolder(HWND owner, const std::string& title, const std::string& root, std::string& folder,
                     bool showEditBox, bool includeFiles, bool allowNewFolder);

// The shell's type name for files with `extension` (".pdf"), at most 80
// characters; empty when the shell knows none. The disk is not touched.
std::string FileTypeName(std::string_view extension);

// The shell's small icon for `extension`, owned by the caller; empty when
// the shell knows none.
unique_hicon FileTypeIcon(std::string_view extension);

}  // namespace trovex::win32
