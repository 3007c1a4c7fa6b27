// A scriptable IDispatch standing in for Outlook's objects: members by
// name, each answered by a handler. It counts its references so that tests
// can tell that the binding releases every object it was handed.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/win32/com_ptr.h"
#include "support/win32/wide_string.h"

namespace trovex::testing {

class FakeDispatch final : public IDispatch {
 public:
  // Arguments first to last, as the caller wrote them.
  using Handler = std::function<HRESULT(WORD flags, const std::vector<VARIANT*>& args, VARIANT* result,
                                        EXCEPINFO* exception)>;

  explicit FakeDispatch(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }
  ULONG Refs() const { return refs_; }
  // Every Invoke as "Member" (for checks of what was asked).
  const std::vector<std::string>& Calls() const { return calls_; }

  FakeDispatch& On(const std::string& member, Handler handler) {
    members_[member] = {static_cast<DISPID>(members_.size() + 1), std::move(handler)};
    return *this;
  }
  // QueryInterface succeeds for `iid` too (with this same object).
  FakeDispatch& Answers(const IID& iid) {
    extra_.push_back(iid);
    return *this;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    bool known = iid == IID_IUnknown || iid == IID_IDispatch;
    for (const IID& e : extra_) known = known || iid == e;
    if (!known) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  // The test owns the object; a count below one is a double release.
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count != 1) return E_INVALIDARG;
    const auto it = members_.find(win32::Utf8FromWide(names[0]));
    if (it == members_.end()) {
      ids[0] = DISPID_UNKNOWN;
      return DISP_E_UNKNOWNNAME;
    }
    ids[0] = it->second.id;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT*) override {
    for (auto& [member, entry] : members_) {
      if (entry.id != id) continue;
      calls_.push_back(member);
      std::vector<VARIANT*> args;
      for (UINT i = params->cArgs; i > 0; --i) args.push_back(&params->rgvarg[i - 1]);
      return entry.handler(flags, args, result, exception);
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  struct Member {
    DISPID id;
    Handler handler;
  };
  std::string name_;
  ULONG refs_ = 1;
  std::map<std::string, Member> members_;
  std::vector<IID> extra_;
  std::vector<std::string> calls_;
};

// ---- Handlers

inline FakeDispatch::Handler ReturnsText(std::wstring text) {
  return [text](WORD, const std::vector<VARIANT*>&, VARIANT* r, EXCEPINFO*) {
    r->vt = VT_BSTR;
    r->bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return S_OK;
  };
}

inline FakeDispatch::Handler ReturnsVariant(VARTYPE type, std::function<void(VARIANT&)> fill) {
  return [type, fill](WORD, const std::vector<VARIANT*>&, VARIANT* r, EXCEPINFO*) {
    r->vt = type;
    fill(*r);
    return S_OK;
  };
}

inline FakeDispatch::Handler ReturnsInt(LONG n) {
  return ReturnsVariant(VT_I4, [n](VARIANT& v) { v.lVal = n; });
}

inline FakeDispatch::Handler ReturnsObject(FakeDispatch* object) {
  return [object](WORD, const std::vector<VARIANT*>&, VARIANT* r, EXCEPINFO*) {
    r->vt = VT_DISPATCH;
    r->pdispVal = object;
    if (object) object->AddRef();
    return S_OK;
  };
}

// Item(index) of a collection: 1-based, the index as VT_I4.
inline FakeDispatch::Handler ReturnsElement(std::vector<FakeDispatch*> elements) {
  return [elements](WORD, const std::vector<VARIANT*>& args, VARIANT* r, EXCEPINFO*) {
    if (args.size() != 1 || args[0]->vt != VT_I4) return DISP_E_TYPEMISMATCH;
    const LONG i = args[0]->lVal;
    if (i < 1 || i > static_cast<LONG>(elements.size())) return DISP_E_BADINDEX;
    r->vt = VT_DISPATCH;
    r->pdispVal = elements[static_cast<std::size_t>(i - 1)];
    r->pdispVal->AddRef();
    return S_OK;
  };
}

// Fails as Outlook does: DISP_E_EXCEPTION with the message in EXCEPINFO.
inline FakeDispatch::Handler RaisesException(HRESULT code, std::wstring description) {
  return [code, description](WORD, const std::vector<VARIANT*>&, VARIANT*, EXCEPINFO* e) {
    e->scode = code;
    e->bstrSource = ::SysAllocString(L"Microsoft Outlook");
    e->bstrDescription = ::SysAllocString(description.c_str());
    return DISP_E_EXCEPTION;
  };
}

// Fails with the message in the thread's error object.
inline FakeDispatch::Handler FailsWithErrorInfo(HRESULT code, std::wstring description) {
  return [code, description](WORD, const std::vector<VARIANT*>&, VARIANT*, EXCEPINFO*) {
    win32::ComPtr<ICreateErrorInfo> create;
    ::CreateErrorInfo(create.Put());
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    win32::ComPtr<IErrorInfo> info;
    create.As(IID_IErrorInfo, info);
    ::SetErrorInfo(0, info.Get());
    return code;
  };
}

inline FakeDispatch::Handler Fails(HRESULT code) {
  return [code](WORD, const std::vector<VARIANT*>&, VARIANT*, EXCEPINFO*) { return code; };
}

}  // namespace trovex::testing
