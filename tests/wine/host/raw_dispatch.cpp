#include "host/raw_dispatch.h"

#include <vector>

#include "support/win32/wide_string.h"

namespace trovex::wine_host {
namespace {

DispResult Invoke(IDispatch* object, std::wstring_view name, WORD flags, std::vector<VARIANT>& reversed,
                  DISPPARAMS& params) {
  DispResult r;
  std::wstring text(name);
  LPOLESTR names[] = {text.data()};
  DISPID id = DISPID_UNKNOWN;
  r.hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(r.hr)) return r;
  params.rgvarg = reversed.empty() ? nullptr : reversed.data();
  params.cArgs = static_cast<UINT>(reversed.size());
  EXCEPINFO excep{};
  UINT argErr = 0;
  r.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, r.value.Put(), &excep, &argErr);
  if (r.hr == DISP_E_EXCEPTION) {
    if (excep.bstrDescription) r.error = win32::Utf8FromWide(excep.bstrDescription);
    r.scode = excep.scode;
  }
  ::SysFreeString(excep.bstrSource);
  ::SysFreeString(excep.bstrDescription);
  ::SysFreeString(excep.bstrHelpFile);
  return r;
}

}  // namespace

DispResult CallByName(IDispatch* object, std::wstring_view name, WORD flags, std::span<win32::unique_variant> args) {
  std::vector<VARIANT> reversed;
  for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->Get());
  DISPPARAMS params{};
  return Invoke(object, name, flags, reversed, params);
}

DispResult PutByName(IDispatch* object, std::wstring_view name, win32::unique_variant value) {
  std::vector<VARIANT> reversed{value.Get()};
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{};
  params.rgdispidNamedArgs = &named;
  params.cNamedArgs = 1;
  return Invoke(object, name, DISPATCH_PROPERTYPUT, reversed, params);
}

win32::unique_variant IntArg(long value) {
  win32::unique_variant v;
  v.Get().vt = VT_I4;
  v.Get().lVal = value;
  return v;
}

win32::unique_variant TextArg(std::wstring_view text) {
  win32::unique_variant v;
  v.Get().vt = VT_BSTR;
  v.Get().bstrVal = win32::MakeBstr(text).Release();
  return v;
}

win32::unique_variant ObjectArg(IDispatch* object) {
  win32::unique_variant v;
  v.Get().vt = VT_DISPATCH;
  v.Get().pdispVal = object;
  if (object) object->AddRef();
  return v;
}

}  // namespace trovex::wine_host
