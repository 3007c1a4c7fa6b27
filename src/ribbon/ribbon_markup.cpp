// The markup writer, and each kind's element name and attribute list (the
// model declares them; every rule of the markup lives here).
#include "ribbon/ribbon_markup.h"

#include <algorithm>
#include <array>
#include <functional>
#include <utility>
#include <vector>

namespace trovex::ribbon {
namespace {

using K = TadxRibbonControlType;

constexpr std::string_view kTrue = "true";
constexpr std::string_view kFalse = "false";
std::string_view BoolText(bool value) { return value ? kTrue : kFalse; }

bool IsOneOf(K kind, std::initializer_list<K> kinds) {
  for (K k : kinds) {
    if (k == kind) return true;
  }
  return false;
}

void AppendEscaped(std::string& out, std::string_view value) {
  for (char c : value) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
}

std::string ContextSuffix(int contextIndex) {
  return contextIndex != 0 ? "_adx_context_menu_" + std::to_string(contextIndex) : std::string();
}

// "idQ" = "default:<id>" under a namespace, else "id" = <id>.
void AddIdAttribute(AttributeList& a, const IadxRibbonComponent& c, const std::string& id) {
  if (!c.Module().Namespace().empty()) {
    a.Add("idQ", "default:" + id);
  } else {
    a.Add("id", id);
  }
}

void AddSharedIdAttribute(AttributeList& a, const IadxRibbonComponent& c) { a.Add("idQ", "shared:" + c.Id()); }

bool IsShared(bool shared, const IadxRibbonComponent& c) { return shared && !c.Module().Namespace().empty(); }

// Only the first non-empty position counts.
void AddInsertAttribute(AttributeList& a, const IadxRibbonComponent& c) {
  if (!c.InsertAfterIdMso().empty()) {
    a.Add("insertAfterMso", c.InsertAfterIdMso());
  } else if (!c.InsertBeforeIdMso().empty()) {
    a.Add("insertBeforeMso", c.InsertBeforeIdMso());
  } else if (!c.InsertAfterId().empty()) {
    a.Add("insertAfterQ", c.InsertAfterId());
  } else if (!c.InsertBeforeId().empty()) {
    a.Add("insertBeforeQ", c.InsertBeforeId());
  }
}

void AddImageAttribute(AttributeList& a, const IadxRibbonComponent& c) {
  if (!c.Glyph().Empty() || c.ImageIndex() >= 0) a.Add("getImage", "GetImage_Callback");
}

void AddGetVisible(AttributeList& a) { a.Add("getVisible", "GetVisible_Callback"); }
void AddGetKeytip(AttributeList& a) { a.Add("getKeytip", "GetKeyTip_Callback"); }
void AddGetLabel(AttributeList& a) { a.Add("getLabel", "GetLabel_Callback"); }
void AddGetSupertip(AttributeList& a) { a.Add("getSupertip", "GetSuperTip_Callback"); }
void AddGetScreentip(AttributeList& a) { a.Add("getScreentip", "GetScreenTip_Callback"); }
void AddGetShowLabel(AttributeList& a) { a.Add("getShowLabel", "GetShowLabel_Callback"); }
void AddGetShowImage(AttributeList& a) { a.Add("getShowImage", "GetShowImage_Callback"); }
void AddGetEnabled(AttributeList& a) { a.Add("getEnabled", "GetEnabled_Callback"); }
void AddGetDescription(AttributeList& a) { a.Add("getDescription", "GetDescription_Callback"); }
void AddGetSize(AttributeList& a) { a.Add("getSize", "GetSize_Callback"); }

void AddOnAction(AttributeList& a, bool toggle) {
  if (toggle) {
    a.Add("getPressed", "GetPressed_Callback");
    a.Add("onAction", "OnActionState_Callback");
  } else {
    a.Add("onAction", "OnActionCommon_Callback");
  }
}

// A built-in control inside a built-in one is named by its idMso alone.
bool ParentHasIdMso(const TadxRibbonCustomControl& c) { return !c.Parent().IdMso().empty(); }

// Tab, group, box and button group share the shape of their attributes.
enum class Shape { Shared, Builtin, Own };
Shape ShapeOf(bool shared, const IadxRibbonComponent& c) {
  if (IsShared(shared, c)) return Shape::Shared;
  return c.IdMso().empty() ? Shape::Own : Shape::Builtin;
}

// Writes components below "customUI" or a dynamic menu's "menu".
class MarkupWriter {
 public:
  MarkupWriter(TadxXMLHelper& xml, std::string_view ribbonId) : xml_(xml), ribbonId_(ribbonId) {}

