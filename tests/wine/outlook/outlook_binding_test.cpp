#include "outlook/win32/outlook_binding.h"

#include <gtest/gtest.h>

#include <string>

#include "outlook/win32/outlook_ids.h"
#include "support/native_path.h"
#include "support/win32/win32_handles.h"
#include "fake_dispatch.h"
#include "host/scratch_folder.h"

namespace trovex::outlook {
namespace {

using testing::FakeDispatch;
using testing::Fails;
using testing::FailsWithErrorInfo;
using testing::RaisesException;
using testing::ReturnsElement;
using testing::ReturnsInt;
using testing::ReturnsObject;
using testing::ReturnsText;
using testing::ReturnsVariant;

// Application -> explorer -> folder -> items -> mail -> attachments ->
// attachment -> property accessor, plus one subfolder and one item that
// is no mail.
struct OutlookFakes {
  FakeDispatch app{"Application"}, explorer{"Explorer"}, folder{"Folder"}, folders{"Folders"}, sub{"Subfolder"},
      items{"Items"}, mail{"Mail"}, appointment{"Appointment"}, attachments{"Attachments"},
      attachment{"Attachment"}, accessor{"PropertyAccessor"};

  OutlookFakes() {
    app.On("ActiveExplorer", ReturnsObject(&explorer));
    explorer.On("CurrentFolder", ReturnsObject(&folder));
    folder.On("Name", ReturnsText(L"Posteingang")).On("Items", ReturnsObject(&items)).On("Folders",
                                                                                          ReturnsObject(&folders));
    folders.On("Count", ReturnsInt(1)).On("Item", ReturnsElement({&sub}));
    sub.On("Name", ReturnsText(L"Archiv \u00c4"));
    items.On("Count", ReturnsInt(2)).On("Item", ReturnsElement({&mail, &appointment}));
    mail.Answers(outlook_ids::IID_MailItem)
        .On("Subject", ReturnsVariant(VT_NULL, [](VARIANT&) {}))
        .On("SenderName", ReturnsText(L"Anna M\u00fcller"))
        .On("SenderEmailAddress", ReturnsText(L"anna@example.com"))
        .On("SenderEmailType", ReturnsText(L"SMTP"))
        .On("ReceivedByName", ReturnsText(L"Bob"))
        .On("ReceivedOnBehalfOfName", ReturnsVariant(VT_EMPTY, [](VARIANT&) {}))
        .On("ReceivedTime", ReturnsVariant(VT_DATE, [](VARIANT& v) { v.date = 45292.5; }))
        .On("Attachments", ReturnsObject(&attachments))
        .On("PropertyAccessor", ReturnsObject(&accessor));
    attachments.On("Count", ReturnsInt(1)).On("Item", ReturnsElement({&attachment}));
    attachment.On("FileName", ReturnsText(L"Rechnung \U0001F4CE.pdf")).On("PropertyAccessor", ReturnsObject(&accessor));
  }

  // Every reference the binding took has been given back.
  void ExpectAllReleased() const {
    for (const FakeDispatch* f :
         {&app, &explorer, &folder, &folders, &sub, &items, &mail, &appointment, &attachments, &attachment, &accessor}) {
      EXPECT_EQ(f->Refs(), 1u) << f->Name();
    }
  }

