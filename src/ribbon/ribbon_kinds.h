// The kinds of ribbon controls and the value types of their properties: the
// codes a stored definition records and the names the callbacks' override
// is told. The numbers are fixed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace trovex::ribbon {

// Kind codes; a stored definition records them, so the numbers are fixed.
// Only group, box, button group, button, split button and menu are built
// here; the others keep their codes.
enum class TadxRibbonControlType : std::uint8_t {
  rctCommand = 0,
  rctTab = 1,
  rctQAT = 2,
  rctOfficeMenu = 3,
  rctGroup = 4,
  rctBox = 5,
  rctButtonGroup = 6,
  rctButton = 7,
  rctSplitButton = 8,
  rctLabel = 9,
  rctCheckBox = 10,
  rctEditBox = 11,
  rctComboBox = 12,
  rctDropDown = 13,
  rctGallery = 14,
  rctMenu = 15,
  rctSeparator = 16,
  rctMenuSeparator = 17,
  rctDialogBoxLauncher = 18,
  rctItem = 19,
  rctContextMenu = 20,
  rctBackstageView = 21,
  rctBackstageTab = 22,
  rctBackstageFastCommandButton = 23,
  rctBackstageTaskFormGroup = 24,
  rctBackstageTaskFormGroupCategory = 25,
  rctBackstageTaskFormGroupTask = 26,
  rctBackstageGroup = 27,
  rctBackstageTaskGroup = 28,
  rctBackstageTaskGroupCategory = 29,
  rctBackstageTaskGroupTask = 30,
  rctBackstagePrimaryMenu = 31,
  rctBackstageSubMenu = 32,
  rctBackstageMenuGroup = 33,
  rctBackstageMenuButton = 34,
  rctBackstageMenuCheckBox = 35,
  rctBackstageMenuToggleButton = 36,
  rctBackstageRegularButton = 37,
  rctBackstageCheckBox = 38,
  rctBackstageGroupButton = 39,
  rctBackstageEditBox = 40,
  rctBackstageComboBox = 41,
  rctBackstageDropDown = 42,
  rctBackstageRadioGroup = 43,
  rctBackstageHyperlink = 44,
  rctBackstageLabelControl = 45,
  rctBackstageImageControl = 46,
  rctBackstageGroupBox = 47,
  rctBackstageLayoutContainer = 48,
  rctBackstageItem = 49,
};
static_assert(static_cast<int>(TadxRibbonControlType::rctBackstageItem) == 49);

enum class TadxRibbonXControlSize : std::uint8_t { csRegular, csLarge };
enum class TadxRibbonXItemSize : std::uint8_t { Normal, Large };
enum class TadxRibbonXBoxStyle : std::uint8_t { bsHorizontal, bsVertical };
enum class TadxParseMsoXmlTypeAs : std::uint8_t { pxtDefault, pxtControl };

// The property a value query names, for OnPropertyChanging.
enum class TadxRibbonControlPropertyType : std::uint8_t {
  rcptVisible,
  rcptKeyTip,
  rcptCaption,
  rcptEnabled,
  rcptPressed,
  rcptGlyph,
  rcptScreenTip,
  rcptSuperTip,
  rcptShowCaption,
  rcptShowImage,
  rcptSize,
  rcptDescription,
  rcptText,
  rcptItemCount,
  rcptSelectedItemIndex,
  rcptSelectedItemID,
  rcptItemHeight,
  rcptItemWidth,
  rcptContent,
  rcptTitle,
  rcptItemID,
  rcptItemCaption,
  rcptItemScreenTip,
  rcptItemSuperTip,
  rcptItemGlyph,
  rcptShowItemImage,
  rcptTarget,
  rcptAltText,
  rcptHelperText,
  rcptGroupStyle,
};

// Collection limits.
inline constexpr std::size_t kMaxTabControls = 100;
inline constexpr std::size_t kMaxSplitButtonControls = 10;
inline constexpr std::size_t kMaxContainerControls = 1000;

}  // namespace trovex::ribbon
