// An in-memory registry for every test that needs one: keys and values by
// hive, matched without regard to ASCII case as Windows does; writes create
// missing parents like RegCreateKeyEx, and can be refused like Windows does
// for a user without administrator rights.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "support/registry.h"

namespace trovex::testing {

inline std::string RootName(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::CurrentUser:
      return "HKCU";
    case RegistryRoot::LocalMachine:
      return "HKLM";
    case RegistryRoot::ClassesRoot:
      return "HKCR";
  }
  return "?";
}

// Keys and values by hive, matched without regard to ASCII case as Windows
// does. Writes create missing parents, like RegCreateKeyEx.
class MemoryRegistry : public Registry {
 public:
  using Value = std::variant<std::string, std::uint32_t>;

  // Every write and delete in these hives fails.
  std::set<RegistryRoot> readOnlyRoots;
  // Further refusals of single writes: (root, key, value name).
  std::function<bool(RegistryRoot, const std::string&, const std::string&)> refuseWrite;
  // Makes every access throw, like a registry that cannot be read.
  bool broken = false;
  // HKEY_CLASSES_ROOT as Windows shows it: a key that exists under
  // HKEY_CURRENT_USER\Software\Classes is read, written and deleted there,
  // any other in the machine's classes.
  bool mergedClassesRoot = false;
  // Every change made: "write HKCU\key\name=value", "delete HKCR\key" in order.
  std::vector<std::string> log;
  // Every value access by value name, refused writes included: "read NAME"
  // (text), "bool NAME", "dword NAME", "write NAME".
  std::vector<std::string> accesses;

  std::string ReadRegString(RegistryRoot root, std::string_view key, std::string_view name) override {
    accesses.push_back("read " + std::string(name));
    const Value* v = Find(root, key, name);
    return v && std::holds_alternative<std::string>(*v) ? std::get<std::string>(*v) : std::string();
  }
  bool ReadRegBool(RegistryRoot root, std::string_view key, std::string_view name) override {
    accesses.push_back("bool " + std::string(name));
    const Value* v = Find(root, key, name);
    if (v && !std::holds_alternative<std::uint32_t>(*v)) throw RegistryError("not a number");
    return v && std::get<std::uint32_t>(*v) != 0;
  }
  std::optional<std::uint32_t> ReadRegDword(RegistryRoot root, std::string_view key, std::string_view name) override {
    accesses.push_back("dword " + std::string(name));
    const Value* v = Find(root, key, name);
    if (!v || !std::holds_alternative<std::uint32_t>(*v)) return std::nullopt;
    return std::get<std::uint32_t>(*v);
  }
  bool WriteRegString(RegistryRoot root, std::string_view key, std::string_view name,
                      std::string_view value) override {
    return Write(root, key, name, std::string(value));
  }
  bool WriteRegBool(RegistryRoot root, std::string_view key, std::string_view name, bool value) override {
    return Write(root, key, name, std::uint32_t{value ? 1u : 0u});
  }
  bool WriteRegDword(RegistryRoot root, std::string_view key, std::string_view name, std::uint32_t value) override {
    return Write(root, key, name, value);
  }
  bool KeyExists(RegistryRoot root, std::string_view key) override {
    Check();
    const auto [r, k] = Resolve(root, key);
    return keys_.contains({r, Lower(k)});
  }
  bool DeleteKey(RegistryRoot hive, std::string_view name) override {
    Check();
    const auto [root, key] = Resolve(hive, name);
    const std::string path = Lower(key);
    if (path.empty() || readOnlyRoots.contains(root) || !keys_.contains({root, path})) return false;
    std::erase_if(keys_, [&](const auto& entry) {
      return entry.first.first == root && (entry.first.second == path || entry.first.second.starts_with(path + "\\"));
    });
    log.push_back("delete " + RootName(root) + "\\" + std::string(key));
    return true;
  }

  // Seeds a key (with its parents) without logging.
  void AddKey(RegistryRoot root, std::string_view key) { Ensure(root, key); }
  void Set(RegistryRoot root, std::string_view key, std::string_view name, Value value) {
    Ensure(root, key).values[Lower(name)] = {std::string(name), std::move(value)};
  }
  const Value* Find(RegistryRoot hive, std::string_view path, std::string_view name) {
    Check();
    const auto [root, key] = Resolve(hive, path);
    const auto k = keys_.find({root, Lower(key)});
    if (k == keys_.end()) return nullptr;
    const auto v = k->second.values.find(Lower(name));
    return v == k->second.values.end() ? nullptr : &v->second.second;
  }

  // Every key of the given hives with its values, one line each, in tree
  // order: "HKCR\CLSID\{...}\InprocServer32: @=\"C:\\x.dll\" ThreadingModel=\"Apartment\"".
  std::string Dump(std::set<RegistryRoot> roots = {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine,
                                                   RegistryRoot::ClassesRoot}) const {
    std::string out;
    for (const auto& [id, data] : keys_) {
      if (!roots.contains(id.first)) continue;
      out += RootName(id.first) + "\\" + data.path + ":";
      for (const auto& [lower, named] : data.values) out += " " + ValueText(named.first, named.second);
      out += "\n";
    }
    return out;
  }

 private:
  struct KeyData {
    std::string path;  // as first written
    std::map<std::string, std::pair<std::string, Value>> values;
  };

  static std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
  }
  static std::string ValueText(const std::string& name, const Value& v) {
    const std::string n = name.empty() ? "@" : name;
    if (const auto* s = std::get_if<std::string>(&v)) return n + "=\"" + *s + "\"";
    return n + "=dword:" + std::to_string(std::get<std::uint32_t>(v));
  }
  std::pair<RegistryRoot, std::string> Resolve(RegistryRoot root, std::string_view key) const {
    const std::string user = "Software\\Classes\\" + std::string(key);
    if (mergedClassesRoot && root == RegistryRoot::ClassesRoot &&
        keys_.contains({RegistryRoot::CurrentUser, Lower(user)})) {
      return {RegistryRoot::CurrentUser, user};
    }
    return {root, std::string(key)};
  }
  void Check() const {
    if (broken) throw RegistryError("registry unreadable");
  }
  KeyData& Ensure(RegistryRoot root, std::string_view key) {
    KeyData* data = nullptr;
    std::size_t pos = 0;
    while (pos != std::string_view::npos) {
      pos = key.find('\\', pos + 1);
      const std::string_view part = key.substr(0, pos);
      data = &keys_[{root, Lower(part)}];
      if (data->path.empty()) data->path = std::string(part);
    }
    return *data;
  }
  bool Write(RegistryRoot hive, std::string_view path, std::string_view name, Value value) {
    accesses.push_back("write " + std::string(name));
    Check();
    const auto [root, key] = Resolve(hive, path);
    if (readOnlyRoots.contains(root) || (refuseWrite && refuseWrite(root, std::string(key), std::string(name)))) {
      return false;
    }
    log.push_back("write " + RootName(root) + "\\" + std::string(key) + "\\" + ValueText(std::string(name), value));
    Set(root, key, name, std::move(value));
    return true;
  }

  // Ordered so that parents come before their children.
  std::map<std::pair<RegistryRoot, std::string>, KeyData> keys_;
};

}  // namespace trovex::testing
