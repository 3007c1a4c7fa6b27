#include "ribbon/ribbon_markup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ribbon/ribbon_test_support.h"

namespace trovex::ribbon {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using testing::RefusedPairs;
using testing::Tags;
using testing::Xmllint;
using R = TadxRibbon;
using R10 = TadxRibbon2010;

constexpr std::string_view kSchema2006 = "customUI.libxml2.xsd";
constexpr std::string_view kSchema2009 = "customui14.libxml2.xsd";

// "customUI" with one empty "ribbon": what every window but the explorer gets.
const std::string kEmptyRibbon =
    "<customUI xmlns=\"http://schemas.microsoft.com/office/2006/01/customui\" "
    "xmlns:default=\"QM_MSOAddIn.MSOAddIn\" xmlns:shared=\"QM_AddIns\" onLoad=\"RibbonLoaded_Callback\" "
    "loadImage=\"GetImages_Callback\">\r\n"
    "\t<ribbon>\r\n"
    "\t</ribbon>\r\n"
    "</customUI>";

TEST(MarkupWriter, IndentsWithTabsEndsLinesWithCrLfAndEscapes) {
  TadxXMLHelper xml;
  AttributeList a;
  a.Add("label", "A & B <C> \"D\" 'E' Ü");
  xml.WriteStartElement("customUI");
  xml.WriteStartElement("ribbon", a);
  xml.WriteElementWithAttributeString("button", {});
  xml.WriteEndElement("ribbon");
  xml.WriteStartElement("tabs");
  xml.WriteEndElement("tabs");
  xml.WriteEndElement("customUI");
  EXPECT_EQ(xml.Text(),
            "<customUI>\r\n"
            "\t<ribbon label=\"A &amp; B &lt;C> &quot;D&quot; 'E' Ü\">\r\n"
            "\t\t<button />\r\n"
            "\t</ribbon>\r\n"
            "\t<tabs>\r\n"
            "\t</tabs>\r\n"
            "</customUI>");
}

TEST(AttributeList, KeepsOrderReplacesInPlaceAndDropsEmptyValues) {
  AttributeList a;
  a.Add("idQ", "default:x");
  a.Add("label", "");  // empty: not added
  a.Add("visible", "true");
  a.Add("idQ", "default:y");  // replaced where it stands
  a.Add("supertip", "tip");
  a.Add("supertip", "");  // removed
  EXPECT_THAT(a.Items(), ElementsAre(std::pair<std::string, std::string>("idQ", "default:y"),
                                     std::pair<std::string, std::string>("visible", "true")));
}

// A module with an own tab "tab" and group "g" for the Outlook explorer;
// what reaches the error handler is recorded.
class MarkupTest : public ::testing::Test {
 protected:
  explicit MarkupTest(std::string ribbonNamespace = "QM_AddIns")
      : module_(RibbonModuleSettings{{OfficeHostApp::Outlook}, std::move(ribbonNamespace), "QM_MSOAddIn.MSOAddIn"}),
        tab_(module_.AddTab()),
        group_(tab_.Controls().Add<TadxRibbonGroup>()) {
    tab_.SetId("tab");
    tab_.SetRibbons({R::msrOutlookExplorer});
    group_.SetId("g");
    module_.ErrorHandler = [this](const std::exception& e) { errors_.push_back(e.what()); };
  }

  std::string Markup(int version = 16, std::string_view ribbonId = "Microsoft.Outlook.Explorer") {
    return GetCustomUI(module_, ribbonId, version);
  }

