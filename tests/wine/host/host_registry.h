// The registry as the tests set it up and read it back: Outlook's own
// registration (so that the add-in counts Outlook as installed) and plain
// reads, writes and deletions that throw nothing.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>

namespace trovex::wine_host {

// HKCR\Outlook.Application\CLSID = {0006F03A-...} and the class key.
void RegisterOutlookApplication();
// Removes both again, and the HKLM keys Office\14.0 and 15.0's
// Common\InstallRoot\Virtual that would also count as an installed Outlook.
void UnregisterOutlookApplication();

bool KeyExists(HKEY root, const std::wstring& key);
// The value if it exists with that type.
std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const std::wstring& name);
std::optional<DWORD> ReadDword(HKEY root, const std::wstring& key, const std::wstring& name);
// Create the key as needed; false on failure.
bool WriteString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value);
bool WriteDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);
bool CreateKey(HKEY root, const std::wstring& key);
// The key with all its subkeys; nothing when it is absent.
void DeleteTree(HKEY root, const std::wstring& key);
void DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name);

// Every value below `key`, recursively: "sub\key|name" -> "REG_SZ:text" or
// "REG_DWORD:3". Empty when the key is absent.
std::map<std::wstring, std::wstring> Snapshot(HKEY root, const std::wstring& key);

}  // namespace trovex::wine_host
