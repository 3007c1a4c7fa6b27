#include "host/desktop_watch.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <utility>

#include "host/host_registry.h"
#include "support/win32/wide_string.h"

namespace trovex::wine_host {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(10);

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  const int n = ::GetClassNameW(window, name, 64);
  return std::wstring(name, n > 0 ? static_cast<std::size_t>(n) : 0);
}

// Reads the text the window keeps without sending it a message, so the
// watched thread's modal loop is never waited for.
std::string TextOf(HWND window) {
  wchar_t text[1024] = {};
  const int n = ::InternalGetWindowText(window, text, 1024);
  return win32::Utf8FromWide(std::wstring_view(text, n > 0 ? static_cast<std::size_t>(n) : 0));
}

// Window enumeration calls back with stdcall on x86, which a lambda is not.
BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

BOOL CALLBACK CollectDialog(HWND window, LPARAM list) {
  if (::IsWindowVisible(window) && ClassOf(window) == L"#32770")
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  ::EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const ShownMessageBox& box) {
  out << "[" << box.caption << "] \"" << box.text << "\" buttons:";
  for (const std::string& b : box.buttons) out << " " << b;
  return out << (box.errorIcon ? " (error icon)" : "");
}

MessageBoxWatcher::MessageBoxWatcher() : thread_(::GetCurrentThreadId()), watcher_([this] { Watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
  {
    const Win32Guard lock(mutex_);
    stop_ = true;
  }
  watcher_.Join();
}

std::vector<ShownMessageBox> MessageBoxWatcher::Take() {
  const Win32Guard lock(mutex_);
  return std::exchange(seen_, {});
}

void MessageBoxWatcher::Watch() {
  for (;;) {
    {
      const Win32Guard lock(mutex_);
      if (stop_) return;
      // A closed box's handle may come back for a new window.
      std::erase_if(answered_, [](HWND box) { return !::IsWindow(box); });
    }
    std::vector<HWND> boxes;
    ::EnumThreadWindows(thread_, CollectDialog, reinterpret_cast<LPARAM>(&boxes));
    for (HWND box : boxes) Answer(box);
    ::Sleep(static_cast<DWORD>(kPollInterval.count()));
  }
}

void MessageBoxWatcher::Answer(HWND box) {
  {
    const Win32Guard lock(mutex_);
    if (answered_.count(box)) return;
  }
  ShownMessageBox shown;
  shown.caption = TextOf(box);
  // The text is the static control 0xFFFF in Windows' and Wine's boxes.
  if (HWND text = ::GetDlgItem(box, 0xFFFF)) shown.text = TextOf(text);
  const HICON stop = ::LoadIconW(nullptr, IDI_HAND);
  std::vector<std::pair<LONG, HWND>> buttons;
  for (HWND child : Children(box)) {
    if (!::IsWindowVisible(child)) continue;
    const std::wstring kind = ClassOf(child);
    if (_wcsicmp(kind.c_str(), L"Button") == 0) {
      RECT r{};
      ::GetWindowRect(child, &r);
      buttons.emplace_back(r.left, child);
    } else if (_wcsicmp(kind.c_str(), L"Static") == 0 && (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      DWORD_PTR icon = 0;
      ::SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &icon);
      shown.errorIcon = shown.errorIcon || reinterpret_cast<HICON>(icon) == stop;
    }
  }
  std::sort(buttons.begin(), buttons.end());
  for (const auto& [left, button] : buttons) shown.buttons.push_back(TextOf(button));
  {
    const Win32Guard lock(mutex_);
    seen_.push_back(shown);
    answered_.insert(box);
  }
  // A click on the first button, as the box's own button sends it.
  if (!buttons.empty()) {
    HWND first = buttons.front().second;
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(first), BN_CLICKED), reinterpret_cast<LPARAM>(first));
  } else {
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
}

// --- BrowserCapture ------------------------------------------------------------

namespace {

constexpr const wchar_t* kSchemes[] = {L"http", L"https"};

std::wstring CommandKey(const std::wstring& scheme) { return scheme + L"\\shell\\open\\command"; }
std::wstring UserClasses(const std::wstring& key) { return L"Software\\Classes\\" + key; }

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

std::wstring TestProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return Folder(path);
}

std::vector<std::string> LinesOf(const std::wstring& file) {
  std::ifstream in(std::filesystem::path(file), std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

BrowserCapture::BrowserCapture() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  log_ = std::wstring(temp) + L"trovex_browser_" + std::to_wstring(::GetCurrentProcessId()) + L".log";
  ::DeleteFileW(log_.c_str());
  const std::wstring command = L"\"" + TestProgramFolder() + L"url_capture.exe\" \"" + log_ + L"\" \"%1\"";
  for (const wchar_t* scheme : kSchemes) {
    Saved s{scheme, KeyExists(HKEY_CURRENT_USER, UserClasses(scheme)), {}};
    const std::optional<std::wstring> before = ReadString(HKEY_CLASSES_ROOT, CommandKey(scheme), L"");
    s.command = before.value_or(L"");
    saved_.push_back(s);
    WriteString(HKEY_CURRENT_USER, UserClasses(CommandKey(scheme)), L"", command);
    WriteString(HKEY_CLASSES_ROOT, CommandKey(scheme), L"", command);
  }
}

BrowserCapture::~BrowserCapture() {
  // HKEY_CLASSES_ROOT first: on Windows it writes where the user's classes
  // still hold the key, and those go afterwards.
  for (const Saved& s : saved_) {
    WriteString(HKEY_CLASSES_ROOT, CommandKey(s.scheme), L"", s.command);
    if (!s.existed) DeleteTree(HKEY_CURRENT_USER, UserClasses(s.scheme));
  }
  ::DeleteFileW(log_.c_str());
}

std::vector<std::string> BrowserCapture::WaitForUrls(std::size_t count, std::chrono::milliseconds patience) const {
  const auto end = std::chrono::steady_clock::now() + patience;
  for (;;) {
    std::vector<std::string> urls = LinesOf(log_);
    if (urls.size() >= count || std::chrono::steady_clock::now() >= end) return urls;
    ::Sleep(50);
  }
}

std::vector<std::string> BrowserCapture::Take() {
  std::vector<std::string> urls = LinesOf(log_);
  ::DeleteFileW(log_.c_str());
  return urls;
}

}  // namespace trovex::wine_host
