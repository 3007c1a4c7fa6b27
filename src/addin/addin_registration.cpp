#include "addin/addin_registration.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

namespace trovex::addin {
namespace {

constexpr std::string_view kCreateFailed = "Fehler beim Erstellen eines Eintrages in der Systemregistrierung";

// Office 2010 and 2013 installed by Click-to-Run register no ProgID.
constexpr std::array<std::string_view, 2> kVirtualInstallRoots = {
    "Software\\Microsoft\\Office\\14.0\\Common\\InstallRoot\\Virtual",
    "Software\\Microsoft\\Office\\15.0\\Common\\InstallRoot\\Virtual",
};

bool WriteEntry(Registry& registry, const RegistryEntry& e) {
  if (const auto* text = std::get_if<std::string>(&e.value)) {
    return registry.WriteRegString(e.root, e.key, e.name, *text);
  }
  return registry.WriteRegDword(e.root, e.key, e.name, std::get<std::uint32_t>(e.value));
}

// Each key once, children before the keys they were written after; the
// class entries' order makes this the order the keys are deleted in.
std::vector<std::string> KeysInDeletionOrder(const std::vector<RegistryEntry>& entries) {
  std::vector<std::string> keys;
  for (const RegistryEntry& e : entries) {
    if (std::find(keys.begin(), keys.end(), e.key) == keys.end()) keys.push_back(e.key);
  }
  std::reverse(keys.begin(), keys.end());
  return keys;
}

RegistryRoot AddInRoot(const ModuleDefinition& definition) {
  return definition.registerForAllUsers ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
}

// The hosts that get an add-in key, in the framework's order.
std::vector<OfficeHostApp> InstalledHosts(Registry& registry, ComRegistrar& com, const ModuleDefinition& definition) {
  std::vector<OfficeHostApp> hosts;
  for (OfficeHostApp host : definition.supportedApps) {
    if (HostInstalled(registry, com, host)) hosts.push_back(host);
  }
  return hosts;
}

// Raises a registration event with the module's Registry at the add-in key.
void RaiseAtAddInKey(ModuleCore& module, const ModuleEvent& event, RegistryRoot root, const std::string& key) {
  if (!event) return;
  module.OpenRegistry(root, key);
  module.RaiseEvent(event);
  module.CloseRegistry();
}

}  // namespace

std::vector<RegistryEntry> ClassEntries(const ServerIdentity& identity, std::string_view modulePath,
                                        RegistrationScope scope) {
  const bool machine = scope == RegistrationScope::Machine;
  const RegistryRoot root = machine ? RegistryRoot::ClassesRoot : RegistryRoot::CurrentUser;
  const std::string prefix = machine ? "" : "Software\\Classes\\";
  const std::string classKey = prefix + "CLSID\\" + identity.classId;
  const std::string progIdKey = prefix + identity.progId;
  return {
      {root, classKey, "", identity.description},
      {root, classKey + "\\InprocServer32", "", std::string(modulePath)},
      {root, classKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {root, progIdKey, "", identity.description},
      {root, progIdKey + "\\Clsid", "", identity.classId},
      {root, classKey + "\\ProgID", "", identity.progId},
      {root, classKey + "\\Version", "", identity.typeLibVersion},
      {root, classKey + "\\TypeLib", "", identity.typeLibId},
  };
}

std::vector<RegistryEntry> AddInKeyEntries(const ModuleDefinition& definition, OfficeHostApp host,
                                           std::string_view addInProgId) {
  const RegistryRoot root = AddInRoot(definition);
  const std::string key = AddInKeyPath(host, addInProgId);
  return {
      {root, key, "FriendlyName", definition.addInName},
      {root, key, "Description", definition.description},
      {root, key, "LoadBehavior", definition.loadBehavior},
      {root, key, "CommandLineSafe", std::uint32_t{0}},
  };
}

std::string FolderOf(std::string_view path) {
  const std::size_t sep = path.find_last_of("\\/");
  return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep + 1));
}

bool HostInstalled(Registry& registry, ComRegistrar& com, OfficeHostApp host) {
  const HostNames* names = FindHost(host);
  if (!names) return false;
  if (com.ProgIdHasClass(names->progId)) return true;
  return std::any_of(kVirtualInstallRoots.begin(), kVirtualInstallRoots.end(), [&](std::string_view key) {
    return registry.KeyExists(RegistryRoot::LocalMachine, key);
  });
}