  std::unique_ptr<MailItem> Mail() {
    return MakeOutlookApplication(&app)->ActiveExplorer()->CurrentFolder()->GetItems()->GetItem(1)->QueryMailItem();
  }
};

TEST(OutlookBinding, WalksTheObjectModelAndReleasesEveryObject) {
  OutlookFakes fakes;
  {
    const auto app = MakeOutlookApplication(&fakes.app);
    const auto folder = app->ActiveExplorer()->CurrentFolder();
    EXPECT_EQ(folder->Name(), "Posteingang");
    EXPECT_EQ(folder->GetFolders()->Count(), 1);
    EXPECT_EQ(folder->GetFolders()->GetItem(1)->Name(), "Archiv Ä");
    const auto items = folder->GetItems();
    ASSERT_EQ(items->Count(), 2);
    EXPECT_EQ(items->GetItem(2)->QueryMailItem(), nullptr);  // an appointment is no mail

    const auto mail = items->GetItem(1)->QueryMailItem();
    ASSERT_NE(mail, nullptr);
    EXPECT_EQ(mail->Subject(), "");  // VT_NULL
    EXPECT_EQ(mail->SenderName(), "Anna Müller");
    EXPECT_EQ(mail->SenderEmailAddress(), "anna@example.com");
    EXPECT_EQ(mail->ReceivedByName(), "Bob");
    EXPECT_EQ(mail->ReceivedOnBehalfOfName(), "");  // VT_EMPTY
    EXPECT_DOUBLE_EQ(mail->ReceivedTime(), 45292.5);
    const auto attachments = mail->GetAttachments();
    ASSERT_EQ(attachments->Count(), 1);
    EXPECT_EQ(attachments->Item(1)->FileName(), "Rechnung \xF0\x9F\x93\x8E.pdf");
    EXPECT_THROW(attachments->Item(2), OutlookError);  // DISP_E_BADINDEX
    EXPECT_EQ(fakes.app.Refs(), 2u);  // held by the application object only
  }
  fakes.ExpectAllReleased();
}

// Outlook may leave EXCEPINFO to be filled in only when asked.
HRESULT STDAPICALLTYPE FillLater(EXCEPINFO* e) {
  e->bstrDescription = ::SysAllocString(L"Sp\u00e4ter ausgef\u00fcllt");
  e->scode = E_ABORT;
  return S_OK;
}

TEST(OutlookBinding, FailuresCarryOutlooksMessage) {
  struct Case {
    const char* what;
    FakeDispatch::Handler subject;  // nullptr: no such member
    std::string message;            // empty: the system's text for `code`
    HRESULT code;
  };
  const Case cases[] = {
      {"EXCEPINFO", RaisesException(E_FAIL, L"Das Element wurde verschoben oder gel\u00f6scht."),
       "Das Element wurde verschoben oder gelöscht.", E_FAIL},
      {"deferred EXCEPINFO",
       [](WORD, const std::vector<VARIANT*>&, VARIANT*, EXCEPINFO* e) {
         e->pfnDeferredFillIn = &FillLater;
         return DISP_E_EXCEPTION;
       },
       "Später ausgefüllt", E_ABORT},
      {"IErrorInfo", FailsWithErrorInfo(E_ACCESSDENIED, L"Outlook verweigert den Zugriff."),
       "Outlook verweigert den Zugriff.", E_ACCESSDENIED},
      {"bare HRESULT", Fails(E_ACCESSDENIED), "", E_ACCESSDENIED},
      {"unknown member", nullptr, "", DISP_E_UNKNOWNNAME},
  };
  for (const auto& c : cases) {
    OutlookFakes fakes;
    FakeDispatch mail("Mail");
    mail.Answers(outlook_ids::IID_MailItem);
    if (c.subject) mail.On("Subject", c.subject);
    fakes.items.On("Item", ReturnsElement({&mail}));
    try {
      fakes.Mail()->Subject();
      ADD_FAILURE() << c.what;
    } catch (const OutlookComError& e) {
      EXPECT_EQ(e.Code(), c.code) << c.what;
      if (!c.message.empty()) {
        EXPECT_EQ(std::string(e.what()), c.message) << c.what;
      } else {
        EXPECT_NE(std::string(e.what()), "") << c.what;
      }
    }
    EXPECT_EQ(mail.Refs(), 1u) << c.what;
  }
}

TEST(OutlookBinding, BareHresultsReadAsTheSystemsText) {
  wchar_t* text = nullptr;
  ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_ACCESS_DENIED, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text),
                   0, nullptr);
  ASSERT_NE(text, nullptr);
  std::wstring expected(text);
  ::LocalFree(text);
  while (!expected.empty() && (expected.back() == L'\n' || expected.back() == L'\r')) expected.pop_back();

  OutlookFakes fakes;
  fakes.mail.On("Subject", Fails(E_ACCESSDENIED));
  try {
    fakes.Mail()->Subject();
    ADD_FAILURE();
  } catch (const OutlookError& e) {
    EXPECT_EQ(win32::WideFromUtf8(e.what()), expected);
  }
}

TEST(OutlookBinding, NothingWhereAnObjectIsExpectedFails) {
  OutlookFakes fakes;
  fakes.explorer.On("CurrentFolder", ReturnsObject(nullptr));
  EXPECT_THROW(MakeOutlookApplication(&fakes.app)->ActiveExplorer()->CurrentFolder(), OutlookError);
  fakes.ExpectAllReleased();
}

