#include "addin/win32/addin_object.h"

#include <string>
#include <utility>
#include <vector>

#include "addin/win32/com_server.h"
#include "ribbon/win32/ribbon_com.h"
#include "support/win32/dispatch_client.h"
#include "support/win32/wide_string.h"
#include "support/win32/win32_error.h"
#include "support/win32/win32_handles.h"

namespace trovex::addin::win32 {
namespace {

using trovex::win32::ComPtr;

// custom[1] as Office passes it: how the host was started. Anything
// unexpected leaves the mode unknown.
void ReadHostStartMode(SAFEARRAY* custom, ModuleCore& module) noexcept {
  if (!custom || ::SafeArrayGetDim(custom) != 1) return;
  VARTYPE type = VT_EMPTY;
  if (FAILED(::SafeArrayGetVartype(custom, &type)) || type != VT_VARIANT) return;
  LONG index = 1;
  trovex::win32::unique_variant element;
  if (FAILED(::SafeArrayGetElement(custom, &index, element.Put()))) return;
  if (FAILED(::VariantChangeType(&element.Get(), &element.Get(), 0, VT_I4))) return;
  const LONG mode = element.Get().lVal;
  if (mode >= 0 && mode <= static_cast<LONG>(HostStartMode::Programmatically)) {
    module.SetHostStartMode(static_cast<HostStartMode>(mode));
  }
}

}  // namespace

// The factory knows the object by the pointer the object reports itself
// gone with (see ~TadxAddin); QueryInterface gives the rest.
IUnknown* CreateMSOAddIn(TadxFactory& factory) {
  return static_cast<office::IDTExtensibility2*>(new TMSOAddIn(factory));
}

TMSOAddIn::TMSOAddIn(TadxFactory& factory) : TadxAddin(factory, IID_IMSOAddIn) {}

const CallbackTable& TadxAddin::Callbacks() { return ribbon::RibbonCallbackTable(); }

TadxAddin::TadxAddin(TadxFactory& factory, const IID& ownInterfaceId)
    : factory_(factory), ownInterfaceId_(ownInterfaceId) {
  ObjectCreated();
}

TadxAddin::~TadxAddin() {
  factory_.ObjectDestroyed(static_cast<IDTExtensibility2*>(this));
  ObjectDestroyed();
}

TadxCOMAddInModule* TadxAddin::Module() const {
  // The lifecycle holds only modules this object created.
  return static_cast<TadxCOMAddInModule*>(lifecycle_.Module());
}

ComPtr<IUnknown> TadxAddin::KeepAlive() {
  return ComPtr<IUnknown>::AddRefOf(static_cast<IDTExtensibility2*>(this));
}

ITypeInfo* TadxAddin::OwnTypeInfo() {
  if (!typeInfoTried_) {
    typeInfoTried_ = true;
    try {
      ComPtr<ITypeLib> library;
      if (SUCCEEDED(::LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, library.Put()))) {
        library->GetTypeInfoOfGuid(ownInterfaceId_, typeInfo_.Put());
      }
    } catch (...) {
      typeInfo_.Reset();
    }
  }
  return typeInfo_.Get();
}

HRESULT TadxAddin::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  void* p = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, ownInterfaceId_)) {
    p = OwnInterface();
  } else if (IsEqualIID(iid, office::IID_IDTExtensibility2)) {
    p = static_cast<office::IDTExtensibility2*>(this);
  } else if (IsEqualIID(iid, office::IID_IRibbonExtensibility)) {
    p = static_cast<office::IRibbonExtensibility*>(this);
  } else if (IsEqualIID(iid, office::IID_ICustomTaskPaneConsumer)) {
    p = static_cast<office::ICustomTaskPaneConsumer*>(this);
  }
  *out = p;
  if (!p) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG TadxAddin::AddRef() { return ++refs_; }

ULONG TadxAddin::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT TadxAddin::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = OwnTypeInfo() ? 1 : 0;
  return S_OK;
}

HRESULT TadxAddin::GetTypeInfo(UINT index, LCID /*locale*/, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  ITypeInfo* own = OwnTypeInfo();
  if (index != 0 || !own) return DISP_E_BADINDEX;
  own->AddRef();
  *info = own;
  return S_OK;
}

HRESULT TadxAddin::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID /*locale*/, DISPID* ids) {
  try {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    HRESULT hr = DISP_E_UNKNOWNNAME;
    if (ITypeInfo* own = OwnTypeInfo()) hr = own->GetIDsOfNames(names, count, ids);
    if (SUCCEEDED(hr)) return hr;
    std::vector<std::string> wanted;
    for (UINT i = 0; i < count; ++i) wanted.push_back(trovex::win32::Utf8FromWide(names[i] ? names[i] : L""));
    std::vector<std::int32_t> found(count);
    const bool known = Callbacks().Resolve(wanted, found);
    for (UINT i = 0; i < count; ++i) ids[i] = found[i];
    return known ? S_OK : hr;
  } catch (...) {
    return HResultFromCurrentException();
  }
}

HRESULT TadxAddin::Invoke(DISPID id, REFIID iid, LCID /*locale*/, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO* exception, UINT* argError) {
  try {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (!params) return E_POINTER;
    HRESULT hr = DISP_E_MEMBERNOTFOUND;
    if (ITypeInfo* own = OwnTypeInfo()) {
      hr = own->Invoke(OwnInterface(), id, flags, params, result, exception, argError);
    }
    if (SUCCEEDED(hr)) return hr;
    const CallbackTable::Entry* entry = Callbacks().FindId(id);
    return entry ? InvokeCallback(*entry, *params, result, exception) : hr;
  } catch (...) {
    return HResultFromCurrentException();
  }
}

