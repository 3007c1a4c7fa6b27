// The module on the COM side: the host's objects that the module holds
// from connection to teardown, host recognition and the Quit subscription.
// TAddInModule is Trovex's own module.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <string>

#include "addin/addin_module.h"
#include "support/win32/com_ptr.h"

namespace trovex::addin::win32 {

class QuitSink;

class TadxCOMAddInModule : public ModuleCore {
 public:
  TadxCOMAddInModule(ModuleDefinition definition, ModuleContext context);
  // Ends the Quit subscription and releases every host object.
  ~TadxCOMAddInModule() override;

  // The application object Outlook passed at connection.
  IDispatch* HostApp() const { return hostApp_.Get(); }
  void SetHostApp(trovex::win32::ComPtr<IDispatch> app) { hostApp_ = std::move(app); }
  // Outlook's _Application, from start-up completion on.
  IDispatch* OutlookApp() const { return outlookApp_.Get(); }
  // Outlook's COMAddIn entry for this add-in.
  IDispatch* AddInInstance() const { return addInInstance_.Get(); }
  void SetAddInInstance(trovex::win32::ComPtr<IDispatch> entry) { addInInstance_ = std::move(entry); }
  // The add-in object and its factory; not owned (they own the module).
  IUnknown* COMAddInClassInstance() const { return classInstance_; }
  IClassFactory* COMAddInClassFactory() const { return classFactory_; }
  void SetClassInstance(IUnknown* instance, IClassFactory* factory) {
    classInstance_ = instance;
    classFactory_ = factory;
  }
  // Office's task-pane factory (ICTPFactory); kept, not used.
  void SetTaskPaneFactory(trovex::win32::ComPtr<IDispatch> factory) { taskPaneFactory_ = std::move(factory); }

  // The ribbon markup for one kind of window; none by default.
  virtual std::string GetCustomUI(const std::string& ribbonId);

  HostIdentity RecognizeHost() override;
  void SubscribeQuit(std::function<void()> onQuit) override;

 private:
  trovex::win32::ComPtr<IDispatch> hostApp_;
  trovex::win32::ComPtr<IDispatch> outlookApp_;
  trovex::win32::ComPtr<IDispatch> addInInstance_;
  trovex::win32::ComPtr<IDispatch> taskPaneFactory_;
  IUnknown* classInstance_ = nullptr;
  IClassFactory* classFactory_ = nullptr;
  trovex::win32::ComPtr<IConnectionPoint> quitPoint_;
  trovex::win32::ComPtr<QuitSink> quitSink_;
  DWORD quitCookie_ = 0;
};

class TAddInModule final : public TadxCOMAddInModule {
 public:
  explicit TAddInModule(ModuleContext context);
};

}  // namespace trovex::addin::win32
