#include "addin/addin_module.h"

#include <fmt/format.h>

#include <array>
#include <charconv>
#include <limits>

#include "support/utf8.h"

namespace trovex::addin {
namespace {

// Other hosts keep their framework number but are not served by this
// build, so they are never counted as installed.
constexpr std::array<HostNames, 1> kHosts = {{
    {OfficeHostApp::Outlook, "Outlook", "Outlook.Application"},
}};

constexpr std::array<std::string_view, 3> kStartModeTexts = {"FIRSTSTART", "NORMAL", "UNINSTALL"};

constexpr int kUnknownMajorVersion = 9;

// A decimal integer with an optional sign and nothing else.
std::optional<int> WholeInteger(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

const HostNames* FindHost(OfficeHostApp app) {
  for (const HostNames& h : kHosts) {
    if (h.app == app) return &h;
  }
  return nullptr;
}

std::string AddInKeyPath(OfficeHostApp host, std::string_view addInProgId) {
  const HostNames* names = FindHost(host);
  if (!names) return {};
  return fmt::format("Software\\Microsoft\\Office\\{}\\AddIns\\{}", names->registryName, addInProgId);
}

ModuleDefinition TrovexModuleDefinition() {
  ModuleDefinition d;
  d.addInName = "Trovex (Quellmark)";
  d.description = "Automatisierte Ablage von Anhängen in vordefinierte Ordnerstrukturen";
  d.supportedApps = {OfficeHostApp::Outlook};
  d.loadBehavior = 3;
  d.registerForAllUsers = false;
  d.displayAlerts = false;
  d.ribbonNamespace = "QM_AddIns";
  return d;
}

void ValidateDefinition(const ModuleDefinition& definition) {
  const auto empty = [](std::string_view property) {
    return AddInError(kErrorEmptyProperty, fmt::format("The {} property cannot be empty.", property));
  };
  if (definition.addInName.empty()) throw empty("AddInName");
  if (definition.supportedApps.empty()) throw empty("SupportedApps");
}

StartMode ParseStartMode(const std::optional<std::string>& stored) {
  if (!stored) return StartMode::FirstStart;
  const std::string upper = ToUpperUtf8(*stored);
  for (std::size_t i = 0; i < kStartModeTexts.size(); ++i) {
    if (upper == kStartModeTexts[i]) return static_cast<StartMode>(i);
  }
  return StartMode::Unknown;
}

std::string_view StartModeText(StartMode mode) {
  const auto i = static_cast<std::size_t>(mode);
  return i < kStartModeTexts.size() ? kStartModeTexts[i] : std::string_view();
}

int ParseHostMajorVersion(std::string_view version) {
  std::size_t end = version.find('.');
  if (end == std::string_view::npos) end = version.find(',');
  if (end == std::string_view::npos) return kUnknownMajorVersion;
  return WholeInteger(version.substr(0, end)).value_or(kUnknownMajorVersion);
}

OutlookShutdownBehavior DecideOutlookShutdownBehavior(Registry& registry, OfficeHostApp host, int hostMajorVersion,
                                                      bool registerForAllUsers, std::string_view addInKey) {
  if (host != OfficeHostApp::Outlook || hostMajorVersion <= 13) return OutlookShutdownBehavior::Slow;
  const std::string options =
      fmt::format("Software\\Microsoft\\Office\\{}.0\\Outlook\\Options\\Shutdown", hostMajorVersion);
  if (registry.ReadRegDword(RegistryRoot::CurrentUser, options, "AddinFastShutdownBehavior") == 1u) {
    return OutlookShutdownBehavior::Slow;
  }
  const RegistryRoot addInRoot = registerForAllUsers ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
  if (registry.ReadRegDword(addInRoot, addInKey, "RequireShutdownNotification") == 1u) {
    return OutlookShutdownBehavior::Slow;
  }
  return OutlookShutdownBehavior::Fast;
}

std::string ProductPageUrl() { return fmt::format("https://{}/addins/trovex/", kWebServerHost); }
std::string HelpPageUrl() { return fmt::format("https://{}/addins/trovex/hilfe.php", kWebServerHost); }

std::string ErrorMessageText(std::string_view addInName, std::string_view message) {
  return fmt::format("{} error: the add-in has fired an exception.\r\n{}", addInName, message);
}

ModuleCore::ModuleCore(ModuleDefinition definition, ModuleContext context)
    : definition_(std::move(definition)), context_(std::move(context)) {
  ValidateDefinition(definition_);
}

void ModuleCore::OpenRegistry(RegistryRoot root, std::string key) {
  registryRoot_ = root;
  registryKey_ = std::move(key);
}

OutlookShutdownBehavior ModuleCore::GetOutlookShutdownBehavior() const {
  return DecideOutlookShutdownBehavior(context_.registry, hostType_, hostMajorVersion_, definition_.registerForAllUsers,
                                       AddInKeyPath(hostType_, context_.addInProgId));
}

void ModuleCore::HandleError(const std::exception& error) noexcept {
  try {
    bool handled = false;
    if (OnError) OnError(*this, error, handled);
    if (!handled) {
      context_.messages.ShowMessageBox(ErrorMessageText(AddInName(), error.what()),
                                       std::string(DefaultCaption(MessageKind::Error)), MessageKind::Error,
                                       {MessageButton::OK});
    }
  } catch (...) {
    // An error handler that fails has nobody left to report to.
  }
}

void ModuleCore::RaiseEvent(const ModuleEvent& event) noexcept {
  if (!event) return;
  try {
    event(*this);
  } catch (const std::exception& e) {
    HandleError(e);
  } catch (...) {
    HandleError(std::runtime_error("unknown exception"));
  }
}

}  // namespace trovex::addin
