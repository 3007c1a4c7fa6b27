// Self-registration of the add-in, read back from Wine's registry: the class
// keys and type library a COM client needs, and the Outlook add-in key
// that makes Outlook load it. Every test leaves the add-in registered and
// Outlook installed, as the next one expects.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <cwctype>
#include <optional>
#include <variant>

#include "addin/addin_fixture.h"
#include "host/host_registry.h"
#include "support/win32/wide_string.h"

namespace trovex::wine_tests {
namespace {

using namespace trovex::wine_host;

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(::towlower(c));
  return s;
}

std::string Narrow(const std::wstring& s) { return win32::Utf8FromWide(s); }

class RegistrationTest : public AddInTest {
 protected:
  void TearDown() override {
    RegisterOutlookApplication();
    EXPECT_EQ(S_OK, dll_.RegisterServer());
    AddInTest::TearDown();
  }

  bool TypeLibraryRegistered() {
    ITypeLib* lib = nullptr;
    const HRESULT hr = ::LoadRegTypeLib(kLibId, 1, 0, 0x0409, &lib);
    if (lib) lib->Release();
    return SUCCEEDED(hr);
  }
};

TEST_F(RegistrationTest, Regsvr32WritesClassKeysTypeLibraryAndAddInKey) {
  DeleteTree(HKEY_CURRENT_USER, kAddInKey);
  ASSERT_EQ(0u, RunRegsvr32(L"/s"));

  const std::wstring classKey = kClassKey;
  const struct {
    HKEY root;
    std::wstring key;
    const wchar_t* name;
    std::variant<std::wstring, DWORD> value;
  } cases[] = {
      // The class: description, server, apartment threading, its ProgID,
      // version and type library.
      {HKEY_CLASSES_ROOT, classKey, L"", L"MSOAddIn Object"},
      {HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {HKEY_CLASSES_ROOT, classKey + L"\\ProgID", L"", L"QM_MSOAddIn.MSOAddIn"},
      {HKEY_CLASSES_ROOT, classKey + L"\\Version", L"", L"1.0"},
      {HKEY_CLASSES_ROOT, classKey + L"\\TypeLib", L"", L"{94422668-4718-46EB-A43B-D0D915378289}"},
      // The ProgID leads back to the class.
      {HKEY_CLASSES_ROOT, kProgId, L"", L"MSOAddIn Object"},
      {HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\Clsid", L"", kClsid},
      // The add-in key Outlook reads at start-up: strings and DWORDs.
      {HKEY_CURRENT_USER, kAddInKey, L"FriendlyName", L"Trovex (Quellmark)"},
      {HKEY_CURRENT_USER, kAddInKey, L"Description",
       L"Automatisierte Ablage von Anh\u00e4ngen in vordefinierte Ordnerstrukturen"},
      {HKEY_CURRENT_USER, kAddInKey, L"LoadBehavior", DWORD{3}},
      {HKEY_CURRENT_USER, kAddInKey, L"CommandLineSafe", DWORD{0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.key) + " | " + Narrow(c.name));
    if (const auto* text = std::get_if<std::wstring>(&c.value)) {
      EXPECT_EQ(*text, ReadString(c.root, c.key, c.name).value_or(L"<missing or no string>"));
    } else {
      EXPECT_EQ(std::get<DWORD>(c.value), ReadDword(c.root, c.key, c.name).value_or(~DWORD{0}));
    }
  }
  // Registration leaves the start mode to the first start.
  EXPECT_FALSE(ReadString(HKEY_CURRENT_USER, kAddInKey, L"ADXStartMode"));

  // The server's full path, as COM will load it.
  wchar_t longPath[MAX_PATH];
  ASSERT_NE(0u, ::GetLongPathNameW(AddInPath().c_str(), longPath, MAX_PATH));
  EXPECT_EQ(Lower(longPath), Lower(ReadString(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32", L"").value_or(L"")));

  // The type library, with the names a client sees.
  ITypeLib* lib = nullptr;
  ASSERT_EQ(S_OK, ::LoadRegTypeLib(kLibId, 1, 0, 0x0409, &lib));
  BSTR name = nullptr;
  BSTR doc = nullptr;
  EXPECT_EQ(S_OK, lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr));
  EXPECT_EQ(L"QM_MSOAddIn", std::wstring(name ? name : L""));
  EXPECT_EQ(L"QM_MSOAddIn Library", std::wstring(doc ? doc : L""));
  ::SysFreeString(name);
  ::SysFreeString(doc);
  lib->Release();
}

TEST_F(RegistrationTest, RegisteringTwiceLeavesTheSameKeys) {
  const auto snapshot = [] {
    return std::vector{Snapshot(HKEY_CLASSES_ROOT, kClassKey), Snapshot(HKEY_CLASSES_ROOT, kProgId),
                       Snapshot(HKEY_CLASSES_ROOT, kTypeLibKey), Snapshot(HKEY_CURRENT_USER, kAddInKey)};
  };
  ASSERT_EQ(S_OK, dll_.RegisterServer());
  const auto once = snapshot();
  for (const auto& keys : once) EXPECT_FALSE(keys.empty());
  ASSERT_EQ(S_OK, dll_.RegisterServer());
  EXPECT_EQ(once, snapshot());
}

TEST_F(RegistrationTest, UnregisteringRemovesAddInKeyWithSubkeysAndClassKeys) {
  const struct {
    const char* how;
    bool viaRegsvr32;
  } cases[] = {
      // DllUnregisterServer on the module loaded here.
      {"DllUnregisterServer", false},
      // As an uninstaller does.
      {"regsvr32 /u", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    ASSERT_EQ(S_OK, dll_.RegisterServer());
    // What a run and the user leave in the add-in key.
    WriteString(HKEY_CURRENT_USER, kAddInKey, L"ADXStartMode", L"NORMAL");
    WriteDword(HKEY_CURRENT_USER, std::wstring(kAddInKey) + L"\\CommandBars\\Trovex", L"Position", 1);
    CreateKey(HKEY_CURRENT_USER, std::wstring(kAddInKey) + L"\\Controls");
    ASSERT_TRUE(TypeLibraryRegistered());

    if (c.viaRegsvr32) {
      EXPECT_EQ(0u, RunRegsvr32(L"/u /s"));
    } else {
      EXPECT_EQ(S_OK, dll_.UnregisterServer());
    }

    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kAddInKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kProgId));
    EXPECT_FALSE(TypeLibraryRegistered());
    CLSID clsid{};
    EXPECT_NE(S_OK, ::CLSIDFromProgID(kProgId, &clsid));
  }
}

TEST_F(RegistrationTest, AddInKeyOnlyWhereOutlookIsInstalled) {
  const struct {
    const char* machine;
    const wchar_t* outlookClsid;  // HKCR\Outlook.Application\CLSID, or none
    const wchar_t* virtualVersion;  // Office version with an InstallRoot\Virtual key, or none
    bool addInKey;
  } cases[] = {
      // Outlook's ProgID names its class.
      {"Outlook registered", L"{0006F03A-0000-0000-C000-000000000046}", nullptr, true},
      // No Outlook at all: class keys and type library only.
      {"no Outlook", nullptr, nullptr, false},
      // A ProgID that names the null class counts as none.
      {"null class", L"{00000000-0000-0000-0000-000000000000}", nullptr, false},
      // Office 2010 and 2013 Click-to-Run without the ProgID.
      {"Office 14 virtual root", nullptr, L"14.0", true},
      {"Office 15 virtual root", nullptr, L"15.0", true},
      // Later versions have no virtual root that counts.
      {"Office 16 virtual root", nullptr, L"16.0", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.machine);
    UnregisterOutlookApplication();
    DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Office\\16.0\\Common\\InstallRoot\\Virtual");
    DeleteTree(HKEY_CURRENT_USER, kAddInKey);
    if (c.outlookClsid) WriteString(HKEY_CLASSES_ROOT, L"Outlook.Application\\CLSID", L"", c.outlookClsid);
    if (c.virtualVersion)
      CreateKey(HKEY_LOCAL_MACHINE,
                std::wstring(L"Software\\Microsoft\\Office\\") + c.virtualVersion + L"\\Common\\InstallRoot\\Virtual");

    EXPECT_EQ(S_OK, dll_.RegisterServer());
    EXPECT_EQ(c.addInKey, KeyExists(HKEY_CURRENT_USER, kAddInKey));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(kClassKey) + L"\\InprocServer32"));
    EXPECT_TRUE(TypeLibraryRegistered());
  }
  UnregisterOutlookApplication();
  DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Office\\16.0\\Common\\InstallRoot\\Virtual");
}

}  // namespace
}  // namespace trovex::wine_tests
