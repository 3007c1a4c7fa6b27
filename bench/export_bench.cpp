// export_bench: how close a full export comes to what the machine can do at
// best (read the store, write the attachment bytes), and how much memory it
// takes. Prints figures; asserts nothing about time.
#include <CLI/CLI.hpp>
#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "bench_support.h"
#include "engine/export_run.h"
#include "outlook/posix/eml_reader.h"
#include "outlook/posix/mail_store_loader.h"
#include "outlook/object_model.h"
#include "outlook/store_binding.h"
#include "support/file_system.h"
#include "wizard/export_settings.h"

namespace {

using namespace trovex;
using namespace trovex::bench;

struct Options {
  int mails = 1000;
  std::string dir;
  int repeat = 3;
  std::uint64_t seed = 1;
  bool keep = false;
  bool breakdown = false;
  std::string only;
  std::vector<unsigned> threads;  // the reader's parse threads; empty: its default
};

// ---------------------------------------------------------------------------
// The generated store

// Two levels, so "include subfolders" has to walk a tree.
constexpr std::array<std::string_view, 4> kFolders = {"Posteingang", "Posteingang/Kunden",
                                                      "Posteingang/Lieferanten", "Archiv"};

struct MailFile {
  fs::path path;
  // Decoded sizes of the attachments this mail carries (0, 1 or 2 of them).
  std::array<std::size_t, 2> attachmentBytes{};
  int attachments = 0;
};

struct Store {
  fs::path root;
  std::vector<MailFile> mails;
  std::size_t fileBytes = 0;
  std::size_t attachments = 0;
  std::size_t documents = 0;
  std::size_t images = 0;
  std::size_t decodedBytes = 0;
};

std::string RandomBytes(Rng& rng, std::size_t size, std::string_view magic) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; i += 8) {
    const std::uint64_t v = rng.Next();
    for (std::size_t b = 0; b < 8 && i + b < size; ++b) bytes[i + b] = static_cast<char>(v >> (8 * b));
  }
  // Real file headers, so anything sniffing content sees the declared type.
  bytes.replace(0, std::min(magic.size(), size), magic.substr(0, size));
  return bytes;
}

// Base64 in 76-character lines, as mailers write it.
void AppendBase64(std::string& out, std::string_view in) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  int column = 0;
  for (std::size_t i = 0; i < in.size(); i += 3) {
    const auto byte = [&](std::size_t k) { return k < in.size() ? static_cast<unsigned char>(in[k]) : 0u; };
    const unsigned v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    out += kAlphabet[v >> 18 & 63];
    out += kAlphabet[v >> 12 & 63];
    out += i + 1 < in.size() ? kAlphabet[v >> 6 & 63] : '=';
    out += i + 2 < in.size() ? kAlphabet[v & 63] : '=';
    if ((column += 4) == 76) {
      out += "\r\n";
      column = 0;
    }
  }
  if (column) out += "\r\n";
}

constexpr std::array<std::string_view, 8> kSenders = {
    "Anna Berger", "Jonas Keller", "Mia Hoffmann", "Lukas Wagner",
    "Lea Schmitt", "Paul Neumann", "Emma Krüger",  "Felix Braun",
};
constexpr std::array<std::string_view, 4> kTopics = {"Angebot", "Rechnung", "Lieferschein", "Protokoll"};

