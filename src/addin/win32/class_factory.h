// The class factory: one per COM class, alive for the whole process. It
// keeps the object it created and hands that same object out again while
// it lives, so Outlook and other callers share one add-in instance.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "addin/addin_registration.h"
#include "addin/win32/addin_module.h"

namespace trovex::addin::win32 {

class TadxFactory;

// Creates the COM object with one reference, returned as its IUnknown.
using ObjectCreator = IUnknown* (*)(TadxFactory& factory);
// Creates the module class the object drives.
using ModuleCreator = std::unique_ptr<TadxCOMAddInModule> (*)(ModuleContext context);

class TadxFactory final : public IClassFactory2 {
 public:
  TadxFactory(const CLSID& classId, ObjectCreator createObject, ModuleCreator createModule)
      : classId_(classId), createObject_(createObject), createModule_(createModule) {}
  TadxFactory(const TadxFactory&) = delete;
  TadxFactory& operator=(const TadxFactory&) = delete;

  const CLSID& ClassId() const { return classId_; }
  // Class id, ProgID and description, read from the library's own type
  // library on first use. Throws when it cannot be loaded.
  const ServerIdentity& Identity();
  // A module with the process's registry and message boxes.
  std::unique_ptr<TadxCOMAddInModule> CreateModule();
  // The folder of the library file, with its trailing separator.
  std::wstring AddInPath() const;
  // Called by the object as it goes, so that the next request creates one.
  void ObjectDestroyed(IUnknown* object) noexcept;

  // IUnknown. References count toward DllCanUnloadNow; the factory itself
  // is static and never deleted.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IClassFactory
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;
  // IClassFactory2: the class needs no licence.
  HRESULT STDMETHODCALLTYPE GetLicInfo(LICINFO* info) override;
  HRESULT STDMETHODCALLTYPE RequestLicKey(DWORD reserved, BSTR* key) override;
  HRESULT STDMETHODCALLTYPE CreateInstanceLic(IUnknown* outer, IUnknown* reserved, REFIID iid, BSTR key,
                                              void** out) override;

 private:
  const CLSID& classId_;
  ObjectCreator createObject_;
  ModuleCreator createModule_;
  std::optional<ServerIdentity> identity_;
  IUnknown* cached_ = nullptr;  // not owned: the object clears it as it goes
  std::atomic<long> refs_{0};
};

// Creates the add-in object (addin_object.cpp).
IUnknown* CreateMSOAddIn(TadxFactory& factory);

// The factory of the add-in's class (the one entry of the table).
TadxFactory& AddInFactory();

// The identity of the server's class as its type library in `modulePath`
// describes it.
ServerIdentity LoadServerIdentity(const std::wstring& modulePath, REFCLSID classId);

}  // namespace trovex::addin::win32
