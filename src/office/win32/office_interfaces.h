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
// - IRibbonControl: "IRibbonControl interface (Office)" (properties Id,
//   Context, Tag); IID {000C0395-...} from the Office type library (MSO.DLL).
// - IRibbonUI: "IRibbonUI object (Office)" (Invalidate, InvalidateControl,
//   InvalidateControlMso, ActivateTab, ActivateTabMso, ActivateTabQ);
//   IID {000C03A7-...} from the same type library.
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

// {000C0395-0000-0000-C000-000000000046}
inline constexpr IID IID_IRibbonControl = {
    0x000C0395, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The control a ribbon callback is about. Dual; DISPIDs 1 to 3.
struct IRibbonControl : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Id(BSTR* Id) = 0;
  // The window (Explorer or Inspector) the control sits in.
  virtual HRESULT STDMETHODCALLTYPE get_Context(IDispatch** Context) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Tag(BSTR* Tag) = 0;
};

// {000C03A7-0000-0000-C000-000000000046}
inline constexpr IID IID_IRibbonUI = {
    0x000C03A7, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Office's ribbon, handed to the customUI's onLoad callback. Dual; DISPIDs
// 1 to 6. The tab methods need Office 2010.
struct IRibbonUI : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Invalidate() = 0;
  virtual HRESULT STDMETHODCALLTYPE InvalidateControl(BSTR ControlID) = 0;
  virtual HRESULT STDMETHODCALLTYPE InvalidateControlMso(BSTR ControlID) = 0;
  virtual HRESULT STDMETHODCALLTYPE ActivateTab(BSTR ControlID) = 0;
  virtual HRESULT STDMETHODCALLTYPE ActivateTabMso(BSTR ControlID) = 0;
  virtual HRESULT STDMETHODCALLTYPE ActivateTabQ(BSTR ControlID, BSTR Namespace) = 0;
};

}  // namespace trovex::office
