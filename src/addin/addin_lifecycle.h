// The add-in object's side of IDTExtensibility2, without COM: connection
// counting, the module's creation and teardown, the start-up work once per
// module, and the end through Outlook's Quit under fast shutdown. Failures
// leave as exceptions; the COM methods turn them into HRESULTs.
#pragma once

#include <functional>
#include <memory>

#include "addin/addin_module.h"

namespace trovex::addin {

// The connection's steps that need the host's objects.
struct ConnectionSteps {
  // Creates the module and gives it the host's application object, the
  // add-in object, the factory and the host start mode.
  std::function<std::unique_ptr<ModuleCore>()> createModule;
  // Hands the add-in object to Outlook's COMAddIn entry.
  std::function<void()> publishAddIn;
};

class AddInLifecycle {
 public:
  AddInLifecycle() = default;
  AddInLifecycle(const AddInLifecycle&) = delete;
  AddInLifecycle& operator=(const AddInLifecycle&) = delete;

  void Connect(int connectMode, const ConnectionSteps& steps);
  void StartupComplete();
  void BeginShutdown();
  void Disconnect(int removeMode);
  // Outlook's Quit under fast shutdown: the module goes without its
  // shutdown events.
  void Quit();

  // Marks a call from the host into the module (a ribbon callback) for
  // as long as the returned object lives. A disconnection during such a
  // call (a click handler's modal loop lets Outlook quit) keeps the module
  // alive until the outermost call has returned; Module() is null from the
  // disconnection on.
  class CallScope {
   public:
    explicit CallScope(AddInLifecycle& owner) : owner_(owner) { ++owner_.calls_; }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
    ~CallScope() {
      if (--owner_.calls_ == 0) owner_.retired_.reset();
    }

   private:
    AddInLifecycle& owner_;
  };

  int ConnectionCount() const { return connections_; }
  ModuleCore* Module() const { return module_.get(); }

 private:
  int connections_ = 0;
  int calls_ = 0;
  std::unique_ptr<ModuleCore> module_;
  std::unique_ptr<ModuleCore> retired_;  // disconnected during a call
  bool doNotRaiseShutdownEvents_ = false;
};

}  // namespace trovex::addin