  RibbonModule module_;
  TadxRibbonTab& tab_;
  TadxRibbonGroup& group_;
  std::vector<std::string> errors_;
};

// The element and its attributes in order; static values shown, callbacks
// (whose values the golden file fixes) by name only, but for the toggles'
// action.
std::string Describe(const std::string& element, const AttributeList& attributes) {
  std::string text = element;
  for (const auto& [name, value] : attributes.Items()) {
    text += " " + name;
    if (!value.ends_with("_Callback") || value == "OnActionState_Callback") text += "=" + value;
  }
  return text;
}
std::string Describe(const IadxRibbonComponent& c, int contextIndex = 0) {
  return Describe(c.GetElementName(), c.BuildAttributes(contextIndex));
}

TEST_F(MarkupTest, ElementsAndAttributesOfEachKind) {
  struct Case {
    std::string_view what;
    std::function<const IadxRibbonComponent&()> make;
    std::string expected;
  };
  auto& box = group_.Controls().Add<TadxRibbonBox>();
  box.SetId("box");
  auto& buttons = box.Controls().Add<TadxRibbonButtonGroup>();
  buttons.SetId("bg");
  auto& menu = group_.Controls().Add<TadxRibbonMenu>();
  menu.SetId("m");
  auto& split = group_.Controls().Add<TadxRibbonSplitButton>();
  split.SetId("s");
  auto& builtinGroup = tab_.Controls().Add<TadxRibbonGroup>();
  builtinGroup.SetIdMso("GroupClipboard");
  const auto button = [](TadxRibbonControls& in, std::string id) -> TadxRibbonButton& {
    auto& b = in.Add<TadxRibbonButton>();
    b.SetId(std::move(id));
    return b;
  };
  constexpr std::string_view kCommon = "getKeytip getLabel getSupertip getScreentip getShowLabel getShowImage getEnabled";
  const std::string common(kCommon);
  const Case cases[] = {
      {"button in a group, no image", [&]() -> auto& { return button(group_.Controls(), "b1"); },
       "button idQ=default:b1 " + common + " onAction getDescription getSize getVisible"},
      {"image index 0 counts as an image",
       [&]() -> auto& {
         auto& b = button(group_.Controls(), "b2");
         b.SetImageIndex(0);
         return b;
       },
       "button idQ=default:b2 getImage " + common + " onAction getDescription getSize getVisible"},
      {"an own picture is an image too",
       [&]() -> auto& {
         auto& b = button(group_.Controls(), "b3");
         b.SetGlyph({1, 1, {0xFF000000u}});
         return b;
       },
       "button idQ=default:b3 getImage " + common + " onAction getDescription getSize getVisible"},
      {"in a menu: no size", [&]() -> auto& { return button(menu.Controls(), "b4"); },
       "button idQ=default:b4 " + common + " onAction getDescription getVisible"},
      {"in a button group: no size", [&]() -> auto& { return button(buttons.Controls(), "b5"); },
       "button idQ=default:b5 " + common + " onAction getDescription getVisible"},
      {"toggle button: pressed state",
       [&]() -> auto& {
         auto& b = button(group_.Controls(), "b6");
         b.SetToggleButton(true);
         b.SetImageMso("HappyFace");
         return b;
       },
       "toggleButton idQ=default:b6 " + common +
           " getPressed onAction=OnActionState_Callback imageMso=HappyFace getDescription getSize getVisible"},
      {"built-in button: static values",
       [&]() -> auto& {
         auto& b = group_.Controls().Add<TadxRibbonButton>();
         b.SetIdMso("Paste");
         b.SetCaption("Einfügen");
         b.SetShowCaption(false);
         return b;
       },
       "button idMso=Paste label=Einfügen showLabel=false enabled=true getDescription getSize getVisible"},
      {"built-in button as a plain control: no description",
       [&]() -> auto& {
         auto& b = group_.Controls().Add<TadxRibbonButton>();
         b.SetIdMso("Copy");
         b.SetParseMsoXmlTypeAs(TadxParseMsoXmlTypeAs::pxtControl);
         return b;
       },
       "control idMso=Copy showLabel=true enabled=true getSize getVisible"},
      {"built-in in a built-in group: its idMso alone",
       [&]() -> auto& {
         auto& b = builtinGroup.Controls().Add<TadxRibbonButton>();
         b.SetIdMso("Cut");
         b.SetCaption("ignored");
         return b;
       },
       "button idMso=Cut"},
      {"own split button", [&]() -> auto& { return split; },
       "splitButton idQ=default:s getShowLabel getEnabled getKeytip getSize getVisible"},
      {"split button in a button group: no size",
       [&]() -> auto& {
         auto& s = buttons.Controls().Add<TadxRibbonSplitButton>();
         s.SetId("s2");
         return s;
       },
       "splitButton idQ=default:s2 getShowLabel getEnabled getKeytip getVisible"},
      {"built-in split button",
       [&]() -> auto& {
         auto& s = group_.Controls().Add<TadxRibbonSplitButton>();
         s.SetIdMso("FontColorPicker");
         s.SetKeyTip("FC");
         return s;
       },
       "splitButton idMso=FontColorPicker showLabel=true enabled=true keytip=FC getSize getVisible"},
      {"menu in a split button: static super tip, no size",
       [&]() -> auto& {
         auto& m = split.Controls().Add<TadxRibbonMenu>();
         m.SetId("sm");
         m.SetSuperTip("Alles zur Hilfe");
         return m;
       },
       "menu idQ=default:sm itemSize=normal getShowLabel getShowImage getEnabled getDescription getKeytip getLabel "
       "supertip=Alles zur Hilfe getScreentip getVisible"},
      {"menu in a group with large items",
       [&]() -> auto& {
         menu.SetItemSize(TadxRibbonXItemSize::Large);
         return menu;
       },
       "menu idQ=default:m itemSize=large getShowLabel getShowImage getEnabled getDescription getKeytip getLabel "
       "getSupertip getScreentip getSize getVisible"},
      {"dynamic menu",
       [&]() -> auto& {
         auto& m = group_.Controls().Add<TadxRibbonMenu>();
         m.SetId("dm");
         m.SetDynamic(true);
         m.SetImageIndex(2);
         return m;
       },
       "dynamicMenu idQ=default:dm getContent invalidateContentOnDrop=true getImage getShowLabel getShowImage "
       "getEnabled getDescription getKeytip getLabel getSupertip getScreentip getSize getVisible"},
      {"built-in menu in an own group: a control",
       [&]() -> auto& {
         auto& m = group_.Controls().Add<TadxRibbonMenu>();
         m.SetIdMso("MailMergeMenu");
         m.SetImageMso("MailMergeMenu");
         m.SetDescription("Serienbriefe");
         return m;
       },
       "control idMso=MailMergeMenu showLabel=true enabled=true showImage=true description=Serienbriefe "
       "imageMso=MailMergeMenu getSize getVisible"},
      {"own group with a built-in image",
       [&]() -> auto& {
         group_.SetImageMso("HappyFace");
         return group_;
       },
       "group getVisible idQ=default:g imageMso=HappyFace getKeytip getLabel getSupertip getScreentip"},
      {"shared group: static values",
       [&]() -> auto& {
         auto& g = tab_.Controls().Add<TadxRibbonGroup>();
         g.SetId("sg");
         g.SetShared(true);
         g.SetCaption("Anhänge");
         g.SetKeyTip("A");
         g.SetScreenTip("tip");
         g.SetVisible(false);
         return g;
       },
       "group idQ=shared:sg visible=false keytip=A label=Anhänge screentip=tip"},
      {"built-in group", [&]() -> auto& { return builtinGroup; }, "group getVisible idMso=GroupClipboard"},
      {"own box", [&]() -> auto& { return box; }, "box getVisible idQ=default:box boxStyle=horizontal"},
      {"shared vertical box",
       [&]() -> auto& {
         auto& b = group_.Controls().Add<TadxRibbonBox>();
         b.SetId("sbox");
         b.SetShared(true);
         b.SetBoxStyle(TadxRibbonXBoxStyle::bsVertical);
         return b;
       },
       "box idQ=shared:sbox visible=true boxStyle=vertical"},
      {"own button group", [&]() -> auto& { return buttons; }, "buttonGroup getVisible idQ=default:bg"},
      {"shared button group",
       [&]() -> auto& {
         auto& b = group_.Controls().Add<TadxRibbonButtonGroup>();
         b.SetId("sbg");
         b.SetShared(true);
         return b;
       },
       "buttonGroup idQ=shared:sbg visible=true"},
      {"own tab", [&]() -> auto& { return tab_; }, "tab getVisible idQ=default:tab getKeytip getLabel"},
      {"built-in tab",
       [&]() -> auto& {
         auto& t = module_.AddTab();
         t.SetIdMso("TabMail");
         t.SetCaption("ignored");
         return t;
       },
       "tab getVisible idMso=TabMail"},
  };
  for (const Case& c : cases) EXPECT_EQ(Describe(c.make()), c.expected) << c.what;

  // The split button's button part: its id with "wrapped", none of visible, enabled, size.
  EXPECT_EQ(Describe(split.InnerButtonElementName(), split.BuildInnerButtonAttributes(0)),
            "button idQ=default:swrapped getLabel getSupertip getScreentip getShowImage getDescription onAction");
  split.SetToggleButton(true);
  split.SetImageIndex(1);
  EXPECT_EQ(Describe(split.InnerButtonElementName(), split.BuildInnerButtonAttributes(0)),
            "toggleButton idQ=default:swrapped getImage getLabel getSupertip getScreentip getShowImage "
            "getDescription getPressed onAction=OnActionState_Callback");
}

TEST_F(MarkupTest, ContextMenuEntriesCarryTheirIndex) {
  auto& menu = group_.Controls().Add<TadxRibbonMenu>();
  menu.SetId("m");
  auto& split = menu.Controls().Add<TadxRibbonSplitButton>();
  split.SetId("s");
  auto& button = menu.Controls().Add<TadxRibbonButton>();
  button.SetId("b");
  EXPECT_EQ(*menu.BuildAttributes(3).Find("idQ"), "default:m_adx_context_menu_3");
  EXPECT_EQ(*split.BuildAttributes(12).Find("idQ"), "default:s_adx_context_menu_12");
  EXPECT_EQ(*split.BuildInnerButtonAttributes(12).Find("idQ"), "default:swrapped_adx_context_menu_12");
  EXPECT_EQ(*button.BuildAttributes(7).Find("idQ"), "default:b_adx_context_menu_7");
  EXPECT_EQ(*group_.BuildAttributes(7).Find("idQ"), "default:g");  // groups never sit in a context menu
}

TEST_F(MarkupTest, OnlyTheFirstInsertPositionCounts) {
  struct Case {
    std::string afterMso, beforeMso, afterId, beforeId;
    std::string expected;
  };
  const Case cases[] = {
      {"TabMail", "TabHome", "default:a", "default:b", "insertAfterMso=TabMail"},  // all four
      {"", "TabHome", "default:a", "default:b", "insertBeforeMso=TabHome"},        // built-in before own
      {"", "", "default:a", "default:b", "insertAfterQ=default:a"},
      {"", "", "", "shared:b", "insertBeforeQ=shared:b"},
      {"", "", "", "", ""},  // none
  };
  for (const Case& c : cases) {
    auto& b = group_.Controls().Add<TadxRibbonBox>();
    b.SetId("x");
    b.SetInsertAfterIdMso(c.afterMso);
    b.SetInsertBeforeIdMso(c.beforeMso);
    b.SetInsertAfterId(c.afterId);
    b.SetInsertBeforeId(c.beforeId);
    EXPECT_EQ(Describe(b), "box getVisible idQ=default:x" + (c.expected.empty() ? "" : " " + c.expected) +
                               " boxStyle=horizontal");
  }
}

TEST_F(MarkupTest, SharedTabWithStaticValues) {
  tab_.SetShared(true);
  tab_.SetCaption("Anhänge & <Co> \"neu\"");
  EXPECT_THAT(Markup(), HasSubstr("<tab idQ=\"shared:tab\" visible=\"true\" "
                                  "label=\"Anhänge &amp; &lt;Co> &quot;neu&quot;\">"));  // no keytip while empty
  tab_.SetKeyTip("QM");
  tab_.SetVisible(false);
  EXPECT_THAT(Markup(), HasSubstr("<tab idQ=\"shared:tab\" visible=\"false\" keytip=\"QM\" label="));
}

class MarkupWithoutNamespaceTest : public MarkupTest {
 protected:
  MarkupWithoutNamespaceTest() : MarkupTest("") {}
};

TEST_F(MarkupWithoutNamespaceTest, PlainIdsAndNoPrefixes) {
  tab_.SetShared(true);  // written like an own tab
  group_.SetShared(true);
  auto& split = group_.Controls().Add<TadxRibbonSplitButton>();
  split.SetId("s");
  split.Controls().Add<TadxRibbonMenu>().SetId("m");
  EXPECT_EQ(Markup(),
            "<customUI xmlns=\"http://schemas.microsoft.com/office/2006/01/customui\" "
            "onLoad=\"RibbonLoaded_Callback\" loadImage=\"GetImages_Callback\">\r\n"
            "\t<ribbon>\r\n"
            "\t\t<tabs>\r\n"
            "\t\t\t<tab getVisible=\"GetVisible_Callback\" id=\"tab\" getKeytip=\"GetKeyTip_Callback\" "
            "getLabel=\"GetLabel_Callback\">\r\n"
            "\t\t\t\t<group getVisible=\"GetVisible_Callback\" id=\"g\" getKeytip=\"GetKeyTip_Callback\" "
            "getLabel=\"GetLabel_Callback\" getSupertip=\"GetSuperTip_Callback\" "
            "getScreentip=\"GetScreenTip_Callback\">\r\n"
            "\t\t\t\t\t<splitButton id=\"s\" getShowLabel=\"GetShowLabel_Callback\" "
            "getEnabled=\"GetEnabled_Callback\" getKeytip=\"GetKeyTip_Callback\" getSize=\"GetSize_Callback\" "
            "getVisible=\"GetVisible_Callback\">\r\n"
            "\t\t\t\t\t\t<button id=\"swrapped\" getLabel=\"GetLabel_Callback\" getSupertip=\"GetSuperTip_Callback\" "
            "getScreentip=\"GetScreenTip_Callback\" getShowImage=\"GetShowImage_Callback\" "
            "getDescription=\"GetDescription_Callback\" onAction=\"OnActionCommon_Callback\" />\r\n"
            "\t\t\t\t\t\t<menu id=\"m\" itemSize=\"normal\" getShowLabel=\"GetShowLabel_Callback\" "
            "getShowImage=\"GetShowImage_Callback\" getEnabled=\"GetEnabled_Callback\" "
            "getDescription=\"GetDescription_Callback\" getKeytip=\"GetKeyTip_Callback\" "
            "getLabel=\"GetLabel_Callback\" getScreentip=\"GetScreenTip_Callback\" "
            "getVisible=\"GetVisible_Callback\" />\r\n"
            "\t\t\t\t\t</splitButton>\r\n"
            "\t\t\t\t</group>\r\n"
            "\t\t\t</tab>\r\n"
            "\t\t</tabs>\r\n"
            "\t</ribbon>\r\n"
            "</customUI>");
}

TEST_F(MarkupTest, GroupLayoutFlagsNeedOffice2010AndSwitchTheNamespace) {
  struct Case {
    bool autoScale, centerVertically;
    int version;
    std::string_view ns;
    std::string_view groupEnd;  // how the group's empty tag ends
  };
  const Case cases[] = {
      {false, true, 16, kCustomUI2009Namespace, "getScreentip=\"GetScreenTip_Callback\" centerVertically=\"true\" />"},
      {true, false, 14, kCustomUI2009Namespace, "getScreentip=\"GetScreenTip_Callback\" autoScale=\"true\" />"},
      {true, true, 16, kCustomUI2009Namespace,
       "getScreentip=\"GetScreenTip_Callback\" autoScale=\"true\" centerVertically=\"true\" />"},
      {true, true, 12, kCustomUI2006Namespace, "getScreentip=\"GetScreenTip_Callback\" />"},  // Outlook 2007 ignores them
      {false, false, 16, kCustomUI2006Namespace, "getScreentip=\"GetScreenTip_Callback\" />"},
  };
  for (const Case& c : cases) {
    group_.SetAutoScale(c.autoScale);
    group_.SetCenterVertically(c.centerVertically);
    const std::string markup = Markup(c.version);
    EXPECT_THAT(markup, HasSubstr("<customUI xmlns=\"" + std::string(c.ns) + "\"")) << c.version;
    EXPECT_THAT(markup, HasSubstr(std::string(c.groupEnd) + "\r\n")) << c.version;
  }
  // A flagged group in a window it does not appear in switches nothing.
  group_.SetCenterVertically(true);
  EXPECT_THAT(Markup(16, "Microsoft.Outlook.Mail.Read"), HasSubstr(kCustomUI2006Namespace));
}

TEST_F(MarkupTest, OtherVersionsKeepTheNamespaceChosenBefore) {
  EXPECT_THAT(Markup(11), HasSubstr("<customUI xmlns:default="));  // none chosen yet: no xmlns
  group_.SetCenterVertically(true);
  Markup(16);
  EXPECT_THAT(Markup(13), HasSubstr("<customUI xmlns=\"" + std::string(kCustomUI2009Namespace) + "\""));
  EXPECT_EQ(module_.OfficeXmlns(), kCustomUI2009Namespace);
  EXPECT_THAT(Markup(12), HasSubstr(kCustomUI2006Namespace));
}

TEST_F(MarkupTest, RibbonElementOpensForAnyTabOrStartFromScratch) {
  const std::string customUI =
      "<customUI xmlns=\"http://schemas.microsoft.com/office/2006/01/customui\" "
      "xmlns:default=\"QM_MSOAddIn.MSOAddIn\" xmlns:shared=\"QM_AddIns\" onLoad=\"RibbonLoaded_Callback\" "
      "loadImage=\"GetImages_Callback\">";
  module_.StartFromScratch = {{R::msrOutlookMailRead}, {}};
  EXPECT_EQ(Markup(16, "Microsoft.Outlook.Mail.Read"),
            customUI + "\r\n\t<ribbon startFromScratch=\"true\">\r\n\t</ribbon>\r\n</customUI>");
  module_.DeleteTab(tab_);
  EXPECT_EQ(Markup(16, "Microsoft.Outlook.Contact"), customUI + "\r\n</customUI>");  // no tab: no ribbon
}

TEST_F(MarkupTest, ContainersWithoutChildrenAreEmptyElements) {
  auto& split = group_.Controls().Add<TadxRibbonSplitButton>();
  split.SetId("s");
  auto& dynamic = group_.Controls().Add<TadxRibbonMenu>();
  dynamic.SetId("dm");
  dynamic.SetDynamic(true);
  dynamic.Controls().Add<TadxRibbonButton>().SetId("later");  // delivered through getContent
  const std::string markup = Markup();
  EXPECT_THAT(markup, HasSubstr("<splitButton idQ=\"default:s\" getShowLabel=\"GetShowLabel_Callback\" "
                                "getEnabled=\"GetEnabled_Callback\" getKeytip=\"GetKeyTip_Callback\" "
                                "getSize=\"GetSize_Callback\" getVisible=\"GetVisible_Callback\" />"));
  EXPECT_THAT(markup, Not(HasSubstr("swrapped")));
  EXPECT_THAT(markup, HasSubstr("invalidateContentOnDrop=\"true\""));
  EXPECT_THAT(markup, Not(HasSubstr("later")));
}

TEST_F(MarkupTest, DynamicMenuContentIsAMenuOfItsOwn) {
  auto& dynamic = group_.Controls().Add<TadxRibbonMenu>();
  dynamic.SetId("dm");
  dynamic.SetDynamic(true);
  dynamic.SetItemSize(TadxRibbonXItemSize::Large);
  dynamic.Controls().Add<TadxRibbonButton>().SetId("first");
  int created = 0;
  dynamic.OnCreate = [&](TadxRibbonMenu& sender) {
    if (created++ == 0) sender.Controls().Add<TadxRibbonButton>().SetId("added");
  };
  Markup(16);  // chooses the namespace the content declares
  EXPECT_EQ(dynamic.GetDynamicContent(),
            "<menu xmlns=\"http://schemas.microsoft.com/office/2006/01/customui\" "
            "xmlns:default=\"QM_MSOAddIn.MSOAddIn\" xmlns:shared=\"QM_AddIns\" itemSize=\"large\">\r\n"
            "\t<button idQ=\"default:first\" getKeytip=\"GetKeyTip_Callback\" getLabel=\"GetLabel_Callback\" "
            "getSupertip=\"GetSuperTip_Callback\" getScreentip=\"GetScreenTip_Callback\" "
            "getShowLabel=\"GetShowLabel_Callback\" getShowImage=\"GetShowImage_Callback\" "
            "getEnabled=\"GetEnabled_Callback\" onAction=\"OnActionCommon_Callback\" "
            "getDescription=\"GetDescription_Callback\" getVisible=\"GetVisible_Callback\" />\r\n"
            "\t<button idQ=\"default:added\" getKeytip=\"GetKeyTip_Callback\" getLabel=\"GetLabel_Callback\" "
            "getSupertip=\"GetSuperTip_Callback\" getScreentip=\"GetScreenTip_Callback\" "
            "getShowLabel=\"GetShowLabel_Callback\" getShowImage=\"GetShowImage_Callback\" "
            "getEnabled=\"GetEnabled_Callback\" onAction=\"OnActionCommon_Callback\" "
            "getDescription=\"GetDescription_Callback\" getVisible=\"GetVisible_Callback\" />\r\n"
            "</menu>");
  EXPECT_EQ(created, 1);  // the markup itself does not raise a dynamic menu's OnCreate
}

TEST_F(MarkupTest, MenuOnCreateMayAddEntriesAndItsErrorsAreReported) {
  auto& menu = group_.Controls().Add<TadxRibbonMenu>();
  menu.SetId("m");
  menu.OnCreate = [](TadxRibbonMenu& sender) {
    sender.Controls().Add<TadxRibbonButton>().SetId("made" + std::to_string(sender.Controls().Count()));
    throw std::runtime_error("menu failed");
  };
  const std::string markup = Markup();
  EXPECT_THAT(markup, HasSubstr("<menu idQ=\"default:m\""));
  EXPECT_THAT(markup, HasSubstr("<button idQ=\"default:made1\""));  // written, the error notwithstanding
  EXPECT_THAT(errors_, ElementsAre("menu failed"));
}

TEST_F(MarkupTest, ContextualTabsGoIntoTheirTabSets) {
  auto& first = module_.AddTab();
  first.SetId("c1");
  first.SetContext("TabSetAttachments");
  first.SetRibbons({R::msrOutlookExplorer});
  auto& other = module_.AddTab();
  other.SetId("c2");
  other.SetContext("TabSetDrawingTools");
  other.SetRibbons({R::msrOutlookExplorer});
  auto& second = module_.AddTab();
  second.SetId("c3");
  second.SetContext("TabSetAttachments");
  second.SetRibbons({R::msrOutlookExplorer});
  auto& elsewhere = module_.AddTab();
  elsewhere.SetContext("TabSetReading");
  elsewhere.SetRibbons({R::msrOutlookMailRead});
  std::vector<std::string> outline;
  for (const auto& tag : Tags(Markup())) outline.push_back(tag.name + (tag.Find("idMso") ? "=" + *tag.Find("idMso") : ""));
  EXPECT_THAT(outline, ElementsAre("customUI", "ribbon", "tabs", "tab", "group", "contextualTabs",
                                   "tabSet=TabSetAttachments", "tab", "tab", "tabSet=TabSetDrawingTools", "tab"));
}

TEST_F(MarkupTest, EventsSeeTheRibbonIdAndMayChangeTheMarkup) {
  std::vector<std::string> seen;
  module_.OnRibbonBeforeCreate = [&](RibbonModule& sender, std::string_view id) {
    EXPECT_EQ(&sender, &module_);
    seen.push_back("create " + std::string(id));
    throw std::runtime_error("before create failed");
  };
  module_.OnRibbonBeforeLoad = [&](RibbonModule&, std::string_view id, std::string& xml) {
    seen.push_back("load " + std::string(id) + " " + std::to_string(xml.size()));
    xml = "<customUI />";
    throw std::runtime_error("before load failed");
  };
  EXPECT_EQ(Markup(16, "Microsoft.Outlook.Task"), "<customUI />");  // as the handler left it
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], "create Microsoft.Outlook.Task");
  EXPECT_EQ(seen[1], "load Microsoft.Outlook.Task " + std::to_string(kEmptyRibbon.size()));
  EXPECT_THAT(errors_, ElementsAre("before create failed", "before load failed"));
}

