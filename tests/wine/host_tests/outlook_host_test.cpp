// The Outlook host driven through raw IDispatch calls, as the add-in and the
// binding will drive it: what each object answers, how failures look, which
// calls fail the test, and that references are counted.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>
#include <outlook_model.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <variant>

#include "host/host_object.h"
#include "host/outlook_events.h"
#include "host/outlook_host.h"
#include "host/scratch_folder.h"
#include "host/win32_thread.h"
#include "support/win32/dispatch_client.h"
#include "support/win32/wide_string.h"

namespace trovex::wine_host {
namespace {

using outlook::PropertyValue;
using win32::ComPtr;
using win32::IntVariant;
using win32::InvokeResult;
using win32::ObjectVariant;
using win32::TextVariant;
using win32::TryInvoke;
using win32::unique_variant;

constexpr double kReceived = 45356.4375;  // 2024-03-05 10:30 local

// Word's and Excel's _Application (from their type libraries, msword.olb
// and excel.exe), which Outlook does not answer.
constexpr IID kWordApplication = {0x00020970, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kExcelApplication = {0x000208D5, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

std::shared_ptr<store::MailStore> SampleStore() {
  auto s = std::make_shared<store::MailStore>();
  s->root.name = "Posteingang";
  s->root.AddMail({.subject = "Angebot Druckerei",
                   .senderName = "Druckerei Huber",
                   .senderEmailAddress = "info@huber.example",
                   .receivedByName = "Anna Berg",
                   .receivedOnBehalfOfName = "Einkauf",
                   .receivedTime = kReceived,
                   .attachments = {
                       {.fileName = "angebot.pdf",
                        .properties = {{outlook::PR_ATTACH_METHOD, PropertyValue(outlook::ATTACH_BY_VALUE)},
                                       {outlook::PR_ATTACH_CONTENT_ID_W, PropertyValue(std::string("bild1@huber"))}},
                        .content = store::BytesContent("%PDF-1.4 Angebot")},
                       {.fileName = "logo.png", .faults = {{"SaveAsFile", "Zugriff verweigert"}}},
                   }});
  s->root.AddOther("Quartalsgespräch", "IPM.Appointment");
  s->root.AddMail({.subject = "Rückruf", .faults = {{"SenderName", "Der Absender ist nicht verfügbar."}}});
  s->root.AddFolder("Projekte").AddMail({.subject = "Vertragsentwurf"});
  return s;
}

// A property put, as Automation passes it.
InvokeResult Put(IDispatch* object, std::string_view member, unique_variant value) {
  return TryInvoke(object, member, DISPATCH_PROPERTYPUT, std::span<const unique_variant>(&value, 1));
}

// Follows "A.B.Item(2).C" from `start`; every step but the last must give
// an object. The result of the last step, or of the first that failed.
InvokeResult Walk(IDispatch* start, std::wstring_view path) {
  ComPtr<IDispatch> current = ComPtr<IDispatch>::AddRefOf(start);
  for (;;) {
    const size_t dot = path.find(L'.');
    std::wstring_view step = path.substr(0, dot);
    std::vector<unique_variant> args;
    if (const size_t paren = step.find(L'('); paren != std::wstring_view::npos) {
      args.push_back(IntVariant(std::stol(std::wstring(step.substr(paren + 1)))));
      step = step.substr(0, paren);
    }
    InvokeResult r = TryInvoke(current.Get(), win32::Utf8FromWide(step), DISPATCH_PROPERTYGET | DISPATCH_METHOD, args);
    if (dot == std::wstring_view::npos || FAILED(r.hr)) return r;
    if (r.value.Type() != VT_DISPATCH) {
      ADD_FAILURE() << win32::Utf8FromWide(step) << " gave no object";
      return r;
    }
    current = ComPtr<IDispatch>::AddRefOf(r.value.Get().pdispVal);
    path = path.substr(dot + 1);
  }
}

ComPtr<IDispatch> WalkToObject(IDispatch* start, std::wstring_view path) {
  InvokeResult r = Walk(start, path);
  if (r.hr != S_OK || r.value.Type() != VT_DISPATCH) {
    ADD_FAILURE() << win32::Utf8FromWide(path) << ": no object";
    return nullptr;
  }
  return ComPtr<IDispatch>::AddRefOf(r.value.Get().pdispVal);
}

class OutlookHostTest : public testing::Test {
 protected:
  std::shared_ptr<store::MailStore> store_ = SampleStore();
  OutlookHost host_{store_};
};

TEST_F(OutlookHostTest, PropertiesAnswerFromTheStore) {
  using Expected = std::variant<std::string, long, double>;
  const struct {
    const wchar_t* path;
    Expected expected;
  } cases[] = {
      // The version the add-in reads to tell fast from slow shutdown.
      {L"Version", "16.0.0.0"},
      // The store's top folder is the current one by default.
      {L"ActiveExplorer.CurrentFolder.Name", "Posteingang"},
      {L"ActiveExplorer.CurrentFolder.Items.Count", 3L},
      {L"ActiveExplorer.CurrentFolder.Folders.Count", 1L},
      {L"ActiveExplorer.CurrentFolder.Folders.Item(1).Name", "Projekte"},
      {L"ActiveExplorer.CurrentFolder.Folders.Item(1).Items.Item(1).Subject", "Vertragsentwurf"},
      // Every text field of a mail, non-ASCII kept.
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).Subject", "Angebot Druckerei"},
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).SenderName", "Druckerei Huber"},
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).SenderEmailAddress", "info@huber.example"},
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).SenderEmailType", "SMTP"},
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).ReceivedByName", "Anna Berg"},
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).ReceivedOnBehalfOfName", "Einkauf"},
      {L"ActiveExplorer.CurrentFolder.Items.Item(3).Subject", "Rückruf"},
      // ReceivedTime is a date variant, the store's local time unchanged.
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).ReceivedTime", kReceived},
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).Attachments.Count", 2L},
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).Attachments.Item(2).FileName", "logo.png"},
      // Items that are no mails still come back as items.
      {L"ActiveExplorer.CurrentFolder.Items.Item(2).MessageClass", "IPM.Appointment"},
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).MessageClass", "IPM.Note"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(win32::Utf8FromWide(c.path));
    const InvokeResult r = Walk(host_.Application(), c.path);
    ASSERT_EQ(S_OK, r.hr) << r.Description();
    const VARIANT& v = r.value.Get();
    if (const auto* text = std::get_if<std::string>(&c.expected)) {
      ASSERT_EQ(VT_BSTR, v.vt);
      EXPECT_EQ(*text, win32::Utf8FromWide(v.bstrVal));
    } else if (const auto* number = std::get_if<long>(&c.expected)) {
      ASSERT_EQ(VT_I4, v.vt);
      EXPECT_EQ(*number, v.lVal);
    } else {
      ASSERT_EQ(VT_DATE, v.vt);
      EXPECT_EQ(std::get<double>(c.expected), v.date);
    }
  }
}

