// One e-mail under export, read from Outlook once and used for every
// attachment of that mail.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "outlook/object_model.h"

namespace trovex::engine {

struct TMailData {
  std::string SenderName;
  std::string SenderMail;
  // ReceivedByName, or ReceivedOnBehalfOfName when that is empty.
  std::string ReceiverName;
  // Outlook offers no receiver address on the mail itself; stays empty.
  std::string ReceiverMail;
  std::string Subject;
  outlook::OleDate ReceivedTime = 0;
  std::unique_ptr<outlook::Attachments> Attachments;
};

// Fills the record field by field in the order above. Returns nullopt when
// the sender's name cannot be read (such a mail is skipped); every other
// failure propagates.
std::optional<TMailData> ReadMailData(outlook::MailItem& mail);

}  // namespace trovex::engine
