// The binding against the host that plays Outlook over the mail store:
// the same calls as in Outlook, and every object released again (the test
// program checks that after each test).
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/outlook_host.h"
#include "host/scratch_folder.h"
#include "outlook/win32/outlook_binding.h"
#include "outlook/win32/sender_address.h"
#include "support/native_path.h"
#include "support/win32/wide_string.h"
#include "support/win32/win32_handles.h"

namespace trovex::outlook {
namespace {

const std::string kX500 = "/O=EXCHANGELABS/OU=EXCHANGE ADMINISTRATIVE GROUP/CN=RECIPIENTS/CN=EINKAUF";

std::shared_ptr<store::MailStore> Store() {
  auto s = std::make_shared<store::MailStore>();
  store::StoreAttachment pdf{.fileName = "Angebot.pdf", .content = store::BytesContent("%PDF-1.7")};
  s->root.name = "Posteingang";
  s->root.AddMail({.subject = "Angebot",
                   .senderName = "Einkauf Huber",
                   .senderEmailAddress = kX500,
                   .receivedTime = 45300.25,
                   .attachments = {pdf}});
  return s;
}

class OutlookBindingHostTest : public ::testing::Test {
 protected:
  std::unique_ptr<MailItem> Mail() {
    return MakeOutlookApplication(host_.Application())
        ->ActiveExplorer()
        ->CurrentFolder()
        ->GetItems()
        ->GetItem(1)
        ->QueryMailItem();
  }
  const store::StoreMail& StoredMail() const { return *store_->root.items[0].mail; }

  std::shared_ptr<store::MailStore> store_ = Store();
  wine_host::OutlookHost host_{store_};
};

TEST_F(OutlookBindingHostTest, ExchangeSenderGivesItsSmtpAddressWhereOutlookHasOne) {
  struct Case {
    const char* type;
    const char* smtp;  // nullptr: the mail does not carry the property
    std::string address;
  };
  // In this order: a property once set stays with the mail.
  const Case cases[] = {
      {"EX", nullptr, kX500},                                    // no SMTP address: as it stands
      {"SMTP", "einkauf@huber.example", kX500},                  // not Exchange: as it stands
      {"EX", "einkauf@huber.example", "einkauf@huber.example"},  // the mend
  };
  for (const auto& c : cases) {
    host_.SetSenderEmailType(StoredMail(), c.type);
    if (c.smtp) host_.SetMailProperty(StoredMail(), PR_SENDER_SMTP_ADDRESS, std::string(c.smtp));
    EXPECT_EQ(Mail()->SenderEmailAddress(), c.address) << c.type;
  }
  EXPECT_EQ(host_.ReferencesHeld(), 0);
}

TEST_F(OutlookBindingHostTest, SavesToPathsBeyondMaxPath) {
  const wine_host::ScratchFolder scratch("trovex-wsup-host");
  std::string levels;
  for (int level = 1; scratch.Path().size() + levels.size() < 320; ++level) {
    levels += (levels.empty() ? "" : "\\") + std::string("Lieferanten und Angebote ") + std::to_string(level);
  }
  const std::string target = scratch.MakeFolders(levels) + "\\Angebot.pdf";
  Mail()->GetAttachments()->Item(1)->SaveAsFile(target);

  win32::unique_hfile file(::CreateFileW(NativePath(target).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file);
  char buffer[16] = {};
  DWORD read = 0;
  ::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr);
  EXPECT_EQ(std::string(buffer, read), "%PDF-1.7");
  file.Reset();
  EXPECT_EQ(host_.ReferencesHeld(), 0);
}

}  // namespace
}  // namespace trovex::outlook