HRESULT TadxAddin::InvokeCallback(const CallbackTable::Entry& entry, DISPPARAMS& params, VARIANT* result,
                                  EXCEPINFO* exception) {
  if (result) ::VariantInit(result);
  if (params.cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  HRESULT code = S_OK;
  std::string message = "unknown exception";
  try {
    // A click handler may run until Outlook lets go of the add-in, and even
    // until it disconnects.
    const ComPtr<IUnknown> alive = KeepAlive();
    const AddInLifecycle::CallScope call(lifecycle_);
    ribbon::CallbackArguments arguments = ribbon::win32::ArgumentsFromDispParams(params);
    // Without a module nothing is found: every query gets its default.
    static ribbon::RibbonCallbacks detached(nullptr, nullptr);
    TadxCOMAddInModule* module = Module();
    ribbon::RibbonCallbacks& callbacks = module ? module->RibbonCallbacks() : detached;
    trovex::win32::unique_variant value = ribbon::win32::VariantFromValue((callbacks.*entry.handler)(arguments));
    if (result) *result = std::exchange(value.Get(), VARIANT{});
    return S_OK;
  } catch (const ribbon::CallbackError& e) {
    // Arguments that do not fit the callback: a failure inside it, told
    // Office the same way, with the precise code in the exception record.
    code = e.GetKind() == ribbon::CallbackError::Kind::MissingArgument ? DISP_E_BADPARAMCOUNT : DISP_E_TYPEMISMATCH;
    message = e.what();
  } catch (...) {
    code = HResultFromCurrentException();
    try {
      throw;
    } catch (const std::exception& e) {
      message = e.what();
    } catch (...) {
    }
  }
  if (exception) {
    *exception = EXCEPINFO{};
    exception->scode = code;
    try {
      exception->bstrSource = trovex::win32::MakeBstr(L"QM_MSOAddIn.MSOAddIn").Release();
      exception->bstrDescription = trovex::win32::MakeBstr(trovex::win32::WideFromUtf8(message)).Release();
    } catch (...) {
      // No memory for the texts: the code still tells.
    }
  }
  return DISP_E_EXCEPTION;
}

HRESULT TadxAddin::OnConnection(IDispatch* application, office::ext_ConnectMode connectMode, IDispatch* addInInst,
                                SAFEARRAY** custom) {
  try {
    const ComPtr<IUnknown> alive = KeepAlive();
    ConnectionSteps steps;
    steps.createModule = [&]() -> std::unique_ptr<ModuleCore> {
      std::unique_ptr<TadxCOMAddInModule> module = factory_.CreateModule();
      module->SetHostApp(ComPtr<IDispatch>::AddRefOf(application));
      // Not owned: the add-in object owns the module.
      module->SetClassInstance(static_cast<IDTExtensibility2*>(this), &factory_);
      if (custom) ReadHostStartMode(*custom, *module);
      return module;
    };
    steps.publishAddIn = [&] {
      if (!addInInst) return;
      ComPtr<IDispatch> entry;
      if (FAILED(ComPtr<IDispatch>::AddRefOf(addInInst).As(office::IID_COMAddIn, entry)) || !entry) return;
      IDispatch* entryDispatch = entry.Get();
      Module()->SetAddInInstance(std::move(entry));
      // Other programs reach the add-in through COMAddIn.Object.
      trovex::win32::PutProperty(entryDispatch, "Object", trovex::win32::ObjectVariant(OwnInterface()));
    };
    lifecycle_.Connect(connectMode, steps);
    return S_OK;
  } catch (...) {
    return HResultFromCurrentException();
  }
}

HRESULT TadxAddin::OnDisconnection(office::ext_DisconnectMode removeMode, SAFEARRAY** /*custom*/) {
  try {
    // Freeing the module may drop the last reference to this object.
    const ComPtr<IUnknown> alive = KeepAlive();
    lifecycle_.Disconnect(removeMode);
    return S_OK;
  } catch (...) {
    return HResultFromCurrentException();
  }
}

HRESULT TadxAddin::OnAddInsUpdate(SAFEARRAY** /*custom*/) { return S_OK; }

HRESULT TadxAddin::OnStartupComplete(SAFEARRAY** /*custom*/) {
  try {
    lifecycle_.StartupComplete();
    return S_OK;
  } catch (...) {
    return HResultFromCurrentException();
  }
}

HRESULT TadxAddin::OnBeginShutdown(SAFEARRAY** /*custom*/) {
  try {
    lifecycle_.BeginShutdown();
    return S_OK;
  } catch (...) {
    return HResultFromCurrentException();
  }
}

HRESULT TadxAddin::GetCustomUI(BSTR ribbonId, BSTR* ribbonXml) {
  try {
    if (!ribbonXml) return E_POINTER;
    *ribbonXml = nullptr;
    TadxCOMAddInModule* module = Module();
    if (!module) return S_OK;
    const std::string id = trovex::win32::Utf8FromBstr(ribbonId);
    const std::string markup = module->GetCustomUI(id);
    if (!markup.empty()) *ribbonXml = trovex::win32::MakeBstr(trovex::win32::WideFromUtf8(markup)).Release();
    return S_OK;
  } catch (...) {
    return HResultFromCurrentException();
  }
}

HRESULT TadxAddin::CTPFactoryAvailable(IDispatch* factory) {
  try {
    if (TadxCOMAddInModule* module = Module()) module->SetTaskPaneFactory(ComPtr<IDispatch>::AddRefOf(factory));
    return S_OK;
  } catch (...) {
    return HResultFromCurrentException();
  }
}

}  // namespace trovex::addin::win32
