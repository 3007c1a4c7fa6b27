#include "outlook/posix/mail_store_loader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <thread>

#include "support/posix/unique_fd.h"
#include "testing/temp_dir.h"

namespace trovex::store {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testing::TempDir;

// Creates `relative` below `dir` with its parent directories; a trailing "/"
// makes a directory.
void Add(const TempDir& dir, const std::string& relative) {
  const fs::path full = dir.path() / relative;
  if (relative.ends_with('/')) {
    fs::create_directories(full);
  } else {
    fs::create_directories(full.parent_path());
    std::ofstream(full) << "Subject: x\n\nx\n";
  }
}

// One line per folder ("A/B/") followed by its items ("A/B/name class"), in
// store order; an item that is read as a mail is marked "+file". The root
// shows as "/" when `root` is empty.
void Dump(const StoreFolder& folder, const std::string& path, std::string& out) {
  out += path + "/\n";
  for (const auto& item : folder.items)
    out += path + "/" + item.name + " " + item.messageClass + (item.file.empty() ? "" : " +file") + "\n";
  for (const auto& sub : folder.folders) Dump(sub, path + "/" + sub.name, out);
}

std::string Dump(const MailStore& store, const std::string& root) {
  std::string out = "\n";
  Dump(store.root, root, out);
  return out;
}

TEST(LoaderTest, SampleStoreIsTheFolderTreeOnDisk) {
  // Trailing slash on purpose: the root is still named after the directory.
  const MailStore store = LoadMailStore(fs::path(TROVEX_SOURCE_DIR) / "samples" / "mailstore" / "");
  ASSERT_NE(store.reader, nullptr);
  EXPECT_EQ(store.root.name, "mailstore");
  EXPECT_EQ(Dump(store, "mailstore"), R"(
mailstore/
mailstore/2025-01-08 Jahresauftakt.eml IPM.Note +file
mailstore/2025-02-03 Einladung Quartalsgespraech.eml IPM.Note +file
mailstore/Kalender/
mailstore/Kalender/kontakt.vcf IPM.Contact
mailstore/Kalender/termin.ics IPM.Appointment
mailstore/Posteingang/
mailstore/Posteingang/2024-03-05 Angebot Druckerei.eml IPM.Note +file
mailstore/Posteingang/2024-03-07 Rueckruf.eml IPM.Note +file
mailstore/Posteingang/2024-04-12 Newsletter Fruehjahrsmesse.eml IPM.Note +file
mailstore/Posteingang/2024-06-20 Praesentation Maerz.eml IPM.Note +file
mailstore/Posteingang/2024-09-02 WG Lieferverzug.eml IPM.Note +file
mailstore/Posteingang/Projekte/
mailstore/Posteingang/Projekte/2024-10-15 Vertragsentwurf.eml IPM.Note +file
mailstore/Posteingang/Projekte/2024-11-04 Fotos Baustelle.eml IPM.Note +file
mailstore/Posteingang/Projekte/2025-01-20 Protokolle.eml IPM.Note +file
mailstore/Posteingang/Projekte/Archiv/
mailstore/Posteingang/Projekte/Archiv/2023-02-10 Rahmenvertrag.eml IPM.Note +file
mailstore/Posteingang/Projekte/Archiv/2023-05-22 Rechnung.eml IPM.Note +file
)");
  const StoreFolder* archive = FindFolder(store.root, "Posteingang/Projekte/Archiv");
  ASSERT_NE(archive, nullptr);
  EXPECT_TRUE(archive->items[0].file.is_absolute());
  EXPECT_TRUE(fs::is_regular_file(archive->items[0].file));
}

TEST(LoaderTest, RootNamedAfterTheResolvedDirectory) {
  const TempDir dir;
  Add(dir, "Postfach/");
  const fs::path previous = fs::current_path();
  fs::current_path(dir.path() / "Postfach");
  std::string name;
  try {
    name = LoadMailStore(".").root.name;
  } catch (...) {
    fs::current_path(previous);
    throw;
  }
  fs::current_path(previous);
  EXPECT_EQ(name, "Postfach");
}

TEST(LoaderTest, SortsBytewiseSkipsHiddenAndClassifiesByExtension) {
  const TempDir dir;
  // "Ärger" sorts after ASCII (UTF-8 lead byte 0xC3); case never matters
  // for the extension.
  for (const char* entry : {"B.eml", "a.eml", "_x.eml", "MAIL.EML", "Z/", "b/", "Ärger/", "termin.ICS",
                            "karte.vcf", "Bericht.PDF", "archiv.tar.gz", "README", "punkt.", ".hidden.eml",
                            ".git/", "b/.DS_Store", "b/inner.eml"})
    Add(dir, entry);
  fs::create_directory_symlink(dir.path() / "b", dir.path() / "link-to-b");  // followed
  fs::create_directory_symlink(dir.path(), dir.path() / "b" / "loop");       // back to an ancestor
  fs::create_symlink(dir.path() / "missing.eml", dir.path() / "dangling.eml");
  ASSERT_EQ(::mkfifo((dir.path() / "fifo.eml").c_str(), 0600), 0);  // would block a reader

  EXPECT_EQ(Dump(LoadMailStore(dir.path()), ""), R"(
/
/B.eml IPM.Note +file
/Bericht.PDF IPM.Document.pdf
/MAIL.EML IPM.Note +file
/README IPM.Document
/_x.eml IPM.Note +file
/a.eml IPM.Note +file
/archiv.tar.gz IPM.Document.gz
/karte.vcf IPM.Contact
/punkt. IPM.Document
/termin.ICS IPM.Appointment
/Z/
/b/
/b/inner.eml IPM.Note +file
/link-to-b/
/link-to-b/inner.eml IPM.Note +file
/Ärger/
)");
}

TEST(LoaderTest, MaildirFoldersAndMaildirPlusPlusNesting) {
  const TempDir dir;
  for (const char* entry : {
           "cur/1700000002.M2P1.host:2,S", "cur/.hidden", "new/1700000001.M1P1.host",
           "new/1700000003.M3P1.host",
           "tmp/1700000004.M4P1.host",  // delivery in progress
           "maildirfolder", "dovecot-uidlist", "notes.txt",
           ".Sent/cur/1600000000.M0P1.host:2,S",  // no new/: Git drops empty dirs
           ".Sent.2024/new/1650000000.M0P1.host",
           ".Projekte.Alt.Tief/cur/1500000000.M0P1.host:2,",  // "Projekte" and "Alt" exist only as parents
           ".Entw&APw-rfe/cur/1400000000.M0P1.host:2,D",      // modified UTF-7, as Dovecot writes it
           ".R&D/cur/x",                                      // a plain "&" is kept
           "Ablage/nested.eml", "Ablage/notiz.txt",           // an ordinary folder inside the Maildir
       })
    Add(dir, entry);

  EXPECT_EQ(Dump(LoadMailStore(dir.path()), ""), R"(
/
/1700000001.M1P1.host IPM.Note +file
/1700000002.M2P1.host:2,S IPM.Note +file
/1700000003.M3P1.host IPM.Note +file
/Ablage/
/Ablage/nested.eml IPM.Note +file
/Ablage/notiz.txt IPM.Document.txt
/Entwürfe/
/Entwürfe/1400000000.M0P1.host:2,D IPM.Note +file
/Projekte/
/Projekte/Alt/
/Projekte/Alt/Tief/
/Projekte/Alt/Tief/1500000000.M0P1.host:2, IPM.Note +file
/R&D/
/R&D/x IPM.Note +file
/Sent/
/Sent/1600000000.M0P1.host:2,S IPM.Note +file
/Sent/2024/
/Sent/2024/1650000000.M0P1.host IPM.Note +file
)");
}

TEST(LoaderTest, CorpusMaildir) {
  const MailStore store = LoadMailStore(fs::path(TROVEX_CORPUS_DIR) / "maildir" / "built-permissive");
  EXPECT_EQ(store.root.name, "built-permissive");
  EXPECT_EQ(Dump(store, ""), R"(
/
/1704103260.M0P4242.example!2,S IPM.Note +file
/1704103320.M1P4242.example IPM.Note +file
/1704103380.M2P4242.example!2,RS IPM.Note +file
/Archive/
/Archive/1704103440.M0P4242.example!2,S IPM.Note +file
/Archive/1704103500.M1P4242.example!2,FS IPM.Note +file
/Archive/1704103560.M2P4242.example!2,S IPM.Note +file
/Archive/2024/
/Archive/2024/1704103620.M0P4242.example!2,S IPM.Note +file
/Archive/2024/1704103680.M1P4242.example IPM.Note +file
/Trash/
/Trash/1704103740.M0P4242.example!2,ST IPM.Note +file
)");
}

TEST(LoaderTest, ErrorsNameThePathAndTheReason) {
  const TempDir dir;
  Add(dir, "datei.eml");
  const struct {
    fs::path path;
    std::string message;
  } cases[] = {
      {dir.path() / "fehlt", "Mailspeicher \"" + (dir.path() / "fehlt").string() + "\" nicht gefunden"},
      {dir.path() / "datei.eml",
       "Mailspeicher \"" + (dir.path() / "datei.eml").string() + "\" ist kein Verzeichnis"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    try {
      LoadMailStore(c.path);
      ADD_FAILURE() << "no StoreError";
    } catch (const StoreError& e) {
      EXPECT_EQ(e.what(), c.message);
    }
  }
}

TEST(LoaderTest, UnreadableSubfolderIsAnError) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root reads every directory, so permissions cannot make one unreadable";
  const TempDir dir;
  Add(dir, "Posteingang/Privat/a.eml");
  const fs::path locked = fs::canonical(dir.path()) / "Posteingang" / "Privat";
  fs::permissions(locked, fs::perms::none);
  try {
    LoadMailStore(dir.path());
    ADD_FAILURE() << "an unreadable folder was dropped silently";
  } catch (const StoreError& e) {
    EXPECT_THAT(e.what(),
                HasSubstr("Ordner \"" + locked.string() + "\" kann nicht gelesen werden: Permission denied"));
  }
  fs::permissions(locked, fs::perms::owner_all);
}

// The files below a folder tree that anyone opens from now on, as the
// kernel reports them; folders are not counted.
class OpenedFiles {
 public:
  explicit OpenedFiles(const fs::path& root) : root_(root), fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    Watch(root);
    for (const auto& entry : fs::recursive_directory_iterator(root))
      if (entry.is_directory()) Watch(entry.path());
  }