  void Write(IadxRibbonComponent& c, int contextIndex) {
    if (!RibbonIdMatches(ribbonId_, c.Ribbons(), c.Ribbons2010())) return;
    const std::string name = c.GetElementName();
    const AttributeList attributes = c.BuildAttributes(contextIndex);
    TadxRibbonControls* children = c.GetChildControls();
    if (!children) {
      xml_.WriteElementWithAttributeString(name, attributes);
      return;
    }
    if (name == "menu" && c.GetControlType() == K::rctMenu) static_cast<TadxRibbonMenu&>(c).RaiseCreate();
    // A dynamic menu's entries come later, through its getContent.
    if (children->Count() == 0 || name == "dynamicMenu") {
      xml_.WriteElementWithAttributeString(name, attributes);
      return;
    }
    xml_.WriteStartElement(name, attributes);
    if (name == "splitButton" && c.IdMso().empty()) {
      const auto& split = static_cast<const TadxRibbonSplitButton&>(c);
      xml_.WriteElementWithAttributeString(split.InnerButtonElementName(),
                                           split.BuildInnerButtonAttributes(contextIndex));
    }
    // By index: a menu's OnCreate further down may add entries.
    for (std::size_t i = 0; i < children->Count(); ++i) Write((*children)[i], contextIndex);
    xml_.WriteEndElement(name);
  }