TEST_F(OutlookHostTest, SettingsOfTheHostShowInItsAnswers) {
  const store::StoreMail& mail = *store_->root.items[0].mail;
  host_.SetVersion(L"14.0.7268.5000");
  host_.SetSenderEmailType(mail, "EX");
  host_.SetMailProperty(mail, 0x5D01001F, std::string("einkauf@huber.example"));
  host_.SetCurrentFolder(&store_->root.folders[0]);

  EXPECT_EQ(L"14.0.7268.5000", std::wstring(Walk(host_.Application(), L"Version").value.Get().bstrVal));
  EXPECT_EQ(L"Projekte",
            std::wstring(Walk(host_.Application(), L"ActiveExplorer.CurrentFolder.Name").value.Get().bstrVal));
  host_.SetCurrentFolder(nullptr);
  const ComPtr<IDispatch> m = WalkToObject(host_.Application(), L"ActiveExplorer.CurrentFolder.Items.Item(1)");
  ASSERT_TRUE(m);
  EXPECT_EQ(L"EX", std::wstring(Walk(m.Get(), L"SenderEmailType").value.Get().bstrVal));
  std::vector<unique_variant> args;
  args.push_back(TextVariant(L"http://schemas.microsoft.com/mapi/proptag/0x5D01001F"));
  const ComPtr<IDispatch> accessor = WalkToObject(m.Get(), L"PropertyAccessor");
  ASSERT_TRUE(accessor);
  const InvokeResult smtp = TryInvoke(accessor.Get(), "GetProperty", DISPATCH_METHOD, args);
  ASSERT_EQ(S_OK, smtp.hr) << smtp.Description();
  EXPECT_EQ(L"einkauf@huber.example", std::wstring(smtp.value.Get().bstrVal));
}

