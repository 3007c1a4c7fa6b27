#include "engine/mail_collection.h"

#include <gtest/gtest.h>

#include "engine_fakes.h"
#include "outlook/mail_store.h"
#include "outlook/store_binding.h"

namespace trovex::engine {
namespace {

using store::StoreAttachment;
using store::StoreFolder;
using store::StoreMail;
using testing::RecordingSink;
using testing::Unstamped;
using Lines = std::vector<std::string>;

StoreMail Mail(std::string subject, int attachments = 0) {
  StoreMail m{.subject = std::move(subject),
              .senderName = "Erika Muster",
              .senderEmailAddress = "erika@example.com",
              .receivedByName = "Max",
              .receivedTime = CivilToOleDate({.year = 2024, .month = 3, .day = 5, .hour = 23, .minute = 59})};
  for (int i = 0; i < attachments; ++i)
    m.attachments.push_back(StoreAttachment{.fileName = "a" + std::to_string(i) + ".pdf"});
  return m;
}

// Records every mail that reaches the attachment export.
class RecordingExport : public AttachmentExport {
 public:
  std::vector<TMailData> records;
  std::function<void()> onExport;
  void ExportAttachments(outlook::MailItem&, TMailData& record) override {
    if (onExport) onExport();
    records.push_back(TMailData{record.SenderName, record.SenderMail, record.ReceiverName,
                                record.ReceiverMail, record.Subject, record.ReceivedTime, nullptr});
  }
};

class MailCollectionTest : public ::testing::Test {
 protected:
  // Runs the walk as an export run does: the selected folder's items, then
  // its subfolders.
  void Walk(bool includeSubfolders = true) {
    auto app = store::MakeStoreApplication(std::make_shared<const store::MailStore>(store_));
    auto folder = app->ActiveExplorer()->CurrentFolder();
    state_.iCountToCheck = folder->GetItems()->Count();
    if (includeSubfolders) collection_.CountItems(*folder->GetFolders());
    collection_.ProcessItems(*folder->GetItems());
    if (!state_.bClickedCancel && includeSubfolders) collection_.WalkSubfolders(*folder->GetFolders());
  }

