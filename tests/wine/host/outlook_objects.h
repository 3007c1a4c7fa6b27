// The objects of Outlook's object model that the host serves over the mail
// store; see outlook_host.h for what they offer.
#pragma once

#include <oaidl.h>

#include <memory>

#include "support/win32/com_ptr.h"

namespace trovex::wine_host {

struct HostState;

win32::ComPtr<IDispatch> NewApplication(std::shared_ptr<HostState> state);
// Outlook's COMAddIn entry for the add-in, with its Object property.
win32::ComPtr<IDispatch> NewComAddIn(std::shared_ptr<HostState> state);
// What the add-in put into the COMAddIn's Object (nullptr if nothing).
win32::ComPtr<IDispatch> KeptAddInObject(IDispatch* comAddIn);

}  // namespace trovex::wine_host
