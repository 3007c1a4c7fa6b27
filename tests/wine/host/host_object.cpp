#include "host/host_object.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include "host/host_state.h"
#include "support/win32/module_file.h"
#include "support/win32/wide_string.h"
#include "host/win32_thread.h"
#include "support/win32/win32_handles.h"

namespace trovex::wine_host {
namespace {

// Objects may be released from a wrong thread (which the test then fails
// on), so the registry is locked.
struct Registry {
  Win32Lock mutex;
  std::set<const HostObject*> live;
  std::vector<std::unique_ptr<HostObject>> dead;
};

Registry& Objects() {
  static Registry r;
  return r;
}

std::string HexCode(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
  return buf;
}

}  // namespace

HostObject::HostObject(std::shared_ptr<HostState> state, const char* kind) : state_(std::move(state)), kind_(kind) {
  Win32Guard lock(Objects().mutex);
  Objects().live.insert(this);
}

HostObject::~HostObject() {
  Win32Guard lock(Objects().mutex);
  Objects().live.erase(this);
}

bool HostObject::CheckCall(std::string_view member) const {
  if (dead_) {
    ADD_FAILURE() << "unexpected call: " << member << " on a released " << kind_;
    return false;
  }
  if (::GetCurrentThreadId() != state_->thread) {
    ADD_FAILURE() << "unexpected call: " << member << " on " << kind_ << " from another thread than Outlook's";
    return false;
  }
  return true;
}

ULONG HostObject::AddRefImpl() {
  if (!CheckCall("AddRef")) return 1;
  return static_cast<ULONG>(++refs_);
}

ULONG HostObject::ReleaseImpl() {
  if (!CheckCall("Release")) return 0;
  const long left = --refs_;
  if (left > 0) return static_cast<ULONG>(left);
  dead_ = true;
  OnDeath();
  Win32Guard lock(Objects().mutex);
  Objects().live.erase(this);
  Objects().dead.emplace_back(this);
  return 0;
}

long LiveHostObjects() {
  Win32Guard lock(Objects().mutex);
  return static_cast<long>(Objects().live.size());
}

long LiveHostObjects(const HostState* state) {
  Win32Guard lock(Objects().mutex);
  long n = 0;
  for (const HostObject* o : Objects().live) n += o->State() == state ? 1 : 0;
  return n;
}

long ReferencesOn(const HostState* state) {
  Win32Guard lock(Objects().mutex);
  long n = 0;
  for (const HostObject* o : Objects().live) n += o->State() == state ? o->RefCount() : 0;
  return n;
}

std::string DescribeLiveHostObjects() {
  std::map<std::string, std::pair<int, long>> byKind;
  {
    Win32Guard lock(Objects().mutex);
    for (const HostObject* o : Objects().live) {
      auto& [count, refs] = byKind[o->Kind()];
      ++count;
      refs += o->RefCount();
    }
  }
  std::ostringstream out;
  for (const auto& [kind, cr] : byKind) {
    if (out.tellp() > 0) out << ", ";
    out << kind << " x" << cr.first << " (" << cr.second << (cr.second == 1 ? " ref)" : " refs)");
  }
  return out.str();
}

void EndOfTestCleanup() {
  std::vector<std::unique_ptr<HostObject>> dead;
  {
    Win32Guard lock(Objects().mutex);
    // Leaked objects are never freed: someone may still call them.
    Objects().live.clear();
    dead.swap(Objects().dead);
  }
}

// Type library ----------------------------------------------------------------

namespace {

// The test program's resource TYPELIB 1, loaded once and never registered.
ITypeLib* HostTypeLibrary() {
  static const win32::ComPtr<ITypeLib> library = [] {
    const std::wstring path = win32::ModuleFileName(nullptr);
    win32::ComPtr<ITypeLib> lib;
    const HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.Put());
    if (FAILED(hr)) throw std::runtime_error("the host's type library does not load: " + HexCode(hr));
    return lib;
  }();
  return library.Get();
}

}  // namespace

InterfaceInfo LoadInterfaceInfo(REFIID iid) {
  InterfaceInfo info;
  HRESULT hr = HostTypeLibrary()->GetTypeInfoOfGuid(iid, info.dispatch.Put());
  if (FAILED(hr)) throw std::runtime_error("an interface the host's type library lacks: " + HexCode(hr));
  TYPEATTR* attr = nullptr;
  hr = info.dispatch->GetTypeAttr(&attr);
  if (FAILED(hr)) throw std::runtime_error("GetTypeAttr failed: " + HexCode(hr));
  const TYPEKIND kind = attr->typekind;
  info.dispatch->ReleaseTypeAttr(attr);
  if (kind != TKIND_DISPATCH) {
    // A plain vtable interface: its own description serves both ways.
    info.vtable = info.dispatch.Share();
    return info;
  }
  // A dual interface's dispinterface would have DispInvoke call Invoke
  // again; its vtable part is the interface it refers to as -1.
  HREFTYPE ref = 0;
  hr = info.dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
  if (SUCCEEDED(hr)) hr = info.dispatch->GetRefTypeInfo(ref, info.vtable.Put());
  if (FAILED(hr)) throw std::runtime_error("an interface of the host's type library is not dual: " + HexCode(hr));
  return info;
}

// AutomationBase -------------------------------------------------------------

HRESULT AutomationBase::Query(REFIID iid, void** out, void* primary, void* errorInfo) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!CheckCall("QueryInterface")) return E_UNEXPECTED;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, iid_)) {
    *out = primary;
  } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
    *out = errorInfo;
  } else {
    *out = QueryExtra(iid);
  }
  if (!*out) return E_NOINTERFACE;
  AddRefImpl();
  return S_OK;
}

