#include "host/outlook_objects.h"

#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>

#include <filesystem>
#include <map>
#include <string>
#include <system_error>

#include "host/host_object.h"
#include "host/host_state.h"
#include "outlook/object_model.h"
#include "outlook/win32/outlook_ids.h"
#include "office/win32/office_interfaces.h"
#include "support/win32/wide_string.h"

namespace trovex::wine_host {
namespace {

using outlook_ids::DIID_ApplicationEvents_11;
using win32::ComPtr;
using StoreMailPtr = std::shared_ptr<const store::StoreMail>;
using Properties = std::map<std::uint32_t, outlook::PropertyValue>;

// MAPI_E_NOT_FOUND, what Outlook reports for a property an item lacks.
constexpr HRESULT kMapiNotFound = static_cast<HRESULT>(0x8004010F);

void CheckFault(const store::Faults& faults, std::string_view operation) {
  if (auto it = faults.find(operation); it != faults.end()) throw DispError(it->second);
}

// Outlook's text for Item(n) outside 1..Count.
size_t CheckIndex(const VARIANT& index, size_t count) {
  const long i = ArgIndex(index);
  if (i < 1 || static_cast<size_t>(i) > count)
    throw DispError("Der Arrayindex liegt außerhalb des gültigen Bereichs.", DISP_E_BADINDEX);
  return static_cast<size_t>(i - 1);
}

template <typename T, typename... A>
IDispatch* New(A&&... args) {
  return static_cast<IDispatch*>(new T(std::forward<A>(args)...));
}

// Over the properties of an attachment or a mail; `keep` holds them alive.
class PropertyAccessorObject final : public Dispatch<PropertyAccessorObject> {
 public:
  static constexpr const char* kKindName = "PropertyAccessor";
  PropertyAccessorObject(std::shared_ptr<HostState> s, std::shared_ptr<const void> keep,
                         const store::Faults& faults, const Properties& properties)
      : Dispatch(std::move(s)), keep_(std::move(keep)), faults_(faults), properties_(properties) {}

  void GetProperty(const DispCall& c) {
    CheckFault(faults_, "GetProperty");
    const std::string name = win32::Utf8FromWide(ArgText(c.args[0]));
    std::uint32_t tag = 0;
    try {
      tag = outlook::PropTagFromSchemaName(name);
    } catch (const outlook::OutlookError& e) {
      throw DispError(e.what(), kMapiNotFound);
    }
    const auto it = properties_.find(tag);
    if (it == properties_.end())
      throw DispError("Die Eigenschaft \"" + name + "\" ist unbekannt oder kann nicht gefunden werden.", kMapiNotFound);
    if (const auto* text = std::get_if<std::string>(&it->second)) {
      SetText(c.result, *text);
    } else {
      SetLong(c.result, std::get<std::int32_t>(it->second));
    }
  }

  static constexpr Member<PropertyAccessorObject> kMembers[] = {
      {L"GetProperty", 0xFAFB, DISPATCH_METHOD, 1, &PropertyAccessorObject::GetProperty},
  };

 private:
  std::shared_ptr<const void> keep_;
  const store::Faults& faults_;
  const Properties& properties_;
};

class AttachmentObject final : public Dispatch<AttachmentObject> {
 public:
  static constexpr const char* kKindName = "Attachment";
  AttachmentObject(std::shared_ptr<HostState> s, StoreMailPtr mail, const store::StoreAttachment& att)
      : Dispatch(std::move(s)), mail_(std::move(mail)), att_(att) {}

  void FileName(const DispCall& c) {
    CheckFault(att_.faults, "FileName");
    SetText(c.result, att_.fileName);
  }
  void PropertyAccessor(const DispCall& c) {
    CheckFault(att_.faults, "PropertyAccessor");
    SetObject(c.result, New<PropertyAccessorObject>(state_, mail_, att_.faults, att_.properties));
  }
  void SaveAsFile(const DispCall& c) {
    CheckFault(att_.faults, "SaveAsFile");
    const std::wstring path = ArgText(c.args[0]);
    try {
      (att_.content ? att_.content : store::BytesContent({}))->WriteTo(std::filesystem::path(path));
    } catch (const std::system_error& e) {
      throw DispError("Die Anlage kann nicht gespeichert werden. " + win32::Utf8FromWide(path) + ": " +
                      e.code().message());
    }
  }

