#include "outlook/win32/outlook_binding.h"

#include <windows.h>

#include <fmt/format.h>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "outlook/win32/outlook_ids.h"
#include "outlook/win32/sender_address.h"
#include "support/long_path.h"
#include "support/native_path.h"
#include "support/win32/com_ptr.h"
#include "support/win32/dispatch_client.h"
#include "support/win32/wide_string.h"
#include "support/win32/win32_error.h"
#include "support/win32/win32_handles.h"

namespace trovex::outlook {
namespace {

using win32::ComPtr;
using win32::unique_variant;

[[noreturn]] void ThrowSystemError(HRESULT code) { throw OutlookComError(code, win32::SystemMessage(code)); }

[[noreturn]] void ThrowLastError() { ThrowSystemError(win32::LastErrorResult()); }

// `v` converted to `type` by OLE Automation's rules.
unique_variant Converted(const unique_variant& v, VARTYPE type, std::string_view member) {
  unique_variant out;
  // The source is only read; MinGW's prototype lacks the const.
  const HRESULT hr = ::VariantChangeType(out.Put(), const_cast<VARIANT*>(&v.Get()), 0, type);
  if (FAILED(hr)) {
    throw OutlookComError(hr, fmt::format("{}: {}", member, win32::SystemMessage(hr)));
  }
  return out;
}

// One Outlook object, addressed through IDispatch by member name.
class DispatchObject {
 public:
  explicit DispatchObject(ComPtr<IDispatch> object) : object_(std::move(object)) {}

  unique_variant Property(std::string_view name) { return Invoke(name, DISPATCH_PROPERTYGET, {}); }
  unique_variant Method(std::string_view name, std::span<const unique_variant> args) {
    return Invoke(name, DISPATCH_METHOD, args);
  }
  // Collections' Item is a method that late binding also reaches as a
  // property; both flags, as Visual Basic passes them.
  unique_variant Item(int index) {
    const unique_variant args[] = {win32::IntVariant(index)};
    return Invoke("Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
  }

  std::string Text(std::string_view name) { return TextOf(Property(name), name); }
  int Integer(std::string_view name) { return Converted(Property(name), VT_I4, name).Get().lVal; }
  double Date(std::string_view name) { return Converted(Property(name), VT_DATE, name).Get().date; }
  ComPtr<IDispatch> Object(std::string_view name) { return ObjectOf(Property(name), name); }

  static std::string TextOf(const unique_variant& v, std::string_view member) {
    if (v.Type() == VT_EMPTY || v.Type() == VT_NULL) return {};
    if (v.Type() == VT_BSTR) return win32::Utf8FromBstr(v.Get().bstrVal);
    return win32::Utf8FromBstr(Converted(v, VT_BSTR, member).Get().bstrVal);
  }

  static ComPtr<IDispatch> ObjectOf(const unique_variant& v, std::string_view member) {
    ComPtr<IDispatch> object;
    if (v.Type() == VT_DISPATCH && v.Get().pdispVal) {
      object = ComPtr<IDispatch>::AddRefOf(v.Get().pdispVal);
    } else if (v.Type() == VT_UNKNOWN && v.Get().punkVal) {
      v.Get().punkVal->QueryInterface(IID_IDispatch, object.PutVoid());
    }
    // The engine relies on every getter handing out an object.
    if (!object) {
      throw OutlookComError(E_POINTER, fmt::format("{}: Das Objekt ist nicht verfügbar.", member));
    }
    return object;
  }

 private:
  // Outlook's own words reach the report as they stand; only a member
  // Outlook does not know is named.
  unique_variant Invoke(std::string_view name, WORD flags, std::span<const unique_variant> args) {
    try {
      return win32::Invoke(object_.Get(), name, flags, args);
    } catch (const win32::DispatchError& e) {
      throw OutlookComError(e.Code(), e.Code() == DISP_E_UNKNOWNNAME ? e.what() : e.Description());
    }
  }

  ComPtr<IDispatch> object_;
};

// ---- The object model

class OutlookPropertyAccessor final : public PropertyAccessor {
 public:
  explicit OutlookPropertyAccessor(ComPtr<IDispatch> d) : d_(std::move(d)) {}

