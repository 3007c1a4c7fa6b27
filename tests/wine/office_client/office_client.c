/* office_client: Outlook's side of the add-in's COM contract, in plain C.
 *
 * The Wine test host is C++ and declares Office's interfaces with the same
 * headers the add-in uses, so a wrong IID, method order or DISPID there
 * would pass every one of its tests and fail in Outlook. This program
 * includes no header of the project: every Office and Outlook identity and
 * vtable below is written from Microsoft's published listings (cited at
 * each), and only the Windows SDK's own interfaces come from its headers.
 *
 * It plays Outlook once through an add-in's life: loads the DLL through its
 * import library (x86: a stdcall mismatch fails the link) and through COM
 * by ProgID, connects it to a small Outlook Application, asks for the
 * Explorer ribbon, calls onLoad, every button's getLabel and the Start
 * button's onAction, fires Application.Quit through the sink the add-in
 * advised, shuts it down, and checks that every object handed to it was
 * released. One line per check; the exit status is the number of failures
 * (capped), 0 when all pass. */
#define COBJMACROS
#define CONST_VTABLE
#include <windows.h>
#include <ocidl.h>
#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

/* The DLL's entry points, through its import library (import_library.sh)
 * under names of their own, as "DllGetClassObject function" and
 * "DllCanUnloadNow function" on Microsoft Learn declare them: STDAPI, so
 * stdcall on x86. */
HRESULT STDAPICALLTYPE AddIn_DllGetClassObject(REFCLSID clsid, REFIID iid, void **out);
HRESULT STDAPICALLTYPE AddIn_DllCanUnloadNow(void);

/* ---- Identities ------------------------------------------------------- */

/* The add-in's coclass MSOAddIn, as its type library and registration
 * name it (ProgID "QM_MSOAddIn.MSOAddIn"). */
static const CLSID CLSID_MSOAddIn = {0x582D82BA, 0xD79B, 0x4685, {0xA0, 0x3B, 0x6F, 0x65, 0x3F, 0xF4, 0xB7, 0x0B}};
static const wchar_t kProgId[] = L"QM_MSOAddIn.MSOAddIn";
static const wchar_t kDllName[] = L"trovex_addin.dll";

/* IDTExtensibility2 {B65AD801-ABAF-11D0-BB8B-00A0C90F2744}: "IDTExtensibility2
 * Interface" (Extensibility namespace), learn.microsoft.com/previous-versions/
 * visualstudio/visual-studio-2008/ms166250(v=vs.90). Dual; its methods, their
 * order and DISPIDs 1 to 5 as the type library MSADDNDR.OLB ("Microsoft
 * Add-In Designer", library {AC0714F2-3D04-11D1-AE7D-00A0C90F26F4}) lists
 * them. */
static const IID IID_IDTExtensibility2 = {0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};
/* Office's own, from the Office type library in MSO.DLL ("Microsoft Office
 * 16.0 Object Library"), as learn.microsoft.com/dotnet/api/microsoft.office.core
 * .<name> gives each GUID: IRibbonExtensibility {000C0396-...}, IRibbonControl
 * {000C0395-...}, IRibbonUI {000C03A7-...}, ICustomTaskPaneConsumer
 * {000C033E-...} and COMAddIn {000C033A-...}. The slots and DISPIDs below are
 * the type library's. */
