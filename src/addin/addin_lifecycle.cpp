#include "addin/addin_lifecycle.h"

#include <exception>
#include <string>

namespace trovex::addin {

void AddInLifecycle::Connect(int connectMode, const ConnectionSteps& steps) {
  ++connections_;
  if (module_) return;
  module_ = steps.createModule();
  // A fresh module has its shutdown events again, even after a Quit.
  doNotRaiseShutdownEvents_ = false;
  // Connected from the add-in list while the host runs: no start-up
  // completion will follow, so it happens now.
  if (connectMode != kConnectModeStartup) StartupComplete();
  if (steps.publishAddIn) steps.publishAddIn();
}

void AddInLifecycle::StartupComplete() {
  if (connections_ > 1 || !module_) return;
  ModuleCore& m = *module_;
  if (++m.startupCount_ > 1) return;

  const HostIdentity host = m.RecognizeHost();
  const std::string key = AddInKeyPath(host.app, m.AddInProgId());
  if (key.empty() || !m.Definition().supportedApps.contains(host.app)) {
    throw std::runtime_error("This add-in does not support the host application.");
  }
  m.hostType_ = host.app;
  m.hostVersion_ = host.version;
  m.hostMajorVersion_ = ParseHostMajorVersion(host.version);
  m.OpenRegistry(RegistryRoot::CurrentUser, key);

  Registry& registry = m.GetRegistry();
  // The Registry interface cannot tell an empty text from a missing value;
  // both count as absent.
  const std::string stored = registry.ReadRegString(RegistryRoot::CurrentUser, key, "ADXStartMode");
  m.startMode_ = ParseStartMode(stored.empty() ? std::nullopt : std::optional<std::string>(stored));

  m.RaiseEvent(m.OnAddInInitialize);
  m.RaiseEvent(m.OnAddInStartupComplete);

  if (m.startMode_ == StartMode::FirstStart) {
    registry.WriteRegString(RegistryRoot::CurrentUser, key, "ADXStartMode", StartModeText(StartMode::Normal));
  }
  if (m.GetOutlookShutdownBehavior() == OutlookShutdownBehavior::Fast) {
    // Under fast shutdown Outlook calls neither OnBeginShutdown nor
    // OnDisconnection; Quit is the last word it says.
    m.SubscribeQuit([this] { Quit(); });
  }
}

void AddInLifecycle::BeginShutdown() {
  if (module_ && connections_ <= 1 && !doNotRaiseShutdownEvents_) module_->RaiseEvent(module_->OnAddInBeginShutdown);
}

void AddInLifecycle::Disconnect(int removeMode) {
  --connections_;
  if (!module_ || connections_ > 0) return;
  std::exception_ptr failure;
  try {
    if (removeMode != kRemoveModeHostShutdown) {
      // Unloaded by the user while the host runs.
      BeginShutdown();
      const std::string& key = module_->RegistryKey();
      if (!key.empty()) {
        Registry& registry = module_->GetRegistry();
        for (const char* sub : {"\\CommandBars", "\\Controls"}) {
          if (registry.KeyExists(RegistryRoot::CurrentUser, key + sub)) {
            registry.DeleteKey(RegistryRoot::CurrentUser, key + sub);
          }
        }
      }
    }
    if (!doNotRaiseShutdownEvents_) module_->RaiseEvent(module_->OnAddInFinalize);
  } catch (...) {
    failure = std::current_exception();
  }
  // The module goes in any case; a failure above is reported afterwards.
  module_->CloseRegistry();
  if (calls_ > 0) {
    retired_ = std::move(module_);
  } else {
    module_.reset();
  }
  if (failure) std::rethrow_exception(failure);
}

void AddInLifecycle::Quit() {
  doNotRaiseShutdownEvents_ = true;
  BeginShutdown();
  Disconnect(kRemoveModeHostShutdown);
}

}  // namespace trovex::addin