// One mail as Outlook sends it: mixed( related( alternative(text, html),
// inline image ), document ). Every tenth mail is plain text only.
std::string MailText(int index, Rng& rng, MailFile& file) {
  const auto sender = kSenders[static_cast<std::size_t>(index) % kSenders.size()];
  const auto topic = kTopics[static_cast<std::size_t>(index / 3) % kTopics.size()];
  const int day = 1 + index % 28, month = 1 + (index / 28) % 12, hour = index % 24, minute = index % 60;
  const std::string date = fmt::format("{} {} 2024 {:02}:{:02}:00 +0100", day,
                                       std::array{"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug",
                                                  "Sep", "Oct", "Nov", "Dec"}[static_cast<std::size_t>(month - 1)],
                                       hour, minute);
  std::string login(sender.substr(0, sender.find(' ')));
  std::transform(login.begin(), login.end(), login.begin(), [](char c) { return static_cast<char>(c | 0x20); });

  std::string m;
  m.reserve(180 * 1024);
  m += fmt::format(
      "Received: from mx1.example.net by mail.example.org; {}\r\n"
      "From: \"{}\" <{}@example.net>\r\n"
      "To: \"Einkauf\" <einkauf@example.org>\r\n"
      "Subject: {} {:06}\r\n"
      "Date: {}\r\n"
      "Message-ID: <{:06}.bench@example.net>\r\n"
      "MIME-Version: 1.0\r\n",
      date, sender, login, topic, index, date, index);

  const std::string text = fmt::format("Guten Tag,\r\n\r\nanbei {} {:06}.\r\n\r\nMit freundlichen Grüßen\r\n{}\r\n",
                                       topic, index, sender);
  if (index % 10 == 9) {
    m += "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" + text;
    return m;
  }

  const bool pdf = index % 2 == 0;
  const std::string docName = fmt::format("{}_{:06}.{}", topic, index, pdf ? "pdf" : "docx");
  const std::string docType =
      pdf ? "application/pdf" : "application/vnd.openxmlformats-officedocument.wordprocessingml.document";
  const std::string cid = fmt::format("image001.png@01DA{:06}.B1E2C3D4", index);
  const std::string doc = RandomBytes(rng, rng.Between(90 * 1024, 110 * 1024), pdf ? "%PDF-1.7\n" : "PK\x03\x04");
  const std::string image = RandomBytes(rng, rng.Between(18 * 1024, 22 * 1024), "\x89PNG\r\n\x1a\n");
  file.attachmentBytes = {doc.size(), image.size()};
  file.attachments = 2;

  const std::string mixed = fmt::format("=_mixed_{:06}", index), related = fmt::format("=_related_{:06}", index),
                    alternative = fmt::format("=_alt_{:06}", index);
  m += fmt::format("Content-Type: multipart/mixed; boundary=\"{}\"\r\n\r\n", mixed);
  m += fmt::format("--{}\r\nContent-Type: multipart/related; boundary=\"{}\"; type=\"multipart/alternative\"\r\n\r\n",
                   mixed, related);
  m += fmt::format("--{}\r\nContent-Type: multipart/alternative; boundary=\"{}\"\r\n\r\n", related, alternative);
  m += fmt::format("--{}\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n{}",
                   alternative, text);
  m += fmt::format(
      "--{}\r\nContent-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
      "<html><body><p>Guten Tag,</p><p>anbei {} {:06}.</p><p><img src=\"cid:{}\" width=\"120\" "
      "height=\"40\"></p><p>Mit freundlichen Gr&uuml;&szlig;en<br>{}</p></body></html>\r\n",
      alternative, topic, index, cid, sender);
  m += fmt::format("--{}--\r\n", alternative);
  // Outlook names every inline image "image001.png"; the counter keeps them apart.
  m += fmt::format(
      "--{}\r\nContent-Type: image/png; name=\"image001.png\"\r\nContent-Description: image001.png\r\n"
      "Content-Disposition: inline; filename=\"image001.png\"\r\nContent-ID: <{}>\r\n"
      "Content-Transfer-Encoding: base64\r\n\r\n",
      related, cid);
  AppendBase64(m, image);
  m += fmt::format("--{}--\r\n", related);
  m += fmt::format(
      "--{}\r\nContent-Type: {}; name=\"{}\"\r\nContent-Disposition: attachment; filename=\"{}\"\r\n"
      "Content-Transfer-Encoding: base64\r\n\r\n",
      mixed, docType, docName, docName);
  AppendBase64(m, doc);
  m += fmt::format("--{}--\r\n", mixed);
  return m;
}

