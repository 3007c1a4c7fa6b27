// The add-in module's portable part: its stored definition, what it learns
// about the host, its events and the error handler. The COM side
// (TadxCOMAddInModule) derives from ModuleCore and fills in the hooks that
// need the host's objects.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

#include "office/office_host.h"
#include "outlook/object_model.h"
#include "support/message_box.h"
#include "support/registry.h"

namespace trovex::addin {

using office::OfficeHostApp;

enum class StartMode : int { FirstStart, Normal, Uninstall, Unknown };
enum class HostStartMode : int { Unknown, FromUI, EmbeddedDocument, Programmatically };
enum class OutlookShutdownBehavior : int { Slow, Fast };

// IDTExtensibility2's ext_cm_Startup and ext_dm_HostShutdown.
inline constexpr int kConnectModeStartup = 1;
inline constexpr int kRemoveModeHostShutdown = 0;

// An error the framework raises itself, with its number.
class AddInError : public std::runtime_error {
 public:
  AddInError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

inline constexpr int kErrorEmptyProperty = 31101;
inline constexpr int kErrorUnregisterControls = 31103;

// The names under which Office knows a host. Only Outlook is served.
struct HostNames {
  OfficeHostApp app;
  std::string_view registryName;  // in the add-in key's path
  std::string_view progId;        // tells whether the host is installed
};
const HostNames* FindHost(OfficeHostApp app);

// "Software\Microsoft\Office\<host>\AddIns\<progId>"; empty for a host
// that is not served.
std::string AddInKeyPath(OfficeHostApp host, std::string_view addInProgId);

// The settings a module is created with.
struct ModuleDefinition {
  std::string addInName;
  std::string description;
  std::set<OfficeHostApp> supportedApps = {OfficeHostApp::Excel};
  std::uint32_t loadBehavior = 3;
  bool registerForAllUsers = false;
  bool displayAlerts = false;
  std::string ribbonNamespace;
};

// Trovex's own module: Outlook only, per user, loaded at start-up.
ModuleDefinition TrovexModuleDefinition();

// Throws AddInError 31101 for an empty name or host set.
void ValidateDefinition(const ModuleDefinition& definition);

// "ADXStartMode" as stored: absent is the first start; the texts compare
// without regard to case.
StartMode ParseStartMode(const std::optional<std::string>& stored);
std::string_view StartModeText(StartMode mode);

// The number before the first "." (or, without one, the first ","); 9 when
// there is neither or it is no integer.
int ParseHostMajorVersion(std::string_view version);

// Slow unless Outlook 2010 or later, where either registry override asks
// for the slow way again.
OutlookShutdownBehavior DecideOutlookShutdownBehavior(Registry& registry, OfficeHostApp host, int hostMajorVersion,
                                                      bool registerForAllUsers, std::string_view addInKey);

// "<name> error: the add-in has fired an exception.", a line break, the
// message.
std::string ErrorMessageText(std::string_view addInName, std::string_view message);

// The maker's web server and the pages the commands open.
inline constexpr std::string_view kWebServerHost = "www.quellmark.de";
std::string ProductPageUrl();  // https://<host>/addins/trovex/
std::string HelpPageUrl();     // https://<host>/addins/trovex/hilfe.php

// What the ribbon's commands do once the module has found what they act on.
// The wizard, the update check and the information dialog each plug in
// here; the module's handlers stay as they are. Each call runs on Outlook's
// user-interface thread, returns when its dialog has closed and reports
// failure only by throwing (the ribbon bridge shows the error box).
class AddInCommands {
 public:
  virtual ~AddInCommands() = default;
  // The export wizard on `explorer`, Outlook's active window as Outlook
  // gave it (nullptr when it has none).
  virtual void StartExportWizard(std::unique_ptr<outlook::Explorer> explorer) = 0;
  virtual void CheckForUpdate() = 0;
  virtual void ShowInfo() = 0;
  // Hands `url` to the shell, which opens it in the user's browser; what
  // the shell answers is not the add-in's concern.
  virtual void OpenWebPage(const std::string& url) = 0;
};

// What every module is created with.
struct ModuleContext {
  Registry& registry;
  MessageBoxes& messages;
  std::string addInProgId;  // the COM class's ProgID, the add-in key's last part
};

// What the host answered when asked who it is.
struct HostIdentity {
  OfficeHostApp app = OfficeHostApp::Excel;
  std::string version;
};

class ModuleCore;
using ModuleEvent = std::function<void(ModuleCore& sender)>;
using ErrorEvent = std::function<void(ModuleCore& sender, const std::exception& error, bool& handled)>;

class ModuleCore {
 public:
  // Throws AddInError 31101 for an invalid definition.
  ModuleCore(ModuleDefinition definition, ModuleContext context);
  virtual ~ModuleCore() = default;
  ModuleCore(const ModuleCore&) = delete;
  ModuleCore& operator=(const ModuleCore&) = delete;

  const ModuleDefinition& Definition() const { return definition_; }
  const std::string& AddInName() const { return definition_.addInName; }
  const std::string& AddInProgId() const { return context_.addInProgId; }

  // Events; each may stay empty.
  ErrorEvent OnError;
  ModuleEvent OnAddInInitialize;
  ModuleEvent OnAddInStartupComplete;
  ModuleEvent OnAddInBeginShutdown;
  ModuleEvent OnAddInFinalize;
  ModuleEvent OnAfterAddinRegister;
  ModuleEvent OnBeforeAddinUnregister;

  // Known after start-up completion.
  OfficeHostApp HostType() const { return hostType_; }
  const std::string& HostVersion() const { return hostVersion_; }
  int HostMajorVersion() const { return hostMajorVersion_; }
  bool HostUsesRibbon() const { return hostMajorVersion_ > 11; }
  StartMode GetStartMode() const { return startMode_; }
  HostStartMode GetHostStartMode() const { return hostStartMode_; }
  void SetHostStartMode(HostStartMode mode) { hostStartMode_ = mode; }

  // The registry and the key the module's Registry is opened at (empty
  // until start-up completion or a registration opens it).
  Registry& GetRegistry() const { return context_.registry; }
  RegistryRoot RegistryKeyRoot() const { return registryRoot_; }
  const std::string& RegistryKey() const { return registryKey_; }
  void OpenRegistry(RegistryRoot root, std::string key);
  void CloseRegistry() { registryKey_.clear(); }

  // Computed on request from the registry.
  OutlookShutdownBehavior GetOutlookShutdownBehavior() const;

  // OnError first; when it is empty or leaves `handled` false, the error
  // box. Never throws.
  void HandleError(const std::exception& error) noexcept;
  // Raises an event that is assigned; what it throws goes to HandleError.
  void RaiseEvent(const ModuleEvent& event) noexcept;

  // COM side: who the host is, and Outlook's Quit event. RecognizeHost
  // also keeps the host's application object.
  virtual HostIdentity RecognizeHost() = 0;
  virtual void SubscribeQuit(std::function<void()> onQuit) = 0;

 private:
  friend class AddInLifecycle;

  ModuleDefinition definition_;
  ModuleContext context_;
  OfficeHostApp hostType_ = OfficeHostApp::Excel;
  std::string hostVersion_;
  int hostMajorVersion_ = 0;
  StartMode startMode_ = StartMode::FirstStart;
  HostStartMode hostStartMode_ = HostStartMode::Unknown;
  RegistryRoot registryRoot_ = RegistryRoot::CurrentUser;
  std::string registryKey_;
  int startupCount_ = 0;
};

}  // namespace trovex::addin
