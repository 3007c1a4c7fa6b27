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
// them (eml_reader.h).
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "outlook/mail_store.h"

namespace trovex::store {

// A store that cannot be read: the path does not exist, is not a directory,
// or a directory of it cannot be listed. what() names the path and reason.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the export will ask for: the store's reader parses ahead in that
// order and opens no file of a folder outside it.
struct ExportScope {
  std::string folder;  // as FindFolder takes it; "" is the top folder
  bool includeSubfolders = true;
  unsigned parseThreads = 0;  // 0: chosen from the machine's cores
};

// Throws StoreError. A `scope` whose folder does not exist reads ahead
// nothing.
MailStore LoadMailStore(const std::filesystem::path& directory, const ExportScope& scope = {});

}  // namespace trovex::store