TEST_F(OutlookHostTest, GetPropertyAnswersTextOrIntegerOrRaisesOutlooksMessage) {
  const ComPtr<IDispatch> accessor = WalkToObject(
      host_.Application(), L"ActiveExplorer.CurrentFolder.Items.Item(1).Attachments.Item(1).PropertyAccessor");
  ASSERT_TRUE(accessor);
  const struct {
    const wchar_t* tag;
    VARTYPE type;
    const char* value;  // text, or the integer as text; the message for failures
  } cases[] = {
      // PT_UNICODE content id.
      {L"0x3712001F", VT_BSTR, "bild1@huber"},
      // PT_LONG attach method.
      {L"0x37050003", VT_I4, "1"},
      // Absent: Outlook's own words, which the engine counts as "absent".
      {L"0x3712001E", VT_EMPTY,
       "Die Eigenschaft \"http://schemas.microsoft.com/mapi/proptag/0x3712001E\" ist unbekannt oder kann nicht "
       "gefunden werden."},
      // Lower-case hex digits name the same tag.
      {L"0x3712001f", VT_BSTR, "bild1@huber"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(win32::Utf8FromWide(c.tag));
    std::vector<unique_variant> args;
    args.push_back(TextVariant(std::wstring(L"http://schemas.microsoft.com/mapi/proptag/") + c.tag));
    const InvokeResult r = TryInvoke(accessor.Get(), "GetProperty", DISPATCH_METHOD, args);
    if (c.type == VT_EMPTY) {
      EXPECT_EQ(DISP_E_EXCEPTION, r.hr);
      EXPECT_EQ(c.value, r.Description());
      EXPECT_EQ(static_cast<HRESULT>(0x8004010F), r.exception.Get().scode);  // MAPI_E_NOT_FOUND
      continue;
    }
    ASSERT_EQ(S_OK, r.hr) << r.Description();
    ASSERT_EQ(c.type, r.value.Type());
    EXPECT_EQ(c.value, c.type == VT_BSTR ? win32::Utf8FromWide(r.value.Get().bstrVal)
                                         : std::to_string(r.value.Get().lVal));
  }
}

TEST_F(OutlookHostTest, FailuresRaiseDispatchExceptionsWithOutlooksText) {
  const char* const outOfRange = "Der Arrayindex liegt außerhalb des gültigen Bereichs.";
  const struct {
    const wchar_t* path;
    const char* message;
    HRESULT scode;
  } cases[] = {
      // Item outside 1..Count, for each kind of collection.
      {L"ActiveExplorer.CurrentFolder.Items.Item(0)", outOfRange, DISP_E_BADINDEX},
      {L"ActiveExplorer.CurrentFolder.Items.Item(4)", outOfRange, DISP_E_BADINDEX},
      {L"ActiveExplorer.CurrentFolder.Folders.Item(2)", outOfRange, DISP_E_BADINDEX},
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).Attachments.Item(-1)", outOfRange, DISP_E_BADINDEX},
      // A fault injected into the store raises its own text.
      {L"ActiveExplorer.CurrentFolder.Items.Item(3).SenderName", "Der Absender ist nicht verfügbar.", E_FAIL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(win32::Utf8FromWide(c.path));
    const InvokeResult r = Walk(host_.Application(), c.path);
    EXPECT_EQ(DISP_E_EXCEPTION, r.hr);
    EXPECT_EQ(c.message, r.Description());
    EXPECT_EQ(c.scode, r.exception.Get().scode);
    EXPECT_EQ("Microsoft Outlook", win32::Utf8FromBstr(r.exception.Get().bstrSource));
    EXPECT_EQ(VT_EMPTY, r.value.Type());
  }
}

TEST_F(OutlookHostTest, SaveAsFileWritesTheContentToTheWindowsPath) {
  const ScratchFolder scratch("trovex-host-Anhänge");
  const std::filesystem::path dir = scratch.Native();
  const auto attachment = [&](int n) {
    return WalkToObject(host_.Application(),
                        L"ActiveExplorer.CurrentFolder.Items.Item(1).Attachments.Item(" + std::to_wstring(n) + L")");
  };
  const auto save = [&](int n, const std::filesystem::path& target) {
    std::vector<unique_variant> args;
    args.push_back(TextVariant(target.wstring()));
    return TryInvoke(attachment(n).Get(), "SaveAsFile", DISPATCH_METHOD, args);
  };

  const std::filesystem::path written = dir / L"Angebot für März.pdf";
  EXPECT_EQ(S_OK, save(1, written).hr);
  std::ifstream in(written, std::ios::binary);
  EXPECT_EQ("%PDF-1.4 Angebot", std::string(std::istreambuf_iterator<char>(in), {}));
  in.close();

  // The store's fault, and a folder that does not exist.
  EXPECT_EQ("Zugriff verweigert", save(2, dir / L"logo.png").Description());
  const InvokeResult missing = save(1, dir / L"fehlt" / L"angebot.pdf");
  EXPECT_EQ(DISP_E_EXCEPTION, missing.hr);
  EXPECT_TRUE(missing.Description().starts_with("Die Anlage kann nicht gespeichert werden.")) << missing.Description();
  std::filesystem::remove_all(dir);
}

// Clients compiled against Outlook's type library call by DISPID, as the MFC
// ClassWizard wrappers of msoutl.olb do (InvokeHelper(0x68, DISPATCH_METHOD,
// ...) for Attachment.SaveAsFile): the host's names must lead to Outlook's
// numbers. The numbers as those wrappers and the joa and com4j bindings of
// msoutl.olb and mso.dll have them, kept apart from the host's type library.
TEST_F(OutlookHostTest, NamesLeadToOutlooksDispids) {
  const wchar_t* const mail = L"ActiveExplorer.CurrentFolder.Items.Item(1)";
  const wchar_t* const attachment = L"ActiveExplorer.CurrentFolder.Items.Item(1).Attachments.Item(1)";
  const struct {
    const wchar_t* object;  // a path from the Application; nullptr: the COMAddIn
    const wchar_t* member;
    DISPID id;
  } cases[] = {
      {L"", L"Version", 0x116},
      {L"", L"ActiveExplorer", 0x111},
      {L"ActiveExplorer", L"CurrentFolder", 0x2101},
      {L"ActiveExplorer.CurrentFolder", L"Folders", 0x2103},
      {L"ActiveExplorer.CurrentFolder", L"Items", 0x3100},
      {L"ActiveExplorer.CurrentFolder", L"Name", 0x3001},
      {L"ActiveExplorer.CurrentFolder.Folders", L"Count", 0x50},
      {L"ActiveExplorer.CurrentFolder.Folders", L"Item", 0x51},
      {L"ActiveExplorer.CurrentFolder.Items", L"Count", 0x50},
      {L"ActiveExplorer.CurrentFolder.Items", L"Item", 0x51},
      {mail, L"Attachments", 0xF815},
      {mail, L"MessageClass", 0x1A},
      {mail, L"Subject", 0x37},
      {mail, L"ReceivedByName", 0x40},
      {mail, L"ReceivedOnBehalfOfName", 0x44},
      {mail, L"ReceivedTime", 0xE06},
      {mail, L"SenderName", 0xC1A},
      {mail, L"SenderEmailAddress", 0xC1F},
      {mail, L"SenderEmailType", 0xC1E},
      {mail, L"PropertyAccessor", 0xFAFD},
      {L"ActiveExplorer.CurrentFolder.Items.Item(2)", L"MessageClass", 0x1A},
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).Attachments", L"Count", 0x50},
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).Attachments", L"Item", 0x51},
      {attachment, L"FileName", 0x3704},
      {attachment, L"SaveAsFile", 0x68},
      {attachment, L"PropertyAccessor", 0xFAFD},
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).Attachments.Item(1).PropertyAccessor", L"GetProperty", 0xFAFB},
      {nullptr, L"Object", 0x7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(win32::Utf8FromWide(std::wstring(c.object ? c.object : L"COMAddIn") + L" " + c.member));
    const ComPtr<IDispatch> object = !c.object  ? ComPtr<IDispatch>::AddRefOf(host_.AddInInstance())
                                     : *c.object ? WalkToObject(host_.Application(), c.object)
                                                 : ComPtr<IDispatch>::AddRefOf(host_.Application());
    ASSERT_TRUE(object);
    LPOLESTR names[] = {const_cast<LPOLESTR>(c.member)};
    DISPID id = DISPID_UNKNOWN;
    ASSERT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(c.id, id);
  }
}