 private:
  TadxXMLHelper& xml_;
  std::string_view ribbonId_;
};

void AddNamespaceAttributes(AttributeList& a, const RibbonModule& module) {
  a.Add("xmlns", module.OfficeXmlns());
  if (!module.Namespace().empty()) {
    a.Add("xmlns:default", module.Settings().addInProgId);
    a.Add("xmlns:shared", module.Namespace());
  }
}

// The texts that tell the host from a ribbon id, the first found deciding.
struct HostMarker {
  std::string_view text;
  OfficeHostApp app;
};
constexpr std::array<HostMarker, 11> kHostMarkers = {{
    {"Microsoft.Access.", OfficeHostApp::Access},
    {"Microsoft.Excel.", OfficeHostApp::Excel},
    {"Microsoft.PowerPoint.", OfficeHostApp::PowerPoint},
    {"Microsoft.Word.", OfficeHostApp::Word},
    {"Microsoft.InfoPath.", OfficeHostApp::InfoPath},
    {"Microsoft.Publisher.", OfficeHostApp::Publisher},
    {"Microsoft.Project.", OfficeHostApp::Project},
    {"Microsoft.Visio.", OfficeHostApp::Visio},
    {"Microsoft.Outlook.", OfficeHostApp::Outlook},
    {"Microsoft.OMS.MMS", OfficeHostApp::Outlook},
    {"Microsoft.OMS.SMS", OfficeHostApp::Outlook},
}};

// Outlook's ribbons: bits 4 to 23 of Ribbons, 0 to 4 of Ribbons2010.
constexpr std::uint32_t kOutlookRibbonBits = 0x00FFFFF0u;
constexpr std::uint16_t kOutlookRibbon2010Bits = 0x001Fu;

void PruneRegistry(RibbonModule& module, std::string_view ribbonId) {
  if (module.HostType() == OfficeHostApp::Outlook) {
    module.RemoveRibbonControlsIf([](const RibbonModule::RegistryEntry& e) {
      return (e.component->Ribbons().ToBits() & kOutlookRibbonBits) == 0 &&
             (e.component->Ribbons2010().ToBits() & kOutlookRibbon2010Bits) == 0;
    });
  } else {
    module.RemoveRibbonControlsIf([&](const RibbonModule::RegistryEntry& e) {
      return !RibbonIdMatches(ribbonId, e.component->Ribbons(), e.component->Ribbons2010());
    });
  }
}

// Of the kinds built here, only a group's layout flags need the 2009/07
// namespace.
bool NeedsCustomUI14(const RibbonModule& module, std::string_view ribbonId) {
  for (const RibbonModule::RegistryEntry& e : module.RibbonControls()) {
    const IadxRibbonComponent& c = *e.component;
    if (!RibbonIdMatches(ribbonId, c.Ribbons(), c.Ribbons2010())) continue;
    if (c.GetControlType() != K::rctGroup) continue;
    const auto& group = static_cast<const TadxRibbonGroup&>(c);
    if (group.AutoScale() || group.CenterVertically()) return true;
  }
  return false;
}

void ChooseNamespace(RibbonModule& module, std::string_view ribbonId) {
  const int version = module.HostMajorVersion();
  if (version == 12) {
    module.SetOfficeXmlns(std::string(kCustomUI2006Namespace));
  } else if (version > 13) {
    module.SetOfficeXmlns(
        std::string(NeedsCustomUI14(module, ribbonId) ? kCustomUI2009Namespace : kCustomUI2006Namespace));
  }
}

void WriteContextualTabs(TadxXMLHelper& xml, MarkupWriter& writer, const RibbonModule& module,
                         std::string_view ribbonId, const std::function<void()>& openRibbon) {
  // Tab sets in the order of their first matching tab.
  std::vector<std::pair<std::string, std::vector<TadxRibbonTab*>>> sets;
  for (TadxRibbonTab* tab : module.ContextualTabs()) {
    if (!RibbonIdMatches(ribbonId, tab->Ribbons(), tab->Ribbons2010())) continue;
    auto it = std::find_if(sets.begin(), sets.end(), [&](const auto& s) { return s.first == tab->Context(); });
    if (it == sets.end()) it = sets.insert(sets.end(), {tab->Context(), {}});
    it->second.push_back(tab);
  }
  if (sets.empty()) return;
  openRibbon();
  xml.WriteStartElement("contextualTabs");
  for (const auto& [context, tabs] : sets) {
    AttributeList a;
    a.Add("idMso", context);
    xml.WriteStartElement("tabSet", a);
    for (TadxRibbonTab* tab : tabs) writer.Write(*tab, 0);
    xml.WriteEndElement("tabSet");
  }
  xml.WriteEndElement("contextualTabs");
}

}  // namespace

// --- Writer ----------------------------------------------------------------

void TadxXMLHelper::AppendTag(std::string_view name, const AttributeList& attributes) {
  text_ += pendingBreak_;
  text_.append(static_cast<std::size_t>(depth_), '\t');
  text_ += '<';
  text_ += name;
  for (const auto& [attribute, value] : attributes.Items()) {
    text_ += ' ';
    text_ += attribute;
    text_ += "=\"";
    AppendEscaped(text_, value);
    text_ += '"';
  }
}

void TadxXMLHelper::WriteStartElement(std::string_view name, const AttributeList& attributes) {
  AppendTag(name, attributes);
  text_ += '>';
  pendingBreak_ = "\r\n";
  ++depth_;
}

void TadxXMLHelper::WriteElementWithAttributeString(std::string_view name, const AttributeList& attributes) {
  AppendTag(name, attributes);
  text_ += " />";
}

void TadxXMLHelper::WriteEndElement(std::string_view name) {
  --depth_;
  text_ += pendingBreak_;
  text_.append(static_cast<std::size_t>(depth_), '\t');
  text_ += "</";
  text_ += name;
  text_ += '>';
}

// --- GetCustomUI -----------------------------------------------------------

std::string GetCustomUI(RibbonModule& module, std::string_view ribbonId, int hostMajorVersion) {
  module.SetHostMajorVersion(hostMajorVersion);
  for (const HostMarker& marker : kHostMarkers) {
    if (ribbonId.find(marker.text) != std::string_view::npos) {
      module.SetHostType(marker.app);
      break;
    }
  }
  module.SetRunningWithRibbon();
  if (module.OnRibbonBeforeCreate) module.Guarded([&] { module.OnRibbonBeforeCreate(module, ribbonId); });
  PruneRegistry(module, ribbonId);

  TadxXMLHelper xml;
  MarkupWriter writer(xml, ribbonId);
  ChooseNamespace(module, ribbonId);
  AttributeList customUI;
  AddNamespaceAttributes(customUI, module);
  customUI.Add("onLoad", "RibbonLoaded_Callback");
  customUI.Add("loadImage", "GetImages_Callback");
  xml.WriteStartElement("customUI", customUI);

  bool ribbonOpen = false;
  const auto openRibbon = [&](const AttributeList& attributes) {
    if (ribbonOpen) return;
    xml.WriteStartElement("ribbon", attributes);
    ribbonOpen = true;
  };
  if (RibbonIdMatches(ribbonId, module.StartFromScratch.ribbons, module.StartFromScratch.ribbons2010)) {
    AttributeList a;
    a.Add("startFromScratch", kTrue);
    openRibbon(a);
  }
  // The ribbon element opens for any tab, even if none matches.
  if (!module.Tabs().empty()) {
    openRibbon({});
    bool tabsOpen = false;
    for (TadxRibbonTab* tab : module.Tabs()) {
      if (!tabsOpen && RibbonIdMatches(ribbonId, tab->Ribbons(), tab->Ribbons2010())) {
        xml.WriteStartElement("tabs");
        tabsOpen = true;
      }
      writer.Write(*tab, 0);
    }
    if (tabsOpen) xml.WriteEndElement("tabs");
  }
  WriteContextualTabs(xml, writer, module, ribbonId, [&] { openRibbon({}); });
  if (ribbonOpen) xml.WriteEndElement("ribbon");
  xml.WriteEndElement("customUI");

  std::string markup = xml.Text();
  if (module.OnRibbonBeforeLoad) module.Guarded([&] { module.OnRibbonBeforeLoad(module, ribbonId, markup); });
  return markup;
}

std::string TadxRibbonMenu::GetDynamicContent() {
  RaiseCreate();
  TadxXMLHelper xml;
  MarkupWriter writer(xml, "DynamicMenu");
  AttributeList a;
  AddNamespaceAttributes(a, Module());
  if (ItemSize() == TadxRibbonXItemSize::Large) a.Add("itemSize", "large");
  xml.WriteStartElement("menu", a);
  for (std::size_t i = 0; i < Controls().Count(); ++i) writer.Write(Controls()[i], 0);
  xml.WriteEndElement("menu");
  return xml.Text();
}

// --- Element names ---------------------------------------------------------

std::string TadxRibbonTab::GetElementName() const { return "tab"; }
std::string TadxRibbonGroup::GetElementName() const { return "group"; }
std::string TadxRibbonSplitButton::GetElementName() const { return "splitButton"; }
std::string TadxRibbonBox::GetElementName() const { return "box"; }
std::string TadxRibbonButtonGroup::GetElementName() const { return "buttonGroup"; }

std::string TadxRibbonButton::GetElementName() const {
  if (!IdMso().empty() && ParseMsoXmlTypeAs() == TadxParseMsoXmlTypeAs::pxtControl) return "control";
  if (IsOneOf(ParentType(), {K::rctDropDown, K::rctGallery})) return "button";
  return ToggleButton() ? "toggleButton" : "button";
}

std::string TadxRibbonMenu::GetElementName() const {
  if (!IdMso().empty() && !ParentHasIdMso(*this)) return "control";
  return Dynamic() ? "dynamicMenu" : "menu";
}

std::string TadxRibbonSplitButton::InnerButtonElementName() const {
  return ToggleButton() ? "toggleButton" : "button";
}

// --- Attributes ------------------------------------------------------------

AttributeList TadxRibbonTab::BuildAttributes(int /*contextIndex*/) const {
  AttributeList a;
  switch (ShapeOf(Shared(), *this)) {
    case Shape::Shared:
      AddSharedIdAttribute(a, *this);
      a.Add("visible", BoolText(Visible()));
      AddInsertAttribute(a, *this);
      a.Add("keytip", KeyTip());
      a.Add("label", Caption());
      break;
    case Shape::Builtin:
      AddGetVisible(a);
      a.Add("idMso", IdMso());
      break;
    case Shape::Own:
      AddGetVisible(a);
      AddIdAttribute(a, *this, Id());
      AddInsertAttribute(a, *this);
      AddGetKeytip(a);
      AddGetLabel(a);
      break;
  }
  return a;
}

AttributeList TadxRibbonGroup::BuildAttributes(int /*contextIndex*/) const {
  AttributeList a;
  switch (ShapeOf(Shared(), *this)) {
    case Shape::Shared:
      AddSharedIdAttribute(a, *this);
      a.Add("visible", BoolText(Visible()));
      AddInsertAttribute(a, *this);
      a.Add("keytip", KeyTip());
      a.Add("label", Caption());
      a.Add("screentip", ScreenTip());
      a.Add("supertip", SuperTip());
      break;
    case Shape::Builtin:
      AddGetVisible(a);
      a.Add("idMso", IdMso());
      break;
    case Shape::Own:
      AddGetVisible(a);
      AddIdAttribute(a, *this, Id());
      AddInsertAttribute(a, *this);
      AddImageAttribute(a, *this);
      a.Add("imageMso", ImageMso());
      AddGetKeytip(a);
      AddGetLabel(a);
      AddGetSupertip(a);
      AddGetScreentip(a);
      break;
  }
  if (Module().HostMajorVersion() > 13 && Module().OfficeXmlns() == kCustomUI2009Namespace) {
    if (AutoScale()) a.Add("autoScale", kTrue);
    if (CenterVertically()) a.Add("centerVertically", kTrue);
  }
  return a;
}

AttributeList TadxRibbonBox::BuildAttributes(int /*contextIndex*/) const {
  AttributeList a;
  const std::string_view style = BoxStyle() == TadxRibbonXBoxStyle::bsVertical ? "vertical" : "horizontal";
  switch (ShapeOf(Shared(), *this)) {
    case Shape::Shared:
      AddSharedIdAttribute(a, *this);
      a.Add("visible", BoolText(Visible()));
      AddInsertAttribute(a, *this);
      a.Add("boxStyle", style);
      break;
    case Shape::Builtin:
      AddGetVisible(a);
      a.Add("idMso", IdMso());
      break;
    case Shape::Own:
      AddGetVisible(a);
      AddIdAttribute(a, *this, Id());
      AddInsertAttribute(a, *this);
      a.Add("boxStyle", style);
      break;
  }
  return a;
}

AttributeList TadxRibbonButtonGroup::BuildAttributes(int /*contextIndex*/) const {
  AttributeList a;
  switch (ShapeOf(Shared(), *this)) {
    case Shape::Shared:
      AddSharedIdAttribute(a, *this);
      a.Add("visible", BoolText(Visible()));
      AddInsertAttribute(a, *this);
      break;
    case Shape::Builtin:
      AddGetVisible(a);
      a.Add("idMso", IdMso());
      break;
    case Shape::Own:
      AddGetVisible(a);
      AddIdAttribute(a, *this, Id());
      AddInsertAttribute(a, *this);
      break;
  }
  return a;
}

AttributeList TadxRibbonButton::BuildAttributes(int contextIndex) const {
  AttributeList a;
  const std::string name = GetElementName();
  const K parent = ParentType();
  if (IdMso().empty()) {
    AddIdAttribute(a, *this, Id() + ContextSuffix(contextIndex));
    AddImageAttribute(a, *this);
    AddGetKeytip(a);
    AddGetLabel(a);
    AddGetSupertip(a);
    AddGetScreentip(a);
    AddGetShowLabel(a);
    AddGetShowImage(a);
    AddGetEnabled(a);
    AddOnAction(a, ToggleButton() && !IsOneOf(parent, {K::rctDropDown, K::rctGallery}));
  } else {
    a.Add("idMso", IdMso());
    if (ParentHasIdMso(*this)) return a;
    a.Add("label", Caption());
    a.Add("supertip", SuperTip());
    a.Add("screentip", ScreenTip());
    a.Add("showLabel", BoolText(ShowCaption()));
    a.Add("enabled", BoolText(Enabled()));
  }
  AddInsertAttribute(a, *this);
  a.Add("imageMso", ImageMso());
  if (name != "control") AddGetDescription(a);
  if (!IsOneOf(parent, {K::rctGallery, K::rctMenu, K::rctDropDown, K::rctSplitButton, K::rctButtonGroup})) {
    AddGetSize(a);
  }
  if (parent != K::rctSplitButton) AddGetVisible(a);
  return a;
}

AttributeList TadxRibbonSplitButton::BuildAttributes(int contextIndex) const {
  AttributeList a;
  if (IdMso().empty()) {
    AddIdAttribute(a, *this, Id() + ContextSuffix(contextIndex));
    AddGetShowLabel(a);
    AddGetEnabled(a);
    AddGetKeytip(a);
  } else {
    a.Add("idMso", IdMso());
    if (ParentHasIdMso(*this)) return a;
    a.Add("showLabel", BoolText(ShowCaption()));
    a.Add("enabled", BoolText(Enabled()));
    a.Add("keytip", KeyTip());
  }
  AddInsertAttribute(a, *this);
  if (!IsOneOf(ParentType(), {K::rctMenu, K::rctButtonGroup})) AddGetSize(a);
  AddGetVisible(a);
  return a;
}

AttributeList TadxRibbonSplitButton::BuildInnerButtonAttributes(int contextIndex) const {
  AttributeList a;
  AddIdAttribute(a, *this, Id() + "wrapped" + ContextSuffix(contextIndex));
  AddImageAttribute(a, *this);
  a.Add("imageMso", ImageMso());
  AddGetLabel(a);
  AddGetSupertip(a);
  AddGetScreentip(a);
  AddGetShowImage(a);
  AddGetDescription(a);
  AddOnAction(a, ToggleButton());
  return a;
}

AttributeList TadxRibbonMenu::BuildAttributes(int contextIndex) const {
  AttributeList a;
  const K parent = ParentType();
  if (IdMso().empty()) {
    AddIdAttribute(a, *this, Id() + ContextSuffix(contextIndex));
    if (Dynamic()) {
      a.Add("getContent", "GetContent_Callback");
      a.Add("invalidateContentOnDrop", kTrue);
    } else {
      a.Add("itemSize", ItemSize() == TadxRibbonXItemSize::Large ? "large" : "normal");
    }
    AddImageAttribute(a, *this);
    AddGetShowLabel(a);
    AddGetShowImage(a);
    AddGetEnabled(a);
    AddGetDescription(a);
    AddGetKeytip(a);
    AddGetLabel(a);
    if (parent == K::rctSplitButton) {
      a.Add("supertip", SuperTip());
    } else {
      AddGetSupertip(a);
    }
    AddGetScreentip(a);
  } else {
    a.Add("idMso", IdMso());
    if (ParentHasIdMso(*this)) return a;
    a.Add("keytip", KeyTip());
    a.Add("label", Caption());
    a.Add("supertip", SuperTip());
    a.Add("screentip", ScreenTip());
    a.Add("showLabel", BoolText(ShowCaption()));
    a.Add("enabled", BoolText(Enabled()));
    a.Add("showImage", BoolText(!ImageMso().empty()));
    a.Add("description", Description());
  }
  AddInsertAttribute(a, *this);
  a.Add("imageMso", ImageMso());
  if (!IsOneOf(parent, {K::rctMenu, K::rctSplitButton, K::rctButtonGroup})) AddGetSize(a);
  AddGetVisible(a);
  return a;
}

}  // namespace trovex::ribbon
