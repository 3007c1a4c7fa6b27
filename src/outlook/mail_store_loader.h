// Reads a mail store from a folder tree on disk.
//
// A directory is a folder; its subdirectories are its subfolders and its
// files its items, each in byte order of their names. An ".eml" file
// (RFC 5322 / MIME) is a mail. A Maildir (a directory with "cur" and "new")
// is a folder whose items are the files of cur/ and new/ and whose
// subfolders are its Maildir++ folders (".Sent", ".Sent.2024", ...).
// Any other file is an item that is not an e-mail (an ".ics" file an
// appointment, a ".vcf" file a contact, anything else a document). Hidden
// entries and a Maildir's tmp/ are not part of the store.
//
// Only names are read here; mail files are parsed when the export asks for
// them (EmlFileReader), so memory stays bounded by the largest mail.
#pragma once

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

#include "outlook/mail_store.h"

namespace trovex::store {

// A store that cannot be read: the path does not exist, is not a directory,
// or a directory of it cannot be listed. what() names the path and reason.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws StoreError.
MailStore LoadMailStore(const std::filesystem::path& directory);

// Parses mail files with GMime and keeps the last few parsed mails, so a
// mail is parsed once per run however often the export asks for it.
// `order`: the mail files in the order they will most likely be asked for;
// the reader then parses a few ahead of the one asked for on a thread of
// its own. Empty: every mail is parsed when asked for.
std::shared_ptr<MailFileReader> MakeEmlFileReader(std::vector<std::filesystem::path> order = {});

}  // namespace trovex::store
