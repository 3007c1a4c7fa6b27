#include "support/posix/file_registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fmt/format.h>
#include <optional>
#include <system_error>
#include <vector>

#include "support/posix/known_folders.h"
#include "support/posix/unique_fd.h"
#include "support/utf8.h"

namespace trovex {

namespace {

enum class ValueKind { String, Dword, Raw };

struct StoredValue {
  ValueKind kind = ValueKind::String;
  // String: the text. Raw: a "hex...:" form as written, kept for writing it
  // back unchanged (expandable strings, binary data, ...).
  std::string text;
  std::uint32_t dword = 0;

  bool operator==(const StoredValue&) const = default;
};

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";

struct NamedValue {
  std::string name;
  StoredValue value;
};

struct Key {
  int root = 0;
  std::string path;  // components joined by "\", as first written
  std::vector<NamedValue> values;
};

// The keys of all hives.
using Keys = std::vector<Key>;

constexpr std::array<std::string_view, 3> kRootNames = {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                                        "HKEY_CLASSES_ROOT"};

bool ValidRoot(RegistryRoot root) {
  const int r = static_cast<int>(root);
  return r >= 1 && r <= static_cast<int>(kRootNames.size());
}

std::string_view RootName(int root) { return kRootNames[static_cast<std::size_t>(root - 1)]; }

// Empty components ("a\\b", a leading "\") are dropped.
std::vector<std::string> Components(std::string_view path) {
  std::vector<std::string> parts;
  while (!path.empty()) {
    const std::size_t p = path.find('\\');
    if (p != 0) parts.emplace_back(path.substr(0, p));
    if (p == std::string_view::npos) break;
    path.remove_prefix(p + 1);
  }
  return parts;
}

std::string JoinComponents(const std::vector<std::string>& parts, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) out += '\\';
    out += parts[i];
  }
  return out;
}

Key* FindKey(Keys& keys, int root, std::string_view path) {
  for (Key& k : keys) {
    if (k.root == root && EqualsIgnoreCase(k.path, path)) return &k;
  }
  return nullptr;
}

NamedValue* FindValue(Key& key, std::string_view name) {
  for (NamedValue& v : key.values) {
    if (EqualsIgnoreCase(v.name, name)) return &v;
  }
  return nullptr;
}

// Finds or creates the key and every missing parent, as RegCreateKeyEx
// does; a new component takes the case of its parent's stored path.
Key& EnsureKey(Keys& keys, int root, std::string_view path) {
  const std::vector<std::string> parts = Components(path);
  std::string stored;
  for (std::size_t n = parts.empty() ? 0 : 1; n <= parts.size(); ++n) {
    const std::string wanted = JoinComponents(parts, n);
    if (Key* k = FindKey(keys, root, wanted)) {
      stored = k->path;
    } else {
      stored = n <= 1 ? wanted : stored + '\\' + parts[n - 1];
      keys.push_back({root, stored, {}});
    }
  }
  return *FindKey(keys, root, stored);
}

// ---- UTF-16LE, for hex(1) strings and files saved by regedit itself.

