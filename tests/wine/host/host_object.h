// The machinery under every object the Outlook host hands out: reference
// counting with a process-wide registry of live objects, checks that fail
// the running test on calls that must not happen, and IDispatch answered
// through the host's type library of Outlook's interfaces.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "support/win32/com_ptr.h"

namespace trovex::wine_host {

struct HostState;

// What a failing Outlook call raises: Invoke answers DISP_E_EXCEPTION with
// this text and code in EXCEPINFO.
class DispError : public std::runtime_error {
 public:
  explicit DispError(const std::string& text, HRESULT scode = E_FAIL) : std::runtime_error(text), scode_(scode) {}
  HRESULT Scode() const { return scode_; }

 private:
  HRESULT scode_;
};

// A caller's fault that the type library lets through (an index that is
// no number): fails the test, and Invoke answers `code`.
class BadCall : public std::runtime_error {
 public:
  BadCall(const std::string& text, HRESULT code) : std::runtime_error(text), code_(code) {}
  HRESULT Code() const { return code_; }

 private:
  HRESULT code_;
};

// Counting and checking shared by every host object. A released object
// stays in memory, dead, until the test ends, so that a call on it is
// caught instead of crashing somewhere else.
class HostObject {
 public:
  HostObject(std::shared_ptr<HostState> state, const char* kind);
  virtual ~HostObject();
  HostObject(const HostObject&) = delete;
  HostObject& operator=(const HostObject&) = delete;

  const char* Kind() const { return kind_; }
  long RefCount() const { return refs_.load(); }
  const HostState* State() const { return state_.get(); }

 protected:
  ULONG AddRefImpl();
  ULONG ReleaseImpl();
  // False (after failing the test) for a call on a dead object or from a
  // thread other than the host's.
  bool CheckCall(std::string_view member) const;
  // Drops what the object holds once its last reference is gone.
  virtual void OnDeath() {}

  std::shared_ptr<HostState> state_;

 private:
  const char* kind_;
  std::atomic<long> refs_{1};
  bool dead_ = false;
};

// Process-wide count of host objects still referenced.
long LiveHostObjects();
// The live objects of one host, and the references held on them.
long LiveHostObjects(const HostState* state);
long ReferencesOn(const HostState* state);
// "Folder x2 (3 refs), Items x1 (1 ref)" for the live objects.
std::string DescribeLiveHostObjects();
// After a leak was reported: forgets the leaked objects (so the next test
// starts from zero) and frees the dead ones.
void EndOfTestCleanup();

// One interface of the host's type library (outlook_model.idl, resource
// TYPELIB 1 of the test program).
struct InterfaceInfo {
  // What GetTypeInfo hands out: the dispinterface of the dual interface.
  win32::ComPtr<ITypeInfo> dispatch;
  // What DispInvoke calls through: the vtable part.
  win32::ComPtr<ITypeInfo> vtable;
};
// Throws std::runtime_error when the library lacks `iid`.
InterfaceInfo LoadInterfaceInfo(REFIID iid);

template <typename I>
const InterfaceInfo& InterfaceInfoOf() {
  static const InterfaceInfo info = LoadInterfaceInfo(__uuidof(I));
  return info;
}

// IDispatch answered by OLE Automation from the type library, as Outlook's
// own objects do: oleaut32 looks names up, refuses unknown DISPIDs, wrong
// call kinds and arguments it cannot coerce, and calls the vtable method.
// A member raises through the thread's error object, which DispInvoke turns
// into DISP_E_EXCEPTION with EXCEPINFO.
class AutomationBase : public HostObject {
 public:
  AutomationBase(std::shared_ptr<HostState> state, const char* kind, const InterfaceInfo& info, REFIID iid)
      : HostObject(std::move(state), kind), info_(info), iid_(iid) {}

 protected:
  // Another interface than IUnknown, IDispatch, the object's own and
  // ISupportErrorInfo, or nullptr.
  virtual void* QueryExtra(REFIID) { return nullptr; }

  HRESULT Query(REFIID iid, void** out, void* primary, void* errorInfo);
  HRESULT TypeInfoCount(UINT* count);
  HRESULT TypeInfo(UINT index, ITypeInfo** info);
  HRESULT IdsOfNames(LPOLESTR* names, UINT count, DISPID* ids);
  HRESULT InvokeMember(void* primary, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                       EXCEPINFO* excep, UINT* argErr);
  HRESULT SupportsErrorInfo(REFIID iid);

  // Runs a member: S_OK, or the code of what it raised. A DispError becomes
  // the thread's error object; a BadCall or any other exception fails the
  // test.
  template <typename Body>
  HRESULT Run(std::string_view member, Body&& body) noexcept {
    if (!CheckCall(member)) return E_UNEXPECTED;
    try {
      body();
      return S_OK;
    } catch (const DispError& e) {
      return Raise(e);
    } catch (const BadCall& e) {
      return Refuse(member, e);
    } catch (const std::exception& e) {
      return HostFault(member, e);
    }
  }

  // A property or a result: `*out` set from what `body` returns.
  template <typename T, typename Body>
  HRESULT Get(std::string_view member, T* out, Body&& body) noexcept {
    if (!out) return E_POINTER;
    *out = T{};
    return Run(member, [&] { *out = body(); });
  }

 private:
  HRESULT Raise(const DispError& e) noexcept;
  HRESULT Refuse(std::string_view member, const BadCall& e) noexcept;
  HRESULT HostFault(std::string_view member, const std::exception& e) noexcept;

  const InterfaceInfo& info_;
  IID iid_;
  // A BadCall's code, which Invoke answers instead of DISP_E_EXCEPTION.
  HRESULT refused_ = S_OK;
};

// A host object serving the dual interface I (from outlook_model.h).
// Derived classes implement I's methods, each through Run or Get.
template <typename I>
class Automation : public I, public ISupportErrorInfo, public AutomationBase {
 public:
  using Served = I;

  Automation(std::shared_ptr<HostState> state, const char* kind)
      : AutomationBase(std::move(state), kind, InterfaceInfoOf<I>(), __uuidof(I)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return Query(iid, out, static_cast<I*>(this), static_cast<ISupportErrorInfo*>(this));
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return TypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override { return TypeInfo(index, info); }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    return IdsOfNames(names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT* argErr) override {
    return InvokeMember(static_cast<I*>(this), id, flags, params, result, excep, argErr);
  }
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override { return SupportsErrorInfo(iid); }
};

// Argument and result helpers for members.
// A collection index: any integral or floating variant with an integer value.
long ArgIndex(const VARIANT& v);
BSTR Text(std::string_view utf8);
BSTR WideText(std::wstring_view text);

}  // namespace trovex::wine_host
