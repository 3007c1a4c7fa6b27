#include "addin/win32/class_factory.h"

#include <fmt/format.h>

#include <array>

#include "addin/win32/com_server.h"
#include "support/win32/com_ptr.h"
#include "support/win32/wide_string.h"
#include "support/win32/win32_error.h"
#include "support/win32/win32_handles.h"

namespace trovex::addin::win32 {
namespace {

using trovex::win32::ComPtr;
using trovex::win32::ThrowIfFailed;
using trovex::win32::unique_bstr;

std::unique_ptr<TadxCOMAddInModule> CreateTAddInModule(ModuleContext context) {
  return std::make_unique<TAddInModule>(std::move(context));
}

// Every class the server serves: its id, the COM object and the module
// class. Made as the library loads; nothing here touches the system.
std::array<TadxFactory, 1> g_factories = {{
    {CLSID_MSOAddIn, &CreateMSOAddIn, &CreateTAddInModule},
}};

std::string Text(const unique_bstr& text) { return trovex::win32::Utf8FromBstr(text.Get()); }

}  // namespace

TadxFactory& AddInFactory() { return g_factories.front(); }

ServerIdentity LoadServerIdentity(const std::wstring& modulePath, REFCLSID classId) {
  ComPtr<ITypeLib> library;
  ThrowIfFailed(::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.Put()), "LoadTypeLibEx");
  TLIBATTR* attributes = nullptr;
  ThrowIfFailed(library->GetLibAttr(&attributes), "GetLibAttr");
  const GUID libraryId = attributes->guid;
  const unsigned major = attributes->wMajorVerNum;
  const unsigned minor = attributes->wMinorVerNum;
  library->ReleaseTLibAttr(attributes);

  unique_bstr libraryName;
  ThrowIfFailed(library->GetDocumentation(-1, libraryName.Put(), nullptr, nullptr, nullptr), "GetDocumentation");
  ComPtr<ITypeInfo> coclass;
  ThrowIfFailed(library->GetTypeInfoOfGuid(classId, coclass.Put()), "GetTypeInfoOfGuid");
  unique_bstr className;
  unique_bstr classHelp;
  ThrowIfFailed(coclass->GetDocumentation(MEMBERID_NIL, className.Put(), classHelp.Put(), nullptr, nullptr),
                "GetDocumentation");

  ServerIdentity identity;
  identity.classId = GuidText(classId);
  identity.progId = Text(libraryName) + "." + Text(className);
  identity.description = Text(classHelp);
  identity.typeLibId = GuidText(libraryId);
  identity.typeLibVersion = fmt::format("{}.{}", major, minor);
  return identity;
}

const ServerIdentity& TadxFactory::Identity() {
  if (!identity_) identity_ = LoadServerIdentity(ModulePath(), classId_);
  return *identity_;
}

std::unique_ptr<TadxCOMAddInModule> TadxFactory::CreateModule() {
  return createModule_(ModuleContext{AddInRegistry(), AddInMessageBoxes(), Identity().progId});
}

std::wstring TadxFactory::AddInPath() const {
  const std::wstring path = ModulePath();
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

void TadxFactory::ObjectDestroyed(IUnknown* object) noexcept {
  if (cached_ == object) cached_ = nullptr;
}

HRESULT TadxFactory::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory) || IsEqualIID(iid, IID_IClassFactory2)) {
    *out = static_cast<IClassFactory2*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG TadxFactory::AddRef() {
  ServerLocked();
  return static_cast<ULONG>(++refs_);
}

ULONG TadxFactory::Release() {
  ServerUnlocked();
  return static_cast<ULONG>(--refs_);
}

HRESULT TadxFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  try {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (cached_) return cached_->QueryInterface(iid, out);
    IUnknown* object = createObject_(*this);
    const HRESULT hr = object->QueryInterface(iid, out);
    // Cached only once someone holds it; a refused interface frees it.
    if (SUCCEEDED(hr)) cached_ = object;
    object->Release();
    return hr;
  } catch (...) {
    return HResultFromCurrentException();
  }
}

HRESULT TadxFactory::LockServer(BOOL lock) {
  if (lock) {
    ServerLocked();
  } else {
    ServerUnlocked();
  }
  return S_OK;
}

HRESULT TadxFactory::GetLicInfo(LICINFO* info) {
  if (!info) return E_POINTER;
  info->cbLicInfo = sizeof(LICINFO);
  info->fRuntimeKeyAvail = FALSE;
  info->fLicVerified = TRUE;
  return S_OK;
}

HRESULT TadxFactory::RequestLicKey(DWORD /*reserved*/, BSTR* key) {
  if (key) *key = nullptr;
  return E_NOTIMPL;
}

HRESULT TadxFactory::CreateInstanceLic(IUnknown* outer, IUnknown* /*reserved*/, REFIID iid, BSTR /*key*/,
                                       void** out) {
  return CreateInstance(outer, iid, out);
}

}  // namespace trovex::addin::win32

using trovex::addin::win32::g_factories;

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* out) {
  try {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (auto& factory : g_factories) {
      if (IsEqualCLSID(classId, factory.ClassId())) return factory.QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
  } catch (...) {
    return trovex::addin::win32::HResultFromCurrentException();
  }
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  try {
    return trovex::addin::win32::ServerInUse() ? S_FALSE : S_OK;
  } catch (...) {
    return trovex::addin::win32::HResultFromCurrentException();
  }
}