std::string Utf8FromUtf16(const std::vector<std::uint16_t>& units) {
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::vector<std::uint16_t> Utf16FromUtf8(std::string_view s) {
  const std::string valid = ValidUtf8(s);
  std::vector<std::uint16_t> units;
  for (std::size_t i = 0; i < valid.size();) {
    const auto b0 = static_cast<unsigned char>(valid[i]);
    const std::size_t len = CharLengthAt(valid, i);
    char32_t cp = len == 1 ? b0 : len == 2 ? (b0 & 0x1Fu) : len == 3 ? (b0 & 0x0Fu) : (b0 & 0x07u);
    for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(valid[i + k]) & 0x3Fu);
    i += len;
    if (cp >= 0x10000) {
      units.push_back(static_cast<std::uint16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      units.push_back(static_cast<std::uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<std::uint16_t>(cp));
    }
  }
  return units;
}

// ---- Reading

struct ParseError {
  std::size_t line;
  std::string reason;
};

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A quoted string at s[pos] == '"'; leaves pos after the closing quote.
std::string ParseQuoted(std::string_view s, std::size_t& pos, std::size_t line) {
  std::string out;
  for (++pos; pos < s.size(); ++pos) {
    const char c = s[pos];
    if (c == '"') {
      ++pos;
      return out;
    }
    if (c == '\\') {
      if (pos + 1 >= s.size() || (s[pos + 1] != '\\' && s[pos + 1] != '"')) {
        throw ParseError{line, "ungültige Escape-Sequenz"};
      }
      out += s[++pos];
    } else {
      out += c;
    }
  }
  throw ParseError{line, "schließendes Anführungszeichen fehlt"};
}

struct Lines {
  std::vector<std::string_view> text;
  std::size_t next = 0;  // index of the next unread line
};

// "hex:..." or "hex(N):..." with "\" continuation lines; `data` starts at
// "hex". Returns the kind and the bytes.
StoredValue ParseHex(std::string_view data, Lines& lines, std::size_t line) {
  std::size_t pos = 3;
  int type = 3;  // REG_BINARY
  if (pos < data.size() && data[pos] == '(') {
    const std::size_t close = data.find(')', pos);
    if (close == std::string_view::npos || close == pos + 1 || close > pos + 9) {
      throw ParseError{line, "ungültiger Werttyp"};
    }
    type = 0;
    for (std::size_t i = pos + 1; i < close; ++i) {
      const int d = HexDigit(data[i]);
      if (d < 0) throw ParseError{line, "ungültiger Werttyp"};
      type = type * 16 + d;
    }
    pos = close + 1;
  }
  if (pos >= data.size() || data[pos] != ':') throw ParseError{line, "ungültiger Werttyp"};
  const std::string_view typeText = data.substr(0, pos + 1);
  std::string list(TrimBlanks(data.substr(pos + 1)));
  while (!list.empty() && list.back() == '\\') {
    list.pop_back();
    if (lines.next >= lines.text.size()) throw ParseError{line, "Fortsetzungszeile fehlt"};
    list += TrimBlanks(lines.text[lines.next++]);
  }
  std::vector<std::uint8_t> bytes;
  std::string_view rest = list;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view item = TrimBlanks(rest.substr(0, comma));
    if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) {
      throw ParseError{line, "ungültige Hex-Daten"};
    }
    bytes.push_back(static_cast<std::uint8_t>(HexDigit(item[0]) * 16 + HexDigit(item[1])));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
    if (rest.empty()) throw ParseError{line, "ungültige Hex-Daten"};
  }
  if (type == 1 && bytes.size() % 2 == 0) {  // REG_SZ
    std::vector<std::uint16_t> units;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
      units.push_back(static_cast<std::uint16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    if (!units.empty() && units.back() == 0) units.pop_back();
    return {ValueKind::String, Utf8FromUtf16(units), 0};
  }
  std::string raw(typeText);
  for (std::size_t i = 0; i < bytes.size(); ++i) raw += fmt::format("{}{:02x}", i ? "," : "", bytes[i]);
  return {ValueKind::Raw, raw, 0};
}

StoredValue ParseData(std::string_view data, Lines& lines, std::size_t line) {
  if (data.starts_with('"')) {
    std::size_t pos = 0;
    std::string text = ParseQuoted(data, pos, line);
    if (!TrimBlanks(data.substr(pos)).empty()) throw ParseError{line, "unerwartete Zeichen nach dem Wert"};
    return {ValueKind::String, std::move(text), 0};
  }
  if (StartsWithNoCase(data, "dword:")) {
    const std::string_view digits = TrimBlanks(data.substr(6));
    if (digits.empty() || digits.size() > 8) throw ParseError{line, "ungültiger DWORD-Wert"};
    std::uint32_t v = 0;
    for (char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) throw ParseError{line, "ungültiger DWORD-Wert"};
      v = v * 16 + static_cast<std::uint32_t>(d);
    }
    return {ValueKind::Dword, {}, v};
  }
  if (StartsWithNoCase(data, "hex")) return ParseHex(data, lines, line);
  throw ParseError{line, "ungültiger Wert"};
}