HRESULT AutomationBase::TypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  if (!CheckCall("GetTypeInfoCount")) return E_UNEXPECTED;
  *count = 1;
  return S_OK;
}

HRESULT AutomationBase::TypeInfo(UINT index, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (!CheckCall("GetTypeInfo")) return E_UNEXPECTED;
  if (index != 0) return DISP_E_BADINDEX;
  *info = info_.dispatch.Share().Detach();
  return S_OK;
}

HRESULT AutomationBase::IdsOfNames(LPOLESTR* names, UINT count, DISPID* ids) {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  if (!CheckCall("GetIDsOfNames")) return E_UNEXPECTED;
  const HRESULT hr = ::DispGetIDsOfNames(info_.vtable.Get(), names, count, ids);
  if (FAILED(hr)) {
    ADD_FAILURE() << "unexpected call: " << Kind() << "." << win32::Utf8FromWide(names[0])
                  << " is no member this host offers (" << HexCode(hr) << ")";
  }
  return hr;
}

HRESULT AutomationBase::InvokeMember(void* primary, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argErr) {
  win32::unique_bstr name;
  UINT found = 0;
  if (FAILED(info_.vtable->GetNames(id, name.Put(), 1, &found)) || found == 0) {
    if (!CheckCall("Invoke")) return E_UNEXPECTED;
    ADD_FAILURE() << "unexpected call: " << Kind() << ".Invoke with unknown DISPID " << id;
    return DISP_E_MEMBERNOTFOUND;
  }
  const std::string member = std::string(Kind()) + "." + win32::Utf8FromBstr(name.Get());
  if (!CheckCall(member)) return E_UNEXPECTED;
  state_->calls.push_back(member);
  refused_ = S_OK;
  HRESULT hr = ::DispInvoke(primary, info_.vtable.Get(), id, flags, params, result, excep, argErr);
  // oleaut32 leaves the result typed but null after a failure; Outlook
  // leaves it empty.
  if (FAILED(hr) && result) ::VariantClear(result);
  if (refused_ != S_OK) {
    // The member refused its arguments: the caller's fault, not Outlook's
    // exception.
    hr = std::exchange(refused_, S_OK);
    if (excep) {
      ::SysFreeString(excep->bstrSource);
      ::SysFreeString(excep->bstrDescription);
      ::SysFreeString(excep->bstrHelpFile);
      *excep = EXCEPINFO{};
    }
    if (argErr) *argErr = 0;
  } else if (FAILED(hr) && hr != DISP_E_EXCEPTION) {
    ADD_FAILURE() << "unexpected call: " << member << " refused by Outlook's type library with flags " << flags
                  << " and " << (params ? params->cArgs : 0u) << " argument(s) (" << HexCode(hr) << ")";
  }
  return hr;
}

HRESULT AutomationBase::SupportsErrorInfo(REFIID iid) {
  if (!CheckCall("InterfaceSupportsErrorInfo")) return E_UNEXPECTED;
  return IsEqualIID(iid, iid_) ? S_OK : S_FALSE;
}

HRESULT AutomationBase::Raise(const DispError& e) noexcept {
  try {
    win32::ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(::CreateErrorInfo(create.Put()))) {
      const std::wstring description = win32::WideFromUtf8(e.what());
      create->SetGUID(iid_);
      create->SetSource(const_cast<LPOLESTR>(L"Microsoft Outlook"));
      create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
      win32::ComPtr<IErrorInfo> info;
      if (SUCCEEDED(create.As(IID_IErrorInfo, info))) ::SetErrorInfo(0, info.Get());
    }
  } catch (const std::exception& x) {
    ADD_FAILURE() << "the host failed to raise \"" << e.what() << "\": " << x.what();
  }
  return e.Scode();
}

HRESULT AutomationBase::Refuse(std::string_view member, const BadCall& e) noexcept {
  ADD_FAILURE() << "unexpected call: " << Kind() << "." << member << ": " << e.what() << " (" << HexCode(e.Code())
                << ")";
  // No stale error object may stand for this failure.
  ::SetErrorInfo(0, nullptr);
  refused_ = e.Code();
  return e.Code();
}

HRESULT AutomationBase::HostFault(std::string_view member, const std::exception& e) noexcept {
  // Nothing may leave a COM method; this is the host's own fault.
  ADD_FAILURE() << "the host failed in " << Kind() << "." << member << ": " << e.what();
  ::SetErrorInfo(0, nullptr);
  return E_UNEXPECTED;
}

// Member helpers ------------------------------------------------------------

long ArgIndex(const VARIANT& v) {
  // By reference or not, as Automation passes a VARIANT argument through.
  win32::unique_variant value;
  if (FAILED(::VariantCopyInd(&value.Get(), const_cast<VARIANT*>(&v))))
    throw BadCall("the index cannot be read", DISP_E_TYPEMISMATCH);
  switch (value.Type()) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT: case VT_R4: case VT_R8: {
      win32::unique_variant r;
      if (FAILED(::VariantChangeType(r.Put(), &value.Get(), 0, VT_R8)) || r.Get().dblVal != std::floor(r.Get().dblVal))
        throw BadCall("an integer index was expected", DISP_E_TYPEMISMATCH);
      return static_cast<long>(r.Get().dblVal);
    }
    default:
      throw BadCall("a numeric index was expected", DISP_E_TYPEMISMATCH);
  }
}

BSTR WideText(std::wstring_view text) { return win32::MakeBstr(text).Release(); }

BSTR Text(std::string_view utf8) { return WideText(win32::WideFromUtf8(utf8)); }

}  // namespace trovex::wine_host
