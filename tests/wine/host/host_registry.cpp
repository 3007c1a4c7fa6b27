#include "host/host_registry.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/win32/win32_handles.h"

namespace trovex::wine_host {
namespace {

using win32::unique_hkey;

constexpr wchar_t kOutlookClsid[] = L"{0006F03A-0000-0000-C000-000000000046}";

unique_hkey Open(HKEY root, const std::wstring& key, REGSAM access = KEY_READ) {
  unique_hkey k;
  if (::RegOpenKeyExW(root, key.c_str(), 0, access, k.Put()) != ERROR_SUCCESS) k.Reset();
  return k;
}

unique_hkey Create(HKEY root, const std::wstring& key) {
  unique_hkey k;
  if (::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, k.Put(), nullptr) !=
      ERROR_SUCCESS)
    k.Reset();
  return k;
}

void SnapshotInto(HKEY k, const std::wstring& prefix, std::map<std::wstring, std::wstring>& out) {
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD nameLen = 512;
    BYTE data[4096];
    DWORD dataLen = sizeof data;
    DWORD type = 0;
    if (::RegEnumValueW(k, i, name, &nameLen, nullptr, &type, data, &dataLen) != ERROR_SUCCESS) break;
    std::wstring value;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      value = L"REG_SZ:" + std::wstring(reinterpret_cast<const wchar_t*>(data), dataLen / sizeof(wchar_t));
      while (!value.empty() && value.back() == L'\0') value.pop_back();
    } else if (type == REG_DWORD) {
      value = L"REG_DWORD:" + std::to_wstring(*reinterpret_cast<const DWORD*>(data));
    } else {
      value = L"type " + std::to_wstring(type) + L", " + std::to_wstring(dataLen) + L" bytes";
    }
    out[prefix + L"|" + name] = value;
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD nameLen = 512;
    if (::RegEnumKeyExW(k, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(name, nameLen);
  }
  for (const auto& sub : subkeys) {
    // A key without values still shows in the snapshot.
    out[prefix + L"\\" + sub];
    if (auto child = Open(k, sub)) SnapshotInto(child.Get(), prefix + L"\\" + sub, out);
  }
}

}  // namespace

void RegisterOutlookApplication() {
  if (!WriteString(HKEY_CLASSES_ROOT, L"Outlook.Application\\CLSID", L"", kOutlookClsid) ||
      !WriteString(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kOutlookClsid, L"", L"Microsoft Outlook"))
    ADD_FAILURE() << "cannot register Outlook.Application";
}

void UnregisterOutlookApplication() {
  DeleteTree(HKEY_CLASSES_ROOT, L"Outlook.Application");
  DeleteTree(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kOutlookClsid);
  for (const wchar_t* version : {L"14.0", L"15.0"})
    DeleteTree(HKEY_LOCAL_MACHINE,
               std::wstring(L"Software\\Microsoft\\Office\\") + version + L"\\Common\\InstallRoot\\Virtual");
}

bool KeyExists(HKEY root, const std::wstring& key) { return static_cast<bool>(Open(root, key)); }

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const std::wstring& name) {
  DWORD type = 0;
  DWORD size = 0;
  if (::RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ | RRF_NOEXPAND, &type, nullptr, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  std::wstring value(size / sizeof(wchar_t), L'\0');
  if (::RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ | RRF_NOEXPAND, &type, value.data(), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  value.resize(size / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return value;
}

std::optional<DWORD> ReadDword(HKEY root, const std::wstring& key, const std::wstring& name) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (::RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

bool WriteString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value) {
  const unique_hkey k = Create(root, key);
  return k && ::RegSetValueExW(k.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool WriteDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
  const unique_hkey k = Create(root, key);
  return k && ::RegSetValueExW(k.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                               sizeof value) == ERROR_SUCCESS;
}

bool CreateKey(HKEY root, const std::wstring& key) { return static_cast<bool>(Create(root, key)); }

void DeleteTree(HKEY root, const std::wstring& key) {
  ::RegDeleteTreeW(root, key.c_str());
  ::RegDeleteKeyW(root, key.c_str());
}

void DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name) {
  if (const unique_hkey k = Open(root, key, KEY_SET_VALUE)) ::RegDeleteValueW(k.Get(), name.c_str());
}

std::map<std::wstring, std::wstring> Snapshot(HKEY root, const std::wstring& key) {
  std::map<std::wstring, std::wstring> out;
  if (const unique_hkey k = Open(root, key)) SnapshotInto(k.Get(), L"", out);
  return out;
}

}  // namespace trovex::wine_host
