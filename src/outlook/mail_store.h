// Our own mail store: a tree of folders holding mails and other items, which
// the store binding (store_binding.h) offers through the Outlook object
// model. Tests build one in a few lines; posix/mail_store_loader.h reads one
// from a folder tree on disk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "outlook/object_model.h"

namespace trovex::store {

// The bytes of an attachment, written out on request. Stores that parse
// mails lazily decode straight to the file instead of holding the bytes.
class AttachmentContent {
 public:
  virtual ~AttachmentContent() = default;
  // Creates or replaces the file; throws std::system_error on failure.
  virtual void WriteTo(const std::filesystem::path& file) const = 0;
};

// Content held in memory.
std::shared_ptr<const AttachmentContent> BytesContent(std::string bytes);

// A failure to inject: the named operation raises OutlookError with this
// text instead of answering. Operation names are those of the object model
// ("SenderName", "Attachments", "SaveAsFile", "FileName", "Name", ...).
using Faults = std::map<std::string, std::string, std::less<>>;

struct StoreAttachment {
  std::string fileName;
  // MAPI properties by tag; a tag not present raises when asked for.
  std::map<std::uint32_t, outlook::PropertyValue> properties;
  std::shared_ptr<const AttachmentContent> content;
  Faults faults;
};

struct StoreMail {
  std::string subject;
  std::string senderName;
  std::string senderEmailAddress;
  std::string receivedByName;
  std::string receivedOnBehalfOfName;
  outlook::OleDate receivedTime = 0;
  std::vector<StoreAttachment> attachments;
  Faults faults;
};

struct StoreItem {
  // File name on disk, or a label given by a test.
  std::string name;
  // Message class as Outlook names it: "IPM.Note" for e-mails,
  // "IPM.Appointment", "IPM.Contact", "IPM.Document.<ext>" for others.
  std::string messageClass;
  // A mail held in memory.
  std::shared_ptr<const StoreMail> mail;
  // A mail file read on demand through the store's MailFileReader.
  std::filesystem::path file;
};

struct StoreFolder {
  std::string name;
  std::vector<StoreFolder> folders;
  std::vector<StoreItem> items;
  Faults faults;

  // Builders for tests.
  StoreFolder& AddFolder(std::string folderName);
  StoreFolder& AddMail(StoreMail m);
  StoreFolder& AddOther(std::string itemName, std::string itemClass);
};

// Turns a mail file into a mail. Returns nullptr for a file that holds no
// mail (it stays an item of its folder, but not an e-mail); throws
// OutlookError when the file cannot be read.
class MailFileReader {
 public:
  virtual ~MailFileReader() = default;
  virtual std::shared_ptr<const StoreMail> Read(const std::filesystem::path& file) = 0;
};

// A whole store: the folder tree and the reader for its mail files.
struct MailStore {
  StoreFolder root;
  std::shared_ptr<MailFileReader> reader;  // may be null for in-memory stores
};

// The folder at `path` below `root`: components separated by "/" or "\",
// matched by exact name; the empty path is the root itself. nullptr when
// there is no such folder.
const StoreFolder* FindFolder(const StoreFolder& root, std::string_view path);

}  // namespace trovex::store