TEST_F(OutlookHostTest, QueryInterfaceAnswersOutlooksInterfacesWhereOutlookDoes) {
  const struct {
    const wchar_t* path;  // empty: the Application
    IID iid;
    bool answered;
  } cases[] = {
      // The add-in recognises Outlook by its _Application.
      {L"", __uuidof(_Application), true},
      {L"", IID_IConnectionPointContainer, true},
      // Every object tells its errors through the thread's error object.
      {L"", IID_ISupportErrorInfo, true},
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).Attachments", IID_ISupportErrorInfo, true},
      // ... after asking for Word's and Excel's, which Outlook refuses.
      {L"", kWordApplication, false},
      {L"", kExcelApplication, false},
      // Only mails are mail items.
      {L"ActiveExplorer.CurrentFolder.Items.Item(1)", __uuidof(_MailItem), true},
      {L"ActiveExplorer.CurrentFolder.Items.Item(2)", __uuidof(_MailItem), false},
      {L"ActiveExplorer.CurrentFolder", __uuidof(_MailItem), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(win32::Utf8FromWide(c.path));
    const ComPtr<IDispatch> object =
        *c.path ? WalkToObject(host_.Application(), c.path) : ComPtr<IDispatch>::AddRefOf(host_.Application());
    ASSERT_TRUE(object);
    ComPtr<IUnknown> answer;
    EXPECT_EQ(c.answered ? S_OK : E_NOINTERFACE, object->QueryInterface(c.iid, answer.PutVoid()));
    EXPECT_EQ(c.answered, static_cast<bool>(answer));
  }
  // The same object behind every interface: one identity.
  ComPtr<IUnknown> a;
  ComPtr<IUnknown> b;
  host_.Application()->QueryInterface(__uuidof(_Application), a.PutVoid());
  host_.Application()->QueryInterface(IID_IUnknown, b.PutVoid());
  ComPtr<IUnknown> c;
  ASSERT_EQ(S_OK, a->QueryInterface(IID_IUnknown, c.PutVoid()));
  EXPECT_EQ(b.Get(), c.Get());
}