TEST(OutlookBinding, GetPropertyGivesTextOrInteger) {
  struct Case {
    const char* what;
    FakeDispatch::Handler answer;
    std::optional<PropertyValue> value;  // nullopt: throws OutlookError
  };
  const Case cases[] = {
      {"BSTR", ReturnsText(L"image001.png@01D9"), PropertyValue(std::string("image001.png@01D9"))},
      {"I4", ReturnsInt(ATTACH_EMBEDDED_MSG), PropertyValue(ATTACH_EMBEDDED_MSG)},
      {"I2", ReturnsVariant(VT_I2, [](VARIANT& v) { v.iVal = 4; }), PropertyValue(4)},
      {"UI4 keeps its bits", ReturnsVariant(VT_UI4, [](VARIANT& v) { v.ulVal = 0xFFFFFFFFu; }), PropertyValue(-1)},
      {"EMPTY", ReturnsVariant(VT_EMPTY, [](VARIANT&) {}), std::nullopt},
      {"DATE", ReturnsVariant(VT_DATE, [](VARIANT& v) { v.date = 1; }), std::nullopt},
      {"missing property", RaisesException(static_cast<HRESULT>(0x8004010F), L"Die Eigenschaft ist unbekannt."),
       std::nullopt},
  };
  for (const auto& c : cases) {
    OutlookFakes fakes;
    std::wstring asked;
    fakes.accessor.On("GetProperty", [&](WORD flags, const std::vector<VARIANT*>& args, VARIANT* r, EXCEPINFO* e) {
      if (args.size() == 1 && args[0]->vt == VT_BSTR) asked = args[0]->bstrVal;
      return c.answer(flags, args, r, e);
    });
    {
      const auto accessor = fakes.Mail()->GetAttachments()->Item(1)->GetPropertyAccessor();
      const std::string schema = PropTagSchemaName(PR_ATTACH_METHOD);
      if (c.value) {
        EXPECT_EQ(accessor->GetProperty(schema), *c.value) << c.what;
      } else {
        EXPECT_THROW(accessor->GetProperty(schema), OutlookError) << c.what;
      }
      EXPECT_EQ(asked, L"http://schemas.microsoft.com/mapi/proptag/0x37050003") << c.what;
    }
    fakes.ExpectAllReleased();
  }
}

TEST(OutlookBinding, ExchangeSendersGiveTheirSmtpAddress) {
  const std::wstring x500 = L"/O=EXCHANGELABS/OU=EXCHANGE ADMINISTRATIVE GROUP/CN=RECIPIENTS/CN=ANNA";
  struct Case {
    const char* what;
    FakeDispatch::Handler type;  // nullptr: Outlook knows no SenderEmailType
    FakeDispatch::Handler smtp;  // PR_SENDER_SMTP_ADDRESS
    std::string address;
  };
  const Case cases[] = {
      {"EX with SMTP address", ReturnsText(L"EX"), ReturnsText(L"anna@example.com"), "anna@example.com"},
      {"EX without it", ReturnsText(L"EX"), RaisesException(E_FAIL, L"Eigenschaft unbekannt"),
       "/O=EXCHANGELABS/OU=EXCHANGE ADMINISTRATIVE GROUP/CN=RECIPIENTS/CN=ANNA"},
      {"EX, empty", ReturnsText(L"EX"), ReturnsText(L""),
       "/O=EXCHANGELABS/OU=EXCHANGE ADMINISTRATIVE GROUP/CN=RECIPIENTS/CN=ANNA"},
      {"type unreadable", RaisesException(E_FAIL, L"x"), ReturnsText(L"anna@example.com"),
       "/O=EXCHANGELABS/OU=EXCHANGE ADMINISTRATIVE GROUP/CN=RECIPIENTS/CN=ANNA"},
      {"no such member", nullptr, ReturnsText(L"anna@example.com"),
       "/O=EXCHANGELABS/OU=EXCHANGE ADMINISTRATIVE GROUP/CN=RECIPIENTS/CN=ANNA"},
  };
  for (const auto& c : cases) {
    OutlookFakes fakes;
    FakeDispatch mail("Mail"), accessor("MailAccessor");
    mail.Answers(outlook_ids::IID_MailItem)
        .On("SenderEmailAddress", ReturnsText(x500))
        .On("PropertyAccessor", ReturnsObject(&accessor));
    if (c.type) mail.On("SenderEmailType", c.type);
    std::wstring asked;
    accessor.On("GetProperty", [&](WORD flags, const std::vector<VARIANT*>& args, VARIANT* r, EXCEPINFO* e) {
      asked = args.at(0)->bstrVal;
      return c.smtp(flags, args, r, e);
    });
    fakes.items.On("Item", ReturnsElement({&mail}));
    EXPECT_EQ(fakes.Mail()->SenderEmailAddress(), c.address) << c.what;
    if (!asked.empty()) {
      EXPECT_EQ(asked, L"http://schemas.microsoft.com/mapi/proptag/0x5D01001F") << c.what;
    }
    EXPECT_EQ(mail.Refs(), 1u) << c.what;
    EXPECT_EQ(accessor.Refs(), 1u) << c.what;
  }

  // An SMTP sender's address is taken as it stands, without asking.
  OutlookFakes fakes;
  EXPECT_EQ(fakes.Mail()->SenderEmailAddress(), "anna@example.com");
  for (const std::string& call : fakes.accessor.Calls()) EXPECT_NE(call, "GetProperty");
}

