// Office's ribbon objects as the model sees them: the ribbon that re-queries
// changed values, the control a callback is about, and the values and
// objects that go back to Office. The DLL implements them over IRibbonUI
// and IRibbonControl.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

namespace trovex::ribbon {

// Office's IRibbonUI. Failures throw.
class RibbonUI {
 public:
  virtual ~RibbonUI() = default;
  virtual void Invalidate() = 0;
  virtual void InvalidateControl(const std::string& controlId) = 0;
  virtual void ActivateTab(const std::string& controlId) = 0;
};

// The querying window (IRibbonControl's Context, an IDispatch); borrowed
// for the call.
using RibbonContext = void*;

// Office's IRibbonControl of a click or query. Failures throw.
class RibbonControl {
 public:
  virtual ~RibbonControl() = default;
  virtual std::string Id() const = 0;
  virtual RibbonContext Context() const = 0;
};

// An Office object such as a picture or stream; released with its last
// reference.
using RibbonObject = std::shared_ptr<void>;
// A value on its way to Office, as OnPropertyChanging may change it.
using RibbonValue = std::variant<std::monostate, bool, std::int32_t, std::string, RibbonObject>;

}  // namespace trovex::ribbon