static const IID IID_IRibbonExtensibility = {0x000C0396, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID IID_IRibbonControl = {0x000C0395, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID IID_IRibbonUI = {0x000C03A7, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID IID_ICustomTaskPaneConsumer = {0x000C033E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID IID_COMAddIn = {0x000C033A, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
/* COMAddIn.Object: DISPID 7 in the Office type library's COMAddIn. */
enum { DISPID_COMAddIn_Object = 7 };
/* Outlook's, from its type library msoutl.olb (Microsoft.Office.Interop.Outlook
 * on learn.microsoft.com/dotnet/api): _Application {00063001-...}, and its
 * source dispinterface ApplicationEvents_11 {0006302C-...}, whose Quit event
 * ("Application.Quit event (Outlook)", learn.microsoft.com/office/vba/api/
 * outlook.application.quit(even)) has DISPID 61447, 0xF007. */
static const IID IID_OutlookApplication = {0x00063001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID DIID_ApplicationEvents_11 = {0x0006302C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
enum { DISPID_ApplicationEvents_11_Quit = 0xF007 };

/* ---- Office's interfaces, slot by slot --------------------------------- */

typedef enum ext_ConnectMode {
  ext_cm_AfterStartup = 0,
  ext_cm_Startup = 1,
  ext_cm_External = 2,
  ext_cm_CommandLine = 3
} ext_ConnectMode;
typedef enum ext_DisconnectMode { ext_dm_HostShutdown = 0, ext_dm_UserClosed = 1 } ext_DisconnectMode;

/* The first seven slots of every dual interface, IUnknown's and IDispatch's,
 * typed on the interface itself. */
#define DUAL_SLOTS(Self)                                                                               \
  HRESULT(STDMETHODCALLTYPE *QueryInterface)(Self * This, REFIID iid, void **out);                     \
  ULONG(STDMETHODCALLTYPE *AddRef)(Self * This);                                                       \
  ULONG(STDMETHODCALLTYPE *Release)(Self * This);                                                      \
  HRESULT(STDMETHODCALLTYPE *GetTypeInfoCount)(Self * This, UINT * count);                             \
  HRESULT(STDMETHODCALLTYPE *GetTypeInfo)(Self * This, UINT index, LCID locale, ITypeInfo * *info);    \
  HRESULT(STDMETHODCALLTYPE *GetIDsOfNames)                                                            \
  (Self * This, REFIID iid, LPOLESTR * names, UINT count, LCID locale, DISPID * ids);                  \
  HRESULT(STDMETHODCALLTYPE *Invoke)                                                                   \
  (Self * This, DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS * params, VARIANT * result, \
   EXCEPINFO * exception, UINT * argError)

/* IDTExtensibility2, slots 7 to 11 = DISPIDs 1 to 5 in this order. */
typedef struct IDTExtensibility2 IDTExtensibility2;
typedef struct IDTExtensibility2Vtbl {
  DUAL_SLOTS(IDTExtensibility2);
  HRESULT(STDMETHODCALLTYPE *OnConnection)
  (IDTExtensibility2 *This, IDispatch *Application, ext_ConnectMode ConnectMode, IDispatch *AddInInst,
   SAFEARRAY **custom);
  HRESULT(STDMETHODCALLTYPE *OnDisconnection)
  (IDTExtensibility2 *This, ext_DisconnectMode RemoveMode, SAFEARRAY **custom);
  HRESULT(STDMETHODCALLTYPE *OnAddInsUpdate)(IDTExtensibility2 *This, SAFEARRAY **custom);
  HRESULT(STDMETHODCALLTYPE *OnStartupComplete)(IDTExtensibility2 *This, SAFEARRAY **custom);
  HRESULT(STDMETHODCALLTYPE *OnBeginShutdown)(IDTExtensibility2 *This, SAFEARRAY **custom);
} IDTExtensibility2Vtbl;
struct IDTExtensibility2 {
  const IDTExtensibility2Vtbl *lpVtbl;
};

/* IRibbonExtensibility, slot 7 = DISPID 1. */
typedef struct IRibbonExtensibility IRibbonExtensibility;
typedef struct IRibbonExtensibilityVtbl {
  DUAL_SLOTS(IRibbonExtensibility);
  HRESULT(STDMETHODCALLTYPE *GetCustomUI)(IRibbonExtensibility *This, BSTR RibbonID, BSTR *RibbonXml);
} IRibbonExtensibilityVtbl;
struct IRibbonExtensibility {
  const IRibbonExtensibilityVtbl *lpVtbl;
};

/* ICustomTaskPaneConsumer, slot 7 = DISPID 1; the argument is an ICTPFactory. */
typedef struct ICustomTaskPaneConsumer ICustomTaskPaneConsumer;
typedef struct ICustomTaskPaneConsumerVtbl {
  DUAL_SLOTS(ICustomTaskPaneConsumer);
  HRESULT(STDMETHODCALLTYPE *CTPFactoryAvailable)(ICustomTaskPaneConsumer *This, IDispatch *CTPFactoryInst);
} ICustomTaskPaneConsumerVtbl;
struct ICustomTaskPaneConsumer {
  const ICustomTaskPaneConsumerVtbl *lpVtbl;
};

/* IRibbonControl: propget Id, Context, Tag in slots 7 to 9 = DISPIDs 1 to 3. */
typedef struct RibbonControl RibbonControl;
typedef struct IRibbonControlVtbl {
  DUAL_SLOTS(RibbonControl);
  HRESULT(STDMETHODCALLTYPE *get_Id)(RibbonControl *This, BSTR *Id);
  HRESULT(STDMETHODCALLTYPE *get_Context)(RibbonControl *This, IDispatch **Context);
  HRESULT(STDMETHODCALLTYPE *get_Tag)(RibbonControl *This, BSTR *Tag);
} IRibbonControlVtbl;

/* IRibbonUI: Invalidate, InvalidateControl, InvalidateControlMso,
 * ActivateTab, ActivateTabMso, ActivateTabQ in slots 7 to 12 = DISPIDs 1
 * to 6 (the last three since Office 2010). */
typedef struct RibbonUI RibbonUI;
typedef struct IRibbonUIVtbl {
  DUAL_SLOTS(RibbonUI);
  HRESULT(STDMETHODCALLTYPE *Invalidate)(RibbonUI *This);
  HRESULT(STDMETHODCALLTYPE *InvalidateControl)(RibbonUI *This, BSTR ControlID);
  HRESULT(STDMETHODCALLTYPE *InvalidateControlMso)(RibbonUI *This, BSTR ControlID);
  HRESULT(STDMETHODCALLTYPE *ActivateTab)(RibbonUI *This, BSTR ControlID);
  HRESULT(STDMETHODCALLTYPE *ActivateTabMso)(RibbonUI *This, BSTR ControlID);
  HRESULT(STDMETHODCALLTYPE *ActivateTabQ)(RibbonUI *This, BSTR ControlID, BSTR Namespace);
} IRibbonUIVtbl;

/* ---- Checks ------------------------------------------------------------ */

/* Also counted by the dialog watch's thread. */
static volatile LONG failures;

static void Check(int ok, const char *format, ...) __attribute__((format(printf, 2, 3)));
static void Check(int ok, const char *format, ...) {
  va_list args;
  va_start(args, format);
  fputs(ok ? "ok   " : "FAIL ", stdout);
  vprintf(format, args);
  fputc('\n', stdout);
  fflush(stdout);
  va_end(args);
  if (!ok) InterlockedIncrement(&failures);
}

static unsigned long Hex(HRESULT hr) { return (unsigned long)hr; }

/* UTF-8 of a wide text for printing, cut to the buffer. */
static const char *Utf8(const wchar_t *text, char *buffer, size_t size) {
  buffer[0] = '\0';
  if (text && WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, (int)size, NULL, NULL) == 0) buffer[size - 1] = '\0';
  return buffer;
}

/* ---- Reference counts of the objects handed to the add-in -------------- */

/* Every object starts with the one reference this program keeps; it must
 * hold exactly that one again at the end. Objects are static, so a
 * reference the add-in drops too often is counted, not freed. */
typedef struct Counted {
  const char *name;
  LONG refs;
  int overReleased;
} Counted;

static Counted *counted[8];
static int countedCount;

static void Track(Counted *c, const char *name) {
  c->name = name;
  c->refs = 1;
  counted[countedCount++] = c;
}
static ULONG Up(Counted *c) { return (ULONG)InterlockedIncrement(&c->refs); }
static ULONG Down(Counted *c) {
  const LONG left = InterlockedDecrement(&c->refs);
  if (left < 1) c->overReleased = 1;
  return (ULONG)left;
}

/* ---- IDispatch by name -------------------------------------------------- */

typedef struct Member {
  const wchar_t *name;
  DISPID id;
} Member;

/* GetIDsOfNames over `members`, names compared without case as late
 * binding does; a name not there is reported and answered
 * DISP_E_UNKNOWNNAME. */
static HRESULT IdsOfNames(const char *object, const Member *members, size_t count, LPOLESTR *names, UINT n,
                          DISPID *ids) {
  if (!names || !ids || n == 0) return E_INVALIDARG;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < n; ++i) {
    ids[i] = DISPID_UNKNOWN;
    if (i > 0) {
      hr = DISP_E_UNKNOWNNAME; /* no member here has named arguments */
      continue;
    }
    for (size_t m = 0; m < count; ++m) {
      if (names[i] && _wcsicmp(members[m].name, names[i]) == 0) ids[i] = members[m].id;
    }
    if (ids[i] == DISPID_UNKNOWN) {
      char name[128];
      printf("note the add-in asked %s for \"%s\", which it does not have\n", object,
             Utf8(names[i], name, sizeof name));
      hr = DISP_E_UNKNOWNNAME;
    }
  }
  return hr;
}

static HRESULT NoTypeInfo(UINT *count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

static HRESULT TypeInfoMissing(ITypeInfo **info) {
  if (info) *info = NULL;
  return DISP_E_BADINDEX;
}

/* ---- A plain object with no members: Outlook's Explorer, the task-pane
 *      factory ------------------------------------------------------------ */

typedef struct Plain {
  IDispatch dispatch;
  Counted counted;
} Plain;

static Plain *PlainOf(IDispatch *d) { return CONTAINING_RECORD(d, Plain, dispatch); }

static HRESULT STDMETHODCALLTYPE Plain_QueryInterface(IDispatch *This, REFIID iid, void **out) {
  if (!out) return E_POINTER;
  *out = NULL;
  if (!IsEqualIID(iid, &IID_IUnknown) && !IsEqualIID(iid, &IID_IDispatch)) return E_NOINTERFACE;
  *out = This;
  Up(&PlainOf(This)->counted);
  return S_OK;
}
static ULONG STDMETHODCALLTYPE Plain_AddRef(IDispatch *This) { return Up(&PlainOf(This)->counted); }
static ULONG STDMETHODCALLTYPE Plain_Release(IDispatch *This) { return Down(&PlainOf(This)->counted); }
static HRESULT STDMETHODCALLTYPE Plain_GetTypeInfoCount(IDispatch *This, UINT *count) {
  (void)This;
  return NoTypeInfo(count);
}
static HRESULT STDMETHODCALLTYPE Plain_GetTypeInfo(IDispatch *This, UINT index, LCID locale, ITypeInfo **info) {
  (void)This, (void)index, (void)locale;
  return TypeInfoMissing(info);
}
static HRESULT STDMETHODCALLTYPE Plain_GetIDsOfNames(IDispatch *This, REFIID iid, LPOLESTR *names, UINT count,
                                                     LCID locale, DISPID *ids) {
  (void)iid, (void)locale;
  return IdsOfNames(PlainOf(This)->counted.name, NULL, 0, names, count, ids);
}
static HRESULT STDMETHODCALLTYPE Plain_Invoke(IDispatch *This, DISPID id, REFIID iid, LCID locale, WORD flags,
                                              DISPPARAMS *params, VARIANT *result, EXCEPINFO *exception,
                                              UINT *argError) {
  (void)This, (void)id, (void)iid, (void)locale, (void)flags, (void)params, (void)result, (void)exception,
      (void)argError;
  return DISP_E_MEMBERNOTFOUND;
}
static const IDispatchVtbl kPlainVtbl = {
    Plain_QueryInterface, Plain_AddRef,        Plain_Release, Plain_GetTypeInfoCount,
    Plain_GetTypeInfo,    Plain_GetIDsOfNames, Plain_Invoke};

static Plain explorer = {{&kPlainVtbl}, {0}};
static Plain taskPaneFactory = {{&kPlainVtbl}, {0}};

/* ---- Outlook's Application: _Application and its ApplicationEvents_11
 *      connection point --------------------------------------------------- */

typedef struct EventsPoint {
  IConnectionPoint point;
  Counted counted;
  IDispatch *sink; /* the advised ApplicationEvents_11, held */
  int advises;
  int unadvises;
} EventsPoint;

typedef struct Application {
  IDispatch dispatch; /* also its _Application */
  IConnectionPointContainer container;
  Counted counted;
  int outlookQueries;
  int versionReads;
  int activeExplorerCalls;
} Application;

static Application application;
static EventsPoint appEvents;

enum { DISPID_Version = 1, DISPID_ActiveExplorer = 2 };
static const Member kApplicationMembers[] = {{L"Version", DISPID_Version}, {L"ActiveExplorer", DISPID_ActiveExplorer}};

static HRESULT Application_Query(REFIID iid, void **out) {
  if (!out) return E_POINTER;
  *out = NULL;
  if (IsEqualIID(iid, &IID_OutlookApplication)) ++application.outlookQueries;
  if (IsEqualIID(iid, &IID_IUnknown) || IsEqualIID(iid, &IID_IDispatch) || IsEqualIID(iid, &IID_OutlookApplication)) {
    *out = &application.dispatch;
  } else if (IsEqualIID(iid, &IID_IConnectionPointContainer)) {
    *out = &application.container;
  } else {
    return E_NOINTERFACE; /* Word's and Excel's _Application among them */
  }
  Up(&application.counted);
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE App_QueryInterface(IDispatch *This, REFIID iid, void **out) {
  (void)This;
  return Application_Query(iid, out);
}
static ULONG STDMETHODCALLTYPE App_AddRef(IDispatch *This) {
  (void)This;
  return Up(&application.counted);
}
static ULONG STDMETHODCALLTYPE App_Release(IDispatch *This) {
  (void)This;
  return Down(&application.counted);
}
static HRESULT STDMETHODCALLTYPE App_GetTypeInfoCount(IDispatch *This, UINT *count) {
  (void)This;
  return NoTypeInfo(count);
}
static HRESULT STDMETHODCALLTYPE App_GetTypeInfo(IDispatch *This, UINT index, LCID locale, ITypeInfo **info) {
  (void)This, (void)index, (void)locale;
  return TypeInfoMissing(info);
}
static HRESULT STDMETHODCALLTYPE App_GetIDsOfNames(IDispatch *This, REFIID iid, LPOLESTR *names, UINT count,
                                                   LCID locale, DISPID *ids) {
  (void)This, (void)iid, (void)locale;
  return IdsOfNames("Application", kApplicationMembers, ARRAYSIZE(kApplicationMembers), names, count, ids);
}
static HRESULT STDMETHODCALLTYPE App_Invoke(IDispatch *This, DISPID id, REFIID iid, LCID locale, WORD flags,
                                            DISPPARAMS *params, VARIANT *result, EXCEPINFO *exception, UINT *argError) {
  (void)This, (void)iid, (void)locale, (void)exception, (void)argError;
  if (!params) return E_POINTER;
  if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
  if (!result) return E_POINTER;
  VariantInit(result);
  switch (id) {
    case DISPID_Version:
      if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
      ++application.versionReads;
      result->bstrVal = SysAllocString(L"16.0.0.0");
      result->vt = VT_BSTR;
      return result->bstrVal ? S_OK : E_OUTOFMEMORY;
    case DISPID_ActiveExplorer:
      if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
      ++application.activeExplorerCalls;
      Up(&explorer.counted);
      result->pdispVal = &explorer.dispatch;
      result->vt = VT_DISPATCH;
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}
static const IDispatchVtbl kApplicationVtbl = {App_QueryInterface, App_AddRef,        App_Release, App_GetTypeInfoCount,
                                               App_GetTypeInfo,    App_GetIDsOfNames, App_Invoke};

static HRESULT STDMETHODCALLTYPE Container_QueryInterface(IConnectionPointContainer *This, REFIID iid, void **out) {
  (void)This;
  return Application_Query(iid, out);
}
static ULONG STDMETHODCALLTYPE Container_AddRef(IConnectionPointContainer *This) {
  (void)This;
  return Up(&application.counted);
}
static ULONG STDMETHODCALLTYPE Container_Release(IConnectionPointContainer *This) {
  (void)This;
  return Down(&application.counted);
}
static HRESULT STDMETHODCALLTYPE Container_EnumConnectionPoints(IConnectionPointContainer *This,
                                                                IEnumConnectionPoints **points) {
  (void)This;
  if (points) *points = NULL;
  return E_NOTIMPL;
}
static HRESULT STDMETHODCALLTYPE Container_FindConnectionPoint(IConnectionPointContainer *This, REFIID iid,
                                                               IConnectionPoint **point) {
  (void)This;
  if (!point) return E_POINTER;
  *point = NULL;
  if (!IsEqualIID(iid, &DIID_ApplicationEvents_11)) return CONNECT_E_NOCONNECTION;
  Up(&appEvents.counted);
  *point = &appEvents.point;
  return S_OK;
}
static const IConnectionPointContainerVtbl kContainerVtbl = {Container_QueryInterface, Container_AddRef,
                                                             Container_Release, Container_EnumConnectionPoints,
                                                             Container_FindConnectionPoint};

static HRESULT STDMETHODCALLTYPE Point_QueryInterface(IConnectionPoint *This, REFIID iid, void **out) {
  if (!out) return E_POINTER;
  *out = NULL;
  if (!IsEqualIID(iid, &IID_IUnknown) && !IsEqualIID(iid, &IID_IConnectionPoint)) return E_NOINTERFACE;
  *out = This;
  Up(&appEvents.counted);
  return S_OK;
}
static ULONG STDMETHODCALLTYPE Point_AddRef(IConnectionPoint *This) {
  (void)This;
  return Up(&appEvents.counted);
}
static ULONG STDMETHODCALLTYPE Point_Release(IConnectionPoint *This) {
  (void)This;
  return Down(&appEvents.counted);
}
static HRESULT STDMETHODCALLTYPE Point_GetConnectionInterface(IConnectionPoint *This, IID *iid) {
  (void)This;
  if (!iid) return E_POINTER;
  *iid = DIID_ApplicationEvents_11;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE Point_GetConnectionPointContainer(IConnectionPoint *This,
                                                                   IConnectionPointContainer **container) {
  (void)This;
  if (!container) return E_POINTER;
  Up(&application.counted);
  *container = &application.container;
  return S_OK;
}
/* As a connection point does: the sink is asked for the event interface
 * and held as that. One subscriber is all this host expects. */
static HRESULT STDMETHODCALLTYPE Point_Advise(IConnectionPoint *This, IUnknown *sink, DWORD *cookie) {
  (void)This;
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  ++appEvents.advises;
  if (appEvents.sink) return CONNECT_E_ADVISELIMIT;
  IDispatch *events = NULL;
  if (FAILED(IUnknown_QueryInterface(sink, &DIID_ApplicationEvents_11, (void **)&events)) || !events) {
    return CONNECT_E_CANNOTCONNECT;
  }
  appEvents.sink = events;
  *cookie = 1;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE Point_Unadvise(IConnectionPoint *This, DWORD cookie) {
  (void)This;
  if (cookie != 1 || !appEvents.sink) return CONNECT_E_NOCONNECTION;
  ++appEvents.unadvises;
  IDispatch *sink = appEvents.sink;
  appEvents.sink = NULL;
  IDispatch_Release(sink);
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE Point_EnumConnections(IConnectionPoint *This, IEnumConnections **connections) {
  (void)This;
  if (connections) *connections = NULL;
  return E_NOTIMPL;
}
static const IConnectionPointVtbl kPointVtbl = {Point_QueryInterface,
                                                Point_AddRef,
                                                Point_Release,
                                                Point_GetConnectionInterface,
                                                Point_GetConnectionPointContainer,
                                                Point_Advise,
                                                Point_Unadvise,
                                                Point_EnumConnections};

/* ---- The add-in's entry in Outlook's COMAddIns ------------------------- */

typedef struct AddInEntry {
  IDispatch dispatch; /* also its COMAddIn */
  Counted counted;
  IDispatch *object; /* COMAddIn.Object as the add-in set it, held */
  int objectPuts;
} AddInEntry;

static AddInEntry entry;
static const Member kEntryMembers[] = {{L"Object", DISPID_COMAddIn_Object}};

static HRESULT STDMETHODCALLTYPE Entry_QueryInterface(IDispatch *This, REFIID iid, void **out) {
  if (!out) return E_POINTER;
  *out = NULL;
  if (!IsEqualIID(iid, &IID_IUnknown) && !IsEqualIID(iid, &IID_IDispatch) && !IsEqualIID(iid, &IID_COMAddIn)) {
    return E_NOINTERFACE;
  }
  *out = This;
  Up(&entry.counted);
  return S_OK;
}
static ULONG STDMETHODCALLTYPE Entry_AddRef(IDispatch *This) {
  (void)This;
  return Up(&entry.counted);
}
static ULONG STDMETHODCALLTYPE Entry_Release(IDispatch *This) {
  (void)This;
  return Down(&entry.counted);
}
static HRESULT STDMETHODCALLTYPE Entry_GetTypeInfoCount(IDispatch *This, UINT *count) {
  (void)This;
  return NoTypeInfo(count);
}
static HRESULT STDMETHODCALLTYPE Entry_GetTypeInfo(IDispatch *This, UINT index, LCID locale, ITypeInfo **info) {
  (void)This, (void)index, (void)locale;
  return TypeInfoMissing(info);
}
static HRESULT STDMETHODCALLTYPE Entry_GetIDsOfNames(IDispatch *This, REFIID iid, LPOLESTR *names, UINT count,
                                                     LCID locale, DISPID *ids) {
  (void)This, (void)iid, (void)locale;
  return IdsOfNames("COMAddIn", kEntryMembers, ARRAYSIZE(kEntryMembers), names, count, ids);
}
static HRESULT STDMETHODCALLTYPE Entry_Invoke(IDispatch *This, DISPID id, REFIID iid, LCID locale, WORD flags,
                                              DISPPARAMS *params, VARIANT *result, EXCEPINFO *exception,
                                              UINT *argError) {
  (void)This, (void)iid, (void)locale, (void)exception, (void)argError;
  if (id != DISPID_COMAddIn_Object) return DISP_E_MEMBERNOTFOUND;
  if (!params) return E_POINTER;
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    if (params->cArgs != 1 || params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return DISP_E_BADPARAMCOUNT;
    }
    VARIANT value;
    VariantInit(&value);
    if (FAILED(VariantChangeType(&value, &params->rgvarg[0], 0, VT_DISPATCH))) return DISP_E_TYPEMISMATCH;
    if (entry.object) IDispatch_Release(entry.object);
    entry.object = value.pdispVal; /* the reference of the copy */
    ++entry.objectPuts;
    return S_OK;
  }
  if (!result) return E_POINTER;
  VariantInit(result);
  if (entry.object) IDispatch_AddRef(entry.object);
  result->pdispVal = entry.object;
  result->vt = VT_DISPATCH;
  return S_OK;
}
static const IDispatchVtbl kEntryVtbl = {
    Entry_QueryInterface, Entry_AddRef,        Entry_Release, Entry_GetTypeInfoCount,
    Entry_GetTypeInfo,    Entry_GetIDsOfNames, Entry_Invoke};

/* ---- Office's ribbon objects ------------------------------------------- */

struct RibbonControl {
  const IRibbonControlVtbl *lpVtbl;
  Counted counted;
  const wchar_t *id;
  int idReads;
};

static const Member kControlMembers[] = {{L"Id", 1}, {L"Context", 2}, {L"Tag", 3}};

static HRESULT STDMETHODCALLTYPE Control_QueryInterface(RibbonControl *This, REFIID iid, void **out) {
  if (!out) return E_POINTER;
  *out = NULL;
  if (!IsEqualIID(iid, &IID_IUnknown) && !IsEqualIID(iid, &IID_IDispatch) && !IsEqualIID(iid, &IID_IRibbonControl)) {
    return E_NOINTERFACE;
  }
  *out = This;
  Up(&This->counted);
  return S_OK;
}
static ULONG STDMETHODCALLTYPE Control_AddRef(RibbonControl *This) { return Up(&This->counted); }
static ULONG STDMETHODCALLTYPE Control_Release(RibbonControl *This) { return Down(&This->counted); }
static HRESULT STDMETHODCALLTYPE Control_GetTypeInfoCount(RibbonControl *This, UINT *count) {
  (void)This;
  return NoTypeInfo(count);
}
static HRESULT STDMETHODCALLTYPE Control_GetTypeInfo(RibbonControl *This, UINT index, LCID locale, ITypeInfo **info) {
  (void)This, (void)index, (void)locale;
  return TypeInfoMissing(info);
}
static HRESULT STDMETHODCALLTYPE Control_GetIDsOfNames(RibbonControl *This, REFIID iid, LPOLESTR *names, UINT count,
                                                       LCID locale, DISPID *ids) {
  (void)This, (void)iid, (void)locale;
  return IdsOfNames("IRibbonControl", kControlMembers, ARRAYSIZE(kControlMembers), names, count, ids);
}
static HRESULT STDMETHODCALLTYPE Control_get_Id(RibbonControl *This, BSTR *id) {
  if (!id) return E_POINTER;
  ++This->idReads;
  *id = SysAllocString(This->id);
  return *id ? S_OK : E_OUTOFMEMORY;
}
static HRESULT STDMETHODCALLTYPE Control_get_Context(RibbonControl *This, IDispatch **context) {
  (void)This;
  if (!context) return E_POINTER;
  Up(&explorer.counted);
  *context = &explorer.dispatch;
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE Control_get_Tag(RibbonControl *This, BSTR *tag) {
  (void)This;
  if (!tag) return E_POINTER;
  *tag = SysAllocString(L"");
  return *tag ? S_OK : E_OUTOFMEMORY;
}
static HRESULT STDMETHODCALLTYPE Control_Invoke(RibbonControl *This, DISPID id, REFIID iid, LCID locale, WORD flags,
                                                DISPPARAMS *params, VARIANT *result, EXCEPINFO *exception,
                                                UINT *argError) {
  (void)iid, (void)locale, (void)exception, (void)argError;
  if (!params || !result) return E_POINTER;
  if (params->cArgs != 0 || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_BADPARAMCOUNT;
  VariantInit(result);
  switch (id) {
    case 1:
      result->vt = VT_BSTR;
      return Control_get_Id(This, &result->bstrVal);
    case 2:
      result->vt = VT_DISPATCH;
      return Control_get_Context(This, &result->pdispVal);
    case 3:
      result->vt = VT_BSTR;
      return Control_get_Tag(This, &result->bstrVal);
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}
static const IRibbonControlVtbl kControlVtbl = {
    Control_QueryInterface, Control_AddRef, Control_Release, Control_GetTypeInfoCount, Control_GetTypeInfo,
    Control_GetIDsOfNames,  Control_Invoke, Control_get_Id,  Control_get_Context,      Control_get_Tag};

enum { kRibbonUIMethods = 6 };
static const Member kRibbonUIMembers[kRibbonUIMethods] = {{L"Invalidate", 1},           {L"InvalidateControl", 2},
                                                          {L"InvalidateControlMso", 3}, {L"ActivateTab", 4},
                                                          {L"ActivateTabMso", 5},       {L"ActivateTabQ", 6}};

struct RibbonUI {
  const IRibbonUIVtbl *lpVtbl;
  Counted counted;
  int calls[kRibbonUIMethods]; /* by DISPID - 1 */
};

static HRESULT STDMETHODCALLTYPE UI_QueryInterface(RibbonUI *This, REFIID iid, void **out) {
  if (!out) return E_POINTER;
  *out = NULL;
  if (!IsEqualIID(iid, &IID_IUnknown) && !IsEqualIID(iid, &IID_IDispatch) && !IsEqualIID(iid, &IID_IRibbonUI)) {
    return E_NOINTERFACE;
  }
  *out = This;
  Up(&This->counted);
  return S_OK;
}
static ULONG STDMETHODCALLTYPE UI_AddRef(RibbonUI *This) { return Up(&This->counted); }
static ULONG STDMETHODCALLTYPE UI_Release(RibbonUI *This) { return Down(&This->counted); }
static HRESULT STDMETHODCALLTYPE UI_GetTypeInfoCount(RibbonUI *This, UINT *count) {
  (void)This;
  return NoTypeInfo(count);
}
static HRESULT STDMETHODCALLTYPE UI_GetTypeInfo(RibbonUI *This, UINT index, LCID locale, ITypeInfo **info) {
  (void)This, (void)index, (void)locale;
  return TypeInfoMissing(info);
}
static HRESULT STDMETHODCALLTYPE UI_GetIDsOfNames(RibbonUI *This, REFIID iid, LPOLESTR *names, UINT count, LCID locale,
                                                  DISPID *ids) {
  (void)This, (void)iid, (void)locale;
  return IdsOfNames("IRibbonUI", kRibbonUIMembers, kRibbonUIMethods, names, count, ids);
}
static HRESULT STDMETHODCALLTYPE UI_Invoke(RibbonUI *This, DISPID id, REFIID iid, LCID locale, WORD flags,
                                           DISPPARAMS *params, VARIANT *result, EXCEPINFO *exception, UINT *argError) {
  (void)iid, (void)locale, (void)flags, (void)params, (void)exception, (void)argError;
  if (result) VariantInit(result);
  if (id < 1 || id > kRibbonUIMethods) return DISP_E_MEMBERNOTFOUND;
  ++This->calls[id - 1];
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE UI_Invalidate(RibbonUI *This) {
  ++This->calls[0];
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE UI_InvalidateControl(RibbonUI *This, BSTR id) {
  (void)id;
  ++This->calls[1];
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE UI_InvalidateControlMso(RibbonUI *This, BSTR id) {
  (void)id;
  ++This->calls[2];
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE UI_ActivateTab(RibbonUI *This, BSTR id) {
  (void)id;
  ++This->calls[3];
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE UI_ActivateTabMso(RibbonUI *This, BSTR id) {
  (void)id;
  ++This->calls[4];
  return S_OK;
}
static HRESULT STDMETHODCALLTYPE UI_ActivateTabQ(RibbonUI *This, BSTR id, BSTR ns) {
  (void)id, (void)ns;
  ++This->calls[5];
  return S_OK;
}
static const IRibbonUIVtbl kRibbonUIVtbl = {
    UI_QueryInterface, UI_AddRef,         UI_Release,     UI_GetTypeInfoCount,  UI_GetTypeInfo,
    UI_GetIDsOfNames,  UI_Invoke,         UI_Invalidate,  UI_InvalidateControl, UI_InvalidateControlMso,
    UI_ActivateTab,    UI_ActivateTabMso, UI_ActivateTabQ};

static RibbonUI ribbonUI = {&kRibbonUIVtbl, {0}, {0}};
static RibbonControl control = {&kControlVtbl, {0}, NULL, 0};

/* ---- The ribbon markup -------------------------------------------------- */

/* The value of ` name="..."` inside [begin, end), or an empty text. */
static void Attribute(const wchar_t *begin, const wchar_t *end, const wchar_t *name, wchar_t *out, size_t size) {
  out[0] = L'\0';
  wchar_t pattern[64] = L" ";
  wcsncat(pattern, name, ARRAYSIZE(pattern) - 4);
  wcscat(pattern, L"=\"");
  const size_t length = wcslen(pattern);
  for (const wchar_t *p = begin; p + length <= end; ++p) {
    if (wcsncmp(p, pattern, length) != 0) continue;
    const wchar_t *value = p + length;
    const wchar_t *close = wcschr(value, L'"');
    if (!close || close > end) return;
    size_t n = (size_t)(close - value);
    if (n >= size) n = size - 1;
    wmemcpy(out, value, n);
    out[n] = L'\0';
    return;
  }
}

/* The id Office passes for a control: its idQ without the namespace. */
static void OfficeId(const wchar_t *begin, const wchar_t *end, wchar_t *out, size_t size) {
  wchar_t q[160];
  Attribute(begin, end, L"idQ", q, ARRAYSIZE(q));
  if (!q[0]) Attribute(begin, end, L"id", q, ARRAYSIZE(q));
  const wchar_t *colon = wcschr(q, L':');
  const wchar_t *id = colon ? colon + 1 : q;
  wcsncpy(out, id, size - 1);
  out[size - 1] = L'\0';
}

typedef struct Button {
  wchar_t id[128];
  wchar_t getLabel[64];
  wchar_t onAction[64];
} Button;

/* The <button> elements of the markup, at most `capacity`. */
static int Buttons(const wchar_t *xml, Button *buttons, int capacity) {
  int count = 0;
  for (const wchar_t *p = wcsstr(xml, L"<button "); p && count < capacity; p = wcsstr(p + 1, L"<button ")) {
    const wchar_t *end = wcschr(p, L'>');
    if (!end) break;
    Button *b = &buttons[count++];
    OfficeId(p, end, b->id, ARRAYSIZE(b->id));
    Attribute(p, end, L"getLabel", b->getLabel, ARRAYSIZE(b->getLabel));
    Attribute(p, end, L"onAction", b->onAction, ARRAYSIZE(b->onAction));
  }
  return count;
}

/* ---- Calls into the add-in ---------------------------------------------- */

/* A ribbon callback, by name through the add-in's IDispatch, as Office
 * calls the names the markup gives. `argument` is the one argument. */
static HRESULT Callback(IDispatch *addIn, const wchar_t *name, IDispatch *argument, VARIANT *result) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[1] = {(LPOLESTR)name};
  HRESULT hr = IDispatch_GetIDsOfNames(addIn, &IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  VARIANT args[1];
  VariantInit(&args[0]);
  args[0].vt = VT_DISPATCH;
  args[0].pdispVal = argument;
  DISPPARAMS params = {args, NULL, 1, 0};
  EXCEPINFO exception;
  memset(&exception, 0, sizeof exception);
  UINT argError = 0;
  VariantInit(result);
  hr = IDispatch_Invoke(addIn, id, &IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, &exception,
                        &argError);
  if (hr == DISP_E_EXCEPTION) {
    char text[256];
    printf("note %s\n", Utf8(exception.bstrDescription, text, sizeof text));
    hr = exception.scode ? exception.scode : hr;
  }
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return hr;
}

/* The `custom` array Outlook passes: one VARIANT at index 1. */
static SAFEARRAY *CustomArray(void) {
  SAFEARRAYBOUND bound = {1, 1};
  SAFEARRAY *array = SafeArrayCreate(VT_VARIANT, 1, &bound);
  if (!array) return NULL;
  LONG index = 1;
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = 1;
  SafeArrayPutElement(array, &index, &v);
  return array;
}

static int SameObject(IUnknown *a, IUnknown *b) {
  IUnknown *x = NULL;
  IUnknown *y = NULL;
  const int same = a && b && SUCCEEDED(IUnknown_QueryInterface(a, &IID_IUnknown, (void **)&x)) &&
                   SUCCEEDED(IUnknown_QueryInterface(b, &IID_IUnknown, (void **)&y)) && x == y;
  if (x) IUnknown_Release(x);
  if (y) IUnknown_Release(y);
  return same;
}

static HMODULE ModuleOf(const void *address) {
  HMODULE module = NULL;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     (LPCWSTR)address, &module);
  return module;
}

/* ---- Message boxes -------------------------------------------------------- */

/* Nothing here should make the add-in report an error; if it does, its
 * message box would wait for a user forever. A second thread fails the run
 * with the box's words and dismisses it. */
static volatile LONG watching = 1;

static BOOL CALLBACK DismissDialog(HWND window, LPARAM unused) {
  (void)unused;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t kind[16];
  if (process != GetCurrentProcessId() || !IsWindowVisible(window) || !GetClassNameW(window, kind, ARRAYSIZE(kind)) ||
      wcscmp(kind, L"#32770") != 0) {
    return TRUE;
  }
  wchar_t caption[128] = L"";
  wchar_t text[512] = L"";
  GetWindowTextW(window, caption, ARRAYSIZE(caption));
  GetDlgItemTextW(window, 0xFFFF, text, ARRAYSIZE(text)); /* a message box's text */
  char a[256], b[1024];
  Check(0, "the add-in showed a message box \"%s\": %s", Utf8(caption, a, sizeof a), Utf8(text, b, sizeof b));
  const int button = GetDlgItem(window, IDCANCEL) ? IDCANCEL : GetDlgItem(window, IDNO) ? IDNO : IDOK;
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  return TRUE;
}

static DWORD WINAPI WatchDialogs(void *unused) {
  (void)unused;
  while (InterlockedCompareExchange(&watching, 1, 1)) {
    EnumWindows(DismissDialog, 0);
    Sleep(200);
  }
  return 0;
}

/* ---- The session --------------------------------------------------------- */

/* The DLL's exports, through its import library: a stdcall function the
 * DLL defined otherwise would not link on x86. */
static void CheckExports(void) {
  IClassFactory *factory = NULL;
  const HRESULT hr = AddIn_DllGetClassObject(&CLSID_MSOAddIn, &IID_IClassFactory, (void **)&factory);
  Check(hr == S_OK && factory, "DllGetClassObject(MSOAddIn, IClassFactory) through the import: 0x%08lx", Hex(hr));
  if (factory) IClassFactory_Release(factory);
  IUnknown *none = NULL;
  const CLSID other = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  const HRESULT unknown = AddIn_DllGetClassObject(&other, &IID_IClassFactory, (void **)&none);
  Check(unknown == CLASS_E_CLASSNOTAVAILABLE && !none, "DllGetClassObject of another class: 0x%08lx", Hex(unknown));
}

/* The Explorer's markup and the add-in's IDispatch its callbacks go to,
 * after onLoad; either is null when it cannot be had. */
static BSTR LoadRibbon(IUnknown *addIn, IDispatch **callbacks) {
  *callbacks = NULL;
  IRibbonExtensibility *ribbon = NULL;
  HRESULT hr = IUnknown_QueryInterface(addIn, &IID_IRibbonExtensibility, (void **)&ribbon);
  Check(hr == S_OK && ribbon, "QueryInterface(IRibbonExtensibility): 0x%08lx", Hex(hr));
  if (!ribbon) return NULL;
  BSTR which = SysAllocString(L"Microsoft.Outlook.Explorer");
  BSTR xml = NULL;
  hr = ribbon->lpVtbl->GetCustomUI(ribbon, which, &xml);
  SysFreeString(which);
  ribbon->lpVtbl->Release(ribbon);
  const wchar_t *tab = xml ? wcsstr(xml, L"<tab ") : NULL;
  wchar_t tabId[128] = L"";
  wchar_t tabLabel[64] = L"";
  if (tab) {
    const wchar_t *end = wcschr(tab, L'>');
    if (end) {
      OfficeId(tab, end, tabId, ARRAYSIZE(tabId));
      Attribute(tab, end, L"label", tabLabel, ARRAYSIZE(tabLabel));
    }
  }
  char a[128], b[64];
  Check(hr == S_OK && tab && wcscmp(tabId, L"quellmark.adxRibbonTab") == 0,
        "GetCustomUI(\"Microsoft.Outlook.Explorer\"): 0x%08lx, tab \"%s\" labelled \"%s\"", Hex(hr),
        Utf8(tabId, a, sizeof a), Utf8(tabLabel, b, sizeof b));
  if (!xml) return NULL;

  hr = IUnknown_QueryInterface(addIn, &IID_IDispatch, (void **)callbacks);
  Check(hr == S_OK && *callbacks, "QueryInterface(IDispatch) for the callbacks: 0x%08lx", Hex(hr));
  if (!*callbacks) return xml;

  wchar_t onLoad[64];
  const wchar_t *root = wcsstr(xml, L"<customUI ");
  const wchar_t *rootEnd = root ? wcschr(root, L'>') : NULL;
  if (rootEnd) {
    Attribute(root, rootEnd, L"onLoad", onLoad, ARRAYSIZE(onLoad));
  } else {
    onLoad[0] = L'\0';
  }
  VARIANT result;
  hr = Callback(*callbacks, onLoad, (IDispatch *)&ribbonUI, &result);
  VariantClear(&result);
  Check(hr == S_OK && ribbonUI.counted.refs > 1, "onLoad \"%s\" with the IRibbonUI: 0x%08lx, the add-in keeps it: %s",
        Utf8(onLoad, a, sizeof a), Hex(hr), ribbonUI.counted.refs > 1 ? "yes" : "no");
  return xml;
}

/* Every button's label, then a click on Start, as a user would after
 * Outlook has started. */
static void UseButtons(IDispatch *callbacks, const wchar_t *xml) {
  HRESULT hr = S_OK;
  VARIANT result;
  char a[128], b[64];
  Button buttons[16];
  const int count = Buttons(xml, buttons, (int)ARRAYSIZE(buttons));
  Check(count > 0, "the markup has %d buttons", count);
  char c[64];
  const Button *start = NULL;
  for (int i = 0; i < count; ++i) {
    control.id = buttons[i].id;
    const int reads = control.idReads;
    hr = Callback(callbacks, buttons[i].getLabel, (IDispatch *)&control, &result);
    const int ok = hr == S_OK && result.vt == VT_BSTR && SysStringLen(result.bstrVal) > 0;
    Check(ok && control.idReads > reads, "getLabel \"%s\" of %s: 0x%08lx, \"%s\"",
          Utf8(buttons[i].getLabel, b, sizeof b), Utf8(buttons[i].id, a, sizeof a), Hex(hr),
          ok ? Utf8(result.bstrVal, c, sizeof c) : "");
    if (ok && wcscmp(result.bstrVal, L"Start") == 0) start = &buttons[i];
    VariantClear(&result);
  }

  /* Start asks Outlook for its active explorer and hands it to the export
   * wizard; nothing else leaves the add-in. */
  Check(start != NULL, "a button is labelled \"Start\"");
  if (start) {
    control.id = start->id;
    const int before = application.activeExplorerCalls;
    hr = Callback(callbacks, start->onAction, (IDispatch *)&control, &result);
    VariantClear(&result);
    Check(hr == S_OK && application.activeExplorerCalls == before + 1,
          "onAction \"%s\" of Start: 0x%08lx, Application.ActiveExplorer called %d time(s)",
          Utf8(start->onAction, a, sizeof a), Hex(hr), application.activeExplorerCalls - before);
    Check(explorer.counted.refs == 1, "the explorer is released after the click (%ld extra)",
          explorer.counted.refs - 1);
  }
  control.id = NULL;
}

int main(void) {
  Track(&application.counted, "Application");
  Track(&appEvents.counted, "ApplicationEvents_11 connection point");
  Track(&entry.counted, "COMAddIn");
  Track(&explorer.counted, "Explorer");
  Track(&taskPaneFactory.counted, "ICTPFactory");
  Track(&ribbonUI.counted, "IRibbonUI");
  Track(&control.counted, "IRibbonControl");
  application.dispatch.lpVtbl = &kApplicationVtbl;
  application.container.lpVtbl = &kContainerVtbl;
  appEvents.point.lpVtbl = &kPointVtbl;
  entry.dispatch.lpVtbl = &kEntryVtbl;

  /* Outlook's user-interface thread is a single-threaded apartment. */
  HRESULT hr = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
  if (FAILED(hr)) {
    printf("FAIL CoInitializeEx: 0x%08lx\n", Hex(hr));
    return 1;
  }
  HANDLE watch = CreateThread(NULL, 0, WatchDialogs, NULL, 0, NULL);
  CheckExports();

  CLSID clsid;
  hr = CLSIDFromProgID(kProgId, &clsid);
  Check(hr == S_OK && IsEqualCLSID(&clsid, &CLSID_MSOAddIn),
        "CLSIDFromProgID(\"QM_MSOAddIn.MSOAddIn\") is MSOAddIn: 0x%08lx", Hex(hr));
  IUnknown *addIn = NULL;
  hr = CoCreateInstance(&CLSID_MSOAddIn, NULL, CLSCTX_INPROC_SERVER, &IID_IUnknown, (void **)&addIn);
  Check(hr == S_OK && addIn, "CoCreateInstance(MSOAddIn): 0x%08lx", Hex(hr));
  if (!addIn) {
    CoUninitialize();
    return 1; /* the watch thread ends with the process */
  }
  Check(ModuleOf(addIn->lpVtbl) == GetModuleHandleW(kDllName), "COM's object comes from the module the import loaded");

  IDTExtensibility2 *ext = NULL;
  hr = IUnknown_QueryInterface(addIn, &IID_IDTExtensibility2, (void **)&ext);
  Check(hr == S_OK && ext, "QueryInterface(IDTExtensibility2): 0x%08lx", Hex(hr));
  SAFEARRAY *custom = CustomArray();
  if (ext) {
    hr = ext->lpVtbl->OnConnection(ext, &application.dispatch, ext_cm_Startup, &entry.dispatch, &custom);
    Check(hr == S_OK, "OnConnection(ext_cm_Startup): 0x%08lx", Hex(hr));
    Check(entry.objectPuts == 1 && SameObject((IUnknown *)entry.object, addIn),
          "COMAddIn.Object is the add-in (%d put)", entry.objectPuts);
    Check(application.versionReads == 0, "start-up work waits for OnStartupComplete");

    ICustomTaskPaneConsumer *panes = NULL;
    if (SUCCEEDED(IUnknown_QueryInterface(addIn, &IID_ICustomTaskPaneConsumer, (void **)&panes)) && panes) {
      hr = panes->lpVtbl->CTPFactoryAvailable(panes, &taskPaneFactory.dispatch);
      Check(hr == S_OK, "ICustomTaskPaneConsumer.CTPFactoryAvailable: 0x%08lx", Hex(hr));
      panes->lpVtbl->Release(panes);
    } else {
      printf("note the add-in has no ICustomTaskPaneConsumer\n");
    }

    /* Outlook asks for the ribbon before start-up completes. */
    IDispatch *callbacks = NULL;
    BSTR xml = LoadRibbon(addIn, &callbacks);

    hr = ext->lpVtbl->OnAddInsUpdate(ext, &custom);
    Check(hr == S_OK, "OnAddInsUpdate: 0x%08lx", Hex(hr));
    hr = ext->lpVtbl->OnStartupComplete(ext, &custom);
    Check(hr == S_OK, "OnStartupComplete: 0x%08lx", Hex(hr));
    Check(application.outlookQueries > 0 && application.versionReads == 1,
          "the add-in took Outlook's _Application (%d) and read its Version once (%d)", application.outlookQueries,
          application.versionReads);
    if (callbacks && xml) UseButtons(callbacks, xml);
    if (callbacks) IDispatch_Release(callbacks);
    SysFreeString(xml);
    /* Outlook 16 shuts down fast: Quit is the last word it says. */
    Check(appEvents.advises == 1 && appEvents.sink, "the add-in advised one ApplicationEvents_11 sink (%d)",
          appEvents.advises);

    if (appEvents.sink) {
      IDispatch *sink = appEvents.sink;
      IDispatch_AddRef(sink);
      DISPPARAMS none = {NULL, NULL, 0, 0};
      hr = IDispatch_Invoke(sink, DISPID_ApplicationEvents_11_Quit, &IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                            &none, NULL, NULL, NULL);
      IDispatch_Release(sink);
      Check(hr == S_OK, "Application.Quit (DISPID 0xF007) on the sink: 0x%08lx", Hex(hr));
      Check(appEvents.unadvises == 1 && !appEvents.sink, "Quit ended the subscription (%d unadvise)",
            appEvents.unadvises);
      Check(application.counted.refs == 1, "after Quit the add-in holds no Application (%ld)",
            application.counted.refs - 1);
    }
    hr = ext->lpVtbl->OnBeginShutdown(ext, &custom);
    Check(hr == S_OK, "OnBeginShutdown: 0x%08lx", Hex(hr));
    hr = ext->lpVtbl->OnDisconnection(ext, ext_dm_HostShutdown, &custom);
    Check(hr == S_OK, "OnDisconnection(ext_dm_HostShutdown): 0x%08lx", Hex(hr));
    ext->lpVtbl->Release(ext);
  }
  if (custom) SafeArrayDestroy(custom);

  /* Outlook lets go of the add-in and of what it published. */
  IUnknown_Release(addIn);
  if (entry.object) {
    IDispatch_Release(entry.object);
    entry.object = NULL;
  }
  hr = AddIn_DllCanUnloadNow();
  Check(hr == S_OK, "DllCanUnloadNow through the import once all is released: 0x%08lx", Hex(hr));

  for (int i = 0; i < countedCount; ++i) {
    const Counted *c = counted[i];
    Check(c->refs == 1 && !c->overReleased, "the add-in released %s (%ld left%s)", c->name, c->refs - 1,
          c->overReleased ? ", released once too often" : "");
  }
  CoUninitialize();
  InterlockedExchange(&watching, 0);
  if (watch) {
    WaitForSingleObject(watch, INFINITE);
    CloseHandle(watch);
  }

  const LONG failed = failures;
  printf("%s: %ld failure(s)\n", failed ? "FAILED" : "PASSED", failed);
  return failed > 100 ? 100 : (int)failed;
}
