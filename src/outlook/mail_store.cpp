#include "outlook/mail_store.h"

#include <fstream>
#include <system_error>

namespace trovex::store {
namespace {

class InMemoryContent final : public AttachmentContent {
 public:
  explicit InMemoryContent(std::string bytes) : bytes_(std::move(bytes)) {}

  void WriteTo(const std::filesystem::path& file) const override {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (out) out.write(bytes_.data(), static_cast<std::streamsize>(bytes_.size()));
    if (out) out.close();
    if (!out) throw std::system_error(errno, std::generic_category(), file.string());
  }

 private:
  std::string bytes_;
};

}  // namespace

std::shared_ptr<const AttachmentContent> BytesContent(std::string bytes) {
  return std::make_shared<InMemoryContent>(std::move(bytes));
}

StoreFolder& StoreFolder::AddFolder(std::string folderName) {
  folders.push_back(StoreFolder{.name = std::move(folderName)});
  return folders.back();
}

StoreFolder& StoreFolder::AddMail(StoreMail m) {
  items.push_back(StoreItem{.name = m.subject,
                            .messageClass = "IPM.Note",
                            .mail = std::make_shared<const StoreMail>(std::move(m))});
  return *this;
}

StoreFolder& StoreFolder::AddOther(std::string itemName, std::string itemClass) {
  items.push_back(StoreItem{.name = std::move(itemName), .messageClass = std::move(itemClass)});
  return *this;
}

const StoreFolder* FindFolder(const StoreFolder& root, std::string_view path) {
  const StoreFolder* folder = &root;
  while (!path.empty()) {
    const size_t sep = path.find_first_of("/\\");
    const std::string_view part = path.substr(0, sep);
    path = sep == std::string_view::npos ? std::string_view() : path.substr(sep + 1);
    if (part.empty()) continue;
    const StoreFolder* next = nullptr;
    for (const auto& sub : folder->folders) {
      if (sub.name == part) {
        next = &sub;
        break;
      }
    }
    if (!next) return nullptr;
    folder = next;
  }
  return folder;
}

}  // namespace trovex::store
