#include "ribbon/ribbon_definition.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ribbon/ribbon_test_support.h"

namespace trovex::ribbon {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using K = TadxRibbonControlType;
using R = TadxRibbon;
using R10 = TadxRibbon2010;

// A tab with one group and whatever `groupBody` puts into the group.
std::string TabWithGroup(std::string_view groupBody) {
  return "object adxRibbonTab1: TadxRibbonTab\n"
         "  Id = 'tab'\n"
         "  Controls = {01000000 04000000}\n"
         "  item TadxRibbonGroup\n"
         "    Id = 'group'\n" +
         std::string(groupBody) +
         "  end\n"
         "end\n";
}

TEST(RibbonDefinition, IsRejectedWhenItsRecordsDoNotMatch) {
  struct Case {
    std::string text;
    std::string_view message;
    std::size_t line;
  };
  const Case cases[] = {
      // The recorded code says button, the item is a menu.
      {TabWithGroup("    Controls = {01000000 07000000}\n    item TadxRibbonMenu\n    end\n  end\n"),
       "item TadxRibbonMenu does not match its recorded kind code 7 (TadxRibbonButton)", 7},
      // Two codes recorded, one item follows.
      {TabWithGroup("    Controls = {02000000 07000000 07000000}\n    item TadxRibbonButton\n    end\n  end\n"),
       "expected item 2 of 2 recorded kind codes", 9},
      // One code recorded, two items follow.
      {TabWithGroup("    Controls = {01000000 07000000}\n    item TadxRibbonButton\n    end\n"
                    "    item TadxRibbonButton\n    end\n  end\n"),
       "more items than the recorded kind codes", 9},
      // The count disagrees with the codes after it.
      {TabWithGroup("    Controls = {02000000 07000000}\n  end\n"), "1 kind codes recorded for a count of 2", 6},
      // A check box (10) keeps its code but is not built here.
      {TabWithGroup("    Controls = {01000000 0A000000}\n    item TadxRibbonCheckBox\n    end\n  end\n"),
       "kind code 10 is not built here", 7},
      {TabWithGroup("    Controls = {01000000 63000000}\n  end\n"), "unknown kind code 99", 6},
      // A button straight in a tab, a group in a group.
      {"object t: TadxRibbonTab\n  Controls = {01000000 07000000}\n  item TadxRibbonButton\n  end\nend\n",
       "TadxRibbonTab cannot hold a TadxRibbonButton", 3},
      {TabWithGroup("    Controls = {01000000 04000000}\n    item TadxRibbonGroup\n    end\n  end\n"),
       "TadxRibbonGroup cannot hold a TadxRibbonGroup", 7},
      // Not whole 32-bit numbers.
      {TabWithGroup("    Controls = {01000000 070000}\n  end\n"), "not whole 32-bit numbers", 6},
      {TabWithGroup("    Controls = 1 7\n  end\n"), "expected the kind codes in braces", 6},
      // Properties a kind does not publish.
      {TabWithGroup("    Controls = {01000000 07000000}\n    item TadxRibbonButton\n      BoxStyle = bsVertical\n"
                    "    end\n  end\n"),
       "TadxRibbonButton has no property BoxStyle", 8},
      {TabWithGroup("    Controls = {01000000 05000000}\n    item TadxRibbonBox\n      Caption = 'x'\n"
                    "    end\n  end\n"),
       "TadxRibbonBox has no property Caption", 8},
      {TabWithGroup("    Colour = 'red'\n"), "TadxRibbonGroup has no property Colour", 6},
      // Values of the wrong form.
      {TabWithGroup("    Caption = Export\n"), "expected a quoted text", 6},
      {TabWithGroup("    Caption = 'It's'\n"), "a quote inside a text must be doubled", 6},
      {TabWithGroup("    ImageIndex = one\n"), "expected an integer", 6},
      {TabWithGroup("    Visible = yes\n"), "expected True or False", 6},
      {TabWithGroup("    Ribbons = msrOutlookExplorer\n"), "expected a set in brackets", 6},
      // A button cannot hold controls; the text ends too soon; not a tab.
      {TabWithGroup("    Controls = {01000000 07000000}\n    item TadxRibbonButton\n"
                    "      Controls = {00000000}\n    end\n  end\n"),
       "TadxRibbonButton has no Controls", 8},
      {"object t: TadxRibbonTab\n  Id = 't'\n", "unexpected end of the definition", 2},
      {"object f: TForm\nend\n", "only TadxRibbonTab objects can be stored", 1},
  };
  for (const Case& c : cases) {
    RibbonModule module(testing::OutlookRibbonSettings());
    LoadRibbonDefinition(module, TabWithGroup(""));  // an earlier definition stays
    const std::size_t entries = module.RibbonControls().size();
    try {
      LoadRibbonDefinition(module, c.text);
      ADD_FAILURE() << "accepted:\n" << c.text;
    } catch (const DefinitionError& e) {
      EXPECT_THAT(e.what(), HasSubstr(std::string(c.message))) << c.text;
      EXPECT_EQ(e.Line(), c.line) << e.what();
    }
    EXPECT_EQ(module.Tabs().size(), 1u) << c.text;  // nothing of the rejected one is left
    EXPECT_EQ(module.RibbonControls().size(), entries) << c.text;
    EXPECT_FALSE(module.LoadingDefinition());
  }
}

TEST(RibbonDefinition, GivesEachComponentExactlyItsStoredValues) {
  const std::string text = TabWithGroup(
      "    Ribbons = [msrOutlookExplorer, msrNoSuchRibbon]\n"  // unknown names are ignored
      "    Ribbons2010 = []\n"                                 // stored apart from Ribbons
      "    Caption = 'Anhänge ''alle'''\n"
      "    CenterVertically = True\n"
      "    Controls = {02000000 0F000000 07000000}\n"
      "    item TadxRibbonMenu\n"
      "      Dynamic = True\n"
      "      ItemSize = Large\n"
      "      KeyTip = 'ABCD'\n"
      "    end\n"
      "    item TadxRibbonButton\n"
      "      IdMso = 'Copy'\n"
      "      ParseMsoXmlTypeAs = pxtControl\n"
      "      ToggleButton = True\n"
      "      Ribbons = [msrOutlookMailRead]\n"
      "      Ribbons2010 = [msrOutlookExplorer2010]\n"
      "    end\n");
  RibbonModule module(testing::OutlookRibbonSettings());
  LoadRibbonDefinition(module, text);
  const TadxRibbonTab& tab = *module.Tabs()[0];
  auto& group = *tab.Controls()[0].AsRibbonGroup();
  EXPECT_EQ(group.Ribbons(), TadxRibbons({R::msrOutlookExplorer}));
  EXPECT_TRUE(group.Ribbons2010().Empty());
  EXPECT_EQ(group.Caption(), "Anhänge 'alle'");
  EXPECT_TRUE(group.CenterVertically());
  auto& menu = *group.Controls()[0].AsRibbonMenu();
  EXPECT_TRUE(menu.Dynamic());
  EXPECT_EQ(menu.ItemSize(), TadxRibbonXItemSize::Large);
  EXPECT_EQ(menu.KeyTip(), "ABC");
  EXPECT_EQ(menu.Ribbons(), group.Ribbons());  // from its parent
  auto& button = *group.Controls()[1].AsRibbonButton();
  EXPECT_EQ(button.ParseMsoXmlTypeAs(), TadxParseMsoXmlTypeAs::pxtControl);
  EXPECT_TRUE(button.ToggleButton());
  EXPECT_EQ(button.Ribbons(), TadxRibbons({R::msrOutlookMailRead}));
  EXPECT_EQ(button.Ribbons2010(), TadxRibbons2010({R10::msrOutlookExplorer2010}));
  EXPECT_EQ(module.RibbonControls()[3].text, "Copy");
  // After loading the setters keep the sets consistent again.
  group.SetRibbons({});
  EXPECT_TRUE(button.Ribbons().Empty());
}

}  // namespace
}  // namespace trovex::ribbon
