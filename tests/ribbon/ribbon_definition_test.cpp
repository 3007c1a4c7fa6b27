#include "ribbon/ribbon_definition.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <regex>

namespace trovex::ribbon {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using K = TadxRibbonControlType;
using R = TadxRibbon;
using R10 = TadxRibbon2010;

struct FourImages final : RibbonImageList {
  int Count() const override { return 4; }
};

TEST(TrovexRibbon, IsTheTreeOfTheAddIn) {
  RibbonModule module(TrovexRibbonSettings());
  FourImages images;
  std::vector<std::string> clicked;
  DefinitionBindings bindings;
  bindings.clickHandler = [&](std::string_view method) -> TadxRibbonOnClick {
    return [&clicked, name = std::string(method)](TadxRibbonCustomControl&, RibbonControl*) { clicked.push_back(name); };
  };
  bindings.imageList = [&](std::string_view name) -> RibbonImageList* {
    return name == kTrovexImageList ? &images : nullptr;
  };
  LoadTrovexRibbon(module, bindings);

  ASSERT_EQ(module.Tabs().size(), 1u);
  const TadxRibbonTab& tab = *module.Tabs()[0];
  EXPECT_EQ(tab.Name(), "adxRibbonTab1");
  EXPECT_EQ(tab.Id(), "quellmark.adxRibbonTab");
  EXPECT_EQ(tab.Caption(), "Quellmark");
  EXPECT_TRUE(tab.Shared());
  EXPECT_TRUE(tab.Visible());
  EXPECT_EQ(tab.Images(), &images);

  // The registry in definition order, depth first; every entry with the explorer's two sets.
  struct Expected {
    K kind;
    std::string_view idPrefix;  // the designer's prefix, or the whole id
    std::string_view caption;
    std::int32_t imageIndex;
    std::string_view screenTip;
    TadxRibbonXControlSize size;
    std::string_view handler;  // empty: none
  };
  constexpr auto kRegular = TadxRibbonXControlSize::csRegular;
  constexpr auto kLarge = TadxRibbonXControlSize::csLarge;
  const Expected expected[] = {
      {K::rctTab, "quellmark.adxRibbonTab", "Quellmark", -1, "", kRegular, ""},
      {K::rctGroup, "quellmark.adxRibbonGroup_Attachments", "Anänge exportieren", 1, "AddIn von Quellmark Software",
       kRegular, ""},
      {K::rctButton, "adxRibbonButton", "Start", 0, "Starten Sie den Export der Anhänge", kLarge, kStartClick},
      {K::rctSplitButton, "adxRibbonSplitButton", "Hilfe", -1, "", kRegular, ""},
      {K::rctMenu, "adxRibbonMenu", "adxRibbonMenu1", -1, "", kRegular, ""},
      {K::rctButton, "adxRibbonButton", "Hilfe", 3, "Online Hilfe aufrufen", kRegular, kHelpClick},
      {K::rctButton, "adxRibbonButton", "Webseite", 1, "Webseite zum AddIn", kLarge, kWebPageClick},
      {K::rctButton, "adxRibbonButton", "Nach Update suchen", -1, "", kRegular, kUpdateCheckClick},
      {K::rctBox, "adxRibbonBox", "", -1, "", kRegular, ""},
      {K::rctButtonGroup, "adxRibbonButtonGroup", "", -1, "", kRegular, ""},
      {K::rctButton, "adxRibbonButton", "Info", 2, "Über das AddIn", kRegular, kInformationClick},
  };
  const auto& registry = module.RibbonControls();
  ASSERT_EQ(registry.size(), std::size(expected));
  std::set<std::string> ids;
  for (std::size_t i = 0; i < registry.size(); ++i) {
    const IadxRibbonComponent& c = *registry[i].component;
    const Expected& e = expected[i];
    SCOPED_TRACE(std::string(e.caption));
    EXPECT_EQ(c.GetControlType(), e.kind);
    EXPECT_EQ(registry[i].text, c.Id());
    if (c.Id().starts_with("quellmark.")) {
      EXPECT_EQ(c.Id(), e.idPrefix);
    } else {
      EXPECT_TRUE(std::regex_match(c.Id(), std::regex(std::string(e.idPrefix) + "[0-9A-F]{32}"))) << c.Id();
    }
    ids.insert(c.Id());
    EXPECT_EQ(c.Caption(), e.caption);
    EXPECT_EQ(c.ImageIndex(), e.imageIndex);
    EXPECT_EQ(c.ScreenTip(), e.screenTip);
    EXPECT_EQ(c.Size(), e.size);
    EXPECT_EQ(c.Ribbons(), TadxRibbons({R::msrOutlookExplorer}));
    EXPECT_EQ(c.Ribbons2010(), TadxRibbons2010({R10::msrOutlookExplorer2010}));
    EXPECT_TRUE(c.Visible());
    EXPECT_TRUE(c.KeyTip().empty());
    EXPECT_TRUE(c.IdMso().empty());
    if (e.kind != K::rctTab) {
      EXPECT_TRUE(c.Enabled());
      EXPECT_TRUE(c.ShowCaption());
      EXPECT_TRUE(c.ImageMso().empty());
      EXPECT_TRUE(c.Description().empty());
    }
    // Clicks reach the handler of the control's method name; the others have none.
    clicked.clear();
    TadxRibbonActionArguments click;
    const_cast<IadxRibbonComponent&>(c).DoAction(click);
    if (e.handler.empty()) {
      EXPECT_THAT(clicked, IsEmpty());
    } else {
      EXPECT_THAT(clicked, ElementsAre(std::string(e.handler)));
    }
  }
  EXPECT_EQ(ids.size(), registry.size());  // ids are unique

  const IadxRibbonComponent& start = *registry[2].component;
  EXPECT_EQ(start.SuperTip(), "Markieren Sie den Outlook Ordner, der untersucht werden soll.");
  EXPECT_EQ(start.Tag(), 10);
  EXPECT_EQ(module.FindRibbonControl(10), &start);
  auto& menu = static_cast<TadxRibbonMenu&>(*registry[4].component);
  EXPECT_EQ(menu.ItemSize(), TadxRibbonXItemSize::Normal);
  EXPECT_FALSE(menu.Dynamic());
  EXPECT_EQ(static_cast<TadxRibbonBox&>(*registry[8].component).BoxStyle(), TadxRibbonXBoxStyle::bsHorizontal);
}

TEST(TrovexRibbon, BindingsThatFindNothingFailTheLoad) {
  RibbonModule module(TrovexRibbonSettings());
  DefinitionBindings bindings;
  bindings.clickHandler = [](std::string_view method) -> TadxRibbonOnClick {
    if (method == kUpdateCheckClick) return {};
    return [](TadxRibbonCustomControl&, RibbonControl*) {};
  };
  EXPECT_THROW(LoadTrovexRibbon(module, bindings), DefinitionError);
  EXPECT_THAT(module.Tabs(), IsEmpty());

  bindings = {};
  bindings.imageList = [](std::string_view) -> RibbonImageList* { return nullptr; };
  EXPECT_THROW(LoadTrovexRibbon(module, bindings), DefinitionError);
  EXPECT_THAT(module.RibbonControls(), IsEmpty());
}

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
    RibbonModule module(TrovexRibbonSettings());
    LoadTrovexRibbon(module);  // an earlier definition stays
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
  RibbonModule module(TrovexRibbonSettings());
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