std::string DecodeFileText(std::string bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return bytes.substr(3);
  if (bytes.starts_with("\xFF\xFE")) {  // regedit's own export
    std::vector<std::uint16_t> units;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      units.push_back(static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return Utf8FromUtf16(units);
  }
  return bytes;
}

Keys Parse(std::string_view text) {
  Lines lines;
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    std::string_view l = text.substr(0, nl);
    if (l.ends_with('\r')) l.remove_suffix(1);
    lines.text.push_back(l);
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
  Keys keys;
  if (std::all_of(lines.text.begin(), lines.text.end(), [](std::string_view l) { return TrimBlanks(l).empty(); })) {
    return keys;  // an empty file holds no settings
  }
  if (TrimBlanks(lines.text[0]) != kHeader) throw ParseError{1, "keine Registrierungsdatei (Kopfzeile fehlt)"};
  lines.next = 1;
  Key* current = nullptr;
  while (lines.next < lines.text.size()) {
    const std::size_t line = ++lines.next;  // 1-based number of this line
    const std::string_view s = TrimBlanks(lines.text[line - 1]);
    if (s.empty() || s.starts_with(';')) continue;
    if (s.starts_with('[')) {
      if (!s.ends_with(']')) throw ParseError{line, "ungültiger Schlüssel"};
      const std::string_view inner = s.substr(1, s.size() - 2);
      const std::string_view hiveName = inner.substr(0, inner.find('\\'));
      int root = 0;
      for (std::size_t i = 0; i < kRootNames.size(); ++i) {
        if (EqualsIgnoreCase(hiveName, kRootNames[i])) root = static_cast<int>(i) + 1;
      }
      if (root == 0) throw ParseError{line, "unbekannter Registrierungszweig"};
      const std::string_view path = inner.substr(hiveName.size());
      current = &EnsureKey(keys, root, path);
      continue;
    }
    if (!s.starts_with('"') && !s.starts_with('@')) throw ParseError{line, "ungültige Zeile"};
    if (!current) throw ParseError{line, "Wert vor dem ersten Schlüssel"};
    std::size_t pos = 0;
    std::string name;
    if (s[0] == '@') {
      pos = 1;
    } else {
      name = ParseQuoted(s, pos, line);
    }
    const std::string_view afterName = TrimBlanks(s.substr(pos));
    if (!afterName.starts_with('=')) throw ParseError{line, "\"=\" fehlt"};
    StoredValue value = ParseData(TrimBlanks(afterName.substr(1)), lines, line);
    if (NamedValue* existing = FindValue(*current, name)) {
      existing->value = std::move(value);
    } else {
      current->values.push_back({std::move(name), std::move(value)});
    }
  }
  return keys;
}

// ---- Writing

std::string Quoted(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

std::string DataText(const StoredValue& v) {
  switch (v.kind) {
    case ValueKind::Dword:
      return fmt::format("dword:{:08x}", v.dword);
    case ValueKind::Raw:
      return v.text;
    case ValueKind::String:
      break;
  }
  // A line break cannot stand in a quoted value; regedit's form for such a
  // string is its UTF-16 bytes.
  if (v.text.find_first_of("\r\n") == std::string::npos) return Quoted(v.text);
  std::vector<std::uint16_t> units = Utf16FromUtf8(v.text);
  units.push_back(0);
  std::string out = "hex(1):";
  for (std::size_t i = 0; i < units.size(); ++i) {
    out += fmt::format("{}{:02x},{:02x}", i ? "," : "", units[i] & 0xFF, units[i] >> 8);
  }
  return out;
}

std::string Serialize(Keys keys) {
  // Tree order, parents before their children, as regedit exports.
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    if (a.root != b.root) return a.root < b.root;
    std::vector<std::string> pa = Components(ToUpperUtf8(a.path));
    std::vector<std::string> pb = Components(ToUpperUtf8(b.path));
    return pa < pb;
  });
  std::string out = fmt::format("{}\n\n", kHeader);
  for (const Key& k : keys) {
    out += fmt::format("[{}{}{}]\n", RootName(k.root), k.path.empty() ? "" : "\\", k.path);
    for (const NamedValue& v : k.values) {
      out += fmt::format("{}={}\n", v.name.empty() ? "@" : Quoted(v.name), DataText(v.value));
    }
    out += '\n';
  }
  return out;
}