// Written one mail at a time, so the generator's memory is one mail.
Store GenerateStore(const fs::path& root, int mails, std::uint64_t seed) {
  Store store;
  store.root = root;
  for (const auto folder : kFolders) fs::create_directories(root / folder);
  Rng rng(seed);
  store.mails.reserve(static_cast<std::size_t>(mails));
  for (int i = 0; i < mails; ++i) {
    MailFile file;
    file.path = root / kFolders[static_cast<std::size_t>(i) % kFolders.size()] / fmt::format("{:06}.eml", i);
    const std::string text = MailText(i, rng, file);
    std::ofstream out(file.path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) throw std::runtime_error("cannot write " + file.path.string());
    store.fileBytes += text.size();
    store.attachments += static_cast<std::size_t>(file.attachments);
    if (file.attachments) {
      ++store.documents;
      ++store.images;
    }
    store.decodedBytes += file.attachmentBytes[0] + file.attachmentBytes[1];
    store.mails.push_back(std::move(file));
  }
  return store;
}

// ---------------------------------------------------------------------------
// (a) The machine's limit: read every store file, write the decoded number
// of bytes to one new file per attachment.

struct Phase {
  double wallMs = 0;
  CpuTimes cpu;
};

[[noreturn]] void ThrowErrno(const std::string& what) { throw std::system_error(errno, std::generic_category(), what); }

Phase PhysicalPass(const Store& store, const fs::path& out) {
  std::vector<char> buffer(1 << 20);
  const CpuTimes cpu0 = CpuTimes::Now();
  const auto start = Clock::now();
  fs::create_directory(out);
  std::size_t index = 0;
  for (const auto& mail : store.mails) {
    const int in = ::open(mail.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) ThrowErrno(mail.path.string());
    for (;;) {
      const ssize_t n = ::read(in, buffer.data(), buffer.size());
      if (n < 0) ThrowErrno(mail.path.string());
      if (n == 0) break;
    }
    ::close(in);
    for (int a = 0; a < mail.attachments; ++a) {
      const fs::path target = out / fmt::format("{:06}.bin", index++);
      const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      if (fd < 0) ThrowErrno(target.string());
      const std::size_t size = mail.attachmentBytes[static_cast<std::size_t>(a)];
      for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, buffer.data() + done, size - done);
        if (n < 0) ThrowErrno(target.string());
        done += static_cast<std::size_t>(n);
      }
      ::close(fd);
    }
  }
  return {MillisSince(start), CpuTimes::Now() - cpu0};
}

// ---------------------------------------------------------------------------
// (b) The export, as the CLI runs it.

// The wizard's last page without a window: fixed choices, counted report
// lines, RSS sampled at quarter marks of the progress bar.
class CountingFrontEnd final : public engine::ExportFrontEnd {
 public:
  explicit CountingFrontEnd(wizard::ExportSettings choices) : choices_(std::move(choices)) {}

  wizard::ExportSettings CurrentChoices() override { return choices_; }
  void SaveSettings() override {}
  std::vector<std::string> BuildChosenExtensions() override { return {}; }
  void SetExportButton(const std::string&, bool) override {}
  bool ConfirmStop() override { return false; }
  void ShowSummary(const std::string&) override {}
  void AppendReportLine(const std::string& line) override {
    ++lines_;
    lineBytes_ += line.size();
  }
  void SetProgressMax(int maximum) override { max_ = maximum; }
  void SetProgressPosition(int position) override {
    if (max_ <= 0 || position <= 0) return;
    const int quarter = std::max(1, max_ / 4);
    if (position == 1 || position % quarter == 0 || position == max_) rss_.push_back({position, RssKb()});
  }
  void ShowTarget(const std::string&, const std::string&) override {}
  void ProcessPendingMessages() override {}

  long Lines() const { return lines_; }
  std::size_t LineBytes() const { return lineBytes_; }
  const std::vector<std::pair<int, long>>& RssSamples() const { return rss_; }