// Saves into a scratch folder.
class SaveAsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Outlook writes the attachment where it is told.
    fakes_.attachment.On("SaveAsFile", [this](WORD, const std::vector<VARIANT*>& args, VARIANT*, EXCEPINFO* e) {
      const std::wstring path = args.at(0)->bstrVal;
      saved_.push_back(path);
      if (path.size() >= MAX_PATH) {
        return RaisesException(E_FAIL, L"Der Pfad ist zu lang.")(0, args, nullptr, e);
      }
      win32::unique_hfile file(
          ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file) return HRESULT_FROM_WIN32(::GetLastError());
      DWORD written = 0;
      ::WriteFile(file.Get(), "%PDF", 4, &written, nullptr);
      return S_OK;
    });
  }
  std::string Contents(const std::string& path) {
    win32::unique_hfile file(::CreateFileW(NativePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return "<missing>";
    char buffer[64] = {};
    DWORD read = 0;
    ::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr);
    return std::string(buffer, read);
  }

  // A folder of at least `length` characters, made level by level.
  std::string DeepFolder(std::size_t length) {
    std::string folder = root_;
    while (folder.size() < length) {
      folder += "\\Ein ziemlich langer Ordnername " + std::to_string(folder.size());
      ::CreateDirectoryW(NativePath(folder).c_str(), nullptr);
    }
    return folder;
  }

  OutlookFakes fakes_;
  const wine_host::ScratchFolder scratch_{"trovex-wsup-save"};
  const std::string& root_ = scratch_.Path();
  std::vector<std::wstring> saved_;
};

TEST_F(SaveAsFileTest, ShortPathsGoToOutlookAsTheyAre) {
  const std::string target = root_ + "\\Rechnung.pdf";
  fakes_.Mail()->GetAttachments()->Item(1)->SaveAsFile(target);
  ASSERT_EQ(saved_.size(), 1u);
  EXPECT_EQ(saved_[0], win32::WideFromUtf8(target));
  EXPECT_EQ(Contents(target), "%PDF");
}

TEST_F(SaveAsFileTest, LongPathsAreWrittenThroughAShortTemporaryFile) {
  const std::wstring temp = wine_host::TempFolder();
  struct Case {
    std::size_t folderLength;
    bool inTemp;  // where the temporary file is made
  };
  const Case cases[] = {
      {300, false},   // the folder's 8.3 form is short enough: beside the target
      {2000, true},   // not even that: in %TEMP%
  };
  for (const auto& c : cases) {
    const std::string target = DeepFolder(c.folderLength) + "\\Rechnung.pdf";
      for (int round = 0; round < 2; ++round) {  // the second time replaces the file
      saved_.clear();
      fakes_.Mail()->GetAttachments()->Item(1)->SaveAsFile(target);
      ASSERT_EQ(saved_.size(), 1u);
      EXPECT_LT(saved_[0].size(), static_cast<std::size_t>(MAX_PATH));
      EXPECT_EQ(saved_[0].substr(0, saved_[0].rfind(L'\\') + 1) == temp, c.inTemp) << c.folderLength;
      EXPECT_EQ(::GetFileAttributesW(saved_[0].c_str()), INVALID_FILE_ATTRIBUTES);  // moved away
      EXPECT_EQ(Contents(target), "%PDF") << c.folderLength;
    }
  }
  fakes_.ExpectAllReleased();
}

TEST_F(SaveAsFileTest, AFailedSaveLeavesNoTemporaryFile) {
  const std::string target = DeepFolder(300) + "\\Rechnung.pdf";
  fakes_.attachment.On("SaveAsFile", [this](WORD, const std::vector<VARIANT*>& args, VARIANT*, EXCEPINFO* e) {
    saved_.push_back(args.at(0)->bstrVal);
    return RaisesException(E_FAIL, L"Die Anlage kann nicht gespeichert werden.")(0, args, nullptr, e);
  });
  try {
    fakes_.Mail()->GetAttachments()->Item(1)->SaveAsFile(target);
    ADD_FAILURE();
  } catch (const OutlookError& e) {
    EXPECT_STREQ(e.what(), "Die Anlage kann nicht gespeichert werden.");
  }
  ASSERT_EQ(saved_.size(), 1u);
  EXPECT_EQ(::GetFileAttributesW(saved_[0].c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Contents(target), "<missing>");
}

}  // namespace
}  // namespace trovex::outlook