RegistrationScope RegisterServer(Registry& registry, ComRegistrar& com, const ServerRegistration& server) {
  const std::string helpDir = FolderOf(server.modulePath);
  RegistrationScope scope = RegistrationScope::Machine;
  bool userTypeLibrary = false;
  const auto registerTypeLibraryForUser = [&] {
    if (userTypeLibrary) return;
    if (!com.RegisterTypeLibrary(server.modulePath, helpDir, RegistrationScope::User)) {
      throw std::runtime_error("Die Typbibliothek kann nicht registriert werden");
    }
    userTypeLibrary = true;
  };

  // 1. The type library.
  if (!com.RegisterTypeLibrary(server.modulePath, helpDir, RegistrationScope::Machine)) {
    scope = RegistrationScope::User;
    registerTypeLibraryForUser();
  }

  // 2. A first temporary module checks the stored definition.
  server.createModule().reset();

  // 3. The class keys. Only when not even the first can be written
  // machine-wide do they all go to the user's classes, so that nothing is
  // left half in one place and half in the other.
  std::vector<RegistryEntry> entries = ClassEntries(server.identity, server.modulePath, scope);
  std::size_t next = 0;
  if (scope == RegistrationScope::Machine) {
    if (WriteEntry(registry, entries.front())) {
      next = 1;
    } else {
      scope = RegistrationScope::User;
      registerTypeLibraryForUser();
      entries = ClassEntries(server.identity, server.modulePath, scope);
    }
  }
  for (; next < entries.size(); ++next) {
    if (!WriteEntry(registry, entries[next])) throw RegistryError(std::string(kCreateFailed));
  }

  // 4. The add-in key of every supported host that is installed.
  const std::unique_ptr<ModuleCore> module = server.createModule();
  const ModuleDefinition& definition = module->Definition();
  for (OfficeHostApp host : InstalledHosts(registry, com, definition)) {
    const std::vector<RegistryEntry> values = AddInKeyEntries(definition, host, server.identity.progId);
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (WriteEntry(registry, values[i])) continue;
      // The first write failing means the key cannot be opened: skipped.
      if (i == 0) break;
      throw RegistryError(fmt::format("{}: \"{}\"", kCreateFailed, values[i].name));
    }
    RaiseAtAddInKey(*module, module->OnAfterAddinRegister, AddInRoot(definition),
                    AddInKeyPath(host, server.identity.progId));
  }
  return scope;
}

void UnregisterServer(Registry& registry, ComRegistrar& com, const ServerRegistration& server) {
  // 1. The type library, wherever it was registered.
  com.UnregisterTypeLibrary(RegistrationScope::Machine);
  com.UnregisterTypeLibrary(RegistrationScope::User);

  // 2. Mark the add-in keys: a running Outlook sees the add-in going.
  {
    const std::unique_ptr<ModuleCore> module = server.createModule();
    const ModuleDefinition& definition = module->Definition();
    try {
      for (OfficeHostApp host : InstalledHosts(registry, com, definition)) {
        const std::string key = AddInKeyPath(host, server.identity.progId);
        bool marked = true;
        if (registry.KeyExists(RegistryRoot::CurrentUser, key)) {
          marked = registry.WriteRegString(RegistryRoot::CurrentUser, key, "ADXStartMode",
                                           StartModeText(StartMode::Uninstall));
        }
        const RegistryRoot root = AddInRoot(definition);
        if (marked && registry.KeyExists(root, key)) marked = registry.WriteRegDword(root, key, "LoadBehavior", 0);
        if (!marked) throw RegistryError(key);
      }
    } catch (const std::exception&) {
      throw AddInError(kErrorUnregisterControls, "Can't unregister add-in controls.");
    }
  }

  // 3. Remove the add-in keys with all their subkeys.
  {
    const std::unique_ptr<ModuleCore> module = server.createModule();
    const ModuleDefinition& definition = module->Definition();
    for (OfficeHostApp host : InstalledHosts(registry, com, definition)) {
      const std::string key = AddInKeyPath(host, server.identity.progId);
      RaiseAtAddInKey(*module, module->OnBeforeAddinUnregister, AddInRoot(definition), key);
      if (definition.registerForAllUsers) registry.DeleteKey(RegistryRoot::LocalMachine, key);
      registry.DeleteKey(RegistryRoot::CurrentUser, key);
    }
  }

  // 4. The class keys; failures are ignored. The user's first: deleting
  // through HKEY_CLASSES_ROOT would reach them before the machine's.
  for (RegistrationScope scope : {RegistrationScope::User, RegistrationScope::Machine}) {
    const std::vector<RegistryEntry> entries = ClassEntries(server.identity, server.modulePath, scope);
    for (const std::string& key : KeysInDeletionOrder(entries)) registry.DeleteKey(entries.front().root, key);
  }
}

}  // namespace trovex::addin