  PropertyValue GetProperty(const std::string& schemaName) override {
    const unique_variant args[] = {win32::TextVariant(schemaName)};
    const unique_variant v = d_.Method("GetProperty", args);
    const VARIANT& r = v.Get();
    switch (r.vt) {
      case VT_BSTR:
        return win32::Utf8FromBstr(r.bstrVal);
      case VT_I4:
        return static_cast<std::int32_t>(r.lVal);
      case VT_INT:
        return static_cast<std::int32_t>(r.intVal);
      case VT_I2:
        return static_cast<std::int32_t>(r.iVal);
      case VT_I1:
        return static_cast<std::int32_t>(r.cVal);
      case VT_UI1:
        return static_cast<std::int32_t>(r.bVal);
      case VT_UI2:
        return static_cast<std::int32_t>(r.uiVal);
      // Flags use all 32 bits; they keep their bit pattern.
      case VT_UI4:
        return static_cast<std::int32_t>(r.ulVal);
      case VT_UINT:
        return static_cast<std::int32_t>(r.uintVal);
      default:
        throw OutlookComError(DISP_E_TYPEMISMATCH,
                              fmt::format("Die Eigenschaft \"{}\" hat einen nicht unterstützten Typ ({}).", schemaName,
                                          static_cast<unsigned>(r.vt)));
    }
  }

 private:
  DispatchObject d_;
};

// The detour for targets that Outlook's SaveAsFile cannot open itself: a
// short temporary file, then a move to the long path.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::wstring path) : path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!path_.empty()) ::DeleteFileW(path_.c_str());
  }
  const std::wstring& Path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::wstring path_;
};

// The short (8.3) form of `folder` when it is short enough to hold a
// temporary file; empty otherwise.
std::wstring ShortFolderForTemporaryFile(std::string_view folder) {
  if (folder.empty()) return {};
  const std::wstring longForm = NativePath(folder).wstring();
  const DWORD needed = ::GetShortPathNameW(longForm.c_str(), nullptr, 0);
  if (needed == 0) return {};
  std::wstring shortForm(needed, L'\0');
  const DWORD written = ::GetShortPathNameW(longForm.c_str(), shortForm.data(), needed);
  if (written == 0 || written >= needed) return {};
  shortForm.resize(written);
  const std::string plain = WithoutExtendedLengthPrefix(win32::Utf8FromWide(shortForm));
  if (Utf16Length(plain) > kMaxTempFileFolder) return {};
  return win32::WideFromUtf8(plain);
}

std::wstring SystemTempFolder() {
  std::array<wchar_t, MAX_PATH + 1> buffer{};
  const DWORD written = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (written == 0 || written > buffer.size()) ThrowLastError();
  return std::wstring(buffer.data(), written);
}

TemporaryFile CreateTemporaryFile(std::string_view targetFolder) {
  std::wstring folder = ShortFolderForTemporaryFile(targetFolder);
  if (folder.empty()) folder = SystemTempFolder();
  std::array<wchar_t, MAX_PATH> name{};
  if (::GetTempFileNameW(folder.c_str(), L"trx", 0, name.data()) == 0) ThrowLastError();
  return TemporaryFile(name.data());
}

class OutlookAttachment final : public Attachment {
 public:
  explicit OutlookAttachment(ComPtr<IDispatch> d) : d_(std::move(d)) {}

  std::string FileName() override { return d_.Text("FileName"); }

  std::unique_ptr<PropertyAccessor> GetPropertyAccessor() override {
    return std::make_unique<OutlookPropertyAccessor>(d_.Object("PropertyAccessor"));
  }

  void SaveAsFile(const std::string& path) override {
    if (!ExceedsMaxPath(path)) {
      Save(path);
      return;
    }
    TemporaryFile temporary = CreateTemporaryFile(ParentFolder(path));
    Save(win32::Utf8FromWide(temporary.Path()));
    const std::wstring target = NativePath(path).wstring();
    if (!::MoveFileExW(temporary.Path().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
      ThrowLastError();
    }
    temporary.Keep();
  }

 private:
  void Save(const std::string& path) {
    const unique_variant args[] = {win32::TextVariant(path)};
    d_.Method("SaveAsFile", args);
  }

  DispatchObject d_;
};

class OutlookAttachments final : public Attachments {
 public:
  explicit OutlookAttachments(ComPtr<IDispatch> d) : d_(std::move(d)) {}
  int Count() override { return d_.Integer("Count"); }
  std::unique_ptr<Attachment> Item(int index) override {
    return std::make_unique<OutlookAttachment>(DispatchObject::ObjectOf(d_.Item(index), "Item"));
  }

 private:
  DispatchObject d_;
};

class OutlookMailItem final : public MailItem {
 public:
  explicit OutlookMailItem(ComPtr<IDispatch> d) : d_(std::move(d)) {}

  std::string Subject() override { return d_.Text("Subject"); }
  std::string SenderName() override { return d_.Text("SenderName"); }
  std::string ReceivedByName() override { return d_.Text("ReceivedByName"); }
  std::string ReceivedOnBehalfOfName() override { return d_.Text("ReceivedOnBehalfOfName"); }
  OleDate ReceivedTime() override { return d_.Date("ReceivedTime"); }

