#include "terminal_front_end.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>

#include "support/native_path.h"
#include "wizard/export_settings.h"
#include "support/utf8.h"

namespace trovex::cli {

std::string TerminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = CharLengthAt(text, i);
    if (byte < 0x20 || byte == 0x7f) {
      out += fmt::format("\\x{:02x}", byte);
    } else if (length == 1 && byte >= 0x80) {
      out += fmt::format("\\x{:02x}", byte);  // not UTF-8
    } else if (byte == 0xc2 && static_cast<unsigned char>(text[i + 1]) < 0xa0) {
      out += fmt::format("\\u{:04x}", static_cast<unsigned char>(text[i + 1]));  // U+0080..U+009F
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  return out;
}

TerminalFrontEnd::TerminalFrontEnd(engine::ExportSettings choices, FileRegistry& registry,
                                   const volatile std::sig_atomic_t& interrupted, std::FILE* out, std::FILE* err)
    : choices_(std::move(choices)),
      registry_(registry),
      interrupted_(interrupted),
      out_(out),
      err_(err),
      showProgress_(isatty(fileno(err)) == 1) {}

TerminalFrontEnd::~TerminalFrontEnd() { ClearBar(); }

void TerminalFrontEnd::SaveFinalSettings() {
  if (run_) choices_.ExtensionList = run_->ExtensionText();
  SaveSettings();
}

void TerminalFrontEnd::SaveSettings() {
  if (wizard::SaveSettings(registry_, choices_) || warnedAboutSettings_) return;
  warnedAboutSettings_ = true;
  ClearBar();
  std::fputs(fmt::format("trovex-export: Warnung: Einstellungen nicht gespeichert ({}): {}\n", registry_.File(),
                         registry_.LastWriteError())
                 .c_str(),
             err_);
}

std::vector<std::string> TerminalFrontEnd::BuildChosenExtensions() {
  if (!choices_.SelectExtensions) return {};
  // In the wizard's order: its list is sorted by extension.
  std::vector<std::string> chosen = engine::ParseExtensionText(choices_.ExtensionList);
  std::sort(chosen.begin(), chosen.end());
  chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
  return chosen;
}

void TerminalFrontEnd::ShowSummary(const std::string& text) {
  ClearBar();
  std::fputs(("\n" + text + "\n").c_str(), out_);
  std::fflush(out_);
}

void TerminalFrontEnd::AppendReportLine(const std::string& line) {
  ClearBar();
  std::fputs(TerminalText(line).c_str(), out_);
  std::fputc('\n', out_);
  DrawBar();
}

void TerminalFrontEnd::SetProgressPosition(int position) {
  position_ = position;
  DrawBar();
}

void TerminalFrontEnd::ProcessPendingMessages() {
  if (!interrupted_ || stopRequested_ || !run_) return;
  // Only a run under way can be stopped. Once it has cleared its flag it is
  // writing its last lines: the run is over, and a click would start the
  // next one.
  if (!run_->State().bExportStarted) return;
  stopRequested_ = true;
  run_->ExportClick();  // the click on "Stopp"
}

std::string TerminalFrontEnd::DisplayPath(const std::string& path) { return NativePath(path).string(); }

void TerminalFrontEnd::DrawBar() {
  if (!showProgress_ || max_ <= 0) return;
  std::fflush(out_);
  constexpr int kWidth = 30;
  const int filled = static_cast<int>(static_cast<long long>(std::min(position_, max_)) * kWidth / max_);
  std::fprintf(err_, "\r[%s%s] %d/%d", std::string(static_cast<size_t>(filled), '#').c_str(),
               std::string(static_cast<size_t>(kWidth - filled), ' ').c_str(), position_, max_);
  std::fflush(err_);
  barShown_ = true;
}

void TerminalFrontEnd::ClearBar() {
  std::fflush(out_);
  if (!barShown_) return;
  std::fputs("\r\033[K", err_);
  barShown_ = false;
}

}  // namespace trovex::cli