 private:
  wizard::ExportSettings choices_;
  long lines_ = 0;
  std::size_t lineBytes_ = 0;
  int max_ = 0;
  std::vector<std::pair<int, long>> rss_;
};

struct ExportResult {
  Phase phase;
  double loadMs = 0;
  long reportLines = 0;
  int exported = 0;
  long rssBeforeKb = 0;
  long rssAfterKb = 0;
  long peakKb = -1;  // VmHWM over the export alone; -1 where it cannot be reset
  std::vector<std::pair<int, long>> rssSamples;
};

// The counter is on: every inline image is "image001.png", as from Outlook.
wizard::ExportSettings Choices(const fs::path& out) {
  wizard::ExportSettings s;
  s.AttachFolder = out.string();
  s.AttachFolderOption = wizard::SubfolderRule::None;
  s.AttachFilenameOption = wizard::FileNameRule::OwnName;
  s.AttachNoOverwrite = true;
  s.AttachExportEmbedded = true;  // inline images too: the same files as (a)
  s.IncludeSubfolders = true;
  return s;
}

ExportResult ExportPass(const fs::path& storeDir, const fs::path& out, unsigned threads) {
  ExportResult r;
  const bool peakReset = ResetPeakRss();
  r.rssBeforeKb = RssKb();
  const CpuTimes cpu0 = CpuTimes::Now();
  const auto start = Clock::now();
  // Loading belongs to the run: the CLI does it every time.
  auto mailStore = std::make_shared<store::MailStore>(store::LoadMailStore(storeDir, {.parseThreads = threads}));
  r.loadMs = MillisSince(start);
  {
    const auto app = store::MakeStoreApplication(std::move(mailStore));
    const auto explorer = app->ActiveExplorer();
    CountingFrontEnd ui(Choices(out));
    engine::ExportRun run(ui, *explorer, RealFileSystem());
    run.ExportClick();
    r.exported = run.State().iCountExported;
    r.reportLines = ui.Lines();
    r.rssSamples = ui.RssSamples();
  }
  r.phase = {MillisSince(start), CpuTimes::Now() - cpu0};
  r.rssAfterKb = RssKb();
  if (peakReset) r.peakKb = PeakRssKb();
  return r;
}

// ---------------------------------------------------------------------------
// Optional breakdown of the export's cost, through the same object model.

struct Breakdown {
  double parseMs = 0;         // every mail parsed, attachments listed
  double parseDecodeMs = 0;   // ... and every attachment decoded to /dev/null
};

template <typename PerAttachment>
double WalkStore(const fs::path& storeDir, PerAttachment perAttachment) {
  const auto start = Clock::now();
  auto mailStore = std::make_shared<store::MailStore>(store::LoadMailStore(storeDir));
  const auto app = store::MakeStoreApplication(mailStore);
  const auto root = app->ActiveExplorer()->CurrentFolder();
  const auto walk = [&](auto& self, outlook::Folder& folder) -> void {
    const auto folders = folder.GetFolders();
    for (int f = 1; f <= folders->Count(); ++f) self(self, *folders->GetItem(f));
    const auto items = folder.GetItems();
    for (int i = 1; i <= items->Count(); ++i) {
      const auto mail = items->GetItem(i)->QueryMailItem();
      if (!mail) continue;
      const auto attachments = mail->GetAttachments();
      for (int a = 1; a <= attachments->Count(); ++a) perAttachment(*attachments->Item(a));
    }
  };
  walk(walk, *root);
  return MillisSince(start);
}

Breakdown MeasureBreakdown(const fs::path& storeDir) {
  Breakdown b;
  b.parseMs = WalkStore(storeDir, [](outlook::Attachment& a) { (void)a.FileName(); });
  b.parseDecodeMs = WalkStore(storeDir, [](outlook::Attachment& a) { a.SaveAsFile("/dev/null"); });
  return b;
}

// ---------------------------------------------------------------------------

struct Tree {
  std::size_t files = 0;
  std::size_t bytes = 0;
};

