// The COM object Outlook creates and talks to. TadxAddin answers Office's
// add-in interfaces and drives the module through AddInLifecycle;
// TMSOAddIn adds only the add-in's own dispatch interface IMSOAddIn.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>

#include "addin/addin_lifecycle.h"
#include "office/dispatch_table.h"
#include "addin/win32/addin_module.h"
#include "addin/win32/class_factory.h"
#include "office/win32/office_interfaces.h"
#include "ribbon/ribbon_callbacks.h"
#include "support/win32/com_ptr.h"

namespace trovex::addin::win32 {

// Dual, with no members of its own: its calls are the object's IDispatch.
struct IMSOAddIn : public IDispatch {};

// Members reached only through IDispatch: Office's ribbon callbacks.
using CallbackTable = ribbon::CallbackTable;

class TadxAddin : public office::IDTExtensibility2,
                  public office::IRibbonExtensibility,
                  public office::ICustomTaskPaneConsumer {
 public:
  TadxAddin(const TadxAddin&) = delete;
  TadxAddin& operator=(const TadxAddin&) = delete;

  // Names and numbers answered after the type library's: the ribbon
  // callbacks, served by the module's RibbonCallbacks.
  static const CallbackTable& Callbacks();

  // The module while connected, else nullptr.
  TadxCOMAddInModule* Module() const;
  int ConnectionCount() const { return lifecycle_.ConnectionCount(); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDispatch: the own interface's type library first, then Callbacks().
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;
  // IDTExtensibility2
  HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, office::ext_ConnectMode connectMode,
                                         IDispatch* addInInst, SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnDisconnection(office::ext_DisconnectMode removeMode, SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override;
  // IRibbonExtensibility
  HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR ribbonId, BSTR* ribbonXml) override;
  // ICustomTaskPaneConsumer
  HRESULT STDMETHODCALLTYPE CTPFactoryAvailable(IDispatch* factory) override;

 protected:
  TadxAddin(TadxFactory& factory, const IID& ownInterfaceId);
  virtual ~TadxAddin();

  // The add-in's own dispatch interface; also the object's IUnknown and
  // IDispatch, so that identity holds.
  virtual IDispatch* OwnInterface() = 0;

 private:
  // Loaded from the library's type library on first use; null when it
  // cannot be.
  ITypeInfo* OwnTypeInfo();
  trovex::win32::ComPtr<IUnknown> KeepAlive();
  // One ribbon callback; failures of Office's objects become
  // DISP_E_EXCEPTION with the error in `exception`.
  HRESULT InvokeCallback(const CallbackTable::Entry& entry, DISPPARAMS& params, VARIANT* result,
                         EXCEPINFO* exception);

  std::atomic<ULONG> refs_{1};
  TadxFactory& factory_;
  const IID& ownInterfaceId_;
  trovex::win32::ComPtr<ITypeInfo> typeInfo_;
  bool typeInfoTried_ = false;
  AddInLifecycle lifecycle_;
};

class TMSOAddIn final : public TadxAddin, public IMSOAddIn {
 public:
  explicit TMSOAddIn(TadxFactory& factory);

  // One implementation for every base's IUnknown and IDispatch.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return TadxAddin::QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return TadxAddin::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return TadxAddin::Release(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return TadxAddin::GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return TadxAddin::GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return TadxAddin::GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
    return TadxAddin::Invoke(id, iid, locale, flags, params, result, exception, argError);
  }

 protected:
  IDispatch* OwnInterface() override { return static_cast<IMSOAddIn*>(this); }
};

}  // namespace trovex::addin::win32
