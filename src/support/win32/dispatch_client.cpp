#include "support/win32/dispatch_client.h"

#include <fmt/format.h>

#include <vector>

#include "support/win32/wide_string.h"

namespace trovex::win32 {

DispatchError::DispatchError(HRESULT code, std::string member, std::string description)
    : ComError(code, fmt::format("{}: {}", member, description)),
      member_(std::move(member)),
      description_(std::move(description)) {}

std::string InvokeResult::Description() const { return Utf8FromBstr(exception.Get().bstrDescription); }

InvokeResult TryInvoke(IDispatch* object, std::string_view member, WORD flags, std::span<const unique_variant> args) {
  InvokeResult r;
  if (!object) {
    r.hr = E_POINTER;
    return r;
  }
  std::wstring name = WideFromUtf8(member);
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  r.hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(r.hr)) return r;

  // DISPPARAMS lists the arguments last to first. Shallow copies: Invoke
  // does not take over its arguments.
  std::vector<VARIANT> reversed;
  reversed.reserve(args.size());
  for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->Get());
  DISPID put = DISPID_PROPERTYPUT;
  const bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), isPut ? &put : nullptr,
                    static_cast<UINT>(reversed.size()), isPut ? 1u : 0u};
  UINT argError = 0;
  r.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, isPut ? nullptr : r.value.Put(),
                        r.exception.Put(), &argError);
  if (r.hr == DISP_E_EXCEPTION) {
    EXCEPINFO& e = r.exception.Get();
    if (e.pfnDeferredFillIn) {
      e.pfnDeferredFillIn(&e);
      e.pfnDeferredFillIn = nullptr;
    }
  }
  return r;
}

unique_variant Invoke(IDispatch* object, std::string_view member, WORD flags, std::span<const unique_variant> args) {
  InvokeResult r = TryInvoke(object, member, flags, args);
  // The thread's error object may carry the object's words where the call
  // gave none; it is taken either way so that it cannot go stale.
  if (SUCCEEDED(r.hr)) return std::move(r.value);
  std::string fromErrorInfo = TakeErrorInfoDescription();
  HRESULT code = r.hr;
  std::string description;
  if (r.hr == DISP_E_EXCEPTION) {
    const EXCEPINFO& e = r.exception.Get();
    if (FAILED(e.scode)) code = e.scode;
    description = Utf8FromBstr(e.bstrDescription);
  }
  if (description.empty()) description = std::move(fromErrorInfo);
  if (description.empty()) description = SystemMessage(code);
  throw DispatchError(code, std::string(member), std::move(description));
}

unique_variant GetProperty(IDispatch* object, std::string_view member) {
  return Invoke(object, member, DISPATCH_PROPERTYGET);
}

unique_variant CallMethod(IDispatch* object, std::string_view member, std::span<const unique_variant> args) {
  return Invoke(object, member, DISPATCH_METHOD, args);
}

void PutProperty(IDispatch* object, std::string_view member, const unique_variant& value) {
  Invoke(object, member, DISPATCH_PROPERTYPUT, std::span<const unique_variant>(&value, 1));
}

unique_variant TextVariant(std::wstring_view text) {
  unique_variant v;
  v.Get().bstrVal = MakeBstr(text).Release();
  v.Get().vt = VT_BSTR;
  return v;
}

unique_variant TextVariant(std::string_view utf8) { return TextVariant(std::wstring_view(WideFromUtf8(utf8))); }

unique_variant IntVariant(long value) {
  unique_variant v;
  v.Get().vt = VT_I4;
  v.Get().lVal = value;
  return v;
}

unique_variant ObjectVariant(IDispatch* object) {
  unique_variant v;
  v.Get().vt = VT_DISPATCH;
  v.Get().pdispVal = object;
  if (object) object->AddRef();
  return v;
}

}  // namespace trovex::win32
