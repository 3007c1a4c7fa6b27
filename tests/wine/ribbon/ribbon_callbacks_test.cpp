// The ribbon as Office drives it, through the real DLL created by COM: the
// markup of every Outlook ribbon, every callback the markup names resolved
// and invoked with Office's IRibbonControl for every control, the images
// decoded by Windows' own codecs, and the clicks reaching the commands:
// what they ask of Outlook, the addresses they hand to the browser, the
// error box a user sees, and the re-entry guard.
#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>
#include <wincodec.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "addin/addin_fixture.h"
#include "host/desktop_watch.h"
#include "host/host_object.h"
#include "host/host_state.h"
#include "ribbon/ribbon_host.h"
#include "support/win32/dispatch_client.h"
#include "support/win32/wide_string.h"

namespace trovex::wine_tests {
namespace {

using namespace trovex::wine_host;
using office::ext_cm_Startup;
using win32::ComPtr;
using win32::InvokeResult;
using win32::ObjectVariant;
using win32::TextVariant;
using win32::TryInvoke;
using win32::unique_variant;

constexpr wchar_t kExplorer[] = L"Microsoft.Outlook.Explorer";
// Every ribbon Outlook asks for (one per kind of window).
constexpr const wchar_t* kOutlookRibbons[] = {
    L"Microsoft.Outlook.Mail.Read", L"Microsoft.Outlook.Mail.Compose", L"Microsoft.Outlook.MeetingRequest.Read",
    L"Microsoft.Outlook.MeetingRequest.Send", L"Microsoft.Outlook.Appointment", L"Microsoft.Outlook.Contact",
    L"Microsoft.Outlook.Journal", L"Microsoft.Outlook.Task", L"Microsoft.Outlook.DistributionList",
    L"Microsoft.Outlook.Report", L"Microsoft.Outlook.Resend", L"Microsoft.Outlook.Response.Read",
    L"Microsoft.Outlook.Response.Compose", L"Microsoft.Outlook.Response.CounterPropose", L"Microsoft.Outlook.RSS",
    L"Microsoft.Outlook.Post.Read", L"Microsoft.Outlook.Post.Compose", L"Microsoft.Outlook.Sharing.Read",
    L"Microsoft.Outlook.Sharing.Compose", kExplorer, L"Microsoft.OMS.SMS.Read", L"Microsoft.OMS.SMS.Compose",
    L"Microsoft.OMS.MMS.Read", L"Microsoft.OMS.MMS.Compose"};

// The add-in's controls by their ids in the stored definition.
constexpr char kGroup[] = "quellmark.adxRibbonGroup_Attachments";
constexpr char kStart[] = "adxRibbonButtonFCD171CE9B1140C386870F12A933A26F";
constexpr char kSplit[] = "adxRibbonSplitButtonDA36AF6BA30B4CF4AF424D9546E51877";
constexpr char kSplitButtonPart[] = "adxRibbonSplitButtonDA36AF6BA30B4CF4AF424D9546E51877wrapped";
constexpr char kMenu[] = "adxRibbonMenu6C8F3FAC69C742E5B4F6960FC9D1C6A9";
constexpr char kHelp[] = "adxRibbonButton40C99688264F45929A79C4387A4B5348";
constexpr char kWebPage[] = "adxRibbonButtonF7C3B59B07074FA8AB7A3396F9099954";
constexpr char kUpdate[] = "adxRibbonButton5A10DB9AFA994F01A0ABFF09DEEBD71A";
constexpr char kInfo[] = "adxRibbonButton8C002586902849D5A55E19DFA3AFD49E";

// The pages the commands open, exactly as the shell must receive them.
constexpr char kHelpPage[] = "https://www.quellmark.de/addins/trovex/hilfe.php";
constexpr char kProductPage[] = "https://www.quellmark.de/addins/trovex/";

// What the Start command asks of Outlook before its wizard.
const std::vector<std::string> kStartCalls = {"Application.ActiveExplorer"};

// One element of the markup with its attributes in order.
struct Element {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string Attribute(const std::string& attribute) const {
    for (const auto& [n, v] : attributes) {
      if (n == attribute) return v;
    }
    return {};
  }
  // The control id Office passes: the idQ without its prefix.
  std::string OfficeId() const {
    const std::string q = Attribute("idQ");
    return q.substr(q.find(':') + 1);
  }
};

std::vector<Element> Elements(const std::string& markup) {
  static const std::regex tag(R"(<([A-Za-z]+)((?:\s+[A-Za-z:]+="[^"]*")*)\s*/?>)");
  static const std::regex attribute(R"(([A-Za-z:]+)="([^"]*)\")");
  std::vector<Element> elements;
  for (std::sregex_iterator t(markup.begin(), markup.end(), tag), end; t != end; ++t) {
    Element e{(*t)[1].str(), {}};
    const std::string attributes = (*t)[2].str();
    for (std::sregex_iterator a(attributes.begin(), attributes.end(), attribute); a != end; ++a) {
      e.attributes.emplace_back((*a)[1].str(), (*a)[2].str());
    }
    elements.push_back(std::move(e));
  }
  return elements;
}

// 32-bit BGRA pixels as Windows' imaging component decodes a file.
struct Pixels {
  UINT width = 0;
  UINT height = 0;
  std::vector<BYTE> bgra;
};

// Local copies: MinGW's import libraries do not all carry WIC's GUIDs.
constexpr CLSID kWicImagingFactory = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
constexpr IID kIWicImagingFactory = {0xec5ec8a9, 0xc395, 0x4314, {0x9c, 0x77, 0x54, 0xd7, 0xa9, 0x35, 0xff, 0x70}};
constexpr GUID kWicPixelFormat32bppBGRA = {
    0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0f}};

Pixels Decode(IStream* stream, const std::wstring& file) {
  Pixels p;
  ComPtr<IWICImagingFactory> wic;
  EXPECT_EQ(S_OK, ::CoCreateInstance(kWicImagingFactory, nullptr, CLSCTX_INPROC_SERVER, kIWicImagingFactory,
                                     wic.PutVoid()));
  if (!wic) return p;
  ComPtr<IWICBitmapDecoder> decoder;
  const HRESULT hr = stream ? wic->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                                           decoder.Put())
                            : wic->CreateDecoderFromFilename(file.c_str(), nullptr, GENERIC_READ,
                                                             WICDecodeMetadataCacheOnDemand, decoder.Put());
  EXPECT_EQ(S_OK, hr) << "decoding " << win32::Utf8FromWide(file);
  if (!decoder) return p;
  ComPtr<IWICBitmapFrameDecode> frame;
  EXPECT_EQ(S_OK, decoder->GetFrame(0, frame.Put()));
  ComPtr<IWICFormatConverter> converter;
  EXPECT_EQ(S_OK, wic->CreateFormatConverter(converter.Put()));
  if (!frame || !converter) return p;
  EXPECT_EQ(S_OK, converter->Initialize(frame.Get(), kWicPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                        WICBitmapPaletteTypeCustom));
  converter->GetSize(&p.width, &p.height);
  p.bgra.resize(std::size_t{p.width} * p.height * 4);
  EXPECT_EQ(S_OK, converter->CopyPixels(nullptr, p.width * 4, static_cast<UINT>(p.bgra.size()), p.bgra.data()));
  return p;
}

// The committed artwork, in Windows' form of the source tree's path.
std::wstring ArtworkFile(const std::string& name) {
  std::wstring path = L"Z:" + win32::WideFromUtf8(TROVEX_SOURCE_DIR "/src/ribbon/images/" + name + ".png");
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  return path;
}

class RibbonTest : public AddInTest {
 protected:
  void SetUp() override {
    AddInTest::SetUp();
    ASSERT_EQ(S_OK, addIn_->QueryInterface(IID_IDispatch, dispatch_.PutVoid()));
    ASSERT_EQ(S_OK, addIn_.As(office::IID_IRibbonExtensibility, ribbon_));
  }