  static constexpr Member<AttachmentObject> kMembers[] = {
      {L"FileName", 0x3704, kGet, 0, &AttachmentObject::FileName},
      {L"PropertyAccessor", 0xFAFD, kGet, 0, &AttachmentObject::PropertyAccessor},
      {L"SaveAsFile", 0x68, DISPATCH_METHOD, 1, &AttachmentObject::SaveAsFile},
  };

 private:
  StoreMailPtr mail_;
  const store::StoreAttachment& att_;
};

class AttachmentsObject final : public Dispatch<AttachmentsObject> {
 public:
  static constexpr const char* kKindName = "Attachments";
  AttachmentsObject(std::shared_ptr<HostState> s, StoreMailPtr mail) : Dispatch(std::move(s)), mail_(std::move(mail)) {}

  void Count(const DispCall& c) { SetLong(c.result, static_cast<long>(mail_->attachments.size())); }
  void Item(const DispCall& c) {
    const size_t i = CheckIndex(c.args[0], mail_->attachments.size());
    SetObject(c.result, New<AttachmentObject>(state_, mail_, mail_->attachments[i]));
  }

  static constexpr Member<AttachmentsObject> kMembers[] = {
      {L"Count", 0x50, kGet, 0, &AttachmentsObject::Count},
      {L"Item", 0x51, kGet, 1, &AttachmentsObject::Item},
  };

 private:
  StoreMailPtr mail_;
};

class MailObject final : public Dispatch<MailObject> {
 public:
  static constexpr const char* kKindName = "MailItem";
  MailObject(std::shared_ptr<HostState> s, StoreMailPtr mail) : Dispatch(std::move(s)), mail_(std::move(mail)) {}

  void Subject(const DispCall& c) { Text(c, "Subject", mail_->subject); }
  void SenderName(const DispCall& c) { Text(c, "SenderName", mail_->senderName); }
  void SenderEmailAddress(const DispCall& c) { Text(c, "SenderEmailAddress", mail_->senderEmailAddress); }
  void SenderEmailType(const DispCall& c) {
    const auto it = state_->senderEmailTypes.find(mail_.get());
    Text(c, "SenderEmailType", it == state_->senderEmailTypes.end() ? std::string("SMTP") : it->second);
  }
  void ReceivedByName(const DispCall& c) { Text(c, "ReceivedByName", mail_->receivedByName); }
  void ReceivedOnBehalfOfName(const DispCall& c) { Text(c, "ReceivedOnBehalfOfName", mail_->receivedOnBehalfOfName); }
  void ReceivedTime(const DispCall& c) {
    CheckFault(mail_->faults, "ReceivedTime");
    SetDate(c.result, mail_->receivedTime);
  }
  void MessageClass(const DispCall& c) { SetText(c.result, "IPM.Note"); }
  void PropertyAccessor(const DispCall& c) {
    CheckFault(mail_->faults, "PropertyAccessor");
    SetObject(c.result, New<PropertyAccessorObject>(state_, mail_, mail_->faults, state_->mailProperties[mail_.get()]));
  }
  void Attachments(const DispCall& c) {
    CheckFault(mail_->faults, "Attachments");
    SetObject(c.result, New<AttachmentsObject>(state_, mail_));
  }

