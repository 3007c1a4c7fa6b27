#include "host/outlook_objects.h"

#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>
#include <outlook_model.h>

#include <filesystem>
#include <map>
#include <string>
#include <system_error>

#include "host/host_object.h"
#include "host/host_state.h"
#include "host/outlook_events.h"
#include "outlook/object_model.h"
#include "support/win32/wide_string.h"

namespace trovex::wine_host {
namespace {

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

// A new object as the interface it serves, its one reference the caller's.
template <typename T, typename... A>
auto* New(A&&... args) {
  T* object = new T(std::forward<A>(args)...);
  return static_cast<typename T::Served*>(object);
}

// Over the properties of an attachment or a mail; `keep` holds them alive.
class PropertyAccessorObject final : public Automation<_PropertyAccessor> {
 public:
  PropertyAccessorObject(std::shared_ptr<HostState> s, std::shared_ptr<const void> keep,
                         const store::Faults& faults, const Properties& properties)
      : Automation(std::move(s), "PropertyAccessor"), keep_(std::move(keep)), faults_(faults), properties_(properties) {}

  HRESULT STDMETHODCALLTYPE GetProperty(BSTR schemaName, VARIANT* value) override {
    return Get("GetProperty", value, [&] {
      CheckFault(faults_, "GetProperty");
      const std::string name = win32::Utf8FromBstr(schemaName);
      std::uint32_t tag = 0;
      try {
        tag = outlook::PropTagFromSchemaName(name);
      } catch (const outlook::OutlookError& e) {
        throw DispError(e.what(), kMapiNotFound);
      }
      const auto it = properties_.find(tag);
      if (it == properties_.end())
        throw DispError("Die Eigenschaft \"" + name + "\" ist unbekannt oder kann nicht gefunden werden.",
                        kMapiNotFound);
      VARIANT v{};
      if (const auto* text = std::get_if<std::string>(&it->second)) {
        v.vt = VT_BSTR;
        v.bstrVal = Text(*text);
      } else {
        v.vt = VT_I4;
        v.lVal = std::get<std::int32_t>(it->second);
      }
      return v;
    });
  }

 private:
  std::shared_ptr<const void> keep_;
  const store::Faults& faults_;
  const Properties& properties_;
};

class AttachmentObject final : public Automation<Attachment> {
 public:
  AttachmentObject(std::shared_ptr<HostState> s, StoreMailPtr mail, const store::StoreAttachment& att)
      : Automation(std::move(s), "Attachment"), mail_(std::move(mail)), att_(att) {}

  HRESULT STDMETHODCALLTYPE get_FileName(BSTR* fileName) override {
    return Get("FileName", fileName, [&] {
      CheckFault(att_.faults, "FileName");
      return Text(att_.fileName);
    });
  }
  HRESULT STDMETHODCALLTYPE get_PropertyAccessor(_PropertyAccessor** accessor) override {
    return Get("PropertyAccessor", accessor, [&] {
      CheckFault(att_.faults, "PropertyAccessor");
      return New<PropertyAccessorObject>(state_, mail_, att_.faults, att_.properties);
    });
  }
  HRESULT STDMETHODCALLTYPE SaveAsFile(BSTR path) override {
    return Run("SaveAsFile", [&] {
      CheckFault(att_.faults, "SaveAsFile");
      const std::wstring target = path ? std::wstring(path, ::SysStringLen(path)) : std::wstring();
      try {
        (att_.content ? att_.content : store::BytesContent({}))->WriteTo(std::filesystem::path(target));
      } catch (const std::system_error& e) {
        throw DispError("Die Anlage kann nicht gespeichert werden. " + win32::Utf8FromWide(target) + ": " +
                        e.code().message());
      }
    });
  }

 private:
  StoreMailPtr mail_;
  const store::StoreAttachment& att_;
};

class AttachmentsObject final : public Automation<Attachments> {
 public:
  AttachmentsObject(std::shared_ptr<HostState> s, StoreMailPtr mail)
      : Automation(std::move(s), "Attachments"), mail_(std::move(mail)) {}

  HRESULT STDMETHODCALLTYPE get_Count(long* count) override {
    return Get("Count", count, [&] { return static_cast<long>(mail_->attachments.size()); });
  }
  HRESULT STDMETHODCALLTYPE Item(VARIANT index, Attachment** item) override {
    return Get("Item", item, [&] {
      const size_t i = CheckIndex(index, mail_->attachments.size());
      return New<AttachmentObject>(state_, mail_, mail_->attachments[i]);
    });
  }

