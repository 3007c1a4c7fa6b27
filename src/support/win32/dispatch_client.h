// Late-bound calls on an IDispatch by member name: GetIDsOfNames, then
// Invoke with the arguments in the caller's order. The one place where
// DISPPARAMS are put together and EXCEPINFO is read and freed.
#pragma once

#include <oaidl.h>

#include <span>
#include <string>
#include <string_view>

#include "support/win32/win32_error.h"
#include "support/win32/win32_handles.h"

namespace trovex::win32 {

// A failed late-bound call. Code() is the object's own code when it raised
// an exception (EXCEPINFO's scode), else the call's HRESULT; Description()
// is the object's own words (EXCEPINFO, else IErrorInfo), else the system's
// text for the code; what() is "Member: Description".
class DispatchError : public ComError {
 public:
  DispatchError(HRESULT code, std::string member, std::string description);
  const std::string& Member() const noexcept { return member_; }
  const std::string& Description() const noexcept { return description_; }

 private:
  std::string member_;
  std::string description_;
};

// What an object answered, untouched: for callers (tests among them) that
// look at a failure instead of raising it.
struct InvokeResult {
  // GetIDsOfNames' result when the name is unknown, else Invoke's.
  HRESULT hr = E_FAIL;
  unique_variant value;
  // Filled (deferred fill-in already run) when hr is DISP_E_EXCEPTION.
  unique_excepinfo exception;

  // The exception's description; empty when there is none.
  std::string Description() const;
};

// `args` in natural order. A put (DISPATCH_PROPERTYPUT or PUTREF) passes
// its one argument as the named DISPID_PROPERTYPUT, as Automation requires.
InvokeResult TryInvoke(IDispatch* object, std::string_view member, WORD flags,
                       std::span<const unique_variant> args = {});

// The same, raising DispatchError on failure.
unique_variant Invoke(IDispatch* object, std::string_view member, WORD flags,
                      std::span<const unique_variant> args = {});
unique_variant GetProperty(IDispatch* object, std::string_view member);
// A type library's IDispatch refuses to call a method as a property.
unique_variant CallMethod(IDispatch* object, std::string_view member, std::span<const unique_variant> args = {});
void PutProperty(IDispatch* object, std::string_view member, const unique_variant& value);

// Arguments. TextVariant throws std::bad_alloc without memory; ObjectVariant
// adds a reference of its own.
unique_variant TextVariant(std::string_view utf8);
unique_variant TextVariant(std::wstring_view text);
unique_variant IntVariant(long value);
unique_variant ObjectVariant(IDispatch* object);

}  // namespace trovex::win32
