// Raw late-bound calls for tests: GetIDsOfNames and Invoke with nothing in
// between, so that tests see exactly what an object answers.
#pragma once

#include <oaidl.h>

#include <span>
#include <string>
#include <string_view>

#include "support/win32/win32_handles.h"

namespace trovex::wine_host {

struct DispResult {
  HRESULT hr = E_FAIL;
  win32::unique_variant value;
  // EXCEPINFO's description (UTF-8) when hr is DISP_E_EXCEPTION.
  std::string error;
  HRESULT scode = S_OK;
};

DispResult CallByName(IDispatch* object, std::wstring_view name, WORD flags,
                      std::span<win32::unique_variant> args = {});
// A property put (the value as the named argument DISPID_PROPERTYPUT).
DispResult PutByName(IDispatch* object, std::wstring_view name, win32::unique_variant value);

win32::unique_variant IntArg(long value);
win32::unique_variant TextArg(std::wstring_view text);
win32::unique_variant ObjectArg(IDispatch* object);

}  // namespace trovex::wine_host