 private:
  StoreMailPtr mail_;
};

class MailObject final : public Automation<_MailItem> {
 public:
  MailObject(std::shared_ptr<HostState> s, StoreMailPtr mail)
      : Automation(std::move(s), "MailItem"), mail_(std::move(mail)) {}

  HRESULT STDMETHODCALLTYPE get_Subject(BSTR* out) override { return Field(out, "Subject", mail_->subject); }
  HRESULT STDMETHODCALLTYPE get_SenderName(BSTR* out) override {
    return Field(out, "SenderName", mail_->senderName);
  }
  HRESULT STDMETHODCALLTYPE get_SenderEmailAddress(BSTR* out) override {
    return Field(out, "SenderEmailAddress", mail_->senderEmailAddress);
  }
  HRESULT STDMETHODCALLTYPE get_SenderEmailType(BSTR* out) override {
    const auto it = state_->senderEmailTypes.find(mail_.get());
    return Field(out, "SenderEmailType", it == state_->senderEmailTypes.end() ? std::string("SMTP") : it->second);
  }
  HRESULT STDMETHODCALLTYPE get_ReceivedByName(BSTR* out) override {
    return Field(out, "ReceivedByName", mail_->receivedByName);
  }
  HRESULT STDMETHODCALLTYPE get_ReceivedOnBehalfOfName(BSTR* out) override {
    return Field(out, "ReceivedOnBehalfOfName", mail_->receivedOnBehalfOfName);
  }
  HRESULT STDMETHODCALLTYPE get_ReceivedTime(DATE* out) override {
    return Get("ReceivedTime", out, [&] {
      CheckFault(mail_->faults, "ReceivedTime");
      return mail_->receivedTime;
    });
  }
  HRESULT STDMETHODCALLTYPE get_MessageClass(BSTR* out) override {
    return Get("MessageClass", out, [] { return Text("IPM.Note"); });
  }
  HRESULT STDMETHODCALLTYPE get_PropertyAccessor(_PropertyAccessor** out) override {
    return Get("PropertyAccessor", out, [&] {
      CheckFault(mail_->faults, "PropertyAccessor");
      return New<PropertyAccessorObject>(state_, mail_, mail_->faults, state_->mailProperties[mail_.get()]);
    });
  }
  HRESULT STDMETHODCALLTYPE get_Attachments(Attachments** out) override {
    return Get("Attachments", out, [&] {
      CheckFault(mail_->faults, "Attachments");
      return New<AttachmentsObject>(state_, mail_);
    });
  }

 private:
  HRESULT Field(BSTR* out, std::string_view operation, const std::string& value) {
    return Get(operation, out, [&] {
      CheckFault(mail_->faults, operation);
      return Text(value);
    });
  }

  StoreMailPtr mail_;
};

// An appointment, contact, document...: an item, but no mail. Outlook
// serves appointments as _AppointmentItem; the host serves every other
// class as a document.
template <typename I>
class OtherItemObject final : public Automation<I> {
 public:
  OtherItemObject(std::shared_ptr<HostState> s, const store::StoreItem& item)
      : Automation<I>(std::move(s), "Item"), keep_(this->state_->store), item_(item) {}

  HRESULT STDMETHODCALLTYPE get_MessageClass(BSTR* out) override {
    return this->Get("MessageClass", out, [&] { return Text(item_.messageClass); });
  }

 private:
  std::shared_ptr<const store::MailStore> keep_;
  const store::StoreItem& item_;
};

IDispatch* NewOtherItem(std::shared_ptr<HostState> s, const store::StoreItem& item) {
  if (item.messageClass.starts_with("IPM.Appointment")) return New<OtherItemObject<_AppointmentItem>>(s, item);
  return New<OtherItemObject<_DocumentItem>>(s, item);
}

class ItemsObject final : public Automation<_Items> {
 public:
  ItemsObject(std::shared_ptr<HostState> s, const store::StoreFolder& folder)
      : Automation(std::move(s), "Items"), keep_(state_->store), folder_(folder) {}

  HRESULT STDMETHODCALLTYPE get_Count(long* count) override {
    return Get("Count", count, [&] { return static_cast<long>(folder_.items.size()); });
  }
  HRESULT STDMETHODCALLTYPE Item(VARIANT index, IDispatch** out) override {
    return Get("Item", out, [&]() -> IDispatch* {
      const store::StoreItem& item = folder_.items[CheckIndex(index, folder_.items.size())];
      StoreMailPtr mail = item.mail;
      if (!mail && !item.file.empty() && keep_->reader) {
        try {
          mail = keep_->reader->Read(item.file);
        } catch (const outlook::OutlookError& e) {
          throw DispError(e.what());
        }
      }
      if (mail) return New<MailObject>(state_, std::move(mail));
      return NewOtherItem(state_, item);
    });
  }

