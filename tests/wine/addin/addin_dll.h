// The add-in DLL as the tests reach it: its registered identity, its path
// (TROVEX_ADDIN_DLL, set by scripts/run-wine-tests.sh), its exports on the
// module COM loaded, and the object created the way Outlook creates it.
#pragma once

#include <windows.h>

#include <string>

#include "support/win32/com_ptr.h"
#include "support/win32/win32_handles.h"
#include "office/win32/office_interfaces.h"

namespace trovex::wine_tests {

inline constexpr wchar_t kProgId[] = L"QM_MSOAddIn.MSOAddIn";
inline constexpr wchar_t kClsid[] = L"{582D82BA-D79B-4685-A03B-6F653FF4B70B}";
inline constexpr wchar_t kClassKey[] = L"CLSID\\{582D82BA-D79B-4685-A03B-6F653FF4B70B}";
inline constexpr wchar_t kTypeLibKey[] = L"TypeLib\\{94422668-4718-46EB-A43B-D0D915378289}";
inline constexpr GUID kLibId = {0x94422668, 0x4718, 0x46EB, {0xA4, 0x3B, 0xD0, 0xD9, 0x15, 0x37, 0x82, 0x89}};
inline constexpr CLSID kAddInClsid = {
    0x582D82BA, 0xD79B, 0x4685, {0xA0, 0x3B, 0x6F, 0x65, 0x3F, 0xF4, 0xB7, 0x0B}};
// Below HKEY_CURRENT_USER.
inline constexpr wchar_t kAddInKey[] = L"Software\\Microsoft\\Office\\Outlook\\AddIns\\QM_MSOAddIn.MSOAddIn";
inline constexpr wchar_t kShutdownKey[] = L"Software\\Microsoft\\Office\\16.0\\Outlook\\Options\\Shutdown";

// The DLL's full path in Windows form; fails the test when it is not set.
std::wstring AddInPath();

// The DLL loaded into this process: the same module that COM loads for
// the class, so its exports see the objects COM created.
class AddInDll {
 public:
  AddInDll();
  bool Loaded() const { return static_cast<bool>(module_); }
  HMODULE Module() const { return module_.Get(); }

  HRESULT RegisterServer() const;
  HRESULT UnregisterServer() const;
  HRESULT CanUnloadNow() const;
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) const;

 private:
  FARPROC Export(const char* name) const;
  win32::unique_hmodule module_;
};

// Runs regsvr32 (Wine's own) with `switches` on the DLL; its exit code.
DWORD RunRegsvr32(const std::wstring& switches);

// As Outlook does: the class from the ProgID, CoCreateInstance in process,
// then IDTExtensibility2. Empty (after failing the test) when any step fails.
win32::ComPtr<office::IDTExtensibility2> CreateAddIn();

// The `custom` array Outlook passes to every IDTExtensibility2 call: one
// variant, how Outlook was started (1: from its user interface).
class CustomArray {
 public:
  CustomArray();
  ~CustomArray();
  CustomArray(const CustomArray&) = delete;
  CustomArray& operator=(const CustomArray&) = delete;
  SAFEARRAY** Get() { return &array_; }

 private:
  SAFEARRAY* array_ = nullptr;
};

}  // namespace trovex::wine_tests
