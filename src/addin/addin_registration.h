// Self-registration of the COM server and its Outlook add-in key, as data:
// the class keys are one list of entries that registration writes in
// order and unregistration deletes in reverse. The type library and the
// ProgID lookup are the only system services, behind ComRegistrar.
//
// Registration is machine-wide when the system lets us (HKEY_CLASSES_ROOT,
// RegisterTypeLib). A user without administrator rights cannot write
// there, so then the class keys go to HKEY_CURRENT_USER\Software\Classes
// and the type library is registered for the user; unregistration removes
// both.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "addin/addin_module.h"
#include "support/registry.h"

namespace trovex::addin {

enum class RegistrationScope { Machine, User };

// The COM identity as the type library tells it.
struct ServerIdentity {
  std::string classId;         // registry form, in braces
  std::string progId;          // "<library name>.<coclass name>"
  std::string description;     // the coclass's help string
  std::string typeLibId;       // registry form, in braces
  std::string typeLibVersion;  // "<major>.<minor>"
};

struct RegistryEntry {
  RegistryRoot root;
  std::string key;
  std::string name;  // empty: the key's default value
  std::variant<std::string, std::uint32_t> value;
};

// The class, ProgID and type-library keys, in the order they are written:
// under HKEY_CLASSES_ROOT for Machine, under
// HKEY_CURRENT_USER\Software\Classes for User.
std::vector<RegistryEntry> ClassEntries(const ServerIdentity& identity, std::string_view modulePath,
                                        RegistrationScope scope);

// The values of a host's add-in key, in the order they are written.
std::vector<RegistryEntry> AddInKeyEntries(const ModuleDefinition& definition, OfficeHostApp host,
                                           std::string_view addInProgId);

// The folder of a file path, with its trailing separator.
std::string FolderOf(std::string_view path);

class ComRegistrar {
 public:
  virtual ~ComRegistrar() = default;
  // False when the system refuses (for Machine: no right to write there).
  virtual bool RegisterTypeLibrary(std::string_view modulePath, std::string_view helpDir,
                                   RegistrationScope scope) = 0;
  // A library that is not registered is no failure worth reporting.
  virtual void UnregisterTypeLibrary(RegistrationScope scope) = 0;
  // Whether the ProgID names a class other than the null GUID.
  virtual bool ProgIdHasClass(std::string_view progId) = 0;
};

using ModuleFactory = std::function<std::unique_ptr<ModuleCore>()>;

struct ServerRegistration {
  ServerIdentity identity;
  std::string modulePath;      // the full long path of the library file
  ModuleFactory createModule;  // a temporary module to read settings from
};

// Outlook counts as installed when its ProgID has a class, or Office
// 2010/2013's virtual install root exists (Click-to-Run without the ProgID).
bool HostInstalled(Registry& registry, ComRegistrar& com, OfficeHostApp host);

// Both throw (AddInError, RegistryError...) on the failures that make the
// export return E_FAIL; what was written until then stays.
// Returns where the class keys went.
RegistrationScope RegisterServer(Registry& registry, ComRegistrar& com, const ServerRegistration& server);
void UnregisterServer(Registry& registry, ComRegistrar& com, const ServerRegistration& server);

}  // namespace trovex::addin