  StoreFolder& root_ = store_.root;
  store::MailStore store_{.root = StoreFolder{.name = "A"}};
  ExportRunState state_;
  RecordingSink sink_;
  ExportReport report_{sink_, testing::SteppingClock()};
  RecordingExport export_;
  MailCollection collection_{state_, report_, sink_, export_};
};

TEST_F(MailCollectionTest, WalksDeepestFoldersFirstAndCountsEveryItem) {
  root_.AddMail(Mail("in A", 1));
  auto& a1 = root_.AddFolder("A1");
  a1.AddMail(Mail("in A1")).AddOther("Termin", "IPM.Appointment");
  a1.AddFolder("A11").AddMail(Mail("in A11", 2));
  root_.AddFolder("A2").AddOther("Kontakt", "IPM.Contact");

  Walk();

  EXPECT_EQ(state_.iCountToCheck, 5);
  EXPECT_EQ(state_.iCountChecked, 5);
  EXPECT_EQ(sink_.positions, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(Unstamped(sink_.lines), (Lines{
                                        "@Mail \"in A\" vom 2024-03-05",
                                        "",
                                        "",
                                        "Unterordner: A1",
                                        "",
                                        "Unterordner: A11",
                                        "@Mail \"in A11\" vom 2024-03-05",
                                        "",
                                        "@Mail \"in A1\" vom 2024-03-05",
                                        "@hat keinen Anhang.",
                                        "",
                                        "Unterordner: A2",
                                    }));
  ASSERT_EQ(export_.records.size(), 2u);
  EXPECT_EQ(export_.records[1].Subject, "in A11");
}

TEST_F(MailCollectionTest, SelectedFolderOnlyCountsItsOwnItems) {
  root_.AddMail(Mail("oben"));
  root_.AddFolder("A1").AddMail(Mail("unten"));
  Walk(/*includeSubfolders=*/false);
  EXPECT_EQ(state_.iCountToCheck, 1);
  EXPECT_EQ(Unstamped(sink_.lines), (Lines{"@Mail \"oben\" vom 2024-03-05", "@hat keinen Anhang."}));
}

TEST_F(MailCollectionTest, NonMailItemsAdvanceProgressWithoutALine) {
  root_.AddOther("Termin", "IPM.Appointment").AddOther("Kontakt", "IPM.Contact").AddOther("Notiz", "IPM.StickyNote");
  Walk();
  EXPECT_EQ(state_.iCountChecked, 3);
  EXPECT_EQ(sink_.positions, (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(sink_.lines.empty());
  EXPECT_EQ(sink_.pumps, 3);  // one per item examined
}

TEST_F(MailCollectionTest, MailWithAttachmentsGetsRecordInFieldOrderAndClosingEmptyLine) {
  StoreMail m = Mail("Angebot", 3);
  root_.AddMail(m);
  Walk();
  EXPECT_EQ(Unstamped(sink_.lines), (Lines{"@Mail \"Angebot\" vom 2024-03-05", ""}));
  ASSERT_EQ(export_.records.size(), 1u);
  const TMailData& r = export_.records[0];
  EXPECT_EQ(r.SenderName, "Erika Muster");
  EXPECT_EQ(r.SenderMail, "erika@example.com");
  EXPECT_EQ(r.ReceiverName, "Max");
  EXPECT_EQ(r.ReceiverMail, "");
  EXPECT_EQ(r.Subject, "Angebot");
  EXPECT_EQ(r.ReceivedTime, m.receivedTime);
}

TEST_F(MailCollectionTest, ReceiverFallsBackToOnBehalfOfOnlyWhenEmpty) {
  struct Case {
    std::string byName, onBehalfOf, expected;
  };
  const Case cases[] = {
      {"Max", "Sekretariat", "Max"},        // ReceivedByName wins
      {"", "Sekretariat", "Sekretariat"},   // empty: on-behalf-of fills in
      {"", "", ""},                         // both empty
  };
  for (const auto& c : cases) {
    StoreMail m = Mail("x", 1);
    m.receivedByName = c.byName;
    m.receivedOnBehalfOfName = c.onBehalfOf;
    root_.AddMail(m);
  }
  Walk();
  ASSERT_EQ(export_.records.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(export_.records[i].ReceiverName, cases[i].expected) << i;
}

TEST_F(MailCollectionTest, UnreadableSenderNameSkipsTheMailAfterItsLine) {
  StoreMail bad = Mail("kaputt", 1);
  bad.faults["SenderName"] = "Der Vorgang ist fehlgeschlagen.";
  root_.AddMail(bad).AddMail(Mail("gut", 1));
  Walk();
  EXPECT_EQ(Unstamped(sink_.lines), (Lines{"@Mail \"kaputt\" vom 2024-03-05", "@Mail \"gut\" vom 2024-03-05", ""}));
  ASSERT_EQ(export_.records.size(), 1u);
  EXPECT_EQ(export_.records[0].Subject, "gut");
}

TEST_F(MailCollectionTest, AnyOtherFailureEndsTheWalkKeepingItsLines) {
  StoreMail bad = Mail("kaputt", 1);
  bad.faults["SenderEmailAddress"] = "Der Server ist nicht erreichbar.";
  root_.AddMail(Mail("vorher")).AddMail(bad).AddMail(Mail("nachher"));
  EXPECT_THROW(
      {
        try {
          Walk();
        } catch (const outlook::OutlookError& e) {
          EXPECT_STREQ(e.what(), "Der Server ist nicht erreichbar.");
          throw;
        }
      },
      outlook::OutlookError);
  EXPECT_EQ(Unstamped(sink_.lines),
            (Lines{"@Mail \"vorher\" vom 2024-03-05", "@hat keinen Anhang.", "@Mail \"kaputt\" vom 2024-03-05"}));
}

TEST_F(MailCollectionTest, StopIsTestedBeforeEachItemAndFinishesTheMailUnderWay) {
  root_.AddMail(Mail("eins", 1)).AddMail(Mail("zwei", 1)).AddMail(Mail("drei", 1));
  root_.AddFolder("A1").AddMail(Mail("unten", 1));
  // The stop is confirmed while the first mail's attachments are exported.
  export_.onExport = [&] { state_.bClickedCancel = true; };
  Walk();
  EXPECT_EQ(export_.records.size(), 1u);
  EXPECT_EQ(state_.iCountChecked, 1);
  EXPECT_EQ(Unstamped(sink_.lines), (Lines{"@Mail \"eins\" vom 2024-03-05", ""}));
}

TEST_F(MailCollectionTest, StopIsPassedUpAfterTheSubfolderUnderWay) {
  auto& a1 = root_.AddFolder("A1");
  a1.AddMail(Mail("A1 eigene"));
  a1.AddFolder("A11").AddMail(Mail("A11 a")).AddMail(Mail("A11 b"));
  a1.AddFolder("A12").AddMail(Mail("A12"));
  root_.AddFolder("A2").AddMail(Mail("A2"));
  // Stop while the first item of A11 is examined.
  sink_.onPump = [&] {
    if (state_.iCountChecked == 1) state_.bClickedCancel = true;
  };
  Walk();
  EXPECT_EQ(state_.iCountToCheck, 5);
  EXPECT_EQ(Unstamped(sink_.lines),
            (Lines{"", "Unterordner: A1", "", "Unterordner: A11", "@Mail \"A11 a\" vom 2024-03-05", "@hat keinen Anhang."}));
}

TEST(PreviewMailData, TakesTheLastItemOnly) {
  auto run = [](StoreFolder folder) {
    auto app = store::MakeStoreApplication(std::make_shared<const store::MailStore>(store::MailStore{.root = std::move(folder)}));
    auto items = app->ActiveExplorer()->CurrentFolder()->GetItems();
    return PreviewMailData(*items);
  };
  StoreFolder mails{.name = "f"};
  mails.AddMail(Mail("erste")).AddMail(Mail("letzte"));
  const auto record = run(mails);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->Subject, "letzte");  // built even without attachments

  StoreFolder lastIsAppointment{.name = "f"};
  lastIsAppointment.AddMail(Mail("erste")).AddOther("Termin", "IPM.Appointment");
  EXPECT_FALSE(run(lastIsAppointment));

  StoreMail noSender = Mail("x");
  noSender.faults["SenderName"] = "Fehler";
  StoreFolder unreadable{.name = "f"};
  unreadable.AddMail(noSender);
  EXPECT_FALSE(run(unreadable));
}

}  // namespace
}  // namespace trovex::engine
