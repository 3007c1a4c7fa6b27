// trovex-export: exports the attachments of a folder (and its subfolders) of
// our own mail store, with the same choices, naming and report as the
// Outlook add-in's wizard. Choices not given on the command line come from
// the stored settings; the choices of a run are stored again.
#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>

#include "engine/export_run.h"
#include "engine/export_settings.h"
#include "outlook/posix/mail_store_loader.h"
#include "outlook/store_binding.h"
#include "support/known_folders.h"
#include "support/posix/file_registry.h"
#include "terminal_front_end.h"
#include "wizard/export_settings.h"

namespace {

using namespace trovex;
using engine::ExportSettings;
using engine::FileNameRule;
using engine::SubfolderRule;

constexpr int kExitError = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitStopped = 130;  // as a shell reports a job ended by Ctrl-C

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) { gInterrupted = 1; }

// Ctrl-C asks the run to stop after the mail under way; a second Ctrl-C
// ends the program at once (the handler resets itself).
void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

const std::map<std::string, SubfolderRule> kSubfolderRules = {
    {"none", SubfolderRule::None},           {"subject", SubfolderRule::Subject},
    {"sender-name", SubfolderRule::SenderName}, {"sender-mail", SubfolderRule::SenderMail},
    {"month", SubfolderRule::ReceivedMonth}, {"extension", SubfolderRule::Extension},
};
const std::map<std::string, FileNameRule> kFileNameRules = {
    {"original", FileNameRule::OwnName},       {"subject", FileNameRule::Subject},
    {"sender-name", FileNameRule::SenderName}, {"pattern", FileNameRule::Pattern},
    {"sender-mail", FileNameRule::SenderMail},
};

struct Options {
  std::string storeDir = TROVEX_SAMPLE_STORE;
  std::string folderPath;
  std::string settingsFile;
  std::optional<std::string> out;
  std::optional<std::string> subfolderRule;
  std::optional<std::string> nameRule;
  std::optional<std::string> pattern;
  std::optional<bool> counter;
  std::optional<std::string> extensions;
  std::optional<bool> embedded;
  bool includeSubfolders = false;
};

void ApplyOptions(const Options& o, ExportSettings& s) {
  s.IncludeSubfolders = o.includeSubfolders;
  if (o.out) s.AttachFolder = std::filesystem::absolute(*o.out).lexically_normal().string();
  if (o.subfolderRule) {
    if (*o.subfolderRule == "-") s.AttachFolderOption.reset();
    else s.AttachFolderOption = kSubfolderRules.at(*o.subfolderRule);
  }
  if (o.nameRule) {
    if (*o.nameRule == "-") s.AttachFilenameOption.reset();
    else s.AttachFilenameOption = kFileNameRules.at(*o.nameRule);
  }
  if (o.pattern) s.FilnamePrefix = *o.pattern;
  if (o.counter) s.AttachNoOverwrite = *o.counter;
  if (o.embedded) s.AttachExportEmbedded = *o.embedded;
  if (o.extensions) {
    s.SelectExtensions = *o.extensions != "all";
    if (s.SelectExtensions) {
      std::string text = *o.extensions;
      std::replace(text.begin(), text.end(), ',', ';');
      s.ExtensionList = engine::ExtensionText(engine::ParseExtensionText(text));
    }
  }
}

int Run(const Options& options) {
  auto store = std::make_shared<store::MailStore>(store::LoadMailStore(
      options.storeDir, {.folder = options.folderPath, .includeSubfolders = options.includeSubfolders}));
  const store::StoreFolder* current = store::FindFolder(store->root, options.folderPath);
  if (!current) {
    std::cerr << fmt::format("trovex-export: Ordner \"{}\" gibt es im Mailspeicher \"{}\" nicht.\n",
                             options.folderPath, options.storeDir);
    return kExitBadInput;
  }

  FileRegistry registry(options.settingsFile.empty() ? DefaultRegistryFile() : options.settingsFile);
  ExportSettings settings = wizard::LoadSettings(registry, PersonalFolder);
  ApplyOptions(options, settings);

  const auto app = store::MakeStoreApplication(store, current);
  const auto explorer = app->ActiveExplorer();
  cli::TerminalFrontEnd ui(settings, registry, gInterrupted);
  engine::ExportRun run(ui, *explorer, RealFileSystem());
  ui.Attach(run);
  InstallInterruptHandler();

  int exitCode = 0;
  try {
    run.ExportClick();
    if (ui.StopRequested()) exitCode = kExitStopped;
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::cerr << "trovex-export: Fehler: " << cli::TerminalText(e.what()) << '\n';
    exitCode = kExitError;
  }
  ui.SaveFinalSettings();
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App cli{"Speichert die Anhänge der E-Mails eines Ordners (und seiner Unterordner) in einen Ordner auf der "
               "Festplatte.",
               "trovex-export"};
  Options o;
  cli.add_option("--store", o.storeDir, "Mailspeicher: Ordnerbaum mit .eml-Dateien oder Maildir")
      ->capture_default_str();
  cli.add_option("--folder", o.folderPath, "Ordner im Mailspeicher, z. B. Posteingang/Projekte (Standard: oberster)");
  cli.add_flag("--include-subfolders", o.includeSubfolders, "auch alle Unterordner exportieren");
  cli.add_option("--out", o.out, "Exportordner (Standard: gespeicherte Einstellung, sonst Dokumente)");
  std::vector<std::string> subfolderNames{"-"}, fileNames{"-"};
  for (const auto& [name, rule] : kSubfolderRules) subfolderNames.push_back(name);
  for (const auto& [name, rule] : kFileNameRules) fileNames.push_back(name);
  cli.add_option("--subfolder-rule", o.subfolderRule,
                 "weiterer Unterordner: none, subject, sender-name, sender-mail, month (Jahr-Monat), extension "
                 "(je Dateiendung); - für keine Wahl")
      ->check(CLI::IsMember(subfolderNames));
  cli.add_option("--name-rule", o.nameRule,
                 "Dateiname: original, subject, sender-name, sender-mail, pattern (siehe --pattern); - für keine "
                 "Wahl (\"_\" vor dem Namen)")
      ->check(CLI::IsMember(fileNames));
  cli.add_option("--pattern", o.pattern,
                 "eigener Dateiname mit Platzhaltern [SenderName] [SenderMail] [ReceiverName] [ReceiverMail] "
                 "[Subject] [ReceivedTime] [ActualDate(yyyy-mm)]");
  cli.add_flag("--counter,!--no-counter", o.counter,
               "vorhandene Dateien nie überschreiben, sondern Zähler hinzufügen");
  cli.add_option("--extensions", o.extensions,
                 "nur Anhänge mit diesen Dateiendungen, z. B. pdf,docx; all für alle Anhänge");
  cli.add_flag("--embedded,!--no-embedded", o.embedded, "auch in die E-Mail eingebettete Anhänge exportieren");
  cli.add_option("--settings", o.settingsFile, "Einstellungsdatei (Standard: " + DefaultRegistryFile() + ")");
  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return cli.exit(e) == 0 ? 0 : kExitBadInput;  // --help is a success
  }

  try {
    return Run(o);
  } catch (const store::StoreError& e) {
    std::cerr << "trovex-export: " << e.what() << '\n';
    return kExitBadInput;
  } catch (const RegistryError& e) {
    std::cerr << "trovex-export: " << e.what() << '\n';
    return kExitBadInput;
  } catch (const std::exception& e) {
    std::cerr << "trovex-export: Fehler: " << cli::TerminalText(e.what()) << '\n';
    return kExitError;
  }
}
