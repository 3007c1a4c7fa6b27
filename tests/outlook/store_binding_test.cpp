#include "outlook/store_binding.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "testing/temp_dir.h"

namespace trovex::store {
namespace {

using outlook::OutlookError;
using outlook::PropTagSchemaName;

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const OutlookError& e) {
    return e.what();
  }
  return "(no error)";
}

std::shared_ptr<const MailStore> SampleStore() {
  StoreMail mail{.subject = "Bericht"};
  mail.attachments.push_back(StoreAttachment{
      .fileName = "bild.png",
      .properties = {{outlook::PR_ATTACH_CONTENT_ID_W, std::string("bild@01")}, {outlook::PR_ATTACH_METHOD, 1}},
      .content = BytesContent(std::string("\x89PNG\0\x01", 6))});
  StoreFolder root{.name = "Posteingang"};
  root.AddMail(mail).AddOther("Termin", "IPM.Appointment");
  root.AddFolder("Projekte").AddFolder("Archiv");
  return std::make_shared<const MailStore>(MailStore{.root = std::move(root)});
}

TEST(PropTagSchemaName, UsesEightUpperCaseHexDigits) {
  EXPECT_EQ(PropTagSchemaName(0x3712001E), "http://schemas.microsoft.com/mapi/proptag/0x3712001E");
  EXPECT_EQ(PropTagSchemaName(0x0037001F), "http://schemas.microsoft.com/mapi/proptag/0x0037001F");
  EXPECT_EQ(outlook::PropTagFromSchemaName("http://schemas.microsoft.com/mapi/proptag/0x37140003"), 0x37140003u);
  EXPECT_THROW(outlook::PropTagFromSchemaName("http://schemas.microsoft.com/mapi/proptag/0x3714"), OutlookError);
  EXPECT_THROW(outlook::PropTagFromSchemaName("urn:schemas:httpmail:subject"), OutlookError);
}

TEST(StoreBinding, CollectionsAreOneBasedAndRaiseOutsideTheirRange) {
  auto app = MakeStoreApplication(SampleStore());
  auto folder = app->ActiveExplorer()->CurrentFolder();
  EXPECT_EQ(folder->Name(), "Posteingang");
  auto items = folder->GetItems();
  ASSERT_EQ(items->Count(), 2);
  EXPECT_TRUE(items->GetItem(1)->QueryMailItem());
  EXPECT_FALSE(items->GetItem(2)->QueryMailItem());  // an appointment is no mail
  EXPECT_EQ(ErrorOf([&] { items->GetItem(0); }), "Der Arrayindex liegt außerhalb des gültigen Bereichs.");
  EXPECT_EQ(ErrorOf([&] { items->GetItem(3); }), "Der Arrayindex liegt außerhalb des gültigen Bereichs.");
  auto folders = folder->GetFolders();
  ASSERT_EQ(folders->Count(), 1);
  EXPECT_EQ(folders->GetItem(1)->GetFolders()->GetItem(1)->Name(), "Archiv");
  EXPECT_THROW(folders->GetItem(2), OutlookError);
}

TEST(StoreBinding, ExplorerShowsTheChosenFolder) {
  auto store = SampleStore();
  const StoreFolder* archiv = FindFolder(store->root, "Projekte\\Archiv");
  ASSERT_TRUE(archiv);
  EXPECT_EQ(FindFolder(store->root, "Projekte/Archiv/"), archiv);
  EXPECT_EQ(FindFolder(store->root, ""), &store->root);
  EXPECT_EQ(FindFolder(store->root, "projekte"), nullptr);  // names match exactly
  EXPECT_EQ(MakeStoreApplication(store, archiv)->ActiveExplorer()->CurrentFolder()->Name(), "Archiv");
}

TEST(StoreBinding, PropertiesCarriedAnswerAndAbsentOnesRaise) {
  auto app = MakeStoreApplication(SampleStore());
  auto att = app->ActiveExplorer()->CurrentFolder()->GetItems()->GetItem(1)->QueryMailItem()->GetAttachments()->Item(1);
  auto pa = att->GetPropertyAccessor();
  EXPECT_EQ(std::get<std::string>(pa->GetProperty(PropTagSchemaName(outlook::PR_ATTACH_CONTENT_ID_W))), "bild@01");
  EXPECT_EQ(std::get<std::int32_t>(pa->GetProperty(PropTagSchemaName(outlook::PR_ATTACH_METHOD))), 1);
  EXPECT_EQ(ErrorOf([&] { pa->GetProperty(PropTagSchemaName(outlook::PR_ATTACH_FLAGS)); }),
            "Die Eigenschaft \"http://schemas.microsoft.com/mapi/proptag/0x37140003\" ist unbekannt oder kann "
            "nicht gefunden werden.");
}

TEST(StoreBinding, SaveAsFileWritesTheBytesAndReportsFailures) {
  const trovex::testing::TempDir temp("trovex-store-binding");
  const std::filesystem::path& dir = temp.path();
  std::filesystem::create_directories(dir / "sub");
  auto app = MakeStoreApplication(SampleStore());
  auto att = app->ActiveExplorer()->CurrentFolder()->GetItems()->GetItem(1)->QueryMailItem()->GetAttachments()->Item(1);

  // A backslash in the engine's path is a separator on this side too.
  att->SaveAsFile(dir.string() + "/sub\\bild.png");
  std::ifstream in(dir / "sub" / "bild.png", std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(bytes.str(), std::string("\x89PNG\0\x01", 6));

  const std::string missing = dir.string() + "/fehlt/bild.png";
  EXPECT_EQ(ErrorOf([&] { att->SaveAsFile(missing); }),
            "Die Anlage kann nicht gespeichert werden. " + missing + ": No such file or directory");
}

TEST(StoreBinding, InjectedFaultsRaiseOnlyForTheirOperation) {
  StoreMail mail{.subject = "s"};
  mail.faults["SenderName"] = "Der Absender ist unbekannt.";
  StoreFolder root{.name = "r"};
  root.AddMail(mail);
  auto app = MakeStoreApplication(std::make_shared<const MailStore>(MailStore{.root = root}));
  auto m = app->ActiveExplorer()->CurrentFolder()->GetItems()->GetItem(1)->QueryMailItem();
  EXPECT_EQ(ErrorOf([&] { m->SenderName(); }), "Der Absender ist unbekannt.");
  EXPECT_EQ(m->Subject(), "s");
}

}  // namespace
}  // namespace trovex::store