// Items of a store read from files: the reader decides what is a mail.
class FileReader final : public store::MailFileReader {
 public:
  std::shared_ptr<const store::StoreMail> Read(const std::filesystem::path& file) override {
    if (file == "kaputt.eml") throw outlook::OutlookError("Die Datei kann nicht gelesen werden.");
    if (file == "notiz.txt") return nullptr;
    return std::make_shared<const store::StoreMail>(store::StoreMail{.subject = "aus " + file.string()});
  }
};

TEST(OutlookHostFiles, MailsReadOnDemandThroughTheStoresReader) {
  auto s = std::make_shared<store::MailStore>();
  s->reader = std::make_shared<FileReader>();
  for (const char* f : {"brief.eml", "notiz.txt", "kaputt.eml"})
    s->root.items.push_back({.name = f, .messageClass = "IPM.Note", .file = f});
  OutlookHost host(s);
  const struct {
    const wchar_t* path;
    HRESULT hr;
    const char* text;  // the value, or the message
  } cases[] = {
      // A file the reader turns into a mail.
      {L"ActiveExplorer.CurrentFolder.Items.Item(1).Subject", S_OK, "aus brief.eml"},
      // A file that holds no mail: an item, not a mail.
      {L"ActiveExplorer.CurrentFolder.Items.Item(2).MessageClass", S_OK, "IPM.Note"},
      // The reader's failure raises from Item.
      {L"ActiveExplorer.CurrentFolder.Items.Item(3)", DISP_E_EXCEPTION, "Die Datei kann nicht gelesen werden."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(win32::Utf8FromWide(c.path));
    const InvokeResult r = Walk(host.Application(), c.path);
    ASSERT_EQ(c.hr, r.hr);
    EXPECT_EQ(c.text, c.hr == S_OK ? win32::Utf8FromWide(r.value.Get().bstrVal) : r.Description());
  }
  const ComPtr<IDispatch> notMail = WalkToObject(host.Application(), L"ActiveExplorer.CurrentFolder.Items.Item(2)");
  ComPtr<IDispatch> mail;
  EXPECT_EQ(E_NOINTERFACE, notMail->QueryInterface(__uuidof(_MailItem), mail.PutVoid()));
}

TEST_F(OutlookHostTest, CallsThatMustNotHappenFailTheTest) {
  const ComPtr<IDispatch> mail = WalkToObject(host_.Application(), L"ActiveExplorer.CurrentFolder.Items.Item(1)");
  ASSERT_TRUE(mail);
  const struct {
    const char* what;
    std::function<HRESULT()> call;
    HRESULT answer;
  } cases[] = {
      // A member Outlook has but the host does not offer, or none at all.
      {"unknown member", [&] { return TryInvoke(mail.Get(), "Delete", DISPATCH_METHOD).hr; }, DISP_E_UNKNOWNNAME},
      // Mails are only read: no property is ever written.
      {"write to Subject", [&] { return Put(mail.Get(), "Subject", TextVariant(L"neu")).hr; },
       DISP_E_MEMBERNOTFOUND},
      // ActiveExplorer is a method in Outlook's type library.
      {"ActiveExplorer read as a property",
       [&] { return TryInvoke(host_.Application(), "ActiveExplorer", DISPATCH_PROPERTYGET).hr; },
       DISP_E_MEMBERNOTFOUND},
      // Count takes no argument: Automation takes one for an index into
      // Count's result, which is no collection.
      {"Count with an argument",
       [&] {
         std::vector<unique_variant> args;
         args.push_back(IntVariant(1));
         return TryInvoke(WalkToObject(mail.Get(), L"Attachments").Get(), "Count", DISPATCH_PROPERTYGET, args).hr;
       },
       DISP_E_NOTACOLLECTION},
      // Item's index is not optional.
      {"Item()",
       [&] { return TryInvoke(WalkToObject(mail.Get(), L"Attachments").Get(), "Item", DISPATCH_METHOD).hr; },
       DISP_E_BADPARAMCOUNT},
      // An index that is text.
      {"Item(\"1\")",
       [&] {
         std::vector<unique_variant> args;
         args.push_back(TextVariant(L"1"));
         return TryInvoke(WalkToObject(mail.Get(), L"Attachments").Get(), "Item", DISPATCH_METHOD, args).hr;
       },
       DISP_E_TYPEMISMATCH},
      // An unknown DISPID.
      {"unknown DISPID",
       [&] {
         DISPPARAMS none{};
         return mail->Invoke(4711, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
       },
       DISP_E_MEMBERNOTFOUND},
      // A call on an object after its last Release.
      {"call after release",
       [&] {
         IDispatch* explorer = WalkToObject(host_.Application(), L"ActiveExplorer").Detach();
         explorer->Release();
         UINT n = 0;
         return explorer->GetTypeInfoCount(&n);
       },
       E_UNEXPECTED},
      // Outlook's objects live in its single-threaded apartment.
      {"call from another thread",
       [&] {
         HRESULT hr = S_OK;
         Win32Thread([&] {
           UINT n = 0;
           hr = host_.Application()->GetTypeInfoCount(&n);
         }).Join();
         return hr;
       },
       E_UNEXPECTED},
      // A cookie the connection point never gave out.
      {"Unadvise of an unknown cookie",
       [&] {
         ComPtr<IConnectionPointContainer> container;
         host_.Application()->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
         ComPtr<IConnectionPoint> point;
         container->FindConnectionPoint(DIID_ApplicationEvents_11, point.Put());
         return point->Unadvise(77);
       },
       CONNECT_E_NOCONNECTION},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HRESULT hr = S_OK;
    EXPECT_NONFATAL_FAILURE_ON_ALL_THREADS(hr = c.call(), "unexpected call");
    EXPECT_EQ(c.answer, hr);
  }
}

TEST_F(OutlookHostTest, EveryObjectHandedOutIsCountedUntilReleased) {
  EXPECT_EQ(1, host_.LiveObjects());  // the Application
  EXPECT_EQ(0, host_.ReferencesHeld());
  {
    ComPtr<IDispatch> items = WalkToObject(host_.Application(), L"ActiveExplorer.CurrentFolder.Items");
    ComPtr<IDispatch> second = items.Share();
    // The explorer and the folder on the way were released already.
    EXPECT_EQ(2, host_.LiveObjects());
    EXPECT_EQ(2, host_.ReferencesHeld());
    EXPECT_EQ("Application x1 (1 ref), Items x1 (2 refs)", DescribeLiveHostObjects());
  }
  EXPECT_EQ(1, host_.LiveObjects());
  EXPECT_EQ(0, host_.ReferencesHeld());
  // Every Invoke is logged, so tests can tell what was asked.
  EXPECT_EQ((std::vector<std::string>{"Application.ActiveExplorer", "Explorer.CurrentFolder", "Folder.Items"}),
            host_.Calls());
}

// An ApplicationEvents_11 sink as the add-in advises one.
class QuitSink final : public IDispatch {
 public:
  int quits = 0;
  bool answersEvents = true;
  std::function<void()> onQuit;

  long Refs() const { return refs_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        (answersEvents && IsEqualIID(iid, DIID_ApplicationEvents_11)))
      *out = static_cast<IDispatch*>(this);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs_); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    EXPECT_EQ(kDispidQuit, id);
    EXPECT_EQ(DISPATCH_METHOD, flags);
    EXPECT_EQ(0u, params->cArgs);
    ++quits;
    if (onQuit) onQuit();
    return S_OK;
  }

 private:
  long refs_ = 1;  // the test's own
};