  std::string SenderEmailAddress() override {
    std::string address = d_.Text("SenderEmailAddress");
    // The mend is an extra: when Outlook cannot tell the type or the SMTP
    // address, the address stays as Outlook gave it.
    std::string type;
    try {
      type = d_.Text("SenderEmailType");
    } catch (const OutlookError&) {
      return address;
    }
    return EffectiveSenderAddress(type, std::move(address), [this]() -> std::optional<std::string> {
      try {
        OutlookPropertyAccessor accessor(d_.Object("PropertyAccessor"));
        const PropertyValue v = accessor.GetProperty(PropTagSchemaName(PR_SENDER_SMTP_ADDRESS));
        if (const auto* text = std::get_if<std::string>(&v)) return *text;
      } catch (const OutlookError&) {
      }
      return std::nullopt;
    });
  }

  std::unique_ptr<Attachments> GetAttachments() override {
    return std::make_unique<OutlookAttachments>(d_.Object("Attachments"));
  }

 private:
  DispatchObject d_;
};

class OutlookItem final : public Item {
 public:
  explicit OutlookItem(ComPtr<IDispatch> d) : d_(std::move(d)) {}

  std::unique_ptr<MailItem> QueryMailItem() override {
    ComPtr<IUnknown> mail;
    const HRESULT hr = d_.As(outlook_ids::IID_MailItem, mail);
    if (hr == E_NOINTERFACE) return nullptr;
    if (FAILED(hr) || !mail) ThrowSystemError(FAILED(hr) ? hr : E_POINTER);
    // _MailItem is dual; its IDispatch is the one to call by name.
    ComPtr<IDispatch> dispatch;
    const HRESULT dispatchResult = mail.As(IID_IDispatch, dispatch);
    if (FAILED(dispatchResult) || !dispatch) ThrowSystemError(FAILED(dispatchResult) ? dispatchResult : E_POINTER);
    return std::make_unique<OutlookMailItem>(std::move(dispatch));
  }

 private:
  ComPtr<IDispatch> d_;
};

class OutlookItems final : public Items {
 public:
  explicit OutlookItems(ComPtr<IDispatch> d) : d_(std::move(d)) {}
  int Count() override { return d_.Integer("Count"); }
  std::unique_ptr<Item> GetItem(int index) override {
    return std::make_unique<OutlookItem>(DispatchObject::ObjectOf(d_.Item(index), "Item"));
  }

 private:
  DispatchObject d_;
};

class OutlookFolder final : public Folder {
 public:
  explicit OutlookFolder(ComPtr<IDispatch> d) : d_(std::move(d)) {}
  std::string Name() override { return d_.Text("Name"); }
  std::unique_ptr<Items> GetItems() override { return std::make_unique<OutlookItems>(d_.Object("Items")); }
  std::unique_ptr<Folders> GetFolders() override;

 private:
  DispatchObject d_;
};

class OutlookFolders final : public Folders {
 public:
  explicit OutlookFolders(ComPtr<IDispatch> d) : d_(std::move(d)) {}
  int Count() override { return d_.Integer("Count"); }
  std::unique_ptr<Folder> GetItem(int index) override {
    return std::make_unique<OutlookFolder>(DispatchObject::ObjectOf(d_.Item(index), "Item"));
  }

 private:
  DispatchObject d_;
};

std::unique_ptr<Folders> OutlookFolder::GetFolders() {
  return std::make_unique<OutlookFolders>(d_.Object("Folders"));
}

class OutlookExplorer final : public Explorer {
 public:
  explicit OutlookExplorer(ComPtr<IDispatch> d) : d_(std::move(d)) {}
  std::unique_ptr<Folder> CurrentFolder() override {
    return std::make_unique<OutlookFolder>(d_.Object("CurrentFolder"));
  }

 private:
  DispatchObject d_;
};

class OutlookApplication final : public Application {
 public:
  explicit OutlookApplication(ComPtr<IDispatch> d) : d_(std::move(d)) {}
  std::unique_ptr<Explorer> ActiveExplorer() override {
    return std::make_unique<OutlookExplorer>(DispatchObject::ObjectOf(d_.Method("ActiveExplorer", {}), "ActiveExplorer"));
  }

 private:
  DispatchObject d_;
};

}  // namespace

std::unique_ptr<Application> MakeOutlookApplication(IDispatch* app) {
  if (!app) throw OutlookComError(E_POINTER, "Outlook ist nicht verfügbar.");
  return std::make_unique<OutlookApplication>(ComPtr<IDispatch>::AddRefOf(app));
}

std::unique_ptr<Explorer> MakeOutlookExplorer(IDispatch* explorer) {
  if (!explorer) return nullptr;
  return std::make_unique<OutlookExplorer>(ComPtr<IDispatch>::AddRefOf(explorer));
}

}  // namespace trovex::outlook
