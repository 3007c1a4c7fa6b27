// Trovex's own ribbon: the "Quellmark" tab for Outlook's explorer as the
// module's stored definition, the names of the commands its buttons call,
// and the settings the module's ribbon is made with.
#pragma once

#include <string_view>

#include "ribbon/ribbon_definition.h"

namespace trovex::addin {

inline constexpr std::string_view kTrovexAddInProgId = "QM_MSOAddIn.MSOAddIn";
inline constexpr std::string_view kTrovexImageList = "VirtualImageList1";
// The module's click handlers, by their method names.
inline constexpr std::string_view kStartClick = "adxRibbonTab1Controls0Controls0Click";
inline constexpr std::string_view kHelpClick = "adxRibbonTab1Controls0Controls1Controls0Controls0Click";
inline constexpr std::string_view kWebPageClick = "adxRibbonTab1Controls0Controls1Click";
inline constexpr std::string_view kUpdateCheckClick = "adxRibbonTab1Controls0Controls1Controls0Controls3Click";
inline constexpr std::string_view kInformationClick = "adxRibbonTab1Controls0Controls2Controls0Controls0Click";

std::string_view TrovexRibbonDefinition();
// Outlook only, namespace "QM_AddIns", the given ProgID.
ribbon::RibbonModuleSettings TrovexRibbonSettings(std::string_view addInProgId = kTrovexAddInProgId);
void LoadTrovexRibbon(ribbon::RibbonModule& module, const ribbon::DefinitionBindings& bindings = {});

}  // namespace trovex::addin
