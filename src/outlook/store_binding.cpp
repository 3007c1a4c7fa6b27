#include "outlook/store_binding.h"

#include <fmt/format.h>

#include <system_error>

#include "support/native_path.h"

namespace trovex::store {
namespace {

using namespace trovex::outlook;
using StorePtr = std::shared_ptr<const MailStore>;

void CheckFault(const Faults& faults, std::string_view operation) {
  if (auto it = faults.find(operation); it != faults.end()) throw OutlookError(it->second);
}

void CheckIndex(int index, size_t count) {
  if (index < 1 || static_cast<size_t>(index) > count)
    throw OutlookError("Der Arrayindex liegt außerhalb des gültigen Bereichs.");
}

class StorePropertyAccessor final : public PropertyAccessor {
 public:
  StorePropertyAccessor(StorePtr store, std::shared_ptr<const StoreMail> mail, const StoreAttachment& att)
      : store_(std::move(store)), mail_(std::move(mail)), att_(att) {}

  PropertyValue GetProperty(const std::string& schemaName) override {
    CheckFault(att_.faults, "GetProperty");
    const auto it = att_.properties.find(PropTagFromSchemaName(schemaName));
    if (it == att_.properties.end())
      throw OutlookError(
          fmt::format("Die Eigenschaft \"{}\" ist unbekannt oder kann nicht gefunden werden.", schemaName));
    return it->second;
  }

 private:
  StorePtr store_;
  std::shared_ptr<const StoreMail> mail_;
  const StoreAttachment& att_;
};

class StoreAttachmentObject final : public Attachment {
 public:
  StoreAttachmentObject(StorePtr store, std::shared_ptr<const StoreMail> mail, const StoreAttachment& att)
      : store_(std::move(store)), mail_(std::move(mail)), att_(att) {}

  std::string FileName() override {
    CheckFault(att_.faults, "FileName");
    return att_.fileName;
  }

  std::unique_ptr<PropertyAccessor> GetPropertyAccessor() override {
    CheckFault(att_.faults, "PropertyAccessor");
    return std::make_unique<StorePropertyAccessor>(store_, mail_, att_);
  }

  void SaveAsFile(const std::string& path) override {
    CheckFault(att_.faults, "SaveAsFile");
    try {
      if (att_.content) {
        att_.content->WriteTo(NativePath(path));
      } else {
        BytesContent({})->WriteTo(NativePath(path));
      }
    } catch (const std::system_error& e) {
      throw OutlookError(fmt::format("Die Anlage kann nicht gespeichert werden. {}: {}", path,
                                     e.code().message()));
    }
  }

 private:
  StorePtr store_;
  std::shared_ptr<const StoreMail> mail_;
  const StoreAttachment& att_;
};

class StoreAttachments final : public Attachments {
 public:
  StoreAttachments(StorePtr store, std::shared_ptr<const StoreMail> mail)
      : store_(std::move(store)), mail_(std::move(mail)) {}

  int Count() override { return static_cast<int>(mail_->attachments.size()); }

  std::unique_ptr<Attachment> Item(int index) override {
    CheckIndex(index, mail_->attachments.size());
    return std::make_unique<StoreAttachmentObject>(store_, mail_,
                                                   mail_->attachments[static_cast<size_t>(index - 1)]);
  }

 private:
  StorePtr store_;
  std::shared_ptr<const StoreMail> mail_;
};

class StoreMailItem final : public MailItem {
 public:
  StoreMailItem(StorePtr store, std::shared_ptr<const StoreMail> mail)
      : store_(std::move(store)), mail_(std::move(mail)) {}

  std::string Subject() override { return Field("Subject", mail_->subject); }
  std::string SenderName() override { return Field("SenderName", mail_->senderName); }
  std::string SenderEmailAddress() override {
    return Field("SenderEmailAddress", mail_->senderEmailAddress);
  }
  std::string ReceivedByName() override { return Field("ReceivedByName", mail_->receivedByName); }
  std::string ReceivedOnBehalfOfName() override {
    return Field("ReceivedOnBehalfOfName", mail_->receivedOnBehalfOfName);
  }
  OleDate ReceivedTime() override {
    CheckFault(mail_->faults, "ReceivedTime");
    return mail_->receivedTime;
  }
  std::unique_ptr<Attachments> GetAttachments() override {
    CheckFault(mail_->faults, "Attachments");
    return std::make_unique<StoreAttachments>(store_, mail_);
  }

