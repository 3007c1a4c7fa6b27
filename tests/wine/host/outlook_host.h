// A stand-in for Outlook in tests: serves a mail store through IDispatch as
// Outlook's object model does, so the add-in and the Outlook binding can be
// driven exactly as Outlook drives them.
//
// Objects offered, each through one of Outlook's dual interfaces as the
// host's type library (host/outlook_model.idl) declares it; OLE Automation
// answers IDispatch from that library, so names (case-insensitive),
// DISPIDs, property or method and argument types are checked as Outlook's
// type library checks them:
//   Application   _Application: Version, ActiveExplorer (a method);
//                 IConnectionPointContainer with a connection point for
//                 ApplicationEvents_11 (Quit is fired by FireQuit)
//   Explorer      _Explorer: CurrentFolder
//   Folder        MAPIFolder: Name, Items, Folders
//   Folders/Items/Attachments   Count, Item(index): 1-based, any numeric
//                 variant; a bad index raises "Der Arrayindex liegt
//                 außerhalb des gültigen Bereichs." (DISP_E_BADINDEX)
//   MailItem      _MailItem: Subject, SenderName, SenderEmailAddress,
//                 SenderEmailType, ReceivedByName, ReceivedOnBehalfOfName,
//                 ReceivedTime (DATE), MessageClass, PropertyAccessor,
//                 Attachments. Other items are _AppointmentItem (for
//                 IPM.Appointment) or _DocumentItem and offer only
//                 MessageClass.
//   Attachment    FileName, PropertyAccessor, SaveAsFile(path)
//   PropertyAccessor   GetProperty(schemaName): VT_BSTR or VT_I4; an absent
//                 property raises MAPI_E_NOT_FOUND
//   COMAddIn      Office's COMAddIn: Object (get and put)
// Every object answers ISupportErrorInfo. A failing member raises its text
// through the thread's error object, so Invoke answers DISP_E_EXCEPTION
// with Outlook's text and code in EXCEPINFO; the store's Faults raise
// their text the same way.
//
// The running test fails on calls that must not happen: unknown members or
// DISPIDs, anything the type library refuses (wrong argument counts or
// types, a property read of a method, writes to read-only properties),
// indexes that are no numbers, calls on released objects or from another
// thread, unknown Unadvise cookies. Every object handed out is counted;
// after each test the test program fails the test if any is still
// referenced.
#pragma once

#include <oaidl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "outlook/mail_store.h"
#include "support/win32/com_ptr.h"

namespace trovex::wine_host {

struct HostState;

class OutlookHost {
 public:
  // The active explorer shows `current` (nullptr: the store's top folder).
  explicit OutlookHost(std::shared_ptr<const store::MailStore> store,
                       const store::StoreFolder* current = nullptr);
  // Releases the host's own references; fails the test when an event sink
  // is still advised (the add-in did not let go of Outlook).
  ~OutlookHost();
  OutlookHost(const OutlookHost&) = delete;
  OutlookHost& operator=(const OutlookHost&) = delete;

  // The Application object, held by the host; AddRef to keep it.
  IDispatch* Application() const { return app_.Get(); }
  // Outlook's COMAddIn entry for the add-in (OnConnection's AddInInst),
  // created on first use and held by the host.
  IDispatch* AddInInstance();
  // What the add-in put into the COMAddIn's Object property, if anything.
  win32::ComPtr<IDispatch> AddInObject() const;

  // Application.Version, "16.0.0.0" unless set.
  void SetVersion(std::wstring version);
  void SetCurrentFolder(const store::StoreFolder* folder);
  // SenderEmailType of one mail of the store ("SMTP" unless set).
  void SetSenderEmailType(const store::StoreMail& mail, std::string type);
  // A MAPI property the mail's PropertyAccessor answers (such as the
  // sender's SMTP address of an Exchange sender).
  void SetMailProperty(const store::StoreMail& mail, std::uint32_t tag, outlook::PropertyValue value);

  // Raises ApplicationEvents_11.Quit on every advised sink (a sink that
  // unadvises meanwhile is not called any more); the first failure of a
  // sink, else S_OK.
  HRESULT FireQuit();
  size_t AdvisedSinks() const;

  // Objects of this host still referenced, including the host's own.
  long LiveObjects() const;
  // References on this host's objects beyond the host's own: what its
  // clients still hold.
  long ReferencesHeld() const;

  // "Application.Version", "Folder.Items", ...: every Invoke, in order.
  const std::vector<std::string>& Calls() const;
  void ClearCalls();

 private:
  std::shared_ptr<HostState> state_;
  win32::ComPtr<IDispatch> app_;
  win32::ComPtr<IDispatch> addInInstance_;
};

}  // namespace trovex::wine_host