TEST_F(MarkupTest, RegistryKeepsWhatTheHostCanShow) {
  auto& word = group_.Controls().Add<TadxRibbonButton>();
  word.SetId("word");
  word.SetRibbons({R::msrWordDocument});
  auto& sms = group_.Controls().Add<TadxRibbonButton>();
  sms.SetId("sms");
  sms.SetRibbons2010({R10::msrOutlookSMSCompose2010});
  auto& mail = group_.Controls().Add<TadxRibbonButton>();
  mail.SetId("mail");
  mail.SetRibbons({R::msrOutlookMailRead});
  const auto texts = [&] {
    std::vector<std::string> t;
    for (const auto& e : module_.RibbonControls()) t.push_back(e.text);
    return t;
  };
  // Outlook: whatever has an Outlook ribbon stays, whichever window asks.
  Markup(16, "Microsoft.Outlook.Contact");
  EXPECT_THAT(texts(), ElementsAre("tab", "g", "sms", "mail"));
  EXPECT_EQ(module_.FindRibbonControl("word"), &word);  // still in the tree
  // An id that names no host keeps the host; another host keeps only what its window shows.
  Markup(16, "Microsoft.OneNote");
  EXPECT_EQ(module_.HostType(), OfficeHostApp::Outlook);
  Markup(16, "Microsoft.Word.Document");
  EXPECT_EQ(module_.HostType(), OfficeHostApp::Word);
  EXPECT_THAT(texts(), IsEmpty());
}

