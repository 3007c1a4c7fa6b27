#include "outlook/posix/mail_store_loader.h"

#include <fmt/format.h>
#include <glib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "outlook/posix/eml_reader.h"
#include "outlook/posix/gobject_ptr.h"

namespace trovex::store {
namespace {

namespace fs = std::filesystem;

struct NodeId {
  dev_t device;
  ino_t inode;
  bool operator==(const NodeId&) const = default;
};

struct Entry {
  std::string name;
  fs::path path;
  bool directory;
  NodeId id;
};

bool IsHidden(std::string_view name) { return !name.empty() && name.front() == '.'; }

// File names on disk are bytes; the object model shows UTF-8.
std::string DisplayName(const std::string& raw) {
  if (g_utf8_validate(raw.data(), static_cast<gssize>(raw.size()), nullptr)) return raw;
  return GCharPtr(g_utf8_make_valid(raw.data(), static_cast<gssize>(raw.size()))).get();
}

[[noreturn]] void ThrowUnreadable(const fs::path& path, const std::string& reason) {
  throw StoreError(fmt::format("Ordner \"{}\" kann nicht gelesen werden: {}", path.string(), reason));
}

// The directories and regular files of `dir` in byte order of their names,
// symlinks resolved. Dangling links, sockets, FIFOs and devices hold no mail
// (and opening a FIFO would block), so they are left out.
std::vector<Entry> ListDirectory(const fs::path& dir) {
  std::vector<Entry> entries;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& path = it->path();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
      if (errno == ENOENT || errno == ELOOP) continue;
      ThrowUnreadable(dir, fmt::format("\"{}\": {}", path.filename().string(), std::strerror(errno)));
    }
    if (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode)) continue;
    entries.push_back(
        Entry{path.filename().string(), path, S_ISDIR(info.st_mode), NodeId{info.st_dev, info.st_ino}});
  }
  if (ec) ThrowUnreadable(dir, ec.message());
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return entries;
}

const Entry* FindDirectory(const std::vector<Entry>& entries, std::string_view name) {
  for (const auto& entry : entries)
    if (entry.directory && entry.name == name) return &entry;
  return nullptr;
}

bool IsMaildir(const std::vector<Entry>& entries) {
  return FindDirectory(entries, "cur") && FindDirectory(entries, "new");
}

std::string LowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

StoreItem FileItem(const Entry& entry) {
  const size_t dot = entry.name.rfind('.');
  const std::string extension =
      dot == std::string::npos ? std::string() : LowerAscii(DisplayName(entry.name.substr(dot + 1)));
  StoreItem item{.name = DisplayName(entry.name)};
  if (extension == "eml") {
    item.messageClass = "IPM.Note";
    item.file = entry.path;
  } else if (extension == "ics") {
    item.messageClass = "IPM.Appointment";
  } else if (extension == "vcf") {
    item.messageClass = "IPM.Contact";
  } else {
    item.messageClass = extension.empty() ? "IPM.Document" : "IPM.Document." + extension;
  }
  return item;
}

// Dovecot and Courier store Maildir++ folder names in IMAP's modified UTF-7
// ("Entw&APw-rfe" for "Entwürfe"). nullopt when `name` is not in that form,
// i.e. the server wrote UTF-8 as it stands.
std::optional<std::string> DecodeModifiedUtf7(std::string_view name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c > 0x7e) return std::nullopt;
    if (c != '&') {
      out += static_cast<char>(c);
      continue;
    }
    const size_t end = name.find('-', i + 1);
    if (end == std::string_view::npos) return std::nullopt;
    if (end == i + 1) {
      out += '&';
      i = end;
      continue;
    }
    std::u16string units;
    unsigned bits = 0;
    int bitCount = 0;
    for (size_t j = i + 1; j < end; ++j) {
      static constexpr std::string_view kAlphabet =
          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";
      const size_t value = kAlphabet.find(name[j]);
      if (value == std::string_view::npos) return std::nullopt;
      bits = (bits << 6 | static_cast<unsigned>(value)) & 0xffffff;
      bitCount += 6;
      if (bitCount >= 16) {
        bitCount -= 16;
        units += static_cast<char16_t>(bits >> bitCount & 0xffff);
      }
    }
    if (units.empty() || bitCount >= 6 || (bits & ((1u << bitCount) - 1)) != 0) return std::nullopt;
    const GCharPtr utf8(g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(units.data()),
                                        static_cast<glong>(units.size()), nullptr, nullptr, nullptr));
    if (!utf8) return std::nullopt;
    out += utf8.get();
    i = end;
  }
  return out;
}

class Loader {
 public:
  StoreFolder LoadFolder(const fs::path& dir, std::string name, NodeId id) {
    ancestors_.push_back(id);
    StoreFolder folder{.name = std::move(name)};
    const auto entries = ListDirectory(dir);
    if (IsMaildir(entries)) {
      LoadMaildir(entries, folder, true);
    } else {
      for (const auto& entry : entries) {
        if (IsHidden(entry.name)) continue;
        if (!entry.directory) {
          folder.items.push_back(FileItem(entry));
        } else if (!IsAncestor(entry.id)) {
          folder.folders.push_back(LoadFolder(entry.path, DisplayName(entry.name), entry.id));
        }
      }
    }
    ancestors_.pop_back();
    return folder;
  }

