#include "addin/addin_dll.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace trovex::wine_tests {

using win32::ComPtr;

std::wstring AddInPath() {
  const wchar_t* path = ::_wgetenv(L"TROVEX_ADDIN_DLL");
  if (!path || !*path) {
    ADD_FAILURE() << "TROVEX_ADDIN_DLL is not set; run the tests through scripts/run-wine-tests.sh";
    return {};
  }
  return path;
}

AddInDll::AddInDll() {
  const std::wstring path = AddInPath();
  if (!path.empty()) module_.Reset(::LoadLibraryW(path.c_str()));
  if (!module_) ADD_FAILURE() << "cannot load the add-in DLL, error " << ::GetLastError();
}

FARPROC AddInDll::Export(const char* name) const {
  const FARPROC f = module_ ? ::GetProcAddress(module_.Get(), name) : nullptr;
  if (!f) ADD_FAILURE() << "the add-in DLL does not export " << name;
  return f;
}

namespace {
using NoArgs = HRESULT(STDAPICALLTYPE*)();
using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// GetProcAddress hands out every export as FARPROC.
template <typename F>
F As(FARPROC f) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(f));
}

HRESULT CallNoArgs(FARPROC f) { return f ? As<NoArgs>(f)() : E_NOTIMPL; }
}  // namespace

HRESULT AddInDll::RegisterServer() const { return CallNoArgs(Export("DllRegisterServer")); }
HRESULT AddInDll::UnregisterServer() const { return CallNoArgs(Export("DllUnregisterServer")); }
HRESULT AddInDll::CanUnloadNow() const { return CallNoArgs(Export("DllCanUnloadNow")); }

HRESULT AddInDll::GetClassObject(REFCLSID clsid, REFIID iid, void** out) const {
  const FARPROC f = Export("DllGetClassObject");
  return f ? As<GetClassObjectFn>(f)(clsid, iid, out) : E_NOTIMPL;
}

DWORD RunRegsvr32(const std::wstring& switches) {
  std::wstring command = L"regsvr32.exe " + switches + L" \"" + AddInPath() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    ADD_FAILURE() << "cannot start regsvr32, error " << ::GetLastError();
    return ~DWORD{0};
  }
  const win32::unique_handle process(info.hProcess);
  const win32::unique_handle thread(info.hThread);
  ::WaitForSingleObject(process.Get(), INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.Get(), &code);
  return code;
}

ComPtr<office::IDTExtensibility2> CreateAddIn() {
  CLSID clsid{};
  HRESULT hr = ::CLSIDFromProgID(kProgId, &clsid);
  if (FAILED(hr)) {
    ADD_FAILURE() << "CLSIDFromProgID failed: 0x" << std::hex << hr;
    return nullptr;
  }
  ComPtr<IUnknown> object;
  hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.PutVoid());
  if (FAILED(hr)) {
    ADD_FAILURE() << "CoCreateInstance failed: 0x" << std::hex << hr;
    return nullptr;
  }
  ComPtr<office::IDTExtensibility2> addIn;
  hr = object.As(office::IID_IDTExtensibility2, addIn);
  if (FAILED(hr)) ADD_FAILURE() << "no IDTExtensibility2: 0x" << std::hex << hr;
  return addIn;
}

CustomArray::CustomArray() {
  SAFEARRAYBOUND bound{1, 1};
  array_ = ::SafeArrayCreate(VT_VARIANT, 1, &bound);
  LONG index = 1;
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = 1;
  ::SafeArrayPutElement(array_, &index, &v);
}

CustomArray::~CustomArray() { ::SafeArrayDestroy(array_); }

}  // namespace trovex::wine_tests
