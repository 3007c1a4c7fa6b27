// DllRegisterServer and DllUnregisterServer: the portable registration
// (addin_registration.h) with the system's type-library calls, and the
// registry the add-in uses.
#include <windows.h>
#include <oleauto.h>

#include <cstring>

#include "addin/addin_registration.h"
#include "addin/win32/class_factory.h"
#include "addin/win32/com_server.h"
#include "support/registry_access.h"
#include "support/win32/com_ptr.h"
#include "support/win32/registry_win32.h"
#include "support/win32/wide_string.h"
#include "support/win32/win32_error.h"
#include "support/win32/win32_handles.h"

// Per-user type-library registration (Windows Vista and later); in
// oleaut32 but missing from MinGW's oleauto.h.
extern "C" {
HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* fullPath, OLECHAR* helpDir);
HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libraryId, WORD major, WORD minor, LCID locale, SYSKIND kind);
}

namespace trovex::addin::win32 {
namespace {

using trovex::win32::ComPtr;
using trovex::win32::WideFromUtf8;

// The type-library calls for the library file itself.
class Win32ComRegistrar final : public ComRegistrar {
 public:
  explicit Win32ComRegistrar(const ServerIdentity& identity) {
    trovex::win32::ThrowIfFailed(::CLSIDFromString(WideFromUtf8(identity.typeLibId).c_str(), &libraryId_),
                                 "CLSIDFromString");
    const std::size_t dot = identity.typeLibVersion.find('.');
    major_ = static_cast<WORD>(std::stoul(identity.typeLibVersion.substr(0, dot)));
    minor_ = dot == std::string::npos ? 0 : static_cast<WORD>(std::stoul(identity.typeLibVersion.substr(dot + 1)));
  }

  bool RegisterTypeLibrary(std::string_view modulePath, std::string_view helpDir, RegistrationScope scope) override {
    std::wstring path = WideFromUtf8(modulePath);
    std::wstring dir = WideFromUtf8(helpDir);
    ComPtr<ITypeLib> library;
    trovex::win32::ThrowIfFailed(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put()), "LoadTypeLibEx");
    const HRESULT hr = scope == RegistrationScope::Machine
                           ? ::RegisterTypeLib(library.Get(), path.data(), dir.data())
                           : ::RegisterTypeLibForUser(library.Get(), path.data(), dir.data());
    return SUCCEEDED(hr);
  }

  void UnregisterTypeLibrary(RegistrationScope scope) override {
    if (scope == RegistrationScope::Machine) {
      ::UnRegisterTypeLib(libraryId_, major_, minor_, kLocale, kSysKind);
    } else {
      ::UnRegisterTypeLibForUser(libraryId_, major_, minor_, kLocale, kSysKind);
    }
  }

  bool ProgIdHasClass(std::string_view progId) override {
    CLSID classId = {};
    return SUCCEEDED(::CLSIDFromProgID(WideFromUtf8(progId).c_str(), &classId)) &&
           !IsEqualCLSID(classId, CLSID_NULL);
  }

 private:
  static constexpr LCID kLocale = 0x0409;
  // The kind the library was registered under: the library's own bitness.
#ifdef _WIN64
  static constexpr SYSKIND kSysKind = SYS_WIN64;
#else
  static constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

  GUID libraryId_ = {};
  WORD major_ = 0;
  WORD minor_ = 0;
};

ServerRegistration ThisServer(TadxFactory& factory) {
  ServerRegistration server;
  server.identity = factory.Identity();
  server.modulePath = trovex::win32::Utf8FromWide(ModulePath());
  server.createModule = [&factory]() -> std::unique_ptr<ModuleCore> { return factory.CreateModule(); };
  return server;
}

}  // namespace

// The classes, the type library and the add-in key of a 32-bit server
// belong in the 32-bit view, where 32-bit Office looks: the process's own.
Registry& AddInRegistry() {
  static trovex::win32::Win32Registry registry(RegistryViewRule::Own);
  return registry;
}

}  // namespace trovex::addin::win32

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  using namespace trovex::addin::win32;
  try {
    const trovex::addin::ServerRegistration server = ThisServer(AddInFactory());
    Win32ComRegistrar com(server.identity);
    trovex::addin::RegisterServer(AddInRegistry(), com, server);
    return S_OK;
  } catch (...) {
    HResultFromCurrentException();
    return E_FAIL;
  }
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  using namespace trovex::addin::win32;
  try {
    const trovex::addin::ServerRegistration server = ThisServer(AddInFactory());
    Win32ComRegistrar com(server.identity);
    trovex::addin::UnregisterServer(AddInRegistry(), com, server);
    return S_OK;
  } catch (...) {
    HResultFromCurrentException();
    return E_FAIL;
  }
}
