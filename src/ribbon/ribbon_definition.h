// A module's stored ribbon definition: a text the module is created from.
// The form, one item a line:
//
//   object adxRibbonTab1: TadxRibbonTab      a tab and its component name
//     Caption = 'Quellmark'                  'text' ('' for a quote), 12,
//     Shared = True                          True/False, an enumeration
//     Ribbons = [msrOutlookExplorer]         value, a set, or a name to bind
//     Controls = {01000000 04000000}         the children's count and kind
//     item TadxRibbonGroup                   codes, 32-bit little-endian in
//       ...                                  hex; then that many items,
//     end                                    each naming its class
//   end
//
// Only properties that differ from their defaults are written; each kind
// takes only the properties it publishes. Unknown set members are ignored.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "ribbon/ribbon_module.h"

namespace trovex::ribbon {

// A definition that cannot be read, with its line (1-based).
class DefinitionError : public std::runtime_error {
 public:
  DefinitionError(std::size_t line, const std::string& message);
  std::size_t Line() const { return line_; }

 private:
  std::size_t line_;
};

// How names in a definition reach the module's objects. A resolver left
// empty skips its properties; one that finds nothing fails the load.
struct DefinitionBindings {
  std::function<TadxRibbonOnClick(std::string_view method)> clickHandler;
  std::function<TadxRibbonMenuCreate(std::string_view method)> menuCreateHandler;
  std::function<RibbonImageList*(std::string_view component)> imageList;
};

// Builds the tabs of `text` into the module, in definition order (the
// registry fills in the same order), each with exactly its stored sets.
// Throws DefinitionError and then leaves no tab of `text` behind.
void LoadRibbonDefinition(RibbonModule& module, std::string_view text, const DefinitionBindings& bindings = {});

// The class name a stored definition gives a kind code; empty for a kind
// not built here.
std::string_view ClassNameOf(TadxRibbonControlType kind);

}  // namespace trovex::ribbon