 private:
  std::string Field(std::string_view operation, const std::string& value) {
    CheckFault(mail_->faults, operation);
    return value;
  }

  StorePtr store_;
  std::shared_ptr<const StoreMail> mail_;
};

class StoreItemObject final : public Item {
 public:
  StoreItemObject(StorePtr store, const StoreItem& item) : store_(std::move(store)), item_(item) {}

  std::unique_ptr<MailItem> QueryMailItem() override {
    std::shared_ptr<const StoreMail> mail = item_.mail;
    if (!mail && !item_.file.empty() && store_->reader) mail = store_->reader->Read(item_.file);
    if (!mail) return nullptr;
    return std::make_unique<StoreMailItem>(store_, std::move(mail));
  }

 private:
  StorePtr store_;
  const StoreItem& item_;
};

class StoreItems final : public Items {
 public:
  StoreItems(StorePtr store, const StoreFolder& folder) : store_(std::move(store)), folder_(folder) {}

  int Count() override { return static_cast<int>(folder_.items.size()); }
  std::unique_ptr<Item> GetItem(int index) override {
    CheckIndex(index, folder_.items.size());
    return std::make_unique<StoreItemObject>(store_, folder_.items[static_cast<size_t>(index - 1)]);
  }

 private:
  StorePtr store_;
  const StoreFolder& folder_;
};

class StoreFolderObject final : public Folder {
 public:
  StoreFolderObject(StorePtr store, const StoreFolder& folder) : store_(std::move(store)), folder_(folder) {}

  std::string Name() override {
    CheckFault(folder_.faults, "Name");
    return folder_.name;
  }
  std::unique_ptr<Items> GetItems() override {
    CheckFault(folder_.faults, "Items");
    return std::make_unique<StoreItems>(store_, folder_);
  }
  std::unique_ptr<outlook::Folders> GetFolders() override;

 private:
  StorePtr store_;
  const StoreFolder& folder_;
};

class StoreFolders final : public outlook::Folders {
 public:
  StoreFolders(StorePtr store, const StoreFolder& folder) : store_(std::move(store)), folder_(folder) {}

  int Count() override { return static_cast<int>(folder_.folders.size()); }
  std::unique_ptr<Folder> GetItem(int index) override {
    CheckIndex(index, folder_.folders.size());
    return std::make_unique<StoreFolderObject>(store_, folder_.folders[static_cast<size_t>(index - 1)]);
  }

 private:
  StorePtr store_;
  const StoreFolder& folder_;
};

std::unique_ptr<outlook::Folders> StoreFolderObject::GetFolders() {
  CheckFault(folder_.faults, "Folders");
  return std::make_unique<StoreFolders>(store_, folder_);
}

class StoreExplorer final : public Explorer {
 public:
  StoreExplorer(StorePtr store, const StoreFolder& current) : store_(std::move(store)), current_(current) {}
  std::unique_ptr<Folder> CurrentFolder() override {
    return std::make_unique<StoreFolderObject>(store_, current_);
  }

 private:
  StorePtr store_;
  const StoreFolder& current_;
};

class StoreApplication final : public Application {
 public:
  StoreApplication(StorePtr store, const StoreFolder& current) : store_(std::move(store)), current_(current) {}
  std::unique_ptr<Explorer> ActiveExplorer() override {
    return std::make_unique<StoreExplorer>(store_, current_);
  }

 private:
  StorePtr store_;
  const StoreFolder& current_;
};

}  // namespace

std::unique_ptr<Application> MakeStoreApplication(std::shared_ptr<const MailStore> store,
                                                  const StoreFolder* current) {
  const StoreFolder& folder = current ? *current : store->root;
  return std::make_unique<StoreApplication>(std::move(store), folder);
}

}  // namespace trovex::store
