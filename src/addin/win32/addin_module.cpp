#include "addin/win32/addin_module.h"

#include <atomic>
#include <stdexcept>

#include "addin/trovex_ribbon.h"
#include "addin/win32/com_server.h"
#include "outlook/win32/outlook_binding.h"
#include "outlook/win32/outlook_ids.h"
#include "ribbon/ribbon_markup.h"
#include "ribbon/win32/ribbon_com.h"
#include "support/win32/dispatch_client.h"
#include "support/win32/wide_string.h"
#include "support/win32/win32_error.h"
#include "support/win32/win32_handles.h"

namespace trovex::addin::win32 {

using trovex::win32::ComPtr;
using trovex::win32::ThrowIfFailed;

// Our subscriber to Outlook's ApplicationEvents_11; only Quit matters.
// Outlook calls every advised sink, so an earlier subscriber keeps getting
// its events as before.
class QuitSink final : public IDispatch {
 public:
  explicit QuitSink(std::function<void()> onQuit) : onQuit_(std::move(onQuit)) { ObjectCreated(); }
  QuitSink(const QuitSink&) = delete;
  QuitSink& operator=(const QuitSink&) = delete;

  // After Unadvise: a late event finds nobody to call.
  void Detach() noexcept { onQuit_ = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, outlook_ids::DIID_ApplicationEvents_11)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    try {
      if (result) ::VariantInit(result);
      if (id != outlook_ids::DISPID_ApplicationEvents_Quit || !onQuit_) return S_OK;
      // The call ends the subscription (and may drop Outlook's reference
      // to us); both the sink and the callback must outlive it.
      const ComPtr<QuitSink> self = ComPtr<QuitSink>::AddRefOf(this);
      const std::function<void()> onQuit = onQuit_;
      onQuit();
      return S_OK;
    } catch (...) {
      return HResultFromCurrentException();
    }
  }

 private:
  ~QuitSink() { ObjectDestroyed(); }

  std::atomic<ULONG> refs_{1};
  std::function<void()> onQuit_;
};

TadxCOMAddInModule::TadxCOMAddInModule(ModuleDefinition definition, ModuleContext context)
    : ModuleCore(std::move(definition), std::move(context)),
      images_(ribbon::MakeAddInImages()),
      ribbon_(ribbon::RibbonModuleSettings{Definition().supportedApps, Definition().ribbonNamespace, AddInProgId()}),
      callbacks_(&ribbon_, ribbon::win32::ComPictureMaker()) {
  ribbon_.ErrorHandler = [this](const std::exception& error) { HandleError(error); };
}

TadxCOMAddInModule::~TadxCOMAddInModule() {
  if (quitPoint_) quitPoint_->Unadvise(quitCookie_);
  if (quitSink_) quitSink_->Detach();
}

std::string TadxCOMAddInModule::GetCustomUI(const std::string& ribbonId) {
  const int version = ribbon::win32::HostExecutableMajorVersion(ribbon_.HostMajorVersion(), ribbon_.HostType());
  return ribbon::GetCustomUI(ribbon_, ribbonId, version);
}

HostIdentity TadxCOMAddInModule::RecognizeHost() {
  if (!hostApp_) throw std::runtime_error("No host application was given at connection.");
  // Word and Excel first, as the framework asks; Outlook answers the last.
  struct Candidate {
    const IID& iid;
    OfficeHostApp app;
  };
  const Candidate candidates[] = {
      {outlook_ids::IID_WordApplication, OfficeHostApp::Word},
      {outlook_ids::IID_ExcelApplication, OfficeHostApp::Excel},
      {outlook_ids::IID_OutlookApplication, OfficeHostApp::Outlook},
  };
  for (const Candidate& c : candidates) {
    ComPtr<IDispatch> app;
    if (FAILED(hostApp_.As(c.iid, app)) || !app) continue;
    trovex::win32::unique_variant version = trovex::win32::GetProperty(app.Get(), "Version");
    ThrowIfFailed(::VariantChangeType(&version.Get(), &version.Get(), 0, VT_BSTR), "Version");
    HostIdentity host;
    host.app = c.app;
    host.version = trovex::win32::Utf8FromBstr(version.Get().bstrVal);
    if (c.app == OfficeHostApp::Outlook) outlookApp_ = std::move(app);
    // One host version for the module and its ribbon, as the markup and the
    // images both read it; the last to learn it wins.
    ribbon_.SetHostMajorVersion(ParseHostMajorVersion(host.version));
    ribbon_.SetHostType(c.app);
    return host;
  }
  throw std::runtime_error("This add-in does not support the host application.");
}

