// Runs the trovex-export program as a user would, over the sample store.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <fmt/format.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "testing/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using Files = std::set<std::string>;

const fs::path kSampleStore = fs::path(TROVEX_SOURCE_DIR) / "samples" / "mailstore";

struct Result {
  int exitCode = -1;
  std::string out;  // stdout and stderr together
};

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

Result RunCli(const std::string& args) {
  const std::string cmd = std::string(TROVEX_EXPORT_EXE) + " " + args + " 2>&1";
  Result r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  const int status = pclose(p);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string WithoutStamps(const std::string& s) {
  return std::regex_replace(s, std::regex(R"(\d\d:\d\d:\d\d\.\d\d\d: )"), "@");
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class TrovexExportCli : public ::testing::Test {
 protected:
  // A run with its own settings file and export folder.
  Result Export(const std::string& args, const std::string& out = "out") {
    return RunCli("--settings " + Quote(dir_ / "registry.reg") + " --out " + Quote(dir_ / out) + " " + args);
  }

  Files Written(const std::string& out = "out") const {
    Files files;
    if (!fs::exists(dir_ / out)) return files;
    for (const auto& e : fs::recursive_directory_iterator(dir_ / out))
      if (e.is_regular_file()) files.insert(fs::relative(e.path(), dir_ / out).string());
    return files;
  }

  const trovex::testing::TempDir temp_{"trovex-cli"};
  const fs::path& dir_ = temp_.path();
};

TEST_F(TrovexExportCli, SubfolderRules) {
  const struct {
    std::string rule;
    Files expected;
  } cases[] = {
      {"none",
       {"ATT00001.ics", "Angebot_2024-0117.pdf", "Anmeldeformular.pdf", "Baustelle_KW45.zip",
        "Lieferverzug Auftrag 4711.eml", "Protokoll.txt", "Präsentation März.pdf", "Rahmenvertrag_2023.pdf",
        "Rechnung_RE-2023-0412.pdf", "Vertragsentwurf_v2.docx", "messe-logo.png"}},
      {"subject",
       {"Angebot 2024-0117 Visitenkarten/Angebot_2024-0117.pdf", "Bautagebuch KW 45/Baustelle_KW45.zip",
        "Einladung_ Quartalsgespräch Q1/ATT00001.ics",
        "Frühjahrsmesse 2024_ Anmeldung für Aussteller/Anmeldeformular.pdf",
        "Frühjahrsmesse 2024_ Anmeldung für Aussteller/messe-logo.png",
        "Protokolle der Projektrunden/Protokoll.txt", "Präsentation für den Quartalsbericht/Präsentation März.pdf",
        "Rahmenvertrag 2023 zur Unterschrift/Rahmenvertrag_2023.pdf",
        "Rechnung RE-2023-0412/Rechnung_RE-2023-0412.pdf",
        "Vertragsentwurf Wartungsvertrag, Version 2/Vertragsentwurf_v2.docx",
        "WG_ Lieferverzug Auftrag 4711/Lieferverzug Auftrag 4711.eml"}},
      {"sender-name",
       {"Bauleitung Richter/Baustelle_KW45.zip", "Dr. Sabine Hoffmann/Vertragsentwurf_v2.docx",
        "Einkauf/Lieferverzug Auftrag 4711.eml", "Koch Logistik Buchhaltung/Rechnung_RE-2023-0412.pdf",
        "Koch Logistik Vertrieb/Rahmenvertrag_2023.pdf", "Lindner, Petra/Angebot_2024-0117.pdf",
        "Messe Stuttgart Frühjahrsmesse/Anmeldeformular.pdf", "Messe Stuttgart Frühjahrsmesse/messe-logo.png",
        "Michael Krüger/Präsentation März.pdf", "Thomas Becker/ATT00001.ics",
        "projektbuero@muster-handel.de/Protokoll.txt"}},  // no display name: the address
      {"sender-mail",
       {"bauleitung@bau-richter.example/Baustelle_KW45.zip",
        "buchhaltung@koch-logistik.example/Rechnung_RE-2023-0412.pdf",
        "einkauf@muster-handel.de/Lieferverzug Auftrag 4711.eml", "m.krueger@muster-handel.de/Präsentation März.pdf",
        "newsletter@messe-stuttgart.example/Anmeldeformular.pdf",
        "newsletter@messe-stuttgart.example/messe-logo.png", "projektbuero@muster-handel.de/Protokoll.txt",
        "recht@kanzlei-hoffmann.example/Vertragsentwurf_v2.docx", "thomas.becker@muster-handel.de/ATT00001.ics",
        "vertrieb@druckerei-lindner.de/Angebot_2024-0117.pdf",
        "vertrieb@koch-logistik.example/Rahmenvertrag_2023.pdf"}},
      {"month",
       {"2023-02/Rahmenvertrag_2023.pdf", "2023-05/Rechnung_RE-2023-0412.pdf", "2024-03/Angebot_2024-0117.pdf",
        "2024-04/Anmeldeformular.pdf", "2024-04/messe-logo.png", "2024-06/Präsentation März.pdf",
        "2024-09/Lieferverzug Auftrag 4711.eml", "2024-10/Vertragsentwurf_v2.docx", "2024-11/Baustelle_KW45.zip",
        "2025-01/Protokoll.txt", "2025-02/ATT00001.ics"}},
      {"extension",
       {".DOCX/Vertragsentwurf_v2.docx", ".EML/Lieferverzug Auftrag 4711.eml", ".ICS/ATT00001.ics",
        ".PDF/Angebot_2024-0117.pdf", ".PDF/Anmeldeformular.pdf", ".PDF/Präsentation März.pdf",
        ".PDF/Rahmenvertrag_2023.pdf", ".PDF/Rechnung_RE-2023-0412.pdf", ".PNG/messe-logo.png",
        ".TXT/Protokoll.txt", ".ZIP/Baustelle_KW45.zip"}},
  };
  for (const auto& c : cases) {
    const Result r = Export("--include-subfolders --embedded --name-rule original --no-counter --subfolder-rule " +
                                c.rule,
                            c.rule);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Written(c.rule), c.expected) << c.rule;
    EXPECT_THAT(r.out, HasSubstr("Es wurden insgesamt 12 Dateien exportiert.")) << c.rule;  // Protokoll.txt twice
  }
}

TEST_F(TrovexExportCli, FileNameRules) {
  const struct {
    std::string args;
    Files expected;
  } cases[] = {
      {"--name-rule subject",
       {"Rahmenvertrag 2023 zur Unterschrift_Rahmenvertrag_2023.pdf", "Rechnung RE-2023-0412_Rechnung_RE-2023-0412.pdf"}},
      {"--name-rule sender-name",
       {"Koch Logistik Vertrieb_Rahmenvertrag_2023.pdf", "Koch Logistik Buchhaltung_Rechnung_RE-2023-0412.pdf"}},
      {"--name-rule sender-mail",
       {"vertrieb@koch-logistik.example_Rahmenvertrag_2023.pdf",
        "buchhaltung@koch-logistik.example_Rechnung_RE-2023-0412.pdf"}},
      {"--name-rule pattern --pattern '[ReceivedTime] - [senderNAME]'",
       {"2023-02-10 - Koch Logistik Vertrieb_Rahmenvertrag_2023.pdf",
        "2023-05-22 - Koch Logistik Buchhaltung_Rechnung_RE-2023-0412.pdf"}},
      {"--name-rule -", {"_Rahmenvertrag_2023.pdf", "_Rechnung_RE-2023-0412.pdf"}},  // no rule chosen
  };
  int run = 0;
  for (const auto& c : cases) {
    const std::string out = "out" + std::to_string(run++);
    const Result r = Export("--folder Posteingang/Projekte/Archiv --subfolder-rule none " + c.args, out);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(Written(out), c.expected) << c.args;
  }
}

TEST_F(TrovexExportCli, CounterFilterAndEmbeddedOptions) {
  // Counter off: the second Protokoll.txt of the same mail replaces the first.
  ASSERT_EQ(Export("--folder Posteingang/Projekte --name-rule original --no-counter").exitCode, 0);
  EXPECT_EQ(Written(), (Files{"Baustelle_KW45.zip", "Protokoll.txt", "Vertragsentwurf_v2.docx"}));
  // Counter on, into the same folder again: every file gets the next free number.
  ASSERT_EQ(Export("--folder Posteingang/Projekte --counter").exitCode, 0);
  EXPECT_EQ(Written(), (Files{"Baustelle_KW45.zip", "Baustelle_KW45_1.zip", "Protokoll.txt", "Protokoll_1.txt",
                              "Protokoll_2.txt", "Vertragsentwurf_v2.docx", "Vertragsentwurf_v2_1.docx"}));

  // Only PDF files, and the inline logo of the newsletter only with --embedded.
  ASSERT_EQ(Export("--include-subfolders --extensions pdf,png --no-embedded", "filter").exitCode, 0);
  EXPECT_EQ(Written("filter"), (Files{"Angebot_2024-0117.pdf", "Anmeldeformular.pdf", "Präsentation März.pdf",
                                      "Rahmenvertrag_2023.pdf", "Rechnung_RE-2023-0412.pdf"}));
  ASSERT_EQ(Export("--include-subfolders --embedded", "embedded").exitCode, 0);  // the stored filter stays
  EXPECT_TRUE(Written("embedded").count("messe-logo.png"));
  EXPECT_EQ(Written("embedded").size(), 6u);
}

TEST_F(TrovexExportCli, FilesCarryTheirMailsReceivedTime) {
  ASSERT_EQ(Export("--folder Posteingang/Projekte/Archiv --name-rule original").exitCode, 0);
  struct stat st {};
  ASSERT_EQ(stat((dir_ / "out" / "Rahmenvertrag_2023.pdf").c_str(), &st), 0);
  // Received: ... Fri, 10 Feb 2023 15:47:36 +0100
  std::tm utc{.tm_sec = 36, .tm_min = 47, .tm_hour = 14, .tm_mday = 10, .tm_mon = 1, .tm_year = 123};
  EXPECT_EQ(st.st_mtime, timegm(&utc));
}

TEST_F(TrovexExportCli, ReportOfTheWholeStore) {
  const Result r = Export("--include-subfolders --name-rule original");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const std::string report = WithoutStamps(r.out);
  EXPECT_THAT(report, HasSubstr(std::string(36, '*') + "\nTrovex vom "));
  EXPECT_THAT(report, HasSubstr("\n14 zu überprüfende Mails...\n@mailstore (2) \n"));
  EXPECT_THAT(report, HasSubstr("\n\nUnterordner: Posteingang\n\nUnterordner: Projekte\n\nUnterordner: Archiv\n@Mail "));
  EXPECT_THAT(report, HasSubstr("@Mail \"Bitte um Rückruf\" vom 2024-03-07\n@hat keinen Anhang.\n"));
  EXPECT_THAT(report, HasSubstr("@wird gespeichert unter:\n" + (dir_ / "out").string() + "/Protokoll.txt\n"));
  EXPECT_THAT(report, HasSubstr("@Fertig!\n\nDer Export ist beendet.\n\nEs wurden insgesamt "));
  EXPECT_THAT(r.out, Not(HasSubstr("\r")));  // no progress bar when stderr is not a terminal
}

TEST_F(TrovexExportCli, ChoicesAreStoredAndBecomeTheDefaults) {
  ASSERT_EQ(Export("--subfolder-rule month --name-rule subject --counter --extensions docx,PDF").exitCode, 0);
  const std::string stored = ReadAll(dir_ / "registry.reg");
  EXPECT_THAT(stored, HasSubstr("\"AttachFolderOption\"=\"000010\""));
  EXPECT_THAT(stored, HasSubstr("\"AttachFilenameOption\"=\"01000\""));
  EXPECT_THAT(stored, HasSubstr("\"AttachNoOverwrite\"=dword:00000001"));
  EXPECT_THAT(stored, HasSubstr("\"SelectExtensions\"=dword:00000001"));
  EXPECT_THAT(stored, HasSubstr("\"ExtensionList\"=\".DOCX;.PDF;\""));

  // A run without options takes them from the stored settings.
  const Result r = RunCli("--settings " + Quote(dir_ / "registry.reg") +
                          " --folder Posteingang/Projekte/Archiv");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(Written(), (Files{"2023-02/Rahmenvertrag 2023 zur Unterschrift_Rahmenvertrag_2023.pdf",
                              "2023-05/Rechnung RE-2023-0412_Rechnung_RE-2023-0412.pdf"}));
}

TEST_F(TrovexExportCli, DamagedSettingsAreReportedAndKept) {
  const std::string damaged = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\nkaputt\n";
  std::ofstream(dir_ / "registry.reg") << damaged;
  const Result r = Export("");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_THAT(r.out, HasSubstr((dir_ / "registry.reg").string()));
  EXPECT_EQ(ReadAll(dir_ / "registry.reg"), damaged);
  EXPECT_TRUE(Written().empty());
}

TEST_F(TrovexExportCli, UnwritableSettingsWarnButTheExportRuns) {
  std::ofstream(dir_ / "kein-ordner") << "a file where the settings folder should be";
  const Result r = RunCli("--settings " + Quote(dir_ / "kein-ordner" / "registry.reg") + " --out " +
                          Quote(dir_ / "out") + " --folder Posteingang/Projekte/Archiv");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_THAT(r.out, HasSubstr("Warnung: Einstellungen nicht gespeichert"));
  EXPECT_EQ(Written().size(), 2u);
}

TEST_F(TrovexExportCli, ErrorEndsTheRunWithAClearMessage) {
  // A folder where the file should go: the save fails and ends the run.
  fs::create_directories(dir_ / "out" / "Rahmenvertrag_2023.pdf");
  const Result r = Export("--folder Posteingang/Projekte/Archiv --name-rule original --no-counter");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_THAT(r.out, HasSubstr("Fehler: Die Anlage kann nicht gespeichert werden."));
  EXPECT_THAT(r.out, Not(HasSubstr("Fertig!")));
}

TEST_F(TrovexExportCli, BadInputGivesAClearErrorAndANonZeroExit) {
  std::ofstream(dir_ / "datei.txt") << "x";
  const struct {
    std::string args, message;
  } cases[] = {
      {"--store " + Quote(dir_ / "fehlt"), (dir_ / "fehlt").string()},         // store missing
      {"--store " + Quote(dir_ / "datei.txt"), (dir_ / "datei.txt").string()},  // store is a file
      {"--folder Gibt/Es/Nicht", "Gibt/Es/Nicht"},
      {"--subfolder-rule betreff", "betreff"},
      {"--unbekannt", "--unbekannt"},
  };
  for (const auto& c : cases) {
    const Result r = Export(c.args);
    EXPECT_EQ(r.exitCode, 2) << c.args;
    EXPECT_THAT(r.out, HasSubstr(c.message)) << c.args;
  }
  EXPECT_TRUE(Written().empty());
}

// A mail file with one attachment of `bytes`, the subject given raw.
void WriteMail(const fs::path& file, const std::string& subject, const std::string& attachmentName, size_t bytes) {
  std::string body;
  for (size_t i = 0; i < (bytes + 2) / 3; ++i) body += (i + 1) % 19 == 0 ? "QUJD\n" : "QUJD";  // "ABC"
  std::ofstream(file, std::ios::binary)
      << "From: Erika <erika@example.com>\nSubject: " << subject
      << "\nDate: Tue, 05 Mar 2024 09:13:58 +0100\nMIME-Version: 1.0\n"
         "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/plain\n\nText\n--b\n"
         "Content-Type: application/pdf; name=\""
      << attachmentName << "\"\nContent-Disposition: attachment; filename=\"" << attachmentName
      << "\"\nContent-Transfer-Encoding: base64\n\n"
      << body << "\n--b--\n";
}

TEST_F(TrovexExportCli, ControlCharactersOfMailsReachTheTerminalEscaped) {
  // ESC ] 0 ; ... BEL retitles a terminal, ESC [ 2 K erases the line,
  // ESC [ 1 A moves up; U+009B is the one-character CSI.
  const std::string subject = "Rechnung\x1b]0;gehackt\x07\x1b[2K\x1b[1A \xc2\x9b" "2J";
  fs::create_directories(dir_ / "store");
  // RFC 2047 keeps the bytes intact through the header parser.
  std::string encoded;
  for (unsigned char c : subject) encoded += fmt::format("={:02X}", c);
  WriteMail(dir_ / "store" / "a.eml", "=?utf-8?Q?" + encoded + "?=", "a.pdf", 10);
  const Result r = Export("--store " + Quote(dir_ / "store") + " --name-rule subject");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_THAT(r.out, HasSubstr("Mail \"Rechnung\\x1b]0;gehackt\\x07\\x1b[2K\\x1b[1A \\u009b2J\" vom"));
  EXPECT_EQ(r.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(r.out.find('\x07'), std::string::npos);
  EXPECT_EQ(r.out.find("\xc2\x9b"), std::string::npos);
  // The file's name was safe already: controls became "_".
  EXPECT_EQ(Written().size(), 1u);
}

TEST_F(TrovexExportCli, ReportShowsPathsAsTheShellTakesThem) {
  fs::create_directories(dir_ / "out");
  std::ofstream(dir_ / "out" / "Koch Logistik Vertrieb") << "a file where the folder should go";
  const Result r = Export("--folder Posteingang/Projekte/Archiv --subfolder-rule sender-name --name-rule original");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const std::string out = (dir_ / "out").string();
  const std::string report = WithoutStamps(r.out);
  EXPECT_THAT(report, HasSubstr("@wird gespeichert unter:\n" + out +
                                "/Koch Logistik Buchhaltung/Rechnung_RE-2023-0412.pdf\n"));
  EXPECT_THAT(report, HasSubstr("@Ordner konnte nicht erstellt werden: " + out + "/Koch Logistik Vertrieb/\n"));
  EXPECT_THAT(report, Not(HasSubstr("\\")));
}

// Runs the program with files limited to `maxFileBytes`: a write beyond
// fails as on a full disk (EFBIG instead of ENOSPC).
Result RunWithFileSizeLimit(const std::vector<std::string>& args, rlim_t maxFileBytes) {
  int pipeFd[2];
  if (pipe(pipeFd) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFd[1], STDOUT_FILENO);
    dup2(pipeFd[1], STDERR_FILENO);
    close(pipeFd[0]);
    const rlimit limit{maxFileBytes, maxFileBytes};
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, SIG_IGN);  // kept across exec: the write fails instead
    std::vector<char*> argv{const_cast<char*>(TROVEX_EXPORT_EXE)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(TROVEX_EXPORT_EXE, argv.data());
    _exit(127);
  }
  close(pipeFd[1]);
  Result r;
  std::array<char, 4096> buf{};
  for (ssize_t n; (n = read(pipeFd[0], buf.data(), buf.size())) > 0;) r.out.append(buf.data(), static_cast<size_t>(n));
  close(pipeFd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST_F(TrovexExportCli, FailedWriteLeavesNoTruncatedFile) {
  fs::create_directories(dir_ / "store");
  fs::create_directories(dir_ / "out");
  WriteMail(dir_ / "store" / "1.eml", "klein", "klein.pdf", 1000);
  WriteMail(dir_ / "store" / "2.eml", "gross", "Angebot 5.pdf", 200 * 1024);
  WriteMail(dir_ / "store" / "3.eml", "gross", "Bericht.pdf", 200 * 1024);
  const std::vector<std::string> args = {"--store", (dir_ / "store").string(), "--out", (dir_ / "out").string(),
                                         "--settings", (dir_ / "registry.reg").string(), "--name-rule", "original",
                                         "--no-counter"};
  // The file that the failing save was to replace stays as it was.
  std::ofstream(dir_ / "out" / "Angebot 5.pdf") << "vorher";
  Result r = RunWithFileSizeLimit(args, 64 * 1024);
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_THAT(r.out, HasSubstr("Fehler: "));
  EXPECT_EQ(Written(), (Files{"Angebot 5.pdf", "klein.pdf"}));  // no temporary file either
  EXPECT_EQ(ReadAll(dir_ / "out" / "Angebot 5.pdf"), "vorher");

  // A new file that cannot be written whole is not there at all.
  fs::remove(dir_ / "store" / "2.eml");
  r = RunWithFileSizeLimit(args, 64 * 1024);
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_EQ(Written(), (Files{"Angebot 5.pdf", "klein.pdf"}));
}

TEST_F(TrovexExportCli, CtrlCStopsAfterTheMailUnderWay) {
  // A store large enough that the run is still going when the signal comes.
  const fs::path store = dir_ / "store";
  fs::create_directories(store);
  const fs::path mail = kSampleStore / "Posteingang" / "2024-03-05 Angebot Druckerei.eml";
  for (int i = 0; i < 3000; ++i) fs::copy_file(mail, store / ("m" + std::to_string(10000 + i) + ".eml"));

  int pipeFd[2];
  ASSERT_EQ(pipe(pipeFd), 0);
  const std::string settings = (dir_ / "registry.reg").string(), out = (dir_ / "out").string(),
                    storeArg = store.string();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFd[1], STDOUT_FILENO);
    dup2(pipeFd[1], STDERR_FILENO);
    close(pipeFd[0]);
    execl(TROVEX_EXPORT_EXE, TROVEX_EXPORT_EXE, "--store", storeArg.c_str(), "--out", out.c_str(), "--settings",
          settings.c_str(), "--counter", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFd[1]);
  std::string output;
  std::array<char, 4096> buf{};
  bool signalled = false;
  for (ssize_t n; (n = read(pipeFd[0], buf.data(), buf.size())) > 0;) {
    output.append(buf.data(), static_cast<size_t>(n));
    if (!signalled && output.find("wird gespeichert unter:") != std::string::npos) {
      kill(pid, SIGINT);
      signalled = true;
    }
  }
  close(pipeFd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << output;
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::string report = WithoutStamps(output);
  EXPECT_THAT(report, HasSubstr("@Abgebrochen...\n"));
  EXPECT_THAT(report, HasSubstr("@Fertig!\n\nDer Export ist beendet."));
  // The summary counts exactly the files written, fewer than the store holds.
  const std::smatch m = [&] {
    std::smatch match;
    std::regex_search(report, match, std::regex("insgesamt (\\d+) Dateien"));
    return match;
  }();
  ASSERT_EQ(m.size(), 2u);
  const size_t written = std::stoul(m[1]);
  EXPECT_EQ(written, std::distance(fs::directory_iterator(dir_ / "out"), fs::directory_iterator()));
  EXPECT_LT(written, 3000u);
  EXPECT_GE(written, 1u);
}

}  // namespace
