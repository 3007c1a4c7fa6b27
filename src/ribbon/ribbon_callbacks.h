// Office's ribbon callbacks without COM: the names the markup puts into its
// attributes with their fixed dispatch numbers, the way from an Office
// control id back to a tab or control, the value and image queries with
// their per-query override, clicks, and the ribbon object handed to onLoad.
// The add-in object's IDispatch answers from CallbackTable() after its own
// type library, converting VARIANTs to CallbackArgument and RibbonValue back.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "office/dispatch_table.h"
#include "ribbon/ribbon_images.h"
#include "ribbon/ribbon_module.h"

namespace trovex::ribbon {

// One argument of an Invoke. Office's objects arrive wrapped by the COM
// side: the control of a query or click, or the ribbon of onLoad.
using CallbackArgument = std::variant<std::monostate, bool, std::int32_t, std::string,
                                      std::unique_ptr<RibbonControl>, std::unique_ptr<RibbonUI>>;

// The arguments as DISPPARAMS holds them: the last one first.
class CallbackArguments {
 public:
  CallbackArguments() = default;
  explicit CallbackArguments(std::vector<CallbackArgument> reversed) : reversed_(std::move(reversed)) {}

  std::size_t Count() const { return reversed_.size(); }
  // The argument at `position` in the callback's own order (0 is the
  // first); throws CallbackError when it is missing.
  CallbackArgument& At(std::size_t position);

 private:
  std::vector<CallbackArgument> reversed_;
};

// A call Office made wrongly (missing or mistyped argument); the COM side
// answers it with a failure code.
class CallbackError : public std::runtime_error {
 public:
  enum class Kind { MissingArgument, WrongType };
  CallbackError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  Kind GetKind() const { return kind_; }

 private:
  Kind kind_;
};

class RibbonCallbacks;
using CallbackHandler = RibbonValue (RibbonCallbacks::*)(CallbackArguments& arguments);
using CallbackTable = office::DispatchTable<CallbackHandler>;

// Every callback name with its number, in number order. The names compare
// with case, as Office asks for them as written.
const CallbackTable& RibbonCallbackTable();

// "wrapped" marks the button part of a split button: its first occurrence
// is taken out, so the split button answers for it.
std::string WithoutWrappedMarker(std::string id);
// "_adx_context_menu_" and up to four digits after it (22 characters from
// the marker on) are taken out.
std::string WithoutContextMenuMarker(std::string id);

// The picture Office displays for an image (an IStream or IPictureDisp on
// the COM side), made for the host's major version.
using PictureMaker = std::function<RibbonObject(const image::Image& image, int hostMajorVersion)>;

class RibbonCallbacks {
 public:
  // `module` may be null (no module connected): nothing is found then.
  RibbonCallbacks(RibbonModule* module, PictureMaker makePicture)
      : module_(module), makePicture_(std::move(makePicture)) {}

  // Raised after onLoad with Office's ribbon; what it throws goes to the
  // error handler.
  std::function<void(RibbonModule& sender, RibbonUI& ribbonUI)> OnRibbonLoaded;

  // The component behind an Office control id (after taking out the
  // context-menu marker): the first registry entry equal to it without
  // regard to case.
  IadxRibbonComponent* FindComponentByOfficeId(std::string_view officeId) const;

  // The picture of a component: its glyph (its bottom-left colour made
  // transparent), else its tab's image at its ImageIndex; none (null) when
  // there is no such image.
  RibbonObject MakeRibbonImage(const IadxRibbonComponent& component) const;

  // Handlers of the table. Failures of Office's objects (reading the
  // control's Id) leave as exceptions.
  RibbonValue RibbonLoaded(CallbackArguments& arguments);
  RibbonValue GetImages(CallbackArguments& arguments);
  // A value query: the stored value of the property, as the override
  // leaves it; the property's default when no component is found.
  template <TadxRibbonControlPropertyType property>
  RibbonValue Value(CallbackArguments& arguments) {
    return QueryValue(arguments, property);
  }
  RibbonValue GetImage(CallbackArguments& arguments);
  RibbonValue OnActionCommon(CallbackArguments& arguments);
  RibbonValue OnActionState(CallbackArguments& arguments);
  // Callbacks of control kinds this add-in does not build: no value.
  RibbonValue NotServed(CallbackArguments& arguments);

 private:
  RibbonValue QueryValue(CallbackArguments& arguments, TadxRibbonControlPropertyType property);
  RibbonValue Click(CallbackArguments& arguments, bool withPressedState);
  int HostMajorVersion() const { return module_ ? module_->HostMajorVersion() : 0; }

  RibbonModule* module_;
  PictureMaker makePicture_;
};

}  // namespace trovex::ribbon
