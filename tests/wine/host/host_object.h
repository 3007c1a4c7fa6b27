// The machinery under every object the Outlook host hands out: reference
// counting with a process-wide registry of live objects, checks that fail
// the running test on calls that must not happen, and IDispatch answered
// from one table of {name, DISPID, handler} per class.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace trovex::wine_host {

struct HostState;

// What a failing Outlook call raises: Invoke answers DISP_E_EXCEPTION with
// this text in EXCEPINFO.
class DispError : public std::runtime_error {
 public:
  explicit DispError(const std::string& text, HRESULT scode = E_FAIL) : std::runtime_error(text), scode_(scode) {}
  HRESULT Scode() const { return scode_; }

 private:
  HRESULT scode_;
};

// A caller's fault (wrong argument count or type): fails the test as well.
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

// One Invoke, its arguments in natural order (DISPPARAMS holds them
// reversed), by-reference arguments already dereferenced.
struct DispCall {
  WORD flags;
  std::span<const VARIANT> args;
  VARIANT* result;  // may be null
};

template <typename Self>
struct Member {
  const wchar_t* name;
  DISPID id;
  WORD flags;          // the DISPATCH_* kinds this member answers
  unsigned argCount;   // exact; a put takes its value besides
  void (Self::*handler)(const DispCall&);
};

// Get and call are the same for read-only properties and methods without
// side effects, as in Visual Basic.
inline constexpr WORD kGet = DISPATCH_PROPERTYGET | DISPATCH_METHOD;
inline constexpr WORD kPut = DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;

// IDispatch on top of HostObject. Derived classes list their members in
// `static constexpr Member<Self> kMembers[]` and may answer further
// interfaces through QueryExtra.
class DispatchBase : public IDispatch, public HostObject {
 public:
  using HostObject::HostObject;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;

 protected:
  // Another interface than IUnknown/IDispatch, or nullptr.
  virtual void* QueryExtra(REFIID) { return nullptr; }

  struct Entry {
    const wchar_t* name;
    DISPID id;
  };
  // The common part of GetIDsOfNames and Invoke; `call` runs the handler.
  HRESULT IdsOfNames(std::span<const Entry> entries, LPOLESTR* names, UINT count, DISPID* ids);
  HRESULT InvokeEntry(std::string_view member, WORD allowed, unsigned argCount, WORD flags,
                      DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep, UINT* argErr,
                      void (*call)(DispatchBase&, const void* handler, const DispCall&), const void* handler);
  HRESULT UnknownDispid(DISPID id);
};

template <typename Self>
class Dispatch : public DispatchBase {
 public:
  explicit Dispatch(std::shared_ptr<HostState> state) : DispatchBase(std::move(state), Self::kKindName) {}

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    static const auto entries = [] {
      std::array<Entry, std::size(Self::kMembers)> e{};
      for (size_t i = 0; i < e.size(); ++i) e[i] = {Self::kMembers[i].name, Self::kMembers[i].id};
      return e;
    }();
    return IdsOfNames(entries, names, count, ids);
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT* argErr) override {
    for (const auto& m : Self::kMembers) {
      if (m.id != id) continue;
      const std::string name = std::string(Self::kKindName) + "." + Narrow(m.name);
      return InvokeEntry(name, m.flags, m.argCount, flags, params, result, excep, argErr, &CallMember, &m);
    }
    return UnknownDispid(id);
  }

 private:
  static std::string Narrow(const wchar_t* w) {
    std::string s;
    for (; *w; ++w) s += static_cast<char>(*w);
    return s;
  }
  static void CallMember(DispatchBase& self, const void* handler, const DispCall& call) {
    const auto& m = *static_cast<const Member<Self>*>(handler);
    (static_cast<Self&>(self).*m.handler)(call);
  }
};

// Argument and result helpers for handlers.
std::wstring ArgText(const VARIANT& v);
// A collection index: any integral or floating variant with an integer value.
long ArgIndex(const VARIANT& v);
void SetText(VARIANT* result, std::string_view utf8);
void SetWideText(VARIANT* result, std::wstring_view text);
void SetLong(VARIANT* result, long value);
void SetDate(VARIANT* result, double oleDate);
// Hands out `object` (its one reference from creation) as the result.
void SetObject(VARIANT* result, IDispatch* object);

}  // namespace trovex::wine_host