Tree Scan(const fs::path& dir) {
  Tree t;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    ++t.files;
    t.bytes += entry.file_size();
  }
  return t;
}

// Median of a small sample.
double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string Kb(long kb) { return kb < 0 ? std::string("n/a") : fmt::format("{:.1f} MB", static_cast<double>(kb) / 1024.0); }

int Run(const Options& o) {
  TempDir work("trovex-export-bench-", o.dir.empty() ? fs::path() : fs::path(o.dir));
  if (o.keep) work.Keep();
  const bool spread = SpreadSubdirectories(work.Path());
  const fs::path storeDir = work.Path() / UniqueName("store", work);

  auto start = Clock::now();
  const Store store = GenerateStore(storeDir, o.mails, o.seed);
  const double generateMs = MillisSince(start);
  const long rssAfterGenerateKb = RssKb();

  fmt::print("export_bench: {} mails, {} folders (2 levels), seed {}; export: counter on, embedded on, subfolders on\n",
             o.mails, kFolders.size(), o.seed);
  fmt::print("store        : {:.1f} MB in {} .eml files, {} attachments ({} documents ~100 KB, {} inline images "
             "~20 KB), {:.1f} MB decoded; generated in {:.0f} ms\n",
             Mb(static_cast<double>(store.fileBytes)), store.mails.size(), store.attachments, store.documents,
             store.images, Mb(static_cast<double>(store.decodedBytes)), generateMs);
  fmt::print("work dir     : {} ({}{}){}\n", work.Path().string(), FileSystemType(work.Path()),
             spread ? ", subdirectories spread over block groups" : "", o.keep ? ", kept" : ", removed at exit");
  std::fflush(stdout);

  // Outputs stay until exit: ext4 without a journal scans past every inode
  // freed in the last seconds on each create, so deleting between phases
  // would slow the next phase by the number of files deleted.
  const auto outDir = [&](std::string_view what, int round) {
    return work.Path() / UniqueName(fmt::format("out-{}-{}", what, round), work);
  };

  const bool runPhysical = o.only != "export", runExport = o.only != "physical";

  // Warm-up: page cache, GMime's one-time set-up, the allocator.
  if (runPhysical) PhysicalPass(store, outDir("physical", 0));
  if (runExport)
    for (const unsigned threads : o.threads) ExportPass(storeDir, outDir(fmt::format("export{}t", threads), 0), threads);

  const double probeMicros = CreateProbeMicros(work);

  bool ok = true;
  std::vector<double> physicalMs, physicalUser, physicalSys, loadMs;
  struct ExportFigures {
    std::vector<double> wallMs, userMs, sysMs;
  };
  std::map<unsigned, ExportFigures> exports;  // by parse threads
  ExportResult first;
  long peakKb = -1;
  const auto physicalPhase = [&](int round) {
    const Phase a = PhysicalPass(store, outDir("physical", round));
    physicalMs.push_back(a.wallMs);
    physicalUser.push_back(a.cpu.userMs);
    physicalSys.push_back(a.cpu.sysMs);
    const Tree t = Scan(outDir("physical", round));
    if (t.files != store.attachments || t.bytes != store.decodedBytes) {
      ok = false;
      fmt::print("check FAILED in round {}: (a) wrote {} files / {} B\n", round, t.files, t.bytes);
    }
  };
  const auto exportPhase = [&](int round, unsigned threads) {
    const fs::path out = outDir(fmt::format("export{}t", threads), round);
    const ExportResult b = ExportPass(storeDir, out, threads);
    ExportFigures& figures = exports[threads];
    figures.wallMs.push_back(b.phase.wallMs);
    figures.userMs.push_back(b.phase.cpu.userMs);
    figures.sysMs.push_back(b.phase.cpu.sysMs);
    loadMs.push_back(b.loadMs);
    peakKb = std::max(peakKb, b.peakKb);
    if (round == 1 && threads == o.threads.front()) first = b;
    const Tree t = Scan(out);
    if (t.files != store.attachments || t.bytes != store.decodedBytes ||
        static_cast<std::size_t>(b.exported) != store.attachments) {
      ok = false;
      fmt::print("check FAILED in round {}, {} threads: (b) wrote {} files / {} B, counted {}\n", round, threads,
                 t.files, t.bytes, b.exported);
    }
  };
  for (int round = 1; round <= o.repeat; ++round) {
    // Alternating the order keeps either phase from always following the
    // other; sync first so no dirty pages of the last phase are written back
    // during the next.
    const bool physicalFirst = round % 2 == 1;
    if (runPhysical && physicalFirst) {
      ::sync();
      physicalPhase(round);
    }
    if (runExport) {
      std::vector<unsigned> threads = o.threads;
      if (!physicalFirst) std::reverse(threads.begin(), threads.end());
      for (const unsigned t : threads) {
        ::sync();
        exportPhase(round, t);
      }
    }
    if (runPhysical && !physicalFirst) {
      ::sync();
      physicalPhase(round);
    }
  }

  const double storeMb = Mb(static_cast<double>(store.fileBytes));
  fmt::print("\nwarm page cache (one untimed warm-up round; sync before each timed phase, a fresh output dir each); "
             "{} round{}\n",
             o.repeat, o.repeat == 1 ? "" : "s");
  fmt::print("{:<34} {:>9} {:>9} {:>9} {:>9} {:>10}\n", "phase", "best ms", "median ms", "user ms", "sys ms",
             "store MB/s");
  const auto best = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
  const auto row = [&](std::string_view name, const std::vector<double>& wall, const std::vector<double>& user,
                       const std::vector<double>& sys) {
    if (wall.empty()) return;
    fmt::print("{:<34} {:>9.1f} {:>9.1f} {:>9.1f} {:>9.1f} {:>10.0f}\n", name, best(wall), Median(wall),
               Median(user), Median(sys), storeMb / (best(wall) / 1000.0));
  };
  row("(a) read store + write bytes", physicalMs, physicalUser, physicalSys);
  const auto parseThreads = [](unsigned threads) {
    return fmt::format("{} parse thread{}", threads, threads == 1 ? "" : "s");
  };
  for (const auto& [threads, figures] : exports)
    row("(b) export, " + parseThreads(threads), figures.wallMs, figures.userMs, figures.sysMs);
  if (!loadMs.empty()) fmt::print("{:<34} {:>9.1f}\n", "    of which: load store (names)", best(loadMs));
  const auto rounds = [](const std::vector<double>& v) {
    std::string text;
    for (const double ms : v) text += fmt::format("{}{:.0f}", text.empty() ? "" : " ", ms);
    return text;
  };
  std::string exportRounds;
  for (const auto& [threads, figures] : exports)
    exportRounds += fmt::format(" | (b) {}t: {}", threads, rounds(figures.wallMs));
  fmt::print("    each round, wall ms: (a) {}{}\n", rounds(physicalMs), exportRounds);
  if (physicalMs.size() > 1 && best(physicalMs) * 1.5 < *std::max_element(physicalMs.begin(), physicalMs.end()))
    fmt::print("    (a) varies by more than half between rounds: compare the best figures\n");
  // Healthy file systems create an empty file in 5-30 us.
  fmt::print("    creating an empty file here took {:.0f} us{}\n", probeMicros,
             probeMicros > 100 ? ": SLOW, file creation dominates both phases and the ratio understates the "
                                 "export's own cost (ext4 without journal shortly after mass deletes? wait "
                                 "5 minutes or use --dir on tmpfs)"
                               : "");
  if (runPhysical && runExport) {
    for (const auto& [threads, figures] : exports) {
      const double ratioBest = best(figures.wallMs) / best(physicalMs),
                   ratioMedian = Median(figures.wallMs) / Median(physicalMs);
      fmt::print("ratio (b)/(a), {}: best {:.2f}x, median {:.2f}x  (target <= 2x: {})\n", parseThreads(threads),
                 ratioBest, ratioMedian,
                 std::max(ratioBest, ratioMedian) <= 2.0 ? "met" : ratioBest <= 2.0 ? "met by best only" : "MISSED");
    }
  }

  if (runExport) {
    fmt::print("\nmemory (store {:.1f} MB, largest mail {:.0f} KB)\n", storeMb, [&] {
      std::size_t largest = 0;
      for (const auto& m : store.mails) largest = std::max<std::size_t>(largest, fs::file_size(m.path));
      return static_cast<double>(largest) / 1024.0;
    }());
    fmt::print("  max RSS of the process              : {}\n", Kb(ProcessPeakRssKb()));
    fmt::print("  RSS after generating the store      : {}\n", Kb(rssAfterGenerateKb));
    fmt::print("  export: RSS before / after / peak   : {} / {} / {}{}\n", Kb(first.rssBeforeKb),
               Kb(first.rssAfterKb), Kb(peakKb), peakKb < 0 ? " (clear_refs refused)" : "");
    std::string samples;
    for (const auto& [position, kb] : first.rssSamples)
      samples += fmt::format("{}{}: {}", samples.empty() ? "" : ", ", position, Kb(kb));
    fmt::print("  export: RSS by items examined       : {}\n", samples);
    fmt::print("  export: peak growth over RSS before : {}\n", peakKb < 0 ? "n/a" : Kb(peakKb - first.rssBeforeKb));
  }

  fmt::print("\ncheck: {} files / {:.1f} MB written by each timed phase, {} report lines: {}\n", store.attachments,
             Mb(static_cast<double>(store.decodedBytes)), first.reportLines, ok ? "OK" : "FAIL");

  if (o.breakdown) {
    std::vector<double> parse, decode;
    for (int round = 0; round < o.repeat; ++round) {
      const Breakdown bd = MeasureBreakdown(storeDir);
      parse.push_back(bd.parseMs);
      decode.push_back(bd.parseDecodeMs);
    }
    fmt::print("\nbreakdown, best of {} (same object model, nothing written but to /dev/null)\n", o.repeat);
    fmt::print("  load + parse every mail             : {:>7.1f} ms\n", best(parse));
    fmt::print("  ... + decode every attachment       : {:>7.1f} ms\n", best(decode));
    if (runExport)
      fmt::print("  rest of (b): files, names, report   : {:>7.1f} ms\n",
                 best(exports.at(o.threads.front()).wallMs) - best(decode));
  }
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App cli{"Generates a mail store and times a full attachment export against reading the store and "
               "writing the same bytes; prints store size, both times, their ratio and peak memory.",
               "export_bench"};
  Options o;
  cli.add_option("--mails", o.mails, "mails to generate")->capture_default_str()->check(CLI::PositiveNumber);
  cli.add_option("--dir", o.dir, "parent of the work dir (default: the temp dir)");
  cli.add_option("--repeat", o.repeat, "timed rounds (each keeps its outputs until exit)")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  cli.add_option("--seed", o.seed, "PRNG seed of the generated data")->capture_default_str();
  cli.add_flag("--breakdown", o.breakdown, "also time parsing and decoding alone");
  cli.add_option("--only", o.only, "run one phase only, e.g. under a profiler")
      ->check(CLI::IsMember({"physical", "export"}));
  cli.add_flag("--keep", o.keep, "keep the work dir (store and outputs)");
  cli.add_option("--threads", o.threads,
                 fmt::format("parse threads of the reader to time the export with, e.g. 1,2,3 (default: {}, "
                             "from the machine's cores)",
                             store::DefaultParseThreads()))
      ->delimiter(',')
      ->check(CLI::PositiveNumber);
  CLI11_PARSE(cli, argc, argv);
  if (o.threads.empty()) o.threads.push_back(store::DefaultParseThreads());
  try {
    return Run(o);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "export_bench: %s\n", e.what());
    return 2;
  }
}