struct Connection {
  ComPtr<IConnectionPoint> point;
  DWORD cookie = 0;
  HRESULT hr = E_FAIL;
};

Connection Advise(IDispatch* app, IUnknown* sink) {
  Connection c;
  ComPtr<IConnectionPointContainer> container;
  if (FAILED(app->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()))) return c;
  c.hr = container->FindConnectionPoint(DIID_ApplicationEvents_11, c.point.Put());
  if (SUCCEEDED(c.hr)) c.hr = c.point->Advise(sink, &c.cookie);
  return c;
}

TEST_F(OutlookHostTest, QuitReachesEveryAdvisedSinkOnce) {
  QuitSink first;
  QuitSink second;
  QuitSink third;
  Connection a = Advise(host_.Application(), &first);
  Connection b = Advise(host_.Application(), &second);
  Connection c = Advise(host_.Application(), &third);
  ASSERT_EQ(S_OK, a.hr);
  ASSERT_EQ(S_OK, b.hr);
  ASSERT_EQ(S_OK, c.hr);
  EXPECT_NE(a.cookie, b.cookie);
  EXPECT_EQ(3u, host_.AdvisedSinks());
  // As an add-in does at Quit: it unadvises itself, here the third sink too.
  first.onQuit = [&] {
    EXPECT_EQ(S_OK, a.point->Unadvise(a.cookie));
    EXPECT_EQ(S_OK, c.point->Unadvise(c.cookie));
  };

  EXPECT_EQ(S_OK, host_.FireQuit());
  EXPECT_EQ(1, first.quits);
  EXPECT_EQ(1, second.quits);
  EXPECT_EQ(0, third.quits);  // gone before its turn
  EXPECT_EQ(1u, host_.AdvisedSinks());
  EXPECT_EQ(1, first.Refs());
  EXPECT_EQ(S_OK, b.point->Unadvise(b.cookie));
  EXPECT_EQ(1, second.Refs());

  // The connection point belongs to its container.
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(S_OK, a.point->GetConnectionPointContainer(container.Put()));
  IID iid{};
  ASSERT_EQ(S_OK, a.point->GetConnectionInterface(&iid));
  EXPECT_TRUE(IsEqualIID(DIID_ApplicationEvents_11, iid));
}

