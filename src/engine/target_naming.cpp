#include "engine/target_naming.h"

#include <fmt/format.h>

#include <array>
#include <vector>

#include "support/text_utils.h"
#include "support/utf8.h"

namespace trovex::engine {
namespace {


bool IsFolderNameCharacter(char c) {
  switch (c) {
    case '\t': case '"': case '*': case '/': case ':': case '<': case '>': case '?': case '|':
      return true;
    default:
      return false;
  }
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

void TrimBlanks(std::string& s) {
  size_t end = s.size();
  while (end > 0 && IsBlankOrControl(s[end - 1])) --end;
  size_t begin = 0;
  while (begin < end && IsBlankOrControl(s[begin])) ++begin;
  s = s.substr(begin, end - begin);
}

// Windows strips trailing dots and blanks from every path segment, so a
// name ending in them would be written under another name or not at all.
void TrimTrailingDotsAndBlanks(std::string& s) {
  while (!s.empty() && (s.back() == '.' || IsBlankOrControl(s.back()))) s.pop_back();
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9 name devices on Windows, with any
// extension; such a segment gets "_" after its stem.
void AvoidDeviceName(std::string& segment) {
  const size_t dot = segment.find('.');
  std::string stem = ToUpperUtf8(std::string_view(segment).substr(0, dot));
  TrimTrailingDotsAndBlanks(stem);
  static constexpr std::array<std::string_view, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
  bool reserved = false;
  for (auto r : kPlain) reserved = reserved || stem == r;
  if (stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1' && stem[3] <= '9')
    reserved = true;
  if (reserved) segment.insert(dot == std::string::npos ? segment.size() : dot, 1, '_');
}

std::string CleanSegment(std::string segment, NameLimit limit, bool keepExtension) {
  TrimBlanks(segment);
  TrimTrailingDotsAndBlanks(segment);
  if (segment.empty()) return segment;
  AvoidDeviceName(segment);
  if (NameLength(segment, limit.unit) <= limit.max) return segment;
  // The cut may end in a blank or a dot again.
  segment = FitName(segment, limit, keepExtension);
  TrimTrailingDotsAndBlanks(segment);
  return segment;
}

// stem + "_k" + ext within the limit; the counter itself is never cut, so
// every k gives a name of its own.
std::string WithCounter(std::string_view stem, std::string_view ext, int k, NameLimit limit) {
  const std::string counter = fmt::format("_{}", k);  // ASCII: bytes and units alike
  const std::size_t extLength = NameLength(ext, limit.unit);
  if (counter.size() + extLength < limit.max)
    return FitName(stem, {limit.unit, limit.max - counter.size() - extLength}, false) + counter + std::string(ext);
  // An extension that leaves no room: the counter ends the cut name.
  return FitName(std::string(stem).append(ext), {limit.unit, limit.max - counter.size()}, false) + counter;
}

std::string YearMonth(outlook::OleDate date) {
  const CivilTime t = OleDateToCivil(date);
  return fmt::format("{:04}-{:02}", t.year, t.month);
}

}  // namespace

std::string SanitizeName(std::string_view text, bool forFolder, NameLimit limit) {
  std::string s(text);
  for (char& c : s)
    if (IsFolderNameCharacter(c) || (!forFolder && c == '\\')) c = '_';
  while (!s.empty() && s.back() == '.') s.pop_back();
  TrimBlanks(s);
  // Control characters cannot stand inside Windows names either.
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 32) c = '_';

  if (forFolder) {
    // Each segment on its own: empty ones and ones made of dots ("..")
    // vanish, so a name can nest folders but never climb out of the export
    // folder or start at a root.
    std::string out;
    size_t start = 0;
    while (start <= s.size()) {
      const size_t end = std::min(s.find('\\', start), s.size());
      const std::string segment = CleanSegment(s.substr(start, end - start), limit, false);
      if (!segment.empty()) {
        if (!out.empty()) out += '\\';
        out += segment;
      }
      start = end + 1;
    }
    return out;
  }

  if (CodePointCount(s) > kMaxFileNameLength) s = TruncateCodePoints(s, kMaxFileNameLength);
  return CleanSegment(std::move(s), limit, true);
}

std::string_view ExtensionOf(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : fileName.substr(dot);
}

std::string TargetNaming::SubfolderName(const TMailData& mail, const ExportSettings& choices) const {
  std::string raw;
  switch (choices.AttachFolderOption.value_or(SubfolderRule::None)) {
    case SubfolderRule::Subject: raw = mail.Subject; break;
    case SubfolderRule::SenderName: raw = mail.SenderName; break;
    case SubfolderRule::SenderMail: raw = mail.SenderMail; break;
    case SubfolderRule::ReceivedMonth: raw = YearMonth(mail.ReceivedTime); break;
    case SubfolderRule::None:
    case SubfolderRule::Extension: break;
  }
  return SanitizeName(raw, true, limit_);
}

std::string TargetNaming::FileNameFor(const TMailData& mail, std::string_view ownName,
                                      const ExportSettings& choices) const {
  if (!choices.AttachFilenameOption) return SanitizeName(std::string(1, '_').append(ownName), false, limit_);
  std::string base;
  switch (*choices.AttachFilenameOption) {
    case FileNameRule::OwnName: return SanitizeName(ownName, false, limit_);
    case FileNameRule::Subject: base = mail.Subject; break;
    case FileNameRule::SenderName: base = mail.SenderName; break;
    case FileNameRule::SenderMail: base = mail.SenderMail; break;
    case FileNameRule::Pattern: {
      // One token after another: a value put in place is itself searched
      // for the later tokens.
      const CivilTime today = now_();
      const std::string values[] = {
          mail.SenderName, mail.SenderMail, mail.ReceiverName, mail.ReceiverMail, mail.Subject,
          FormatIsoDate(OleDateToCivil(mail.ReceivedTime)), fmt::format("{:04}-{:02}", today.year, today.month),
      };
      base = choices.FilnamePrefix;
      for (size_t i = 0; i < std::size(PlaceholderTokens); ++i)
        base = ReplaceText(base, PlaceholderTokens[i], values[i], false);
      break;
    }
  }
  return SanitizeName(base + "_" + std::string(ownName), false, limit_);
}

std::string TargetNaming::TargetFileName(const TMailData& mail, const std::string& folder, std::string_view ownName,
                                         const ExportSettings& choices) {
  std::string name = FileNameFor(mail, ownName, choices);
  // An attachment named "." or ".." has nothing left; it still needs a file.
  if (name.empty()) name = "Anhang";
  if (choices.AttachNoOverwrite) name = UniqueFileName(folder, name);
  return name;
}

std::string TargetNaming::UniqueFileName(const std::string& folder, const std::string& name) {
  if (!fs_.FileExists(folder + name)) return name;
  const std::string_view ext = ExtensionOf(name);
  const std::string_view stem = std::string_view(name).substr(0, name.size() - ext.size());
  int& last = lastCounter_[folder + '\0' + name];
  // Numbers handed out before are taken (only this run writes here), so
  // the search goes on after the last one.
  for (int k = last + 1;; ++k) {
    std::string candidate = WithCounter(stem, ext, k, limit_);
    if (!fs_.FileExists(folder + candidate)) {
      last = k;
      return candidate;
    }
  }
}

std::string TargetNaming::PreviewName(const TMailData& mail, const ExportSettings& choices, int randomDigit) const {
  std::string folder = SubfolderName(mail, choices);
  if (!folder.ends_with('\\')) folder += '\\';
  if (choices.AttachFolderOption == SubfolderRule::Extension) folder += ".PDF\\";
  std::string name = FileNameFor(mail, "beispiel", choices);
  if (choices.AttachNoOverwrite) name += fmt::format("_{}", randomDigit);
  return folder + name + ".pdf";
}

}  // namespace trovex::engine