  // Relative paths, each once.
  std::set<std::string> Take() {
    std::set<std::string> names;
    alignas(inotify_event) char buffer[64 * 1024];
    for (ssize_t n; (n = ::read(fd_.Get(), buffer, sizeof buffer)) > 0;) {
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (!(event->mask & IN_ISDIR) && event->len > 0)
          names.insert((folders_.at(event->wd) / event->name).lexically_relative(root_).string());
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return names;
  }

 private:
  void Watch(const fs::path& dir) {
    const int wd = ::inotify_add_watch(fd_.Get(), dir.c_str(), IN_OPEN);
    if (wd < 0) throw std::system_error(errno, std::generic_category(), dir.string());
    folders_[wd] = dir;
  }

  fs::path root_;
  UniqueFd fd_;
  std::map<int, fs::path> folders_;
};

// As an export reads them; the pause after each stands for the export's
// work on the mail, during which the reader's threads get ahead.
void ReadMails(const MailStore& store, const StoreFolder& folder, bool subfolders) {
  for (const StoreItem& item : folder.items) {
    if (item.file.empty()) continue;
    store.reader->Read(item.file);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (subfolders)
    for (const StoreFolder& sub : folder.folders) ReadMails(store, sub, true);
}

// The reader parses ahead in the export's order: the files it opens are
// those of the folders exported, and no others.
TEST(LoaderTest, ReadingAheadOpensOnlyTheExportedFolders) {
  TempDir dir;
  std::map<std::string, std::set<std::string>> files;  // by folder
  const auto add = [&](const std::string& folder, int count) {
    for (int i = 0; i < count; ++i) {
      const std::string name = (folder.empty() ? "" : folder + "/") + "m" + std::to_string(i) + ".eml";
      Add(dir, name);
      files[folder].insert(name);
    }
  };
  add("", 3);
  add("A", 10);
  add("A/Sub", 3);
  add("B", 5);
  const auto of = [&](std::initializer_list<const char*> folders) {
    std::set<std::string> all;
    for (const char* folder : folders) all.insert(files[folder].begin(), files[folder].end());
    return all;
  };
  const struct {
    const char* folder;
    bool subfolders;
    std::set<std::string> opened;
  } cases[] = {
      {"A", false, of({"A"})},
      {"A", true, of({"A", "A/Sub"})},
      {"A/Sub", false, of({"A/Sub"})},
      {"", false, of({""})},
      {"", true, of({"", "A", "A/Sub", "B"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("folder \"") + c.folder + (c.subfolders ? "\" with subfolders" : "\""));
    OpenedFiles opened(dir.path());
    {
      const MailStore store = LoadMailStore(dir.path(), {.folder = c.folder, .includeSubfolders = c.subfolders});
      ReadMails(store, *FindFolder(store.root, c.folder), c.subfolders);
    }  // the reader's threads end with it
    EXPECT_EQ(opened.Take(), c.opened);
  }
}

}  // namespace
}  // namespace trovex::store