// Trees that exercise every kind, attribute shape and container built here.
void BuildEveryKind(RibbonModule& module, bool centerVertically) {
  const TadxRibbons explorer{R::msrOutlookExplorer};
  auto& tab = module.AddTab();
  tab.SetId("everyTab");
  tab.SetRibbons(explorer);
  tab.SetInsertAfterIdMso("TabMail");
  tab.SetKeyTip("E");

  auto& group = tab.Controls().Add<TadxRibbonGroup>();
  group.SetId("everyGroup");
  group.SetImageMso("HappyFace");
  group.SetCenterVertically(centerVertically);
  auto& toggle = group.Controls().Add<TadxRibbonButton>();
  toggle.SetId("toggle");
  toggle.SetToggleButton(true);
  toggle.SetImageIndex(0);
  toggle.SetDescription("Ein & Aus");
  auto& copy = group.Controls().Add<TadxRibbonButton>();
  copy.SetIdMso("Copy");
  copy.SetParseMsoXmlTypeAs(TadxParseMsoXmlTypeAs::pxtControl);
  auto& paste = group.Controls().Add<TadxRibbonButton>();
  paste.SetIdMso("Paste");
  paste.SetCaption("Einfügen");
  paste.SetSuperTip("Aus der \"Zwischenablage\"");
  auto& split = group.Controls().Add<TadxRibbonSplitButton>();
  split.SetId("split");
  split.SetToggleButton(true);
  auto& splitMenu = split.Controls().Add<TadxRibbonMenu>();
  splitMenu.SetId("splitMenu");
  splitMenu.SetSuperTip("<Hilfe>");
  splitMenu.Controls().Add<TadxRibbonButton>().SetId("splitEntry");
  auto& menu = group.Controls().Add<TadxRibbonMenu>();
  menu.SetId("menu");
  menu.SetItemSize(TadxRibbonXItemSize::Large);
  auto& inner = menu.Controls().Add<TadxRibbonMenu>();
  inner.SetId("innerMenu");
  inner.Controls().Add<TadxRibbonButton>().SetId("innerEntry");
  auto& menuToggle = menu.Controls().Add<TadxRibbonButton>();
  menuToggle.SetId("menuToggle");
  menuToggle.SetToggleButton(true);
  auto& dynamic = group.Controls().Add<TadxRibbonMenu>();
  dynamic.SetId("dynamic");
  dynamic.SetDynamic(true);
  auto& mso = group.Controls().Add<TadxRibbonMenu>();
  mso.SetIdMso("MailMergeMenu");
  mso.SetImageMso("MailMergeMenu");
  auto& box = group.Controls().Add<TadxRibbonBox>();
  box.SetId("box");
  box.SetBoxStyle(TadxRibbonXBoxStyle::bsVertical);
  auto& buttons = box.Controls().Add<TadxRibbonButtonGroup>();
  buttons.SetId("buttons");
  buttons.Controls().Add<TadxRibbonButton>().SetId("inButtons");
  auto& buttonsSplit = buttons.Controls().Add<TadxRibbonSplitButton>();
  buttonsSplit.SetId("buttonsSplit");
  buttonsSplit.Controls().Add<TadxRibbonMenu>().SetId("buttonsSplitMenu");
  buttons.Controls().Add<TadxRibbonMenu>().SetId("buttonsMenu");

  auto& clipboard = tab.Controls().Add<TadxRibbonGroup>();
  clipboard.SetIdMso("GroupClipboard");
  clipboard.Controls().Add<TadxRibbonButton>().SetIdMso("Cut");

  auto& shared = tab.Controls().Add<TadxRibbonGroup>();
  shared.SetId("sharedGroup");
  shared.SetShared(true);
  shared.SetCaption("Gemeinsam");
  shared.SetKeyTip("G");
  auto& sharedBox = shared.Controls().Add<TadxRibbonBox>();
  sharedBox.SetId("sharedBox");
  sharedBox.SetShared(true);
  sharedBox.SetInsertBeforeId(module.Namespace().empty() ? "box" : "default:box");
  auto& sharedButtons = sharedBox.Controls().Add<TadxRibbonButtonGroup>();
  sharedButtons.SetId("sharedButtons");
  sharedButtons.SetShared(true);
  sharedButtons.Controls().Add<TadxRibbonButton>().SetId("sharedEntry");

  auto& contextual = module.AddTab();
  contextual.SetId("contextual");
  contextual.SetContext("TabSetAttachments");
  contextual.SetShared(true);
  contextual.SetCaption("Anlagen");
  contextual.SetRibbons(explorer);
  contextual.Controls().Add<TadxRibbonGroup>().SetId("contextualGroup");
}

