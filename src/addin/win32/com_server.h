// What the parts of the COM server share: the library's identity and
// handle, the counts behind DllCanUnloadNow, the translation of exceptions
// into HRESULTs, and the process-wide registry and message-box services.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "support/message_box.h"
#include "support/registry.h"

namespace trovex::addin::win32 {

// From trovex_addin.idl.
// LIBID QM_MSOAddIn {94422668-4718-46EB-A43B-D0D915378289}
inline constexpr GUID LIBID_QM_MSOAddIn = {
    0x94422668, 0x4718, 0x46EB, {0xA4, 0x3B, 0xD0, 0xD9, 0x15, 0x37, 0x82, 0x89}};
// IMSOAddIn {653F939F-756F-4C32-A716-5E511836E477}
inline constexpr IID IID_IMSOAddIn = {0x653F939F, 0x756F, 0x4C32, {0xA7, 0x16, 0x5E, 0x51, 0x18, 0x36, 0xE4, 0x77}};
// coclass MSOAddIn {582D82BA-D79B-4685-A03B-6F653FF4B70B}
inline constexpr CLSID CLSID_MSOAddIn = {
    0x582D82BA, 0xD79B, 0x4685, {0xA0, 0x3B, 0x6F, 0x65, 0x3F, 0xF4, 0xB7, 0x0B}};

// Set once by DllMain.
void SetModuleHandle(HINSTANCE module) noexcept;
HINSTANCE ModuleHandle() noexcept;
// The full long path of the library file.
std::wstring ModulePath();

// Live COM objects of the library and references to its factories
// (including LockServer); DllCanUnloadNow asks for both to be 0.
void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
void ServerLocked() noexcept;
void ServerUnlocked() noexcept;
bool ServerInUse() noexcept;

// Inside a catch block: the HRESULT for the exception in flight. The
// message goes to the debugger output (WINEDEBUG=+debugstr shows it).
HRESULT HResultFromCurrentException() noexcept;

// "{XXXXXXXX-...}".
std::string GuidText(REFGUID guid);

// The registry the add-in reads and writes, and the sink of its error
// boxes.
Registry& AddInRegistry();
MessageBoxes& AddInMessageBoxes();

}  // namespace trovex::addin::win32
