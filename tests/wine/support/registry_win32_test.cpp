#include "support/win32/registry_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/win32/win32_handles.h"

namespace trovex::win32 {
namespace {

constexpr wchar_t kScratchW[] = L"Software\\Trovex-Tests";
constexpr std::string_view kScratch = "Software\\Trovex-Tests";
constexpr auto kUser = RegistryRoot::CurrentUser;

std::string Key(std::string_view sub) { return std::string(kScratch) + "\\" + std::string(sub); }

// Every test starts and ends without the scratch key.
class Win32RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchW); }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchW); }

  // Stores a value of any type directly, past the class under test.
  static void SetRaw(std::string_view sub, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    unique_hkey key;
    const std::wstring path = std::wstring(kScratchW) + L"\\" + std::wstring(sub.begin(), sub.end());
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  }

  Win32Registry registry;
};

TEST_F(Win32RegistryTest, MissingKeysAndValuesReadAsDefaults) {
  ASSERT_TRUE(registry.WriteRegString(kUser, Key("present"), "other", "x"));
  for (const std::string& key : {Key("absent"), Key("present")}) {
    EXPECT_EQ(registry.ReadRegString(kUser, key, "Folder"), "") << key;
    EXPECT_FALSE(registry.ReadRegBool(kUser, key, "Flag")) << key;
    EXPECT_EQ(registry.ReadRegDword(kUser, key, "Number"), std::nullopt) << key;
  }
  EXPECT_FALSE(registry.KeyExists(kUser, Key("absent")));
  // Reading never creates the key.
  EXPECT_FALSE(registry.KeyExists(kUser, Key("absent")));
}

TEST_F(Win32RegistryTest, WritesCreateMissingParentsAndStoreUtf16) {
  const std::string text = "C:\\Anhänge\\Ω\xF0\x9F\x93\x8E";  // BMP and a surrogate pair
  ASSERT_TRUE(registry.WriteRegString(kUser, Key("a\\b\\c"), "Folder", text));
  EXPECT_TRUE(registry.KeyExists(kUser, Key("a")));
  EXPECT_TRUE(registry.KeyExists(kUser, Key("a\\b")));
  EXPECT_EQ(registry.ReadRegString(kUser, Key("a\\b\\c"), "Folder"), text);

  // What regedit would show: REG_SZ in UTF-16 with its NUL.
  wchar_t stored[64] = {};
  DWORD type = 0;
  DWORD size = sizeof stored;
  ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Trovex-Tests\\a\\b\\c", L"Folder", RRF_RT_ANY, &type, stored,
                           &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::wstring(stored), L"C:\\Anh\u00e4nge\\\u03a9\U0001F4CE");

  ASSERT_TRUE(registry.WriteRegBool(kUser, Key("d\\e"), "Flag", true));
  EXPECT_TRUE(registry.ReadRegBool(kUser, Key("d\\e"), "Flag"));
  ASSERT_TRUE(registry.WriteRegBool(kUser, Key("d\\e"), "Flag", false));
  EXPECT_FALSE(registry.ReadRegBool(kUser, Key("d\\e"), "Flag"));
  ASSERT_TRUE(registry.WriteRegDword(kUser, Key("d\\e"), "Number", 0xFFFFFFFFu));
  EXPECT_EQ(registry.ReadRegDword(kUser, Key("d\\e"), "Number"), 0xFFFFFFFFu);
  ASSERT_TRUE(registry.WriteRegString(kUser, Key("d\\e"), "", "default value"));
  EXPECT_EQ(registry.ReadRegString(kUser, Key("d\\e"), ""), "default value");
}

TEST_F(Win32RegistryTest, ValuesOfAnotherTypeReadAsTheContractSays) {
  const DWORD one = 1;
  const wchar_t expand[] = L"%TEMP%\\x";
  const wchar_t text[] = L"1";
  const wchar_t unterminated[] = {L'a', L'b'};
  const BYTE binary[4] = {1, 0, 0, 0};
  SetRaw("t", L"Dword", REG_DWORD, &one, sizeof one);
  SetRaw("t", L"Expand", REG_EXPAND_SZ, expand, sizeof expand);
  SetRaw("t", L"Text", REG_SZ, text, sizeof text);
  SetRaw("t", L"Unterminated", REG_SZ, unterminated, sizeof unterminated);
  SetRaw("t", L"Binary", REG_BINARY, binary, sizeof binary);
  const std::string key = Key("t");

  EXPECT_EQ(registry.ReadRegString(kUser, key, "Dword"), "");                 // a number is no text
  EXPECT_EQ(registry.ReadRegString(kUser, key, "Binary"), "");                // nor are bytes
  EXPECT_EQ(registry.ReadRegString(kUser, key, "Expand"), "%TEMP%\\x");       // unexpanded, as stored
  EXPECT_EQ(registry.ReadRegString(kUser, key, "Unterminated"), "ab");        // no NUL stored
  EXPECT_THROW(registry.ReadRegBool(kUser, key, "Text"), RegistryError);      // "1" as text is no Boolean
  EXPECT_THROW(registry.ReadRegBool(kUser, key, "Binary"), RegistryError);    // nor four bytes of binary
  EXPECT_EQ(registry.ReadRegDword(kUser, key, "Text"), std::nullopt);         // the DWORD read says "none"
}

TEST_F(Win32RegistryTest, RootsOutsideTheThreeHivesReadDefaultsAndWriteNothing) {
  for (const int root : {0, 4, -1}) {
    const auto r = static_cast<RegistryRoot>(root);
    EXPECT_EQ(registry.ReadRegString(r, Key("x"), "Folder"), "") << root;
    EXPECT_FALSE(registry.ReadRegBool(r, Key("x"), "Flag")) << root;
    EXPECT_FALSE(registry.WriteRegString(r, Key("x"), "Folder", "C:\\")) << root;
    EXPECT_FALSE(registry.WriteRegBool(r, Key("x"), "Flag", true)) << root;
    EXPECT_FALSE(registry.KeyExists(r, Key("x"))) << root;
    EXPECT_FALSE(registry.DeleteKey(r, Key("x"))) << root;
  }
  EXPECT_FALSE(registry.KeyExists(kUser, kScratch));
}

TEST_F(Win32RegistryTest, DeleteKeyTakesSubkeysAndRefusesTheHive) {
  ASSERT_TRUE(registry.WriteRegString(kUser, Key("a\\b\\c"), "v", "x"));
  ASSERT_TRUE(registry.WriteRegString(kUser, Key("a\\d"), "v", "x"));
  EXPECT_TRUE(registry.DeleteKey(kUser, Key("a")));
  EXPECT_FALSE(registry.KeyExists(kUser, Key("a")));
  EXPECT_TRUE(registry.KeyExists(kUser, kScratch));  // the parent stays
  EXPECT_FALSE(registry.DeleteKey(kUser, Key("a")));  // gone already
  EXPECT_FALSE(registry.DeleteKey(kUser, ""));
}

TEST(IsWow64, TrueOnlyForA32BitProcessOn64BitWindows) {
  SYSTEM_INFO native{};
  ::GetNativeSystemInfo(&native);
  const bool system64 = native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                        native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64;
  EXPECT_EQ(IsWow64(), system64 && sizeof(void*) == 4);
}

}  // namespace
}  // namespace trovex::win32
