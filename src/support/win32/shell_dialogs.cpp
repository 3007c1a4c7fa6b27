#include "support/win32/shell_dialogs.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <iterator>
#include <vector>

#include "support/file_system.h"
#include "support/utf8.h"
#include "support/win32/com_ptr.h"
#include "support/win32/wide_string.h"

namespace trovex::win32 {
namespace {

constexpr std::size_t kMaxTypeNameChars = 80;

// Disables the thread's visible, enabled top-level windows while a modal
// shell dialog runs and enables them again however it ends.
class DisabledThreadWindows {
 public:
  DisabledThreadWindows() {
    ::EnumThreadWindows(::GetCurrentThreadId(), &Collect, reinterpret_cast<LPARAM>(&windows_));
    for (HWND w : windows_) ::EnableWindow(w, FALSE);
  }
  ~DisabledThreadWindows() {
    for (HWND w : windows_) ::EnableWindow(w, TRUE);
  }
  DisabledThreadWindows(const DisabledThreadWindows&) = delete;
  DisabledThreadWindows& operator=(const DisabledThreadWindows&) = delete;

 private:
  // Called from user32's frames, which no exception may cross (on x86 the
  // unwinder cannot pass them): without memory the enumeration just stops.
  static BOOL CALLBACK Collect(HWND w, LPARAM list) noexcept {
    try {
      if (::IsWindowVisible(w) && ::IsWindowEnabled(w)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
      return TRUE;
    } catch (...) {
      return FALSE;
    }
  }
  std::vector<HWND> windows_;
};

// OleInitialize for the thread, undone only when it was this call that
// initialised (Outlook's thread is already an STA).
class OleScope {
 public:
  OleScope() : ok_(SUCCEEDED(::OleInitialize(nullptr))) {}
  ~OleScope() {
    if (ok_) ::OleUninitialize();
  }
  OleScope(const OleScope&) = delete;
  OleScope& operator=(const OleScope&) = delete;

 private:
  bool ok_;
};

// An item list allocated by the shell, freed with the shell's allocator.
class ShellItemList {
 public:
  explicit ShellItemList(IMalloc* allocator) : allocator_(allocator) {}
  ~ShellItemList() {
    if (pidl_) allocator_->Free(pidl_);
  }
  ShellItemList(const ShellItemList&) = delete;
  ShellItemList& operator=(const ShellItemList&) = delete;
  PIDLIST_ABSOLUTE Get() const { return pidl_; }
  PIDLIST_ABSOLUTE* Put() { return &pidl_; }
  void Reset(PIDLIST_ABSOLUTE p) {
    if (pidl_) allocator_->Free(pidl_);
    pidl_ = p;
  }

 private:
  IMalloc* allocator_;
  PIDLIST_ABSOLUTE pidl_ = nullptr;
};

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data) ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

SHFILEINFOW FileInfo(std::string_view extension, UINT flags) {
  SHFILEINFOW info{};
  const std::wstring name = WideFromUtf8(extension);
  if (!::SHGetFileInfoW(name.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, flags | SHGFI_USEFILEATTRIBUTES)) {
    return SHFILEINFOW{};
  }
  return info;
}

}  // namespace

int Win32MessageBoxes::ShowMessageBox(const std::string& text, const std::string& caption, MessageKind kind,
                                      MessageButtons buttons) {
  return ::MessageBoxExW(::GetActiveWindow(), WideFromUtf8(text).c_str(),
                         WideFromUtf8(EffectiveCaption(caption, kind)).c_str(), MessageBoxStyle(kind, buttons),
                         MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
}

bool BrowseForFolder(HWND owner, const std::string& title, const std::string& root, std::string& folder,
                     bool showEditBox, bool includeFiles, bool allowNewFolder) {
  if (!RealFileSystem().DirectoryExists(folder)) folder.clear();
  ComPtr<IMalloc> allocator;
  if (FAILED(::SHGetMalloc(allocator.Put())) || !allocator) return false;
  std::vector<wchar_t> displayName(MAX_PATH, L'\0');

  ShellItemList rootList(allocator.Get());
  if (!root.empty()) {
    ComPtr<IShellFolder> desktop;
    if (SUCCEEDED(::SHGetDesktopFolder(desktop.Put())) && desktop) {
      std::wstring wroot = WideFromUtf8(root);
      PIDLIST_RELATIVE parsed = nullptr;
      if (SUCCEEDED(desktop->ParseDisplayName(owner, nullptr, wroot.data(), nullptr, &parsed, nullptr))) {
        rootList.Reset(reinterpret_cast<PIDLIST_ABSOLUTE>(parsed));
      }
    }
  }

  const OleScope ole;
  const std::wstring wtitle = WideFromUtf8(title);
  const std::wstring wstart = WideFromUtf8(folder);
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pidlRoot = rootList.Get();
  info.pszDisplayName = displayName.data();
  info.lpszTitle = wtitle.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  if (showEditBox) info.ulFlags |= BIF_EDITBOX;
  if (includeFiles) info.ulFlags |= BIF_BROWSEINCLUDEFILES;
  if (!allowNewFolder) info.ulFlags |= BIF_NONEWFOLDERBUTTON;
  info.lpfn = &BrowseCallback;
  info.lParam = wstart.empty() ? 0 : reinterpret_cast<LPARAM>(wstart.c_str());

  ShellItemList chosen(allocator.Get());
  {
    const DisabledThreadWindows disabled;
    chosen.Reset(::SHBrowseForFolderW(&info));
  }
  if (!chosen.Get()) return false;
  std::vector<wchar_t> path(MAX_PATH, L'\0');
  if (!::SHGetPathFromIDListW(chosen.Get(), path.data())) return false;
  folder = Utf8FromWide(path.data());
  return true;
}

std::string FileTypeName(std::string_view extension) {
  const SHFILEINFOW info = FileInfo(extension, SHGFI_TYPENAME);
  const std::wstring_view name(info.szTypeName, ::wcsnlen(info.szTypeName, std::size(info.szTypeName)));
  return TruncateCodePoints(Utf8FromWide(name), kMaxTypeNameChars);
}

unique_hicon FileTypeIcon(std::string_view extension) {
  return unique_hicon(FileInfo(extension, SHGFI_ICON | SHGFI_SMALLICON).hIcon);
}

}  // namespace trovex::win32
