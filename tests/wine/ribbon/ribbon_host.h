// Office's side of the ribbon for tests: the IRibbonControl that Office
// hands to every callback, the IRibbonUI it hands to onLoad, and an
// application object that lets a test act while the add-in is inside a
// call to Outlook. All are host objects: counted, checked for calls on the
// wrong thread or after release, and reported when leaked.
#pragma once

#include <oaidl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "office/win32/office_interfaces.h"
#include "host/host_object.h"
#include "support/win32/com_ptr.h"

namespace trovex::wine_host {

struct RibbonControlInfo {
  std::wstring id;
  IDispatch* context = nullptr;  // the window; AddRef'd by the control
  std::wstring tag;
  // get_Id fails with this code instead of answering (0: answers).
  HRESULT idFailure = S_OK;
};

// A new control, its one reference owned by the result.
win32::ComPtr<office::IRibbonControl> MakeRibbonControl(std::shared_ptr<HostState> state, RibbonControlInfo info);

// Office's ribbon object; records what the add-in asks of it.
class HostRibbonUI;
win32::ComPtr<office::IRibbonUI> MakeRibbonUI(std::shared_ptr<HostState> state,
                                              std::shared_ptr<std::vector<std::wstring>> calls);

// An application object that forwards everything to `inner` (Outlook's
// application from OutlookHost) but runs `during` inside ActiveExplorer,
// before answering: the test's stand-in for what Office does while a
// handler is busy, such as delivering a further click. When `during`
// throws DispError, ActiveExplorer fails with its text as Outlook's calls
// fail.
win32::ComPtr<IDispatch> MakeInterceptingApplication(std::shared_ptr<HostState> state, IDispatch* inner,
                                                     std::function<void()> during);

}  // namespace trovex::wine_host