  static constexpr Member<MailObject> kMembers[] = {
      {L"Subject", 0x37, kGet, 0, &MailObject::Subject},
      {L"SenderName", 0xC1A, kGet, 0, &MailObject::SenderName},
      {L"SenderEmailAddress", 0xC1F, kGet, 0, &MailObject::SenderEmailAddress},
      {L"SenderEmailType", 0xC1E, kGet, 0, &MailObject::SenderEmailType},
      {L"ReceivedByName", 0x40, kGet, 0, &MailObject::ReceivedByName},
      {L"ReceivedOnBehalfOfName", 0x44, kGet, 0, &MailObject::ReceivedOnBehalfOfName},
      {L"ReceivedTime", 0xE06, kGet, 0, &MailObject::ReceivedTime},
      {L"MessageClass", 0x1A, kGet, 0, &MailObject::MessageClass},
      {L"PropertyAccessor", 0xFAFD, kGet, 0, &MailObject::PropertyAccessor},
      {L"Attachments", 0xF815, kGet, 0, &MailObject::Attachments},
  };

 protected:
  void* QueryExtra(REFIID iid) override {
    return IsEqualIID(iid, outlook_ids::IID_MailItem) ? static_cast<IDispatch*>(this) : nullptr;
  }

 private:
  void Text(const DispCall& c, std::string_view operation, const std::string& value) {
    CheckFault(mail_->faults, operation);
    SetText(c.result, value);
  }

  StoreMailPtr mail_;
};

// An appointment, contact, document...: an item, but no mail.
class OtherItemObject final : public Dispatch<OtherItemObject> {
 public:
  static constexpr const char* kKindName = "Item";
  OtherItemObject(std::shared_ptr<HostState> s, const store::StoreItem& item)
      : Dispatch(std::move(s)), keep_(state_->store), item_(item) {}

  void MessageClass(const DispCall& c) { SetText(c.result, item_.messageClass); }

  static constexpr Member<OtherItemObject> kMembers[] = {
      {L"MessageClass", 0x1A, kGet, 0, &OtherItemObject::MessageClass},
  };

 private:
  std::shared_ptr<const store::MailStore> keep_;
  const store::StoreItem& item_;
};

class FolderObject;

class ItemsObject final : public Dispatch<ItemsObject> {
 public:
  static constexpr const char* kKindName = "Items";
  ItemsObject(std::shared_ptr<HostState> s, const store::StoreFolder& folder)
      : Dispatch(std::move(s)), keep_(state_->store), folder_(folder) {}

  void Count(const DispCall& c) { SetLong(c.result, static_cast<long>(folder_.items.size())); }
  void Item(const DispCall& c) {
    const store::StoreItem& item = folder_.items[CheckIndex(c.args[0], folder_.items.size())];
    StoreMailPtr mail = item.mail;
    if (!mail && !item.file.empty() && keep_->reader) {
      try {
        mail = keep_->reader->Read(item.file);
      } catch (const outlook::OutlookError& e) {
        throw DispError(e.what());
      }
    }
    SetObject(c.result, mail ? New<MailObject>(state_, std::move(mail)) : New<OtherItemObject>(state_, item));
  }

  static constexpr Member<ItemsObject> kMembers[] = {
      {L"Count", 0x50, kGet, 0, &ItemsObject::Count},
      {L"Item", 0x51, kGet, 1, &ItemsObject::Item},
  };

 private:
  std::shared_ptr<const store::MailStore> keep_;
  const store::StoreFolder& folder_;
};

class FoldersObject final : public Dispatch<FoldersObject> {
 public:
  static constexpr const char* kKindName = "Folders";
  FoldersObject(std::shared_ptr<HostState> s, const store::StoreFolder& folder)
      : Dispatch(std::move(s)), keep_(state_->store), folder_(folder) {}

  void Count(const DispCall& c) { SetLong(c.result, static_cast<long>(folder_.folders.size())); }
  void Item(const DispCall& c);

  static constexpr Member<FoldersObject> kMembers[] = {
      {L"Count", 0x50, kGet, 0, &FoldersObject::Count},
      {L"Item", 0x51, kGet, 1, &FoldersObject::Item},
  };

