#include "ribbon/ribbon_callbacks.h"

#include <algorithm>
#include <array>

#include "support/image/image.h"
#include "support/utf8.h"

namespace trovex::ribbon {
namespace {

using P = TadxRibbonControlPropertyType;

constexpr std::string_view kWrapped = "wrapped";
constexpr std::string_view kContextMenu = "_adx_context_menu_";
constexpr std::size_t kContextMenuCut = 22;  // the marker and four digits

constexpr std::string_view kCustomUi2006 = "http://schemas.microsoft.com/office/2006/01/customui";
constexpr std::string_view kCustomUi2009 = "http://schemas.microsoft.com/office/2009/07/customui";

// The value callbacks: the property Office asks for, whether the button part
// of a split button is answered by the split button, the stored value, and
// the answer when no component is found.
struct ValueQuery {
  P property;
  bool removesWrapped;
  RibbonValue (*stored)(const IadxRibbonComponent& component);
  RibbonValue notFound;
};
using Component = const IadxRibbonComponent&;
const std::array<ValueQuery, 11> kValueQueries = {{
    {P::rcptVisible, false, [](Component c) -> RibbonValue { return c.Visible(); }, true},
    {P::rcptKeyTip, false, [](Component c) -> RibbonValue { return c.KeyTip(); }, std::string()},
    {P::rcptCaption, true, [](Component c) -> RibbonValue { return c.Caption(); }, std::string()},
    {P::rcptEnabled, false, [](Component c) -> RibbonValue { return c.Enabled(); }, true},
    {P::rcptPressed, true, [](Component c) -> RibbonValue { return c.Pressed(); }, false},
    {P::rcptScreenTip, true, [](Component c) -> RibbonValue { return c.ScreenTip(); }, std::string()},
    {P::rcptSuperTip, true, [](Component c) -> RibbonValue { return c.SuperTip(); }, std::string()},
    {P::rcptShowCaption, true, [](Component c) -> RibbonValue { return c.ShowCaption(); }, true},
    {P::rcptShowImage, true,
     [](Component c) -> RibbonValue {
       return !c.Glyph().Empty() || c.ImageIndex() >= 0 || !c.ImageMso().empty();
     },
     false},
    {P::rcptSize, false,
     [](Component c) -> RibbonValue { return std::int32_t{c.Size() == TadxRibbonXControlSize::csLarge ? 1 : 0}; },
     std::int32_t{0}},
    {P::rcptDescription, true, [](Component c) -> RibbonValue { return c.Description(); }, std::string()},
}};

RibbonControl& ControlArgument(CallbackArguments& arguments) {
  auto* control = std::get_if<std::unique_ptr<RibbonControl>>(&arguments.At(0));
  if (!control || !*control) {
    throw CallbackError(CallbackError::Kind::WrongType, "the first argument is no ribbon control");
  }
  return **control;
}

// Non-zero is true, as Office's VARIANT_BOOL and plain numbers both come.
bool TruthArgument(CallbackArgument& argument) {
  if (const bool* b = std::get_if<bool>(&argument)) return *b;
  if (const std::int32_t* i = std::get_if<std::int32_t>(&argument)) return *i != 0;
  throw CallbackError(CallbackError::Kind::WrongType, "a truth value was expected");
}

}  // namespace

CallbackArgument& CallbackArguments::At(std::size_t position) {
  if (position >= reversed_.size()) {
    throw CallbackError(CallbackError::Kind::MissingArgument,
                        "argument " + std::to_string(position + 1) + " is missing");
  }
  return reversed_[reversed_.size() - 1 - position];
}

const CallbackTable& RibbonCallbackTable() {
  using C = RibbonCallbacks;
  static const CallbackTable table = {
      {"RibbonLoaded_Callback", 10, &C::RibbonLoaded},
      {"GetImages_Callback", 11, &C::GetImages},
      {"GetVisible_Callback", 12, &C::Value<P::rcptVisible>},
      {"GetKeyTip_Callback", 13, &C::Value<P::rcptKeyTip>},
      {"GetLabel_Callback", 14, &C::Value<P::rcptCaption>},
      {"GetEnabled_Callback", 15, &C::Value<P::rcptEnabled>},
      {"GetPressed_Callback", 16, &C::Value<P::rcptPressed>},
      {"GetImage_Callback", 17, &C::GetImage},
      {"GetSuperTip_Callback", 19, &C::Value<P::rcptSuperTip>},
      {"GetScreenTip_Callback", 20, &C::Value<P::rcptScreenTip>},
      {"GetSize_Callback", 21, &C::Value<P::rcptSize>},
      {"GetShowLabel_Callback", 22, &C::Value<P::rcptShowCaption>},
      {"GetShowImage_Callback", 23, &C::Value<P::rcptShowImage>},
      {"GetDescription_Callback", 24, &C::Value<P::rcptDescription>},
      {"GetText_Callback", 25, &C::NotServed},
      {"GetItemCount_Callback", 26, &C::NotServed},
      {"GetItemID_Callback", 27, &C::NotServed},
      {"GetItemImage_Callback", 28, &C::NotServed},
      {"GetItemLabel_Callback", 29, &C::NotServed},
      {"GetItemScreenTip_Callback", 30, &C::NotServed},
      {"GetItemSuperTip_Callback", 31, &C::NotServed},
      {"GetShowItemImage_Callback", 32, &C::NotServed},
      {"GetSelectedItemIndex_Callback", 33, &C::NotServed},
      {"GetSelectedItemId_Callback", 34, &C::NotServed},
      {"GetItemHeight_Callback", 35, &C::NotServed},
      {"GetItemWidth_Callback", 36, &C::NotServed},
      {"GetContent_Callback", 37, &C::NotServed},
      {"GetTitle_Callback", 38, &C::NotServed},
      {"OnActionCommon_Callback", 50, &C::OnActionCommon},
      {"OnActionCommonRepurposed_Callback", 51, &C::NotServed},
      {"OnActionState_Callback", 52, &C::OnActionState},
      {"OnActionStateRepurposed_Callback", 53, &C::NotServed},
      {"OnActionSelected_Callback", 54, &C::NotServed},
      {"OnChange_Callback", 55, &C::NotServed},
      {"OnBackstageShow_Callback", 60, &C::NotServed},
      {"OnBackstageHide_Callback", 61, &C::NotServed},
      {"GetTarget_Callback", 62, &C::NotServed},
      {"GetAltText_Callback", 63, &C::NotServed},
      {"GetHelperText_Callback", 64, &C::NotServed},
      {"GetStyle_Callback", 65, &C::NotServed},
  };
  return table;
}

std::string WithoutWrappedMarker(std::string id) {
  if (const std::size_t at = id.find(kWrapped); at != std::string::npos) id.erase(at, kWrapped.size());
  return id;
}

std::string WithoutContextMenuMarker(std::string id) {
  if (const std::size_t at = id.find(kContextMenu); at != std::string::npos) id.erase(at, kContextMenuCut);
  return id;
}

IadxRibbonComponent* RibbonCallbacks::FindComponentByOfficeId(std::string_view officeId) const {
  if (!module_) return nullptr;
  const std::string id = WithoutContextMenuMarker(std::string(officeId));
  // Only the registry: what the markup left out of it is not Office's.
  for (const RibbonModule::RegistryEntry& entry : module_->RibbonControls()) {
    if (EqualsIgnoreCase(entry.text, id)) return entry.component;
  }
  return nullptr;
}

RibbonObject RibbonCallbacks::MakeRibbonImage(const IadxRibbonComponent& component) const {
  image::Image image;
  if (!component.Glyph().Empty()) {
    // A list of one, sized as the glyph, keyed on its bottom-left colour.
    image = ImageOfGlyph(component.Glyph());
    image::MakeBottomLeftColorTransparent(image);
  } else {
    // Only controls index their tab's list; a tab has no ImageIndex.
    const auto* control = dynamic_cast<const TadxRibbonCustomControl*>(&component);
    const auto* list = control ? dynamic_cast<const ImageList*>(control->Tab().Images()) : nullptr;
    const int index = component.ImageIndex();
    if (!list || index < 0 || list->Count() == 0 || index >= list->Count()) return nullptr;
    image = list->Render(index);
  }
  if (image.Empty() || !makePicture_) return nullptr;
  return makePicture_(image, HostMajorVersion());
}

RibbonValue RibbonCallbacks::QueryValue(CallbackArguments& arguments, P property) {
  const auto query = std::find_if(kValueQueries.begin(), kValueQueries.end(),
                                  [&](const ValueQuery& q) { return q.property == property; });
  if (query == kValueQueries.end()) throw std::logic_error("no value query for this property");
  RibbonControl& control = ControlArgument(arguments);
  std::string id = control.Id();
  if (query->removesWrapped) id = WithoutWrappedMarker(std::move(id));
  IadxRibbonComponent* component = FindComponentByOfficeId(id);
  if (!component) return query->notFound;
  RibbonValue value = query->stored(*component);
  component->DoPropertyChanging(property, value, control.Context());
  return value;
}

RibbonValue RibbonCallbacks::GetImage(CallbackArguments& arguments) {
  RibbonControl& control = ControlArgument(arguments);
  IadxRibbonComponent* component = FindComponentByOfficeId(WithoutWrappedMarker(control.Id()));
  if (!component) return {};
  // The override may hand over a picture of its own.
  RibbonValue value;
  component->DoPropertyChanging(P::rcptGlyph, value, control.Context());
  if (const RibbonObject* own = std::get_if<RibbonObject>(&value); own && *own) return *own;
  RibbonObject picture = MakeRibbonImage(*component);
  if (!picture) return {};
  return picture;
}

RibbonValue RibbonCallbacks::GetImages(CallbackArguments& arguments) {
  const auto* name = std::get_if<std::string>(&arguments.At(0));
  if (!name) throw CallbackError(CallbackError::Kind::WrongType, "the image name is no text");
  const IadxRibbonComponent* component = FindComponentByOfficeId(WithoutWrappedMarker(*name));
  if (!component) return {};
  RibbonObject picture = MakeRibbonImage(*component);
  if (!picture) return {};
  return picture;
}

RibbonValue RibbonCallbacks::Click(CallbackArguments& arguments, bool withPressedState) {
  RibbonControl& control = ControlArgument(arguments);
  IadxRibbonComponent* component = FindComponentByOfficeId(WithoutWrappedMarker(control.Id()));
  if (!component) return {};
  TadxRibbonActionArguments action;
  action.control = &control;
  if (withPressedState) action.pressed = TruthArgument(arguments.At(1));
  // A running handler ignores a second click; what a handler throws goes
  // to the error handler (the control's DoAction).
  component->DoAction(action);
  return {};
}

RibbonValue RibbonCallbacks::OnActionCommon(CallbackArguments& arguments) { return Click(arguments, false); }
RibbonValue RibbonCallbacks::OnActionState(CallbackArguments& arguments) { return Click(arguments, true); }

RibbonValue RibbonCallbacks::RibbonLoaded(CallbackArguments& arguments) {
  auto* ui = std::get_if<std::unique_ptr<RibbonUI>>(&arguments.At(0));
  if (!ui || !*ui) throw CallbackError(CallbackError::Kind::WrongType, "the argument is no ribbon object");
  if (!module_) return {};
  RibbonUI& kept = **ui;
  module_->SetRibbonUI(std::move(*ui));
  if (module_->OfficeXmlns().empty()) {
    module_->SetOfficeXmlns(std::string(module_->HostMajorVersion() == 12 ? kCustomUi2006 : kCustomUi2009));
  }
  if (OnRibbonLoaded) module_->Guarded([&] { OnRibbonLoaded(*module_, kept); });
  return {};
}

RibbonValue RibbonCallbacks::NotServed(CallbackArguments& /*arguments*/) { return {}; }

}  // namespace trovex::ribbon
