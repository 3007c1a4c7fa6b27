// The module on the COM side: the host's objects that the module holds
// from connection to teardown, host recognition and the Quit subscription.
// TAddInModule is Trovex's own module.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <memory>
#include <string>

#include "addin/addin_module.h"
#include "ribbon/ribbon_callbacks.h"
#include "ribbon/ribbon_images.h"
#include "ribbon/ribbon_module.h"
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

  // The module's ribbon (tabs, control registry, Office's ribbon object),
  // its images and the callbacks Office calls on it.
  ribbon::RibbonModule& Ribbon() { return ribbon_; }
  ribbon::RibbonCallbacks& RibbonCallbacks() { return callbacks_; }
  ribbon::ImageList& Images() { return *images_; }

  // The ribbon markup for one kind of window, for the version of the
  // executable Office runs in. Throws when it cannot be made.
  std::string GetCustomUI(const std::string& ribbonId);

  HostIdentity RecognizeHost() override;
  void SubscribeQuit(std::function<void()> onQuit) override;

 private:
  trovex::win32::ComPtr<IDispatch> hostApp_;
  trovex::win32::ComPtr<IDispatch> outlookApp_;
  trovex::win32::ComPtr<IDispatch> addInInstance_;
  trovex::win32::ComPtr<IDispatch> taskPaneFactory_;
  IUnknown* classInstance_ = nullptr;
  IClassFactory* classFactory_ = nullptr;
  // The images outlive the tabs that show them.
  std::unique_ptr<ribbon::ImageList> images_;
  ribbon::RibbonModule ribbon_;
  ribbon::RibbonCallbacks callbacks_;
  trovex::win32::ComPtr<IConnectionPoint> quitPoint_;
  trovex::win32::ComPtr<QuitSink> quitSink_;
  DWORD quitCookie_ = 0;
};

class TAddInModule final : public TadxCOMAddInModule {
 public:
  // Builds the "Quellmark" tab from its stored definition, with the
  // handlers below as its buttons' handlers; they act through the commands
  // of MakeAddInCommands.
  explicit TAddInModule(ModuleContext context);
  ~TAddInModule() override;

  AddInCommands& Commands() { return *commands_; }

  // The ribbon commands. A handler reports failure by throwing; the ribbon
  // bridge hands that to the error handler.
  void adxRibbonTab1Controls0Controls0Click(ribbon::TadxRibbonCustomControl& sender,
                                            ribbon::RibbonControl* ribbonControl);  // Start
  void adxRibbonTab1Controls0Controls1Controls0Controls0Click(ribbon::TadxRibbonCustomControl& sender,
                                                              ribbon::RibbonControl* ribbonControl);  // Hilfe
  void adxRibbonTab1Controls0Controls1Click(ribbon::TadxRibbonCustomControl& sender,
                                            ribbon::RibbonControl* ribbonControl);  // Webseite
  void adxRibbonTab1Controls0Controls1Controls0Controls3Click(ribbon::TadxRibbonCustomControl& sender,
                                                              ribbon::RibbonControl* ribbonControl);  // Update
  void adxRibbonTab1Controls0Controls2Controls0Controls0Click(ribbon::TadxRibbonCustomControl& sender,
                                                              ribbon::RibbonControl* ribbonControl);  // Info

 private:
  std::unique_ptr<AddInCommands> commands_;
};

// The commands as this build has them: the web pages go to the shell
// (ShellExecuteW "open", SW_SHOW, no owner); the wizard, the update check
// and the information dialog are not built yet and do nothing.
std::unique_ptr<AddInCommands> MakeAddInCommands(TAddInModule& module);

}  // namespace trovex::addin::win32