TEST(MarkupSchema, EveryVariantIsValidAndLoadable) {
  struct Case {
    std::string_view what;
    std::function<std::string()> markup;
    std::string_view schema;
  };
  const auto every = [](std::string ns, bool centerVertically, int version) {
    RibbonModule module({{OfficeHostApp::Outlook}, std::move(ns), "QM_MSOAddIn.MSOAddIn"});
    BuildEveryKind(module, centerVertically);
    return GetCustomUI(module, "Microsoft.Outlook.Explorer", version);
  };
  const Case cases[] = {
      {"every kind, 2006/01", [&] { return every("QM_AddIns", false, 12); }, kSchema2006},
      {"every kind, 2009/07", [&] { return every("QM_AddIns", true, 16); }, kSchema2009},
      {"every kind without a namespace", [&] { return every("", false, 16); }, kSchema2006},
      {"a dynamic menu's content",
       [] {
         RibbonModule module({{OfficeHostApp::Outlook}, "QM_AddIns", "QM_MSOAddIn.MSOAddIn"});
         BuildEveryKind(module, false);
         GetCustomUI(module, "Microsoft.Outlook.Explorer", 16);
         auto& dynamic = *module.FindRibbonControl("dynamic");
         auto& menu = static_cast<TadxRibbonMenu&>(dynamic);
         menu.Controls().Add<TadxRibbonButton>().SetId("entry");
         menu.Controls().Add<TadxRibbonMenu>().SetId("submenu");
         return menu.GetDynamicContent();
       },
       kSchema2006},
  };
  for (const Case& c : cases) {
    const std::string markup = c.markup();
    const testing::LintResult lint = Xmllint(markup, c.schema);
    EXPECT_EQ(lint.exitCode, 0) << c.what << "\n" << lint.output << markup;
    EXPECT_THAT(lint.output, HasSubstr("validates")) << c.what;
    EXPECT_THAT(RefusedPairs(markup), IsEmpty()) << c.what;
  }
}

