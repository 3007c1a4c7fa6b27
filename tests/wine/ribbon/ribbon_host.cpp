#include "ribbon/ribbon_host.h"

#include <gtest/gtest.h>

#include <span>

#include "host/host_state.h"
#include "outlook/win32/outlook_ids.h"
#include "support/win32/wide_string.h"
#include "support/win32/win32_handles.h"

namespace trovex::wine_host {
namespace {

using win32::ComPtr;

// IDispatch of a dual interface whose members the add-in reaches through
// the vtable: late-bound calls get the members by DISPID, nothing else.
struct DualMember {
  const wchar_t* name;
  DISPID id;
};

HRESULT DualIdsOfNames(std::span<const DualMember> members, LPOLESTR* names, UINT count, DISPID* ids) {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  for (const DualMember& m : members) {
    if (::_wcsicmp(m.name, names[0]) == 0) ids[0] = m.id;
  }
  return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

class RibbonControlObject final : public office::IRibbonControl, public HostObject {
 public:
  RibbonControlObject(std::shared_ptr<HostState> state, RibbonControlInfo info)
      : HostObject(std::move(state), "RibbonControl"), info_(std::move(info)) {
    if (info_.context) info_.context->AddRef();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!CheckCall("QueryInterface")) return E_UNEXPECTED;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) &&
        !IsEqualIID(iid, office::IID_IRibbonControl)) {
      return E_NOINTERFACE;
    }
    *out = static_cast<office::IRibbonControl*>(this);
    AddRefImpl();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return CheckCall("GetTypeInfoCount") ? S_OK : E_UNEXPECTED;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!CheckCall("GetIDsOfNames")) return E_UNEXPECTED;
    static constexpr DualMember kMembers[] = {{L"Id", 1}, {L"Context", 2}, {L"Tag", 3}};
    return DualIdsOfNames(kMembers, names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    if (!CheckCall("Invoke")) return E_UNEXPECTED;
    if (!params || params->cArgs != 0 || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_BADPARAMCOUNT;
    if (!result) return E_POINTER;
    ::VariantInit(result);
    switch (id) {
      case 1:
        result->vt = VT_BSTR;
        return get_Id(&result->bstrVal);
      case 2:
        result->vt = VT_DISPATCH;
        return get_Context(&result->pdispVal);
      case 3:
        result->vt = VT_BSTR;
        return get_Tag(&result->bstrVal);
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  HRESULT STDMETHODCALLTYPE get_Id(BSTR* id) override {
    if (!CheckCall("get_Id")) return E_UNEXPECTED;
    if (!id) return E_POINTER;
    *id = nullptr;
    state_->calls.emplace_back("RibbonControl.Id");
    if (FAILED(info_.idFailure)) return info_.idFailure;
    *id = win32::MakeBstr(info_.id).Release();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Context(IDispatch** context) override {
    if (!CheckCall("get_Context")) return E_UNEXPECTED;
    if (!context) return E_POINTER;
    state_->calls.emplace_back("RibbonControl.Context");
    *context = info_.context;
    if (*context) (*context)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Tag(BSTR* tag) override {
    if (!CheckCall("get_Tag")) return E_UNEXPECTED;
    if (!tag) return E_POINTER;
    *tag = win32::MakeBstr(info_.tag).Release();
    return S_OK;
  }

 private:
  void OnDeath() override {
    if (info_.context) std::exchange(info_.context, nullptr)->Release();
  }

  RibbonControlInfo info_;
};

class RibbonUIObject final : public office::IRibbonUI, public HostObject {
 public:
  RibbonUIObject(std::shared_ptr<HostState> state, std::shared_ptr<std::vector<std::wstring>> calls)
      : HostObject(std::move(state), "RibbonUI"), calls_(std::move(calls)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!CheckCall("QueryInterface")) return E_UNEXPECTED;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, office::IID_IRibbonUI)) {
      return E_NOINTERFACE;
    }
    *out = static_cast<office::IRibbonUI*>(this);
    AddRefImpl();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return CheckCall("GetTypeInfoCount") ? S_OK : E_UNEXPECTED;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  // The add-in calls the ribbon through its vtable, as Office's interface
  // is dual; a late-bound call here is a fault of the add-in.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    ADD_FAILURE() << "unexpected call: RibbonUI.GetIDsOfNames";
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    ADD_FAILURE() << "unexpected call: RibbonUI.Invoke";
    return DISP_E_MEMBERNOTFOUND;
  }

  HRESULT STDMETHODCALLTYPE Invalidate() override { return Record(L"Invalidate"); }
  HRESULT STDMETHODCALLTYPE InvalidateControl(BSTR id) override { return Record(L"InvalidateControl " + Text(id)); }
  HRESULT STDMETHODCALLTYPE InvalidateControlMso(BSTR id) override {
    return Record(L"InvalidateControlMso " + Text(id));
  }
  HRESULT STDMETHODCALLTYPE ActivateTab(BSTR id) override { return Record(L"ActivateTab " + Text(id)); }
  HRESULT STDMETHODCALLTYPE ActivateTabMso(BSTR id) override { return Record(L"ActivateTabMso " + Text(id)); }
  HRESULT STDMETHODCALLTYPE ActivateTabQ(BSTR id, BSTR ns) override {
    return Record(L"ActivateTabQ " + Text(id) + L" " + Text(ns));
  }

 private:
  static std::wstring Text(BSTR b) { return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring(); }
  HRESULT Record(std::wstring call) {
    if (!CheckCall("RibbonUI")) return E_UNEXPECTED;
    calls_->push_back(std::move(call));
    return S_OK;
  }

  std::shared_ptr<std::vector<std::wstring>> calls_;
};

class InterceptingApplication final : public IDispatch, public HostObject {
 public:
  InterceptingApplication(std::shared_ptr<HostState> state, IDispatch* inner, std::function<void()> during)
      : HostObject(std::move(state), "InterceptingApplication"),
        inner_(ComPtr<IDispatch>::AddRefOf(inner)),
        during_(std::move(during)) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"ActiveExplorer")};
    if (FAILED(inner_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &activeExplorer_))) {
      ADD_FAILURE() << "the host's application has no ActiveExplorer";
    }
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!CheckCall("QueryInterface")) return E_UNEXPECTED;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, outlook_ids::IID_OutlookApplication)) {
      *out = static_cast<IDispatch*>(this);
      AddRefImpl();
      return S_OK;
    }
    // The Quit subscription goes to Outlook's own connection point.
    return inner_ ? inner_->QueryInterface(iid, out) : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return inner_->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
    return inner_->GetTypeInfo(index, lcid, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    if (!CheckCall("GetIDsOfNames")) return E_UNEXPECTED;
    return inner_->GetIDsOfNames(iid, names, count, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT* argErr) override {
    if (!CheckCall("Invoke")) return E_UNEXPECTED;
    if (id == activeExplorer_ && during_) {
      try {
        during_();
      } catch (const DispError& e) {
        if (excep) {
          *excep = EXCEPINFO{};
          excep->bstrSource = ::SysAllocString(L"Microsoft Outlook");
          excep->bstrDescription = ::SysAllocString(win32::WideFromUtf8(e.what()).c_str());
          excep->scode = e.Scode();
        }
        return DISP_E_EXCEPTION;
      }
    }
    return inner_->Invoke(id, iid, lcid, flags, params, result, excep, argErr);
  }

 private:
  void OnDeath() override {
    inner_.Reset();
    during_ = nullptr;
  }

  ComPtr<IDispatch> inner_;
  std::function<void()> during_;
  DISPID activeExplorer_ = DISPID_UNKNOWN;
};

}  // namespace

ComPtr<office::IRibbonControl> MakeRibbonControl(std::shared_ptr<HostState> state, RibbonControlInfo info) {
  return ComPtr<office::IRibbonControl>::Attach(new RibbonControlObject(std::move(state), std::move(info)));
}

ComPtr<office::IRibbonUI> MakeRibbonUI(std::shared_ptr<HostState> state,
                                       std::shared_ptr<std::vector<std::wstring>> calls) {
  return ComPtr<office::IRibbonUI>::Attach(new RibbonUIObject(std::move(state), std::move(calls)));
}

ComPtr<IDispatch> MakeInterceptingApplication(std::shared_ptr<HostState> state, IDispatch* inner,
                                              std::function<void()> during) {
  return ComPtr<IDispatch>::Attach(new InterceptingApplication(std::move(state), inner, std::move(during)));
}

}  // namespace trovex::wine_host