 private:
  std::shared_ptr<const store::MailStore> keep_;
  const store::StoreFolder& folder_;
};

class FolderObject final : public Dispatch<FolderObject> {
 public:
  static constexpr const char* kKindName = "Folder";
  FolderObject(std::shared_ptr<HostState> s, const store::StoreFolder& folder)
      : Dispatch(std::move(s)), keep_(state_->store), folder_(folder) {}

  void Name(const DispCall& c) {
    CheckFault(folder_.faults, "Name");
    SetText(c.result, folder_.name);
  }
  void Items(const DispCall& c) {
    CheckFault(folder_.faults, "Items");
    SetObject(c.result, New<ItemsObject>(state_, folder_));
  }
  void Folders(const DispCall& c) {
    CheckFault(folder_.faults, "Folders");
    SetObject(c.result, New<FoldersObject>(state_, folder_));
  }

  static constexpr Member<FolderObject> kMembers[] = {
      {L"Name", 0x3001, kGet, 0, &FolderObject::Name},
      {L"Items", 0x3100, kGet, 0, &FolderObject::Items},
      {L"Folders", 0x2103, kGet, 0, &FolderObject::Folders},
  };

 private:
  std::shared_ptr<const store::MailStore> keep_;
  const store::StoreFolder& folder_;
};

void FoldersObject::Item(const DispCall& c) {
  const size_t i = CheckIndex(c.args[0], folder_.folders.size());
  SetObject(c.result, New<FolderObject>(state_, folder_.folders[i]));
}

class ExplorerObject final : public Dispatch<ExplorerObject> {
 public:
  static constexpr const char* kKindName = "Explorer";
  using Dispatch::Dispatch;

  void CurrentFolder(const DispCall& c) {
    const store::StoreFolder* folder = state_->currentFolder ? state_->currentFolder : &state_->store->root;
    SetObject(c.result, New<FolderObject>(state_, *folder));
  }

  static constexpr Member<ExplorerObject> kMembers[] = {
      {L"CurrentFolder", 0x2101, kGet, 0, &ExplorerObject::CurrentFolder},
  };
};

// Plain IUnknown bookkeeping for the objects that are not IDispatch.
class ConnectionPointObject final : public IConnectionPoint, public HostObject {
 public:
  ConnectionPointObject(std::shared_ptr<HostState> s, ComPtr<IConnectionPointContainer> container)
      : HostObject(std::move(s), "ConnectionPoint"), container_(std::move(container)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!CheckCall("QueryInterface")) return E_UNEXPECTED;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) return E_NOINTERFACE;
    *out = static_cast<IConnectionPoint*>(this);
    AddRefImpl();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    if (!CheckCall("GetConnectionInterface")) return E_UNEXPECTED;
    if (!iid) return E_POINTER;
    *iid = DIID_ApplicationEvents_11;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
    if (!CheckCall("GetConnectionPointContainer")) return E_UNEXPECTED;
    if (!out) return E_POINTER;
    *out = container_.Share().Detach();
    return S_OK;
  }
  // As a connection point must: the sink is asked for the event interface
  // itself, not just for IDispatch.
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    if (!CheckCall("Advise")) return E_UNEXPECTED;
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(DIID_ApplicationEvents_11, events.PutVoid()))) return CONNECT_E_CANNOTCONNECT;
    *cookie = state_->nextCookie++;
    state_->sinks.push_back({*cookie, std::move(events)});
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    if (!CheckCall("Unadvise")) return E_UNEXPECTED;
    auto& sinks = state_->sinks;
    for (auto it = sinks.begin(); it != sinks.end(); ++it) {
      if (it->cookie != cookie) continue;
      ComPtr<IDispatch> gone = std::move(it->events);  // released after the list is consistent
      sinks.erase(it);
      return S_OK;
    }
    ADD_FAILURE() << "unexpected call: Unadvise with unknown cookie " << cookie;
    return CONNECT_E_NOCONNECTION;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
    if (out) *out = nullptr;
    if (CheckCall("EnumConnections")) ADD_FAILURE() << "unexpected call: ConnectionPoint.EnumConnections";
    return E_NOTIMPL;
  }

 private:
  void OnDeath() override { container_.Reset(); }

  ComPtr<IConnectionPointContainer> container_;
};

