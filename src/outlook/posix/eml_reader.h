// The mail files of a store on disk, parsed with GMime.
#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "outlook/mail_store.h"

namespace trovex::store {

// The threads that parse ahead when none are asked for: the export itself
// keeps one core busy decoding and writing, the others parse.
unsigned DefaultParseThreads();

// Parses mail files with GMime and keeps the last few parsed mails, so a
// mail is parsed once per run however often the export asks for it.
// `order`: the mail files in the order they will most likely be asked for;
// the reader then parses a few ahead of the one asked for, on `threads`
// threads of its own (0: DefaultParseThreads()). Empty: every mail is
// parsed when asked for.
// Memory holds a few mails at a time: small files are read whole, larger
// ones parsed from the file, and attachments decode from where the mail is.
std::shared_ptr<MailFileReader> MakeEmlFileReader(std::vector<std::filesystem::path> order = {}, unsigned threads = 0);

}  // namespace trovex::store
