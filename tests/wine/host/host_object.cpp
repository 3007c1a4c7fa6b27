#include "host/host_object.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "host/host_state.h"
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

// DispatchBase ---------------------------------------------------------------

HRESULT DispatchBase::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!CheckCall("QueryInterface")) return E_UNEXPECTED;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
  } else {
    *out = QueryExtra(iid);
  }
  if (!*out) return E_NOINTERFACE;
  AddRefImpl();
  return S_OK;
}

HRESULT DispatchBase::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;  // late-bound only, as far as our clients are concerned
  return CheckCall("GetTypeInfoCount") ? S_OK : E_UNEXPECTED;
}

HRESULT DispatchBase::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  CheckCall("GetTypeInfo");
  return DISP_E_BADINDEX;
}

HRESULT DispatchBase::IdsOfNames(std::span<const Entry> entries, LPOLESTR* names, UINT count, DISPID* ids) {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  if (!CheckCall("GetIDsOfNames")) return E_UNEXPECTED;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  // Automation names are case-insensitive.
  for (const Entry& e : entries) {
    if (::_wcsicmp(e.name, names[0]) == 0) ids[0] = e.id;
  }
  if (ids[0] == DISPID_UNKNOWN) {
    ADD_FAILURE() << "unexpected call: " << Kind() << "." << win32::Utf8FromWide(names[0])
                  << " is no member this host offers";
    return DISP_E_UNKNOWNNAME;
  }
  // No member takes named arguments.
  return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT DispatchBase::UnknownDispid(DISPID id) {
  if (!CheckCall("Invoke")) return E_UNEXPECTED;
  ADD_FAILURE() << "unexpected call: " << Kind() << ".Invoke with unknown DISPID " << id;
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT DispatchBase::InvokeEntry(std::string_view member, WORD allowed, unsigned argCount, WORD flags,
                                  DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* argErr,
                                  void (*call)(DispatchBase&, const void*, const DispCall&), const void* handler) {
  if (!CheckCall(member)) return E_UNEXPECTED;
  state_->calls.emplace_back(member);
  if (!params) return E_POINTER;
  if ((flags & allowed) == 0) {
    ADD_FAILURE() << "unexpected call: " << member << " with flags " << flags;
    return DISP_E_MEMBERNOTFOUND;
  }
  // A property put carries its value as the named argument DISPID_PROPERTYPUT.
  const bool put = (flags & kPut) != 0;
  const UINT named = put ? 1 : 0;
  if (params->cNamedArgs != named ||
      (put && (!params->rgdispidNamedArgs || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))) {
    ADD_FAILURE() << "unexpected call: " << member << " with named arguments";
    return DISP_E_NONAMEDARGS;
  }
  const UINT expected = argCount + named;
  if (params->cArgs != expected) {
    ADD_FAILURE() << "unexpected call: " << member << " with " << params->cArgs << " arguments instead of "
                  << expected;
    return DISP_E_BADPARAMCOUNT;
  }
  std::vector<win32::unique_variant> holders(expected);
  std::vector<VARIANT> args(expected);
  for (unsigned i = 0; i < expected; ++i) {
    VARIANT& source = params->rgvarg[expected - 1 - i];
    if (FAILED(::VariantCopyInd(&holders[i].Get(), &source))) return E_OUTOFMEMORY;
    args[i] = holders[i].Get();
  }
  if (result) ::VariantInit(result);
  try {
    call(*this, handler, DispCall{flags, args, result});
    return S_OK;
  } catch (const DispError& e) {
    if (result) ::VariantClear(result);
    if (excep) {
      *excep = EXCEPINFO{};
      excep->bstrSource = ::SysAllocString(L"Microsoft Outlook");
      excep->bstrDescription = ::SysAllocString(win32::WideFromUtf8(e.what()).c_str());
      excep->scode = e.Scode();
    }
    return DISP_E_EXCEPTION;
  } catch (const BadCall& e) {
    if (result) ::VariantClear(result);
    if (argErr) *argErr = 0;
    ADD_FAILURE() << "unexpected call: " << member << ": " << e.what() << " (" << HexCode(e.Code()) << ")";
    return e.Code();
  } catch (const std::exception& e) {
    // Nothing may leave a COM method; this is the host's own fault.
    if (result) ::VariantClear(result);
    ADD_FAILURE() << "the host failed in " << member << ": " << e.what();
    return E_UNEXPECTED;
  }
}

// Handler helpers -----------------------------------------------------------

std::wstring ArgText(const VARIANT& v) {
  if (v.vt != VT_BSTR) throw BadCall("a text argument was expected", DISP_E_TYPEMISMATCH);
  return v.bstrVal ? std::wstring(v.bstrVal, ::SysStringLen(v.bstrVal)) : std::wstring();
}

long ArgIndex(const VARIANT& v) {
  switch (v.vt) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT: case VT_R4: case VT_R8: {
      VARIANT r;
      ::VariantInit(&r);
      // Only read; MinGW's prototype lacks the const.
      if (FAILED(::VariantChangeType(&r, const_cast<VARIANT*>(&v), 0, VT_R8)) || r.dblVal != std::floor(r.dblVal))
        throw BadCall("an integer index was expected", DISP_E_TYPEMISMATCH);
      return static_cast<long>(r.dblVal);
    }
    default:
      throw BadCall("a numeric index was expected", DISP_E_TYPEMISMATCH);
  }
}

void SetWideText(VARIANT* result, std::wstring_view text) {
  if (!result) return;
  result->vt = VT_BSTR;
  result->bstrVal = win32::MakeBstr(text).Release();
}

void SetText(VARIANT* result, std::string_view utf8) { SetWideText(result, win32::WideFromUtf8(utf8)); }

void SetLong(VARIANT* result, long value) {
  if (!result) return;
  result->vt = VT_I4;
  result->lVal = value;
}

void SetDate(VARIANT* result, double oleDate) {
  if (!result) return;
  result->vt = VT_DATE;
  result->date = oleDate;
}

void SetObject(VARIANT* result, IDispatch* object) {
  if (!result) {
    object->Release();
    return;
  }
  result->vt = VT_DISPATCH;
  result->pdispVal = object;
}

}  // namespace trovex::wine_host