std::error_code LastErrno() { return {errno, std::generic_category()}; }

// Reads the whole file; nullopt when there is none.
std::optional<std::string> ReadFileBytes(const std::string& file) {
  UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) {
    // A parent that is a file (ENOTDIR) means there is no file either.
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    throw std::system_error(LastErrno());
  }
  std::string bytes;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(LastErrno());
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

Keys LoadKeys(const std::string& file) {
  std::optional<std::string> bytes;
  try {
    bytes = ReadFileBytes(file);
  } catch (const std::system_error& e) {
    throw RegistryError(
        fmt::format("Die Einstellungsdatei \"{}\" kann nicht gelesen werden: {}", file, e.code().message()));
  }
  if (!bytes) return {};
  try {
    return Parse(DecodeFileText(std::move(*bytes)));
  } catch (const ParseError& e) {
    throw RegistryError(fmt::format("Die Einstellungsdatei \"{}\" ist beschädigt, Zeile {}: {}", file, e.line,
                                    e.reason));
  }
}

// Writes `text` to a new file beside `target` and renames it over the
// target, so that readers see the old or the new file, never a part.
std::error_code ReplaceFile(const std::string& file, const std::string& text) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path target(file);
  // A linked settings file (dotfile managers) stays linked.
  if (fs::is_symlink(target, ec)) {
    fs::path resolved = fs::weakly_canonical(target, ec);
    if (ec) return ec;
    target = resolved;
  }
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  fs::create_directories(dir, ec);
  if (ec) return ec;

  static std::atomic<unsigned> counter = 0;
  std::string temp;
  int rawFd = -1;
  for (int attempt = 0; attempt < 100 && rawFd < 0; ++attempt) {
    temp = fmt::format("{}.{}.{}.tmp", target.string(), ::getpid(), counter.fetch_add(1));
    rawFd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (rawFd < 0 && errno != EEXIST) return LastErrno();
  }
  if (rawFd < 0) return std::make_error_code(std::errc::file_exists);
  UniqueFd fd(rawFd);
  struct TempGuard {
    const std::string& path;
    bool keep = false;
    ~TempGuard() {
      if (!keep) ::unlink(path.c_str());
    }
  } guard{temp};

  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) ::fchmod(fd.Get(), old.st_mode & 07777);
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd.Get(), text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return LastErrno();
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd.Get()) != 0 || fd.Close() != 0) return LastErrno();
  if (::rename(temp.c_str(), target.c_str()) != 0) return LastErrno();
  guard.keep = true;
  // The rename itself becomes durable with the directory.
  UniqueFd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd) ::fsync(dirFd.Get());
  return {};
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

std::string KeyPath(std::string_view key) {
  const std::vector<std::string> parts = Components(key);
  return JoinComponents(parts, parts.size());
}

NamedValue* FindStored(Keys& keys, RegistryRoot root, std::string_view key, std::string_view name) {
  Key* k = FindKey(keys, static_cast<int>(root), KeyPath(key));
  return k ? FindValue(*k, name) : nullptr;
}

bool StoreKeys(const std::string& file, std::string& error, Keys keys) {
  if (const std::error_code ec = ReplaceFile(file, Serialize(std::move(keys)))) {
    error = fmt::format("Die Einstellungsdatei \"{}\" konnte nicht geschrieben werden: {}", file, ec.message());
    return false;
  }
  return true;
}