TEST(MarkupSchema, ChecksCatchWhatTheyAreFor) {
  // The schema rejects a 2009/07 attribute under the 2006/01 namespace ...
  RibbonModule module({{OfficeHostApp::Outlook}, "QM_AddIns", "QM_MSOAddIn.MSOAddIn"});
  BuildEveryKind(module, true);
  std::string markup = GetCustomUI(module, "Microsoft.Outlook.Explorer", 16);
  markup.replace(markup.find(kCustomUI2009Namespace), kCustomUI2009Namespace.size(), kCustomUI2006Namespace);
  const testing::LintResult lint = Xmllint(markup, kSchema2006);
  EXPECT_NE(lint.exitCode, 0);
  EXPECT_THAT(lint.output, HasSubstr("centerVertically"));
  // ... and lets pairs through that Office refuses; the own check finds them.
  const std::string refused =
      "<customUI xmlns=\"http://schemas.microsoft.com/office/2006/01/customui\">\r\n"
      "\t<ribbon>\r\n\t\t<tabs>\r\n\t\t\t<tab id=\"t\" idMso=\"TabMail\" label=\"T\" getLabel=\"L\">\r\n"
      "\t\t\t\t<group id=\"g\" image=\"i\" getImage=\"I\" keytip=\"K\" getKeytip=\"K\" />\r\n"
      "\t\t\t</tab>\r\n\t\t</tabs>\r\n\t</ribbon>\r\n</customUI>";
  EXPECT_EQ(Xmllint(refused, kSchema2006).exitCode, 0);
  EXPECT_THAT(RefusedPairs(refused), ElementsAre("tab: id+idMso", "tab: label+getLabel", "group: image+getImage",
                                                 "group: keytip+getKeytip"));
}

}  // namespace
}  // namespace trovex::ribbon