 private:
  std::shared_ptr<const store::MailStore> keep_;
  const store::StoreFolder& folder_;
};

class FolderObject;

class FoldersObject final : public Automation<_Folders> {
 public:
  FoldersObject(std::shared_ptr<HostState> s, const store::StoreFolder& folder)
      : Automation(std::move(s), "Folders"), keep_(state_->store), folder_(folder) {}

  HRESULT STDMETHODCALLTYPE get_Count(long* count) override {
    return Get("Count", count, [&] { return static_cast<long>(folder_.folders.size()); });
  }
  HRESULT STDMETHODCALLTYPE Item(VARIANT index, MAPIFolder** out) override;

 private:
  std::shared_ptr<const store::MailStore> keep_;
  const store::StoreFolder& folder_;
};

class FolderObject final : public Automation<MAPIFolder> {
 public:
  FolderObject(std::shared_ptr<HostState> s, const store::StoreFolder& folder)
      : Automation(std::move(s), "Folder"), keep_(state_->store), folder_(folder) {}

  HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
    return Get("Name", name, [&] {
      CheckFault(folder_.faults, "Name");
      return Text(folder_.name);
    });
  }
  HRESULT STDMETHODCALLTYPE get_Items(_Items** items) override {
    return Get("Items", items, [&] {
      CheckFault(folder_.faults, "Items");
      return New<ItemsObject>(state_, folder_);
    });
  }
  HRESULT STDMETHODCALLTYPE get_Folders(_Folders** folders) override {
    return Get("Folders", folders, [&] {
      CheckFault(folder_.faults, "Folders");
      return New<FoldersObject>(state_, folder_);
    });
  }

 private:
  std::shared_ptr<const store::MailStore> keep_;
  const store::StoreFolder& folder_;
};

HRESULT FoldersObject::Item(VARIANT index, MAPIFolder** out) {
  return Get("Item", out, [&] {
    const size_t i = CheckIndex(index, folder_.folders.size());
    return New<FolderObject>(state_, folder_.folders[i]);
  });
}

class ExplorerObject final : public Automation<_Explorer> {
 public:
  explicit ExplorerObject(std::shared_ptr<HostState> s) : Automation(std::move(s), "Explorer") {}

  HRESULT STDMETHODCALLTYPE get_CurrentFolder(MAPIFolder** out) override {
    return Get("CurrentFolder", out, [&] {
      const store::StoreFolder* folder = state_->currentFolder ? state_->currentFolder : &state_->store->root;
      return New<FolderObject>(state_, *folder);
    });
  }
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

class ApplicationObject final : public Automation<_Application>, public IConnectionPointContainer {
 public:
  explicit ApplicationObject(std::shared_ptr<HostState> s) : Automation(std::move(s), "Application") {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return Automation::QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

  HRESULT STDMETHODCALLTYPE get_Version(BSTR* version) override {
    return Get("Version", version, [&] { return WideText(state_->version); });
  }
  HRESULT STDMETHODCALLTYPE ActiveExplorer(_Explorer** explorer) override {
    return Get("ActiveExplorer", explorer, [&] { return New<ExplorerObject>(state_); });
  }

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
    return IsEqualIID(iid, IID_IConnectionPointContainer) ? static_cast<IConnectionPointContainer*>(this) : nullptr;
  }
};

class ComAddInObject final : public Automation<COMAddIn> {
 public:
  explicit ComAddInObject(std::shared_ptr<HostState> s) : Automation(std::move(s), "COMAddIn") {}

  HRESULT STDMETHODCALLTYPE get_Object(IDispatch** out) override {
    return Get("Object", out, [&] { return object_.Share().Detach(); });
  }
  HRESULT STDMETHODCALLTYPE put_Object(IDispatch* object) override {
    return Run("Object", [&] { object_ = ComPtr<IDispatch>::AddRefOf(object); });
  }

  ComPtr<IDispatch> Kept() const { return object_.Share(); }

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
  return static_cast<ComAddInObject*>(static_cast<COMAddIn*>(comAddIn))->Kept();
}

}  // namespace trovex::wine_host