class ApplicationObject final : public Dispatch<ApplicationObject>, public IConnectionPointContainer {
 public:
  static constexpr const char* kKindName = "Application";
  using Dispatch::Dispatch;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return DispatchBase::QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

  void Version(const DispCall& c) { SetWideText(c.result, state_->version); }
  void ActiveExplorer(const DispCall& c) { SetObject(c.result, New<ExplorerObject>(state_)); }

  static constexpr Member<ApplicationObject> kMembers[] = {
      {L"Version", 0x116, kGet, 0, &ApplicationObject::Version},
      // A method in Outlook's type library, which refuses a property read of it.
      {L"ActiveExplorer", 0x111, DISPATCH_METHOD, 0, &ApplicationObject::ActiveExplorer},
  };

  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
    if (out) *out = nullptr;
    if (CheckCall("EnumConnectionPoints")) ADD_FAILURE() << "unexpected call: Application.EnumConnectionPoints";
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
    if (!CheckCall("FindConnectionPoint")) return E_UNEXPECTED;
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, DIID_ApplicationEvents_11)) return CONNECT_E_NOCONNECTION;
    *out = new ConnectionPointObject(state_, ComPtr<IConnectionPointContainer>::AddRefOf(this));
    return S_OK;
  }

 protected:
  void* QueryExtra(REFIID iid) override {
    // Outlook's _Application is a dual interface; its IDispatch serves.
    if (IsEqualIID(iid, outlook_ids::IID_OutlookApplication)) return static_cast<IDispatch*>(this);
    if (IsEqualIID(iid, IID_IConnectionPointContainer)) return static_cast<IConnectionPointContainer*>(this);
    return nullptr;
  }
};

class ComAddInObject final : public Dispatch<ComAddInObject> {
 public:
  static constexpr const char* kKindName = "COMAddIn";
  using Dispatch::Dispatch;

  void Object(const DispCall& c) {
    if (c.flags & kPut) {
      const VARIANT& v = c.args[0];
      if (v.vt != VT_DISPATCH && v.vt != VT_UNKNOWN && v.vt != VT_EMPTY)
        throw BadCall("Object takes an object", DISP_E_TYPEMISMATCH);
      object_.Reset();
      if (v.vt != VT_EMPTY && v.punkVal) v.punkVal->QueryInterface(IID_IDispatch, object_.PutVoid());
      return;
    }
    if (!c.result) return;
    c.result->vt = VT_DISPATCH;
    c.result->pdispVal = object_.Share().Detach();
  }

  static constexpr Member<ComAddInObject> kMembers[] = {
      {L"Object", 0x7, kGet | kPut, 0, &ComAddInObject::Object},
  };

  ComPtr<IDispatch> Kept() const { return object_.Share(); }

 protected:
  void* QueryExtra(REFIID iid) override {
    return IsEqualIID(iid, office::IID_COMAddIn) ? static_cast<IDispatch*>(this) : nullptr;
  }

 private:
  void OnDeath() override { object_.Reset(); }

  ComPtr<IDispatch> object_;
};

}  // namespace

ComPtr<IDispatch> NewApplication(std::shared_ptr<HostState> state) {
  return ComPtr<IDispatch>::Attach(New<ApplicationObject>(std::move(state)));
}

ComPtr<IDispatch> NewComAddIn(std::shared_ptr<HostState> state) {
  return ComPtr<IDispatch>::Attach(New<ComAddInObject>(std::move(state)));
}

ComPtr<IDispatch> KeptAddInObject(IDispatch* comAddIn) {
  return static_cast<ComAddInObject*>(comAddIn)->Kept();
}

}  // namespace trovex::wine_host