 private:
  // A Maildir++ folder, and the folders named below it (".A.B" is B in A).
  struct PlusFolder {
    const Entry* entry = nullptr;
    std::map<std::string, PlusFolder> children;
  };

  // Items are the messages of cur/ and new/; tmp/ holds deliveries in
  // progress. `plusFolders`: at the top of a Maildir, where its ".Name"
  // folders live; below it dot-entries are just hidden.
  void LoadMaildir(const std::vector<Entry>& entries, StoreFolder& folder, bool plusFolders) {
    for (const char* sub : {"cur", "new"}) {
      const Entry* dir = FindDirectory(entries, sub);
      if (!dir) continue;
      for (const auto& file : ListDirectory(dir->path)) {
        if (!file.directory && !IsHidden(file.name))
          folder.items.push_back(
              StoreItem{.name = DisplayName(file.name), .messageClass = "IPM.Note", .file = file.path});
      }
    }
    std::stable_sort(folder.items.begin(), folder.items.end(), [](const StoreItem& a, const StoreItem& b) {
      return a.file.filename() < b.file.filename();
    });

    PlusFolder plus;
    for (const auto& entry : entries) {
      if (!entry.directory || IsAncestor(entry.id)) continue;
      if (!IsHidden(entry.name)) {
        if (entry.name != "cur" && entry.name != "new" && entry.name != "tmp")
          folder.folders.push_back(LoadFolder(entry.path, DisplayName(entry.name), entry.id));
      } else if (plusFolders) {
        PlusFolder* node = &plus;
        std::string_view rest = std::string_view(entry.name).substr(1);
        while (!rest.empty()) {
          const size_t dot = rest.find('.');
          const std::string_view part = rest.substr(0, dot);
          rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
          if (!part.empty()) node = &node->children[std::string(part)];
        }
        if (node != &plus) node->entry = &entry;
      }
    }
    AddPlusFolders(plus, folder);
    std::stable_sort(folder.folders.begin(), folder.folders.end(),
                     [](const StoreFolder& a, const StoreFolder& b) { return a.name < b.name; });
  }

  void AddPlusFolders(const PlusFolder& parent, StoreFolder& folder) {
    for (const auto& [rawName, node] : parent.children) {
      StoreFolder child{.name = DecodeModifiedUtf7(rawName).value_or(DisplayName(rawName))};
      if (node.entry) {
        // Git and some tools drop empty dirs, so a Maildir++ folder may lack
        // new/ or cur/; it is a Maildir by where it lies.
        ancestors_.push_back(node.entry->id);
        LoadMaildir(ListDirectory(node.entry->path), child, false);
        ancestors_.pop_back();
      }
      AddPlusFolders(node, child);
      std::stable_sort(child.folders.begin(), child.folders.end(),
                       [](const StoreFolder& a, const StoreFolder& b) { return a.name < b.name; });
      folder.folders.push_back(std::move(child));
    }
  }

  // Symlinks may point back up the tree; such a folder would never end.
  bool IsAncestor(NodeId id) const {
    return std::find(ancestors_.begin(), ancestors_.end(), id) != ancestors_.end();
  }

  std::vector<NodeId> ancestors_;
};

// The mail files in the order an export of `folder` asks for them: the
// folder's own items first; below it, each subfolder's subfolders before
// its items.
void AppendExportOrder(const StoreFolder& folder, bool top, bool subfolders, std::vector<fs::path>& order) {
  const auto items = [&] {
    for (const StoreItem& item : folder.items)
      if (!item.file.empty()) order.push_back(item.file);
  };
  if (top) items();
  if (subfolders)
    for (const StoreFolder& sub : folder.folders) AppendExportOrder(sub, false, true, order);
  if (!top) items();
}

}  // namespace

MailStore LoadMailStore(const fs::path& directory, const ExportScope& scope) {
  struct stat info {};
  if (::stat(directory.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      throw StoreError(fmt::format("Mailspeicher \"{}\" nicht gefunden", directory.string()));
    throw StoreError(fmt::format("Mailspeicher \"{}\" kann nicht gelesen werden: {}", directory.string(),
                                 std::strerror(errno)));
  }
  if (!S_ISDIR(info.st_mode))
    throw StoreError(fmt::format("Mailspeicher \"{}\" ist kein Verzeichnis", directory.string()));

  std::error_code ec;
  fs::path root = fs::canonical(directory, ec);
  if (ec) root = fs::absolute(directory).lexically_normal();
  std::string name = root.filename().string();
  if (name.empty()) name = root.string();

  MailStore store;
  store.root = Loader().LoadFolder(root, DisplayName(name), NodeId{info.st_dev, info.st_ino});
  std::vector<fs::path> order;
  if (const StoreFolder* folder = FindFolder(store.root, scope.folder))
    AppendExportOrder(*folder, true, scope.includeSubfolders, order);
  store.reader = MakeEmlFileReader(std::move(order), scope.parseThreads);
  return store;
}

}  // namespace trovex::store
