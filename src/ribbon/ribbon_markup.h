// The customUI markup Office asks for with IRibbonExtensibility::GetCustomUI:
// made anew from the module's tree on every call. Elements name callbacks
// instead of values; static values appear only for shared tabs, groups,
// boxes and button groups, built-in controls (IdMso) and the super tip of a
// menu inside a split button.
#pragma once

#include <string>
#include <string_view>

#include "ribbon/ribbon_module.h"

namespace trovex::ribbon {

inline constexpr std::string_view kCustomUI2006Namespace = "http://schemas.microsoft.com/office/2006/01/customui";
inline constexpr std::string_view kCustomUI2009Namespace = "http://schemas.microsoft.com/office/2009/07/customui";

// The markup writer: one TAB per level, CR LF between lines, no XML
// declaration. Attribute values escape &, < and "; all else goes as it is.
class TadxXMLHelper {
 public:
  void WriteStartElement(std::string_view name, const AttributeList& attributes = {});
  // An empty element: "<name a="v" />".
  void WriteElementWithAttributeString(std::string_view name, const AttributeList& attributes);
  void WriteEndElement(std::string_view name);
  const std::string& Text() const { return text_; }

 private:
  void AppendTag(std::string_view name, const AttributeList& attributes);

  std::string text_;
  std::string pendingBreak_;
  int depth_ = 0;
};

// The markup for the ribbon `ribbonId`. `hostMajorVersion` is the host
// executable's (the caller reads it; 14 under dllhost.exe); it decides the
// namespace with the tree. Also learns the host type from the id, prunes
// the registry of entries no ribbon of the host can show, and raises
// OnRibbonBeforeCreate and OnRibbonBeforeLoad (what they throw goes to the
// error handler). Any other failure throws; the caller returns no markup.
std::string GetCustomUI(RibbonModule& module, std::string_view ribbonId, int hostMajorVersion);

}  // namespace trovex::ribbon