void TadxCOMAddInModule::SubscribeQuit(std::function<void()> onQuit) {
  if (!outlookApp_) throw std::runtime_error("Outlook's application object is missing.");
  ComPtr<IConnectionPointContainer> container;
  ThrowIfFailed(outlookApp_.As(IID_IConnectionPointContainer, container), "IConnectionPointContainer");
  ComPtr<IConnectionPoint> point;
  ThrowIfFailed(container->FindConnectionPoint(outlook_ids::DIID_ApplicationEvents_11, point.Put()),
                "ApplicationEvents_11");
  // Freeing the module inside Quit may release the add-in object's last
  // reference; it must last until the call is over.
  auto quit = [instance = classInstance_, onQuit = std::move(onQuit)] {
    const ComPtr<IUnknown> alive = ComPtr<IUnknown>::AddRefOf(instance);
    onQuit();
  };
  ComPtr<QuitSink> sink = ComPtr<QuitSink>::Attach(new QuitSink(std::move(quit)));
  DWORD cookie = 0;
  ThrowIfFailed(point->Advise(sink.Get(), &cookie), "Advise");
  quitPoint_ = std::move(point);
  quitSink_ = std::move(sink);
  quitCookie_ = cookie;
}

// --- TAddInModule -------------------------------------------------------------

TAddInModule::TAddInModule(ModuleContext context)
    : TadxCOMAddInModule(TrovexModuleDefinition(), std::move(context)), commands_(MakeAddInCommands(*this)) {
  using Handler = void (TAddInModule::*)(ribbon::TadxRibbonCustomControl&, ribbon::RibbonControl*);
  struct Command {
    std::string_view method;
    Handler handler;
  };
  static constexpr Command kCommands[] = {
      {kStartClick, &TAddInModule::adxRibbonTab1Controls0Controls0Click},
      {kHelpClick, &TAddInModule::adxRibbonTab1Controls0Controls1Controls0Controls0Click},
      {kWebPageClick, &TAddInModule::adxRibbonTab1Controls0Controls1Click},
      {kUpdateCheckClick, &TAddInModule::adxRibbonTab1Controls0Controls1Controls0Controls3Click},
      {kInformationClick, &TAddInModule::adxRibbonTab1Controls0Controls2Controls0Controls0Click},
  };
  ribbon::DefinitionBindings bindings;
  bindings.clickHandler = [this](std::string_view method) -> ribbon::TadxRibbonOnClick {
    for (const Command& c : kCommands) {
      if (c.method != method) continue;
      return [this, handler = c.handler](ribbon::TadxRibbonCustomControl& sender, ribbon::RibbonControl* control) {
        (this->*handler)(sender, control);
      };
    }
    return nullptr;
  };
  bindings.imageList = [this](std::string_view component) -> ribbon::RibbonImageList* {
    return component == kTrovexImageList ? &Images() : nullptr;
  };
  LoadTrovexRibbon(Ribbon(), bindings);
}

TAddInModule::~TAddInModule() = default;

void TAddInModule::adxRibbonTab1Controls0Controls0Click(ribbon::TadxRibbonCustomControl&, ribbon::RibbonControl*) {
  // OutlookApp is Outlook's _Application itself, which its Application
  // property would only hand out again.
  IDispatch* app = OutlookApp();
  if (!app) throw std::runtime_error("Outlook's application object is missing.");
  trovex::win32::unique_variant explorer = trovex::win32::CallMethod(app, "ActiveExplorer");
  // Passed on as Outlook gave it, no explorer included.
  std::unique_ptr<outlook::Explorer> window =
      outlook::MakeOutlookExplorer(explorer.Type() == VT_DISPATCH ? explorer.Get().pdispVal : nullptr);
  explorer.Reset();
  Commands().StartExportWizard(std::move(window));
}

void TAddInModule::adxRibbonTab1Controls0Controls1Controls0Controls0Click(ribbon::TadxRibbonCustomControl&,
                                                                          ribbon::RibbonControl*) {
  Commands().OpenWebPage(HelpPageUrl());
}

void TAddInModule::adxRibbonTab1Controls0Controls1Click(ribbon::TadxRibbonCustomControl&, ribbon::RibbonControl*) {
  Commands().OpenWebPage(ProductPageUrl());
}

void TAddInModule::adxRibbonTab1Controls0Controls1Controls0Controls3Click(ribbon::TadxRibbonCustomControl&,
                                                                          ribbon::RibbonControl*) {
  Commands().CheckForUpdate();
}

void TAddInModule::adxRibbonTab1Controls0Controls2Controls0Controls0Click(ribbon::TadxRibbonCustomControl&,
                                                                          ribbon::RibbonControl*) {
  Commands().ShowInfo();
}

}  // namespace trovex::addin::win32