  // Outlook's start, asking for the ribbons of all its windows on the way.
  void StartUp(IDispatch* application = nullptr) {
    EXPECT_EQ(S_OK, Connect(ext_cm_Startup, application));
    for (const wchar_t* id : kOutlookRibbons) markup_[id] = CustomUI(id);
    EXPECT_EQ(S_OK, addIn_->OnAddInsUpdate(custom_.Get()));
    EXPECT_EQ(S_OK, addIn_->OnStartupComplete(custom_.Get()));
  }
  std::string CustomUI(const wchar_t* ribbonId) {
    BSTR xml = nullptr;
    EXPECT_EQ(S_OK, ribbon_->GetCustomUI(win32::MakeBstr(ribbonId).Get(), &xml));
    const win32::unique_bstr owned(xml);
    return win32::Utf8FromBstr(xml);
  }

  // A callback as Office calls it: the name resolved, then invoked with
  // Office's control of `officeId` in the window `context`.
  InvokeResult Callback(const std::string& name, const std::string& officeId, IDispatch* context = nullptr,
                        std::vector<unique_variant> more = {}) {
    std::vector<unique_variant> args;
    const ComPtr<office::IRibbonControl> control =
        MakeRibbonControl(ribbonState_, {win32::WideFromUtf8(officeId), context, L"", S_OK});
    args.push_back(ObjectVariant(control.Get()));
    for (unique_variant& v : more) args.push_back(std::move(v));
    return TryInvoke(dispatch_.Get(), name, DISPATCH_METHOD, args);
  }
  void Click(const std::string& officeId) {
    const InvokeResult r = Callback("OnActionCommon_Callback", officeId);
    EXPECT_EQ(S_OK, r.hr) << officeId;
    EXPECT_EQ(VT_EMPTY, r.value.Type());
  }

