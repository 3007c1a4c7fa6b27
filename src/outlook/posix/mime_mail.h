// A message as GMime parses it, turned into what the object model shows:
// sender, recipient, subject, received time and the attachments, which
// decode when they are saved.
#pragma once

#include <gmime/gmime.h>

#include <ctime>
#include <memory>

#include "outlook/mail_store.h"

namespace trovex::store {

// GMime's parser options for mail as mailboxes really hold it; the first
// call sets GMime up.
GMimeParserOptions* MailParserOptions();

// The mail on `stream`, read from its start; nullptr when the stream holds
// no mail. The attachments keep the stream, and the file or memory it reads
// from, until the last of them is gone.
// `crlf`: the source's line ends, which nested messages are written with.
// `fileTime`: the received time of a mail that carries no date.
std::shared_ptr<const StoreMail> ParseMail(GMimeStream* stream, bool crlf, std::time_t fileTime);

}  // namespace trovex::store