TEST_F(OutlookHostTest, OnlyEventSinksConnectAndOnlyToApplicationEvents) {
  QuitSink plain;
  plain.answersEvents = false;  // IDispatch alone is not the event interface
  EXPECT_EQ(CONNECT_E_CANNOTCONNECT, Advise(host_.Application(), &plain).hr);
  EXPECT_EQ(0u, host_.AdvisedSinks());
  EXPECT_EQ(1, plain.Refs());

  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(S_OK, host_.Application()->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()));
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(IID_IDispatch, point.Put()));
  EXPECT_FALSE(point);
}

TEST(OutlookHostEnd, ASinkStillAdvisedWhenOutlookEndsFailsTheTest) {
  QuitSink sink;
  EXPECT_NONFATAL_FAILURE(
      {
        OutlookHost host(SampleStore());
        Advise(host.Application(), &sink);
      },
      "still advised when Outlook ends");
  EXPECT_EQ(1, sink.Refs());
}

TEST(OutlookHostAddIn, ComAddInKeepsTheObjectPutIntoIt) {
  QuitSink addIn;  // any IDispatch stands for the add-in here; outlives the host
  OutlookHost host(SampleStore());
  IDispatch* entry = host.AddInInstance();
  ComPtr<IDispatch> viaIid;
  ASSERT_EQ(S_OK, entry->QueryInterface(__uuidof(COMAddIn), viaIid.PutVoid()));
  EXPECT_FALSE(host.AddInObject());

  EXPECT_EQ(S_OK, Put(viaIid.Get(), "Object", ObjectVariant(&addIn)).hr);
  EXPECT_EQ(&addIn, host.AddInObject().Get());
  const InvokeResult read = TryInvoke(entry, "Object", DISPATCH_PROPERTYGET);
  ASSERT_EQ(VT_DISPATCH, read.value.Type());
  EXPECT_EQ(&addIn, read.value.Get().pdispVal);
  EXPECT_EQ(3, addIn.Refs());  // the test's, the entry's, the read result's
}

TEST(OutlookHostRelease, TheComAddInLetsGoOfTheAddInWithTheHost) {
  QuitSink addIn;
  {
    OutlookHost host(SampleStore());
    EXPECT_EQ(S_OK, Put(host.AddInInstance(), "Object", ObjectVariant(&addIn)).hr);
    EXPECT_EQ(2, addIn.Refs());
  }
  EXPECT_EQ(1, addIn.Refs());
}

}  // namespace
}  // namespace trovex::wine_host
