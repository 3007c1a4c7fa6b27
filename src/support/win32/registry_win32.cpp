#include "support/win32/registry_win32.h"

#include <fmt/format.h>

#include <cstring>
#include <optional>
#include <vector>

#include "support/registry_access.h"
#include "support/win32/wide_string.h"
#include "support/win32/win32_error.h"
#include "support/win32/win32_handles.h"

namespace trovex::win32 {
namespace {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

// The key opened for reading; empty when it cannot be opened (missing,
// denied, no hive), which reads as the defaults.
unique_hkey OpenForRead(RegistryRoot root, std::string_view key, REGSAM access) {
  unique_hkey hkey;
  HKEY hive = RootKey(root);
  if (!hive) return hkey;
  if (::RegOpenKeyExW(hive, WideFromUtf8(key).c_str(), 0, access, hkey.Put()) != ERROR_SUCCESS) hkey.Reset();
  return hkey;
}

unique_hkey OpenForWrite(RegistryRoot root, std::string_view key, REGSAM access) {
  unique_hkey hkey;
  HKEY hive = RootKey(root);
  if (!hive) return hkey;
  if (::RegCreateKeyExW(hive, WideFromUtf8(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                        hkey.Put(), nullptr) != ERROR_SUCCESS) {
    hkey.Reset();
  }
  return hkey;
}

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

// nullopt when the value does not exist; other failures throw.
std::optional<RawValue> QueryValue(HKEY hkey, std::string_view key, std::string_view name) {
  const std::wstring wname = WideFromUtf8(name);
  RawValue value;
  DWORD size = 0;
  for (;;) {
    value.data.resize(size);
    LSTATUS status = ::RegQueryValueExW(hkey, wname.c_str(), nullptr, &value.type,
                                        value.data.empty() ? nullptr : value.data.data(), &size);
    if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
    // The value may grow between the size query and the read.
    if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && size > value.data.size())) continue;
    if (status != ERROR_SUCCESS) {
      ThrowWin32Error(HRESULT_FROM_WIN32(static_cast<DWORD>(status)),
                      fmt::format("Der Registrierungswert \"{}\" unter \"{}\" kann nicht gelesen werden", name, key));
    }
    value.data.resize(size);
    return value;
  }
}

std::string TextOf(const RawValue& value) {
  std::wstring text(value.data.size() / sizeof(wchar_t), L'\0');
  if (!text.empty()) std::memcpy(text.data(), value.data.data(), text.size() * sizeof(wchar_t));
  // Stored strings usually, but not always, end in NUL.
  if (const std::size_t nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
  return Utf8FromWide(text);
}

std::optional<std::uint32_t> DwordOf(const RawValue& value) {
  if (value.type != REG_DWORD || value.data.size() != sizeof(DWORD)) return std::nullopt;
  DWORD number = 0;
  std::memcpy(&number, value.data.data(), sizeof number);
  return number;
}

}  // namespace

bool IsWow64() {
  unique_hmodule kernel(::LoadLibraryW(L"kernel32.dll"));
  if (!kernel) ThrowLastError("kernel32.dll kann nicht geladen werden");
  const auto isWow64Process =
      reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(::GetProcAddress(kernel.Get(), "IsWow64Process")));
  if (!isWow64Process) return false;
  BOOL wow64 = FALSE;
  if (!isWow64Process(::GetCurrentProcess(), &wow64)) ThrowLastError("IsWow64Process");
  return wow64 != FALSE;
}

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::CurrentUser:
      return HKEY_CURRENT_USER;
    case RegistryRoot::LocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RegistryRoot::ClassesRoot:
      return HKEY_CLASSES_ROOT;
  }
  return nullptr;
}

unsigned Win32Registry::Access(RegistryOperation operation, std::string_view key) const {
  // Only the path rule needs to know; the process's own view never asks.
  const bool wow64 = rule_ == RegistryViewRule::ByPath && IsWow64();
  return RegistryAccess(operation, key, wow64, rule_);
}

std::string Win32Registry::ReadRegString(RegistryRoot root, std::string_view key, std::string_view name) {
  const unique_hkey hkey = OpenForRead(root, key, Access(RegistryOperation::Read, key));
  if (!hkey) return {};
  const std::optional<RawValue> value = QueryValue(hkey.Get(), key, name);
  if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return {};
  return TextOf(*value);
}

bool Win32Registry::ReadRegBool(RegistryRoot root, std::string_view key, std::string_view name) {
  const unique_hkey hkey = OpenForRead(root, key, Access(RegistryOperation::Read, key));
  if (!hkey) return false;
  const std::optional<RawValue> value = QueryValue(hkey.Get(), key, name);
  if (!value) return false;
  const std::optional<std::uint32_t> number = DwordOf(*value);
  if (!number) {
    throw RegistryError(fmt::format("Der Registrierungswert \"{}\" unter \"{}\" ist keine 32-Bit-Zahl", name, key));
  }
  return *number != 0;
}

std::optional<std::uint32_t> Win32Registry::ReadRegDword(RegistryRoot root, std::string_view key,
                                                         std::string_view name) {
  const unique_hkey hkey = OpenForRead(root, key, Access(RegistryOperation::Read, key));
  if (!hkey) return std::nullopt;
  const std::optional<RawValue> value = QueryValue(hkey.Get(), key, name);
  return value ? DwordOf(*value) : std::nullopt;
}

bool Win32Registry::KeyExists(RegistryRoot root, std::string_view key) { return bool(OpenForRead(root, key, Access(RegistryOperation::Read, key))); }

bool Win32Registry::DeleteKey(RegistryRoot root, std::string_view key) {
  HKEY hive = RootKey(root);
  if (!hive || key.empty()) return false;
  // RegDeleteTreeW knows only the default view: empty the key opened in
  // the rule's view, then delete it in that view.
  const REGSAM view = Access(RegistryOperation::Delete, key);
  const std::wstring path = WideFromUtf8(key);
  unique_hkey hkey;
  if (::RegOpenKeyExW(hive, path.c_str(), 0, DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | view,
                      hkey.Put()) != ERROR_SUCCESS) {
    return false;
  }
  if (::RegDeleteTreeW(hkey.Get(), nullptr) != ERROR_SUCCESS) return false;
  hkey.Reset();
  return ::RegDeleteKeyExW(hive, path.c_str(), view, 0) == ERROR_SUCCESS;
}

bool Win32Registry::WriteRegString(RegistryRoot root, std::string_view key, std::string_view name,
                                   std::string_view value) {
  const unique_hkey hkey = OpenForWrite(root, key, Access(RegistryOperation::Write, key));
  if (!hkey) return false;
  const std::wstring text = WideFromUtf8(value);
  const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(hkey.Get(), WideFromUtf8(name).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

bool Win32Registry::WriteRegBool(RegistryRoot root, std::string_view key, std::string_view name, bool value) {
  return WriteRegDword(root, key, name, value ? 1 : 0);
}

bool Win32Registry::WriteRegDword(RegistryRoot root, std::string_view key, std::string_view name,
                                  std::uint32_t value) {
  const unique_hkey hkey = OpenForWrite(root, key, Access(RegistryOperation::Write, key));
  if (!hkey) return false;
  const DWORD number = value;
  return ::RegSetValueExW(hkey.Get(), WideFromUtf8(name).c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&number), sizeof number) == ERROR_SUCCESS;
}

}  // namespace trovex::win32
