// The part of Outlook's object model that the export uses, as abstract
// interfaces. Outlook itself stands behind them in the add-in; our own mail
// store stands behind them on Linux and in tests.
//
// Every getter hands out a fresh object that the caller owns; callers fetch
// again for every use and drop the object as soon as it has served, as with
// Outlook (Exchange limits how many items one client may keep open).
// Every failing operation throws OutlookError.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>

namespace trovex::outlook {

// Raised by every failing operation; what() carries the message text that
// Outlook would give for it.
class OutlookError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A point in time as Outlook gives it: local time, counted in days since
// 1899-12-30 00:00 (OLE Automation date).
using OleDate = double;

// A value returned by PropertyAccessor::GetProperty: text for string tags
// (PT_STRING8, PT_UNICODE), a 32-bit integer for long tags (PT_LONG).
using PropertyValue = std::variant<std::string, std::int32_t>;

class PropertyAccessor {
 public:
  virtual ~PropertyAccessor() = default;
  // `schemaName` is "http://schemas.microsoft.com/mapi/proptag/0xXXXXXXXX".
  // Throws OutlookError when the attachment does not carry the property.
  virtual PropertyValue GetProperty(const std::string& schemaName) = 0;
};

class Attachment {
 public:
  virtual ~Attachment() = default;
  virtual std::string FileName() = 0;
  virtual std::unique_ptr<PropertyAccessor> GetPropertyAccessor() = 0;
  // Writes the attachment's content to `path` (a Windows-style path: the
  // file-system layer of the store decides how separators map).
  virtual void SaveAsFile(const std::string& path) = 0;
};

class Attachments {
 public:
  virtual ~Attachments() = default;
  virtual int Count() = 0;
  virtual std::unique_ptr<Attachment> Item(int index) = 0;  // 1-based
};

class MailItem {
 public:
  virtual ~MailItem() = default;
  virtual std::string Subject() = 0;
  virtual std::string SenderName() = 0;
  virtual std::string SenderEmailAddress() = 0;
  virtual std::string ReceivedByName() = 0;
  virtual std::string ReceivedOnBehalfOfName() = 0;
  virtual OleDate ReceivedTime() = 0;
  virtual std::unique_ptr<Attachments> GetAttachments() = 0;
};

// Any element of a folder's Items: mail, appointment, contact, ...
class Item {
 public:
  virtual ~Item() = default;
  // Stands for QueryInterface for the mail-item interface
  // {00063034-0000-0000-C000-000000000046}: nullptr for every item that is
  // not an e-mail.
  virtual std::unique_ptr<MailItem> QueryMailItem() = 0;
};

class Items {
 public:
  virtual ~Items() = default;
  virtual int Count() = 0;
  virtual std::unique_ptr<Item> GetItem(int index) = 0;  // 1-based
};

class Folders;

class Folder {
 public:
  virtual ~Folder() = default;
  virtual std::string Name() = 0;
  virtual std::unique_ptr<Items> GetItems() = 0;
  virtual std::unique_ptr<Folders> GetFolders() = 0;
};

class Folders {
 public:
  virtual ~Folders() = default;
  virtual int Count() = 0;
  virtual std::unique_ptr<Folder> GetItem(int index) = 0;  // 1-based
};

class Explorer {
 public:
  virtual ~Explorer() = default;
  virtual std::unique_ptr<Folder> CurrentFolder() = 0;
};

class Application {
 public:
  virtual ~Application() = default;
  virtual std::unique_ptr<Explorer> ActiveExplorer() = 0;
};

// MAPI property tags read from attachments.
inline constexpr std::uint32_t PR_ATTACH_CONTENT_ID_A = 0x3712001E;
inline constexpr std::uint32_t PR_ATTACH_CONTENT_ID_W = 0x3712001F;
inline constexpr std::uint32_t PR_ATTACH_FLAGS = 0x37140003;
inline constexpr std::uint32_t PR_ATTACH_METHOD = 0x37050003;

// PR_ATTACH_METHOD values.
inline constexpr std::int32_t ATTACH_BY_VALUE = 1;
inline constexpr std::int32_t ATTACH_EMBEDDED_MSG = 5;
inline constexpr std::int32_t ATTACH_OLE = 6;

// "http://schemas.microsoft.com/mapi/proptag/0x3712001E"
std::string PropTagSchemaName(std::uint32_t tag);

// Inverse of PropTagSchemaName; throws OutlookError for any other text.
std::uint32_t PropTagFromSchemaName(const std::string& schemaName);

}  // namespace trovex::outlook
