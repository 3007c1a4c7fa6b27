// What the add-in shows the user, seen from outside as a user would see
// it: the message boxes of a thread, read and answered like a user, and
// the addresses the shell hands to the browser.
#pragma once

#include <windows.h>

#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "host/win32_thread.h"

namespace trovex::wine_host {

// One message box as it stood on the screen.
struct ShownMessageBox {
  std::string caption;
  std::string text;
  std::vector<std::string> buttons;  // captions, left to right
  bool errorIcon = false;            // the stop sign of MB_ICONERROR

  bool operator==(const ShownMessageBox&) const = default;
};
std::ostream& operator<<(std::ostream& out, const ShownMessageBox& box);

// Watches the calling thread from a thread of its own: every message box
// (dialog class #32770) that the watched thread shows is read and closed
// with its first button, as a user clicking it would. A box's modal loop
// returns only after it was recorded, so a caller that showed it finds it
// in Take() at once.
class MessageBoxWatcher {
 public:
  MessageBoxWatcher();
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // The boxes seen since the last call, in order.
  std::vector<ShownMessageBox> Take();

 private:
  void Watch();
  void Answer(HWND box);

  const DWORD thread_;
  Win32Lock mutex_;
  std::vector<ShownMessageBox> seen_;
  std::set<HWND> answered_;
  bool stop_ = false;
  Win32Thread watcher_;
};

// Registers a capture program of the tests (url_capture.exe, beside the
// test program) as the http and https handler for as long as it lives, and
// reads what the shell handed it. Wine's shell reads HKEY_CLASSES_ROOT;
// Windows prefers the user's classes, which are written first, so that the
// write through HKEY_CLASSES_ROOT lands there too.
class BrowserCapture {
 public:
  BrowserCapture();
  ~BrowserCapture();
  BrowserCapture(const BrowserCapture&) = delete;
  BrowserCapture& operator=(const BrowserCapture&) = delete;

  // Waits until `count` addresses have arrived (each in a process of its
  // own) or `patience` has passed; all that arrived, in order.
  std::vector<std::string> WaitForUrls(std::size_t count,
                                       std::chrono::milliseconds patience = std::chrono::seconds(30)) const;
  // What arrived so far; then starts afresh.
  std::vector<std::string> Take();

 private:
  std::wstring log_;
  struct Saved {
    std::wstring scheme;
    bool existed = false;
    std::wstring command;
  };
  std::vector<Saved> saved_;
};

}  // namespace trovex::wine_host
