// The object model of object_model.h over Outlook's own COM objects,
// reached through IDispatch by name. Every object is fetched anew for each
// use and released as soon as it has served.
#pragma once

#include <oaidl.h>

#include <memory>
#include <string>

#include "outlook/object_model.h"

namespace trovex::outlook {

// A failed call into Outlook: what() is Outlook's message (EXCEPINFO,
// else IErrorInfo, else the system's text for the HRESULT).
class OutlookComError : public OutlookError {
 public:
  OutlookComError(HRESULT code, const std::string& message) : OutlookError(message), code_(code) {}
  HRESULT Code() const noexcept { return code_; }

 private:
  HRESULT code_;
};

// The application behind `app` (Outlook's Application object); keeps a
// reference of its own. Must be used on the thread (apartment) of `app`.
std::unique_ptr<Application> MakeOutlookApplication(IDispatch* app);
// An explorer that Outlook handed out elsewhere; nullptr for none.
std::unique_ptr<Explorer> MakeOutlookExplorer(IDispatch* explorer);

}  // namespace trovex::outlook