bool WriteValue(const std::string& file, std::string& error, RegistryRoot root, std::string_view key,
                std::string_view name, const StoredValue& value) {
  Keys keys = LoadKeys(file);
  error.clear();
  if (!ValidRoot(root)) {
    error = fmt::format("Unbekannter Registrierungszweig {}", static_cast<int>(root));
    return false;
  }
  if (HasLineBreak(key) || HasLineBreak(name)) {
    error = "Schlüssel- und Wertnamen dürfen keinen Zeilenumbruch enthalten";
    return false;
  }
  Key& k = EnsureKey(keys, static_cast<int>(root), key);
  if (NamedValue* existing = FindValue(k, name)) {
    if (existing->value == value) return true;
    existing->value = value;
  } else {
    k.values.push_back({std::string(name), value});
  }
  return StoreKeys(file, error, std::move(keys));
}

// The key itself or one below it, compared component by component.
bool InSubtree(const Key& k, int root, const std::vector<std::string>& path) {
  if (k.root != root) return false;
  const std::vector<std::string> parts = Components(k.path);
  if (parts.size() < path.size()) return false;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (!EqualsIgnoreCase(parts[i], path[i])) return false;
  }
  return true;
}

}  // namespace

std::string DefaultRegistryFile(const EnvLookup& env) { return posix::ConfigHome(env) + "/trovex/registry.reg"; }

FileRegistry::FileRegistry(std::string file) : file_(std::move(file)) {}

std::string FileRegistry::ReadRegString(RegistryRoot root, std::string_view key, std::string_view name) {
  Keys keys = LoadKeys(file_);
  if (!ValidRoot(root)) return {};
  const NamedValue* v = FindStored(keys, root, key, name);
  return v && v->value.kind == ValueKind::String ? v->value.text : std::string();
}

bool FileRegistry::ReadRegBool(RegistryRoot root, std::string_view key, std::string_view name) {
  Keys keys = LoadKeys(file_);
  if (!ValidRoot(root)) return false;
  const NamedValue* v = FindStored(keys, root, key, name);
  if (!v) return false;
  if (v->value.kind != ValueKind::Dword) {
    throw RegistryError(fmt::format("Der Wert \"{}\" unter \"{}\" in \"{}\" ist keine Zahl", name, key, file_));
  }
  return v->value.dword != 0;
}

bool FileRegistry::WriteRegString(RegistryRoot root, std::string_view key, std::string_view name,
                                  std::string_view value) {
  return WriteValue(file_, lastWriteError_, root, key, name, {ValueKind::String, std::string(value), 0});
}

bool FileRegistry::WriteRegBool(RegistryRoot root, std::string_view key, std::string_view name, bool value) {
  return WriteValue(file_, lastWriteError_, root, key, name, {ValueKind::Dword, {}, value ? 1u : 0u});
}

std::optional<std::uint32_t> FileRegistry::ReadRegDword(RegistryRoot root, std::string_view key,
                                                        std::string_view name) {
  Keys keys = LoadKeys(file_);
  if (!ValidRoot(root)) return std::nullopt;
  const NamedValue* v = FindStored(keys, root, key, name);
  if (!v || v->value.kind != ValueKind::Dword) return std::nullopt;
  return v->value.dword;
}

bool FileRegistry::WriteRegDword(RegistryRoot root, std::string_view key, std::string_view name,
                                 std::uint32_t value) {
  return WriteValue(file_, lastWriteError_, root, key, name, {ValueKind::Dword, {}, value});
}

bool FileRegistry::KeyExists(RegistryRoot root, std::string_view key) {
  Keys keys = LoadKeys(file_);
  return ValidRoot(root) && FindKey(keys, static_cast<int>(root), KeyPath(key)) != nullptr;
}

bool FileRegistry::DeleteKey(RegistryRoot root, std::string_view key) {
  Keys keys = LoadKeys(file_);
  lastWriteError_.clear();
  const std::vector<std::string> path = Components(key);
  if (!ValidRoot(root) || path.empty()) return false;
  const int r = static_cast<int>(root);
  const auto removed = std::remove_if(keys.begin(), keys.end(), [&](const Key& k) { return InSubtree(k, r, path); });
  if (removed == keys.end()) return false;
  keys.erase(removed, keys.end());
  return StoreKeys(file_, lastWriteError_, std::move(keys));
}

}  // namespace trovex