  std::shared_ptr<HostState> ribbonState_ = std::make_shared<HostState>();
  ComPtr<IDispatch> dispatch_;
  ComPtr<office::IRibbonExtensibility> ribbon_;
  std::map<std::wstring, std::string> markup_;
};

TEST_F(RibbonTest, OnlyTheExplorerGetsTheTab) {
  StartUp();
  for (const wchar_t* id : kOutlookRibbons) {
    SCOPED_TRACE(win32::Utf8FromWide(id));
    const std::vector<Element> elements = Elements(markup_[id]);
    ASSERT_FALSE(elements.empty());
    EXPECT_EQ("customUI", elements[0].name);
    EXPECT_EQ("RibbonLoaded_Callback", elements[0].Attribute("onLoad"));
    const bool explorer = std::wstring_view(id) == kExplorer;
    EXPECT_EQ(explorer, markup_[id].find("<tab ") != std::string::npos);
    EXPECT_NE(std::string::npos, markup_[id].find("<ribbon>"));
  }
  ShutDown();
  EXPECT_EQ(0, host_.ReferencesHeld());
}

TEST_F(RibbonTest, EveryCallbackOfTheMarkupResolves) {
  StartUp();
  std::set<std::string> names;
  for (const Element& e : Elements(markup_[kExplorer])) {
    for (const auto& [attribute, value] : e.attributes) {
      if (value.ends_with("_Callback")) names.insert(value);
    }
  }
  // Every callback kind this ribbon needs.
  EXPECT_EQ(14u, names.size());
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    std::wstring wide = win32::WideFromUtf8(name);
    LPOLESTR list[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(S_OK, dispatch_->GetIDsOfNames(IID_NULL, list, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_GE(id, 10);
    EXPECT_LE(id, 65);
  }
  // The attribute's own name is no callback; the callback's has its number.
  const struct {
    const wchar_t* name;
    HRESULT hr;
    DISPID id;
  } cases[] = {
      {L"GetLabel_Callback", S_OK, 14},
      {L"OnActionCommon_Callback", S_OK, 50},
      {L"getLabel", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
      {L"getlabel_callback", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(win32::Utf8FromWide(c.name));
    LPOLESTR list[] = {const_cast<LPOLESTR>(c.name)};
    DISPID id = 0;
    EXPECT_EQ(c.hr, dispatch_->GetIDsOfNames(IID_NULL, list, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(c.id, id);
  }
  ShutDown();
}

// What Office receives for every value callback an element names.
struct Expected {
  const char* label;
  const char* screenTip;
  const char* superTip;
  const char* image;  // artwork name, or nullptr for none
  long size;          // -1 where the element asks no size
  bool showImage;
};

TEST_F(RibbonTest, EveryControlAnswersEveryValueCallbackOfItsElement) {
  StartUp();
  InvokeResult explorer = TryInvoke(host_.Application(), "ActiveExplorer", DISPATCH_PROPERTYGET | DISPATCH_METHOD);
  ASSERT_EQ(VT_DISPATCH, explorer.value.Type());
  IDispatch* window = explorer.value.Get().pdispVal;

  const std::map<std::string, Expected> expected = {
      {kGroup, {"Anänge exportieren", "AddIn von Quellmark Software", "", "website", -1, false}},
      {kStart,
       {"Start", "Starten Sie den Export der Anhänge", "Markieren Sie den Outlook Ordner, der untersucht werden soll.",
        "export", 1, true}},
      {kSplit, {"Hilfe", "", "", nullptr, 0, false}},
      {kSplitButtonPart, {"Hilfe", "", "", nullptr, -1, false}},
      {kMenu, {"adxRibbonMenu1", "", "", nullptr, -1, false}},
      {kHelp, {"Hilfe", "Online Hilfe aufrufen", "", "help", -1, true}},
      {kWebPage, {"Webseite", "Webseite zum AddIn", "", "website", -1, true}},
      {kUpdate, {"Nach Update suchen", "", "", nullptr, -1, false}},
      {kInfo, {"Info", "Über das AddIn", "", "info", -1, true}},
  };
  std::set<std::string> answered;
  for (const Element& e : Elements(markup_[kExplorer])) {
    const std::string id = e.OfficeId();
    for (const auto& [attribute, callback] : e.attributes) {
      if (!attribute.starts_with("get")) continue;
      SCOPED_TRACE(id + " " + callback);
      const InvokeResult r = Callback(callback, id, window);
      ASSERT_EQ(S_OK, r.hr) << r.Description();
      const VARIANT& v = r.value.Get();
      if (attribute == "getVisible" || attribute == "getEnabled" || attribute == "getShowLabel") {
        ASSERT_EQ(VT_BOOL, v.vt);
        EXPECT_EQ(VARIANT_TRUE, v.boolVal);
        continue;
      }
      if (attribute == "getKeytip" || attribute == "getDescription") {
        ASSERT_EQ(VT_BSTR, v.vt);
        EXPECT_EQ(0u, ::SysStringLen(v.bstrVal));
        continue;
      }
      ASSERT_TRUE(expected.count(id)) << "a control the test does not know";
      const Expected& x = expected.at(id);
      answered.insert(id);
      if (attribute == "getLabel" || attribute == "getScreentip" || attribute == "getSupertip") {
        const char* text = attribute == "getLabel" ? x.label : attribute == "getScreentip" ? x.screenTip : x.superTip;
        ASSERT_EQ(VT_BSTR, v.vt);
        EXPECT_EQ(text, win32::Utf8FromBstr(v.bstrVal));
      } else if (attribute == "getSize") {
        ASSERT_EQ(VT_I4, v.vt);
        EXPECT_EQ(x.size, v.lVal);
      } else if (attribute == "getShowImage") {
        ASSERT_EQ(VT_BOOL, v.vt);
        EXPECT_EQ(x.showImage ? VARIANT_TRUE : VARIANT_FALSE, v.boolVal);
      } else if (attribute == "getImage") {
        // Office 2010 and later: an IStream with an icon file.
        ASSERT_NE(nullptr, x.image);
        ASSERT_EQ(VT_UNKNOWN, v.vt);
        ComPtr<IStream> stream;
        ASSERT_EQ(S_OK, v.punkVal->QueryInterface(IID_IStream, stream.PutVoid()));
        const Pixels icon = Decode(stream.Get(), L"<icon stream>");
        const Pixels art = Decode(nullptr, ArtworkFile(x.image));
        EXPECT_EQ(64u, icon.width);
        EXPECT_EQ(64u, icon.height);
        EXPECT_TRUE(icon.bgra == art.bgra) << "the icon's pixels differ from " << x.image << ".png";
      } else {
        ADD_FAILURE() << "a callback the test does not check: " << attribute;
      }
    }
  }
  EXPECT_EQ(expected.size(), answered.size());
  explorer.value.Reset();
  ShutDown();
  EXPECT_EQ(0, host_.ReferencesHeld());
}

TEST_F(RibbonTest, Office2007GetsAnIconPicture) {
  host_.SetVersion(L"12.0.6691.5000");
  StartUp();
  const InvokeResult r = Callback("GetImage_Callback", kStart);
  ASSERT_EQ(S_OK, r.hr);
  ASSERT_EQ(VT_DISPATCH, r.value.Type());
  ComPtr<IPicture> picture;
  ASSERT_EQ(S_OK, r.value.Get().pdispVal->QueryInterface(IID_IPicture, picture.PutVoid()));
  SHORT type = PICTYPE_UNINITIALIZED;
  EXPECT_EQ(S_OK, picture->get_Type(&type));
  EXPECT_EQ(PICTYPE_ICON, type);
  OLE_HANDLE handle = 0;
  ASSERT_EQ(S_OK, picture->get_Handle(&handle));
  ICONINFO info{};
  ASSERT_TRUE(::GetIconInfo(reinterpret_cast<HICON>(static_cast<UINT_PTR>(handle)), &info));
  BITMAP bitmap{};
  ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  EXPECT_EQ(64, bitmap.bmWidth);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  ShutDown();
}

TEST_F(RibbonTest, EachButtonRunsItsCommand) {
  StartUp();
  BrowserCapture browser;
  const struct {
    const char* id;
    std::vector<std::string> outlookCalls;
    const char* page;  // handed to the browser; nullptr: none
  } cases[] = {
      // Start asks Outlook for its active window; the wizard gets it.
      {kStart, kStartCalls, nullptr},
      // Update check and information have no dialog of their own yet.
      {kUpdate, {}, nullptr},
      {kInfo, {}, nullptr},
      // The split button's part has no handler.
      {kSplitButtonPart, {}, nullptr},
      // Nor has an id Office does not know from us.
      {"nothing", {}, nullptr},
      // The pages, each in the user's browser; last, so that a page opened
      // by mistake above would show up in their place.
      {kHelp, {}, kHelpPage},
      {kWebPage, {}, kProductPage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    host_.ClearCalls();
    Click(c.id);
    EXPECT_EQ(c.outlookCalls, host_.Calls());
    if (c.page) {
      EXPECT_EQ(std::vector<std::string>{c.page}, browser.WaitForUrls(1));
    }
    browser.Take();
  }
  ShutDown();
  EXPECT_EQ(0, host_.ReferencesHeld());
}

TEST_F(RibbonTest, AFailingCommandShowsTheErrorBoxOnce) {
  // Outlook fails ActiveExplorer the first time it is asked.
  int asked = 0;
  ComPtr<IDispatch> outlook = MakeInterceptingApplication(ribbonState_, host_.Application(), [&] {
    if (++asked == 1) throw DispError("Der Vorgang ist fehlgeschlagen.");
  });
  StartUp(outlook.Get());
  Click(kStart);
  const ShownMessageBox box{"Fehler",
                            "Trovex (Quellmark) error: the add-in has fired an exception.\r\nActiveExplorer: Der "
                            "Vorgang ist fehlgeschlagen.",
                            {"OK"},
                            true};
  EXPECT_EQ(std::vector<ShownMessageBox>{box}, MessageBoxes());
  // The add-in goes on; the next click reaches Outlook again and shows no
  // box.
  host_.ClearCalls();
  Click(kStart);
  EXPECT_EQ(2, asked);
  EXPECT_EQ(kStartCalls, host_.Calls());
  EXPECT_EQ(std::vector<ShownMessageBox>{}, MessageBoxes());
  ShutDown();
  outlook.Reset();
  EXPECT_EQ(0, host_.ReferencesHeld());
}

TEST_F(RibbonTest, ASecondClickWhileTheCommandRunsIsIgnored) {
  // While Start waits for Outlook, Office delivers two more clicks: the same
  // button again, and Help.
  BrowserCapture browser;
  int asked = 0;
  ComPtr<IDispatch> outlook = MakeInterceptingApplication(ribbonState_, host_.Application(), [&] {
    if (asked++ > 0) return;
    Click(kStart);
    Click(kHelp);
  });
  StartUp(outlook.Get());
  Click(kStart);
  // The second Start never reached Outlook; Help was not held up.
  EXPECT_EQ(1, asked);
  EXPECT_EQ(std::vector<std::string>{kHelpPage}, browser.WaitForUrls(1));
  // Free again once it has returned.
  Click(kStart);
  EXPECT_EQ(2, asked);
  ShutDown();
  outlook.Reset();
  EXPECT_EQ(0, host_.ReferencesHeld());
}

TEST_F(RibbonTest, OnLoadKeepsOfficesRibbonUntilDisconnection) {
  StartUp();
  auto uiCalls = std::make_shared<std::vector<std::wstring>>();
  const ComPtr<office::IRibbonUI> ui = MakeRibbonUI(ribbonState_, uiCalls);
  std::vector<unique_variant> args;
  args.push_back(ObjectVariant(ui.Get()));
  const InvokeResult r = TryInvoke(dispatch_.Get(), "RibbonLoaded_Callback", DISPATCH_METHOD, args);
  EXPECT_EQ(S_OK, r.hr);
  args.clear();
  // Held by the module: ours and the add-in's.
  ui->AddRef();
  EXPECT_EQ(2u, ui->Release());
  ShutDown();
  ui->AddRef();
  EXPECT_EQ(1u, ui->Release());
  EXPECT_EQ(std::vector<std::wstring>{}, *uiCalls);
}

TEST_F(RibbonTest, FaultsOfTheCallReachOffice) {
  StartUp();
  // Office's control fails to give its id: the callback fails.
  std::vector<unique_variant> args;
  const ComPtr<office::IRibbonControl> broken =
      MakeRibbonControl(ribbonState_, {L"", nullptr, L"", RPC_E_DISCONNECTED});
  args.push_back(ObjectVariant(broken.Get()));
  InvokeResult r = TryInvoke(dispatch_.Get(), "GetLabel_Callback", DISPATCH_METHOD, args);
  EXPECT_EQ(DISP_E_EXCEPTION, r.hr);
  EXPECT_EQ(RPC_E_DISCONNECTED, r.exception.Get().scode);
  EXPECT_NE(std::string::npos, r.Description().find("IRibbonControl.Id")) << r.Description();
  // No control at all, or a text where the control belongs: failures of
  // the callback as well, the precise code in the exception record.
  r = TryInvoke(dispatch_.Get(), "GetLabel_Callback", DISPATCH_METHOD);
  EXPECT_EQ(DISP_E_EXCEPTION, r.hr);
  EXPECT_EQ(DISP_E_BADPARAMCOUNT, r.exception.Get().scode);
  std::vector<unique_variant> text;
  text.push_back(TextVariant(kStart));
  r = TryInvoke(dispatch_.Get(), "GetLabel_Callback", DISPATCH_METHOD, text);
  EXPECT_EQ(DISP_E_EXCEPTION, r.hr);
  EXPECT_EQ(DISP_E_TYPEMISMATCH, r.exception.Get().scode);
  // A number no callback has: the type library's answer.
  DISPPARAMS none{};
  unique_variant ignored;
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
            dispatch_->Invoke(18, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, ignored.Put(), nullptr, nullptr));
  ShutDown();
}

// The callbacks whose arguments are not just the control, through Invoke
// as Office makes the call.
TEST_F(RibbonTest, CallbacksWithFurtherArguments) {
  StartUp();
  // The pressed state, as a plain and as a by-reference truth value.
  for (const bool byReference : {false, true}) {
    SCOPED_TRACE(byReference ? "by reference" : "plain");
    for (const bool pressed : {true, false}) {
      host_.ClearCalls();
      VARIANT_BOOL state = pressed ? VARIANT_TRUE : VARIANT_FALSE;
      std::vector<unique_variant> more(1);
      if (byReference) {
        more[0].Get().vt = VT_BOOL | VT_BYREF;
        more[0].Get().pboolVal = &state;
      } else {
        more[0].Get().vt = VT_BOOL;
        more[0].Get().boolVal = state;
      }
      EXPECT_EQ(S_OK, Callback("OnActionState_Callback", kStart, nullptr, std::move(more)).hr);
      EXPECT_EQ(kStartCalls, host_.Calls());
      const InvokeResult stored = Callback("GetPressed_Callback", kStart);
      ASSERT_EQ(VT_BOOL, stored.value.Type());
      EXPECT_EQ(state, stored.value.Get().boolVal);
    }
  }
  // An image asked for by name.
  std::vector<unique_variant> name;
  name.push_back(TextVariant(kInfo));
  const InvokeResult image = TryInvoke(dispatch_.Get(), "GetImages_Callback", DISPATCH_METHOD, name);
  ASSERT_EQ(S_OK, image.hr);
  ASSERT_EQ(VT_UNKNOWN, image.value.Type());
  ComPtr<IStream> stream;
  ASSERT_EQ(S_OK, image.value.Get().punkVal->QueryInterface(IID_IStream, stream.PutVoid()));
  EXPECT_EQ(64u, Decode(stream.Get(), L"<icon stream>").width);
  // A callback this add-in does not serve, with an object that is no
  // ribbon control: answered with nothing.
  std::vector<unique_variant> context;
  context.push_back(ObjectVariant(host_.Application()));
  const InvokeResult backstage = TryInvoke(dispatch_.Get(), "OnBackstageShow_Callback", DISPATCH_METHOD, context);
  EXPECT_EQ(S_OK, backstage.hr);
  context.clear();
  EXPECT_EQ(VT_EMPTY, backstage.value.Type());
  ShutDown();
  EXPECT_EQ(0, host_.ReferencesHeld());
}

}  // namespace
}  // namespace trovex::wine_tests
