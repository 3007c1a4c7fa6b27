// The fixture of every test that drives the add-in DLL: Outlook installed
// and the DLL registered, as after setup; the add-in created the way
// Outlook creates it; a host playing Outlook; and a user who reads and
// closes every message box. A box that the test did not take fails it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "addin/addin_dll.h"
#include "host/desktop_watch.h"
#include "host/outlook_host.h"

namespace trovex::wine_tests {

// A store with an empty "Posteingang".
std::shared_ptr<const store::MailStore> EmptyStore();

class AddInTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // OnConnection with the host's objects; `application` stands in for
  // Outlook's own application object when given.
  HRESULT Connect(office::ext_ConnectMode mode = office::ext_cm_Startup, IDispatch* application = nullptr);
  // Outlook's start: connection, add-ins update, start-up complete.
  void StartUp(IDispatch* application = nullptr);
  // Outlook's end without fast shutdown.
  void ShutDown();

  // The message boxes shown since the last call.
  std::vector<wine_host::ShownMessageBox> MessageBoxes() { return boxes_.Take(); }

  AddInDll dll_;
  wine_host::OutlookHost host_{EmptyStore()};
  CustomArray custom_;
  win32::ComPtr<office::IDTExtensibility2> addIn_;

 private:
  wine_host::MessageBoxWatcher boxes_;
};

}  // namespace trovex::wine_tests
