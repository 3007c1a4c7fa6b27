// The Office add-in interfaces the add-in implements or calls, declared from
// Microsoft's published documentation (no Office SDK headers exist for
// MinGW). Sources:
// - IDTExtensibility2, ext_ConnectMode, ext_DisconnectMode: "IDTExtensibility2
//   Interface" (Extensibility namespace, MSADDNDR.DLL) on Microsoft Learn;
//   IID from its type library ("AddInDesignerObjects").
// - COMAddIn: "COMAddIn object (Office)"; IID {000C033A-...}. Its Object
//   property is set through IDispatch by name, so no vtable is declared.
// - ICustomTaskPaneConsumer: "ICustomTaskPaneConsumer interface (Office)".
// - IRibbonExtensibility: "IRibbonExtensibility interface (Office)".
// Method order is the order of the type library (vtable order).
#pragma once

#include <oaidl.h>
#include <objbase.h>

namespace trovex::office {

enum ext_ConnectMode : int {
  ext_cm_AfterStartup = 0,
  ext_cm_Startup = 1,
  ext_cm_External = 2,
  ext_cm_CommandLine = 3,
};

enum ext_DisconnectMode : int {
  ext_dm_HostShutdown = 0,
  ext_dm_UserClosed = 1,
};

// {B65AD801-ABAF-11D0-BB8B-00A0C90F2744}
inline constexpr IID IID_IDTExtensibility2 = {
    0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};

struct IDTExtensibility2 : public IDispatch {
  // DISPIDs 1 to 5 in this order.
  virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode,
                                                 IDispatch* AddInInst, SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode RemoveMode, SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

// {000C033A-0000-0000-C000-000000000046}
inline constexpr IID IID_COMAddIn = {0x000C033A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// {000C033E-0000-0000-C000-000000000046}
inline constexpr IID IID_ICustomTaskPaneConsumer = {
    0x000C033E, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct ICustomTaskPaneConsumer : public IDispatch {
  // DISPID 1. The argument is an ICTPFactory*; this add-in has no task panes.
  virtual HRESULT STDMETHODCALLTYPE CTPFactoryAvailable(IDispatch* CTPFactoryInst) = 0;
};

// {000C0396-0000-0000-C000-000000000046}
inline constexpr IID IID_IRibbonExtensibility = {
    0x000C0396, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IRibbonExtensibility : public IDispatch {
  // DISPID 1.
  virtual HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) = 0;
};

}  // namespace trovex::office
