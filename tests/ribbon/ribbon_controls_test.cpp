#include "ribbon/ribbon_module.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ribbon/ribbon_test_support.h"
#include "testing/recording_ribbon_ui.h"

namespace trovex::ribbon {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using trovex::testing::RecordingRibbonUI;
using K = TadxRibbonControlType;
using R = TadxRibbon;
using R10 = TadxRibbon2010;

const TadxRibbons kExplorerOnly{R::msrOutlookExplorer};
const TadxRibbons2010 kExplorer2010Only{R10::msrOutlookExplorer2010};

RibbonModuleSettings Settings() { return {{OfficeHostApp::Outlook}, "QM_AddIns", "QM_MSOAddIn.MSOAddIn"}; }

// A module with one tab "tab" holding group "group"; Office's ribbon object
// and the error handler record what reaches them.
class RibbonModelTest : public ::testing::Test {
 protected:
  RibbonModelTest() : module_(Settings()), tab_(module_.AddTab()), group_(tab_.Controls().Add<TadxRibbonGroup>()) {
    tab_.SetId("tab");
    group_.SetId("group");
    module_.ErrorHandler = [this](const std::exception& e) { errors_.push_back(e.what()); };
  }

  void LoadRibbon() { module_.SetRibbonUI(std::make_unique<RecordingRibbonUI>(calls_, &officeFails_)); }

  RibbonModule module_;
  TadxRibbonTab& tab_;
  TadxRibbonGroup& group_;
  std::vector<std::string> calls_;
  bool officeFails_ = false;
  std::vector<std::string> errors_;
};

TEST_F(RibbonModelTest, NewComponentsTakeTheirSetsFromTheirParent) {
  EXPECT_EQ(tab_.Ribbons(), TadxRibbons({R::msrOutlookMailRead, R::msrOutlookMailCompose, R::msrOutlookExplorer}));
  EXPECT_EQ(tab_.Ribbons2010(), kExplorer2010Only);
  TadxRibbonBox& box = group_.Controls().Add<TadxRibbonBox>();
  box.SetRibbons({R::msrOutlookTask});
  // Taken at creation, not later.
  TadxRibbonButton& button = box.Controls().Add<TadxRibbonButton>();
  box.SetRibbons({R::msrOutlookContact});
  EXPECT_EQ(button.Ribbons(), TadxRibbons({R::msrOutlookContact}));  // passed down by the setter
  TadxRibbonButton& later = group_.Controls().Add<TadxRibbonButton>();
  EXPECT_EQ(later.Ribbons(), group_.Ribbons());
}

TEST_F(RibbonModelTest, SetsReachDescendantsAndKeepTheExplorerBitsEqual) {
  TadxRibbonSplitButton& split = group_.Controls().Add<TadxRibbonSplitButton>();
  TadxRibbonMenu& menu = split.Controls().Add<TadxRibbonMenu>();
  TadxRibbonButton& entry = menu.Controls().Add<TadxRibbonButton>();

  // Ribbons without the explorer also take the explorer from Ribbons2010, down to the menu entry.
  split.SetRibbons({R::msrOutlookMailRead});
  for (IadxRibbonComponent* c : std::initializer_list<IadxRibbonComponent*>{&split, &menu, &entry}) {
    EXPECT_EQ(c->Ribbons(), TadxRibbons({R::msrOutlookMailRead})) << c->GetElementName();
    EXPECT_TRUE(c->Ribbons2010().Empty()) << c->GetElementName();
  }
  EXPECT_EQ(group_.Ribbons(), tab_.Ribbons());  // the parent keeps its own

  // The explorer in Ribbons2010 brings it back into Ribbons, and SMS goes along.
  split.SetRibbons2010({R10::msrOutlookExplorer2010, R10::msrOutlookSMSRead2010});
  for (IadxRibbonComponent* c : std::initializer_list<IadxRibbonComponent*>{&split, &menu, &entry}) {
    EXPECT_EQ(c->Ribbons(), TadxRibbons({R::msrOutlookMailRead, R::msrOutlookExplorer})) << c->GetElementName();
    EXPECT_EQ(c->Ribbons2010(), TadxRibbons2010({R10::msrOutlookExplorer2010, R10::msrOutlookSMSRead2010}));
  }

  // While a definition is read a setter only stores.
  module_.SetLoadingDefinition(true);
  split.SetRibbons(kExplorerOnly);
  module_.SetLoadingDefinition(false);
  EXPECT_EQ(split.Ribbons2010(), TadxRibbons2010({R10::msrOutlookExplorer2010, R10::msrOutlookSMSRead2010}));
  EXPECT_EQ(menu.Ribbons(), TadxRibbons({R::msrOutlookMailRead, R::msrOutlookExplorer}));
}

TEST_F(RibbonModelTest, RegistryFindsByIdWithoutCaseOrByIdMsoOrByTag) {
  TadxRibbonButton& first = group_.Controls().Add<TadxRibbonButton>();
  first.SetId("Start");
  first.SetTag(10);
  TadxRibbonButton& second = group_.Controls().Add<TadxRibbonButton>();
  second.SetId("copy");
  second.SetTag(10);

  // One entry per component, in creation order.
  std::vector<std::string> texts;
  for (const auto& e : module_.RibbonControls()) texts.push_back(e.text);
  EXPECT_THAT(texts, ElementsAre("tab", "group", "Start", "copy"));

  EXPECT_EQ(module_.FindRibbonControl("TAB"), &tab_);  // case ignored
  EXPECT_EQ(module_.FindRibbonControl("start"), &first);
  EXPECT_EQ(module_.FindRibbonControl("nothing"), nullptr);
  EXPECT_EQ(module_.FindRibbonControl(10), &first);  // the first with the tag
  tab_.SetTag(10);
  EXPECT_EQ(module_.FindRibbonControl(10), &tab_);  // a tab's own tag
  EXPECT_EQ(module_.FindRibbonControl(11), nullptr);

  // A built-in control is registered by its IdMso, and by its Id again without one.
  second.SetIdMso("Copy");
  EXPECT_EQ(module_.RibbonControls()[3].text, "Copy");
  second.SetIdMso("");
  EXPECT_EQ(module_.RibbonControls()[3].text, "copy");
  // A new Id replaces the old one.
  first.SetId("Begin");
  EXPECT_EQ(module_.FindRibbonControl("begin"), &first);
  EXPECT_EQ(module_.FindRibbonControl("start"), nullptr);
  // An emptied Id leaves the entry as it was.
  first.SetId("");
  EXPECT_EQ(module_.FindRibbonControl("begin"), &first);
}

TEST_F(RibbonModelTest, PrunedEntriesAreFoundOnlyByTheirExactIdAndDeletedOnesNotAtAll) {
  TadxRibbonMenu& menu = group_.Controls().Add<TadxRibbonMenu>();
  menu.SetId("Menu");
  TadxRibbonButton& entry = menu.Controls().Add<TadxRibbonButton>();
  entry.SetId("Entry");
  module_.RemoveRibbonControlsIf([&](const RibbonModule::RegistryEntry& e) { return e.component == &menu; });
  EXPECT_EQ(module_.RibbonControls().size(), 3u);
  EXPECT_EQ(module_.FindRibbonControl("Menu"), &menu);  // through the tree
  EXPECT_EQ(module_.FindRibbonControl("MENU"), nullptr);

  group_.Controls().Delete(0);  // the menu with its entry
  EXPECT_EQ(group_.Controls().Count(), 0u);
  EXPECT_EQ(module_.FindRibbonControl("Entry"), nullptr);
  EXPECT_EQ(module_.RibbonControls().size(), 2u);
}

TEST(KeyTip, KeepsThreeCharacters) {
  struct Case {
    std::string_view assigned;
    std::string_view stored;
  };
  const Case cases[] = {
      {"ABCD", "ABC"},     // cut
      {"AB", "AB"},        // short enough
      {"", ""},            // none
      {"ÄÖÜß", "ÄÖÜ"},     // characters, not bytes
      {"Q€Xy", "Q€X"},     // a three-byte character counts once
  };
  RibbonModule module(Settings());
  TadxRibbonTab& tab = module.AddTab();
  for (const Case& c : cases) {
    tab.SetKeyTip(c.assigned);
    EXPECT_EQ(tab.KeyTip(), c.stored) << c.assigned;
  }
}

TEST_F(RibbonModelTest, CollectionsKeepTheirLimitsAndKinds) {
  struct Case {
    TadxRibbonControls* controls;
    K kind;
    std::size_t limit;
  };
  TadxRibbonSplitButton& split = group_.Controls().Add<TadxRibbonSplitButton>();
  TadxRibbonButtonGroup& buttons = group_.Controls().Add<TadxRibbonButtonGroup>();
  const Case cases[] = {
      {&tab_.Controls(), K::rctGroup, 100},     // a tab's groups
      {&split.Controls(), K::rctMenu, 10},      // a split button's menus
      {&buttons.Controls(), K::rctButton, 1000},  // any other container
  };
  for (const Case& c : cases) {
    while (c.controls->Count() < c.limit) c.controls->Add(c.kind);
    try {
      c.controls->Add(c.kind);
      ADD_FAILURE() << "no error beyond " << c.limit;
    } catch (const OleSysError& e) {
      EXPECT_EQ(std::string(e.what()), "There cannot be more than " + std::to_string(c.limit) + " items in this control!");
      EXPECT_EQ(e.Code(), 0);
    }
    EXPECT_EQ(c.controls->Count(), c.limit);
  }

  // Kinds a collection does not take, and kinds not built here.
  TadxRibbonMenu& menu = group_.Controls().Add<TadxRibbonMenu>();
  const std::pair<TadxRibbonControls*, K> refused[] = {
      {&split.Controls(), K::rctButton},  // a split button holds menus only
      {&menu.Controls(), K::rctGroup},    // groups only in a tab
      {&menu.Controls(), K::rctCheckBox},  // not built here
      {&menu.Controls(), K::rctTab},
  };
  for (const auto& [controls, kind] : refused) {
    const std::size_t before = controls->Count();
    EXPECT_THROW(controls->Add(kind), std::invalid_argument) << static_cast<int>(kind);
    EXPECT_EQ(controls->Count(), before);
  }
}

TEST(RibbonTab, NeedsAModule) {
  try {
    TadxRibbonTab::Create(nullptr);
    FAIL() << "no error";
  } catch (const OleSysError& e) {
    EXPECT_STREQ(e.what(), "The TadxRibbonTab class cannot be contained in the nil class.");
    EXPECT_EQ(e.Code(), 0);
  }
}

TEST_F(RibbonModelTest, ChangedValuesReachOfficeOnlyOnceItHasTheRibbon) {
  TadxRibbonButton& button = group_.Controls().Add<TadxRibbonButton>();
  button.SetId("btn");
  button.SetCaption("Start");  // before Office loaded the ribbon: only stored
  EXPECT_EQ(button.Caption(), "Start");

  LoadRibbon();
  TadxRibbonSplitButton& split = group_.Controls().Add<TadxRibbonSplitButton>();
  split.SetId("split");
  TadxRibbonButton& builtin = group_.Controls().Add<TadxRibbonButton>();
  builtin.SetIdMso("Copy");
  TadxRibbonButton& anonymous = group_.Controls().Add<TadxRibbonButton>();
  calls_.clear();

  button.SetCaption("Start");        // unchanged: nothing
  button.SetCaption("Los");          // this control
  split.SetEnabled(false);           // and a split button's button part
  builtin.SetVisible(false);         // a built-in control: the whole ribbon
  anonymous.SetScreenTip("tip");     // no id: nothing to name
  tab_.SetCaption("Quellmark");      // a tab by its id
  button.SetTag(7);                  // not Office's: nothing
  EXPECT_THAT(calls_, ElementsAre("InvalidateControl btn", "InvalidateControl split",
                                  "InvalidateControl splitwrapped", "Invalidate", "InvalidateControl tab"));

  // Office's refusal reaches the code that changed the value.
  officeFails_ = true;
  EXPECT_THROW(button.SetSuperTip("more"), std::runtime_error);
  EXPECT_THAT(errors_, IsEmpty());
}

TEST_F(RibbonModelTest, ActivateNeedsOffice2010AndReportsFailures) {
  tab_.Activate();  // no ribbon yet
  LoadRibbon();
  module_.SetHostMajorVersion(12);
  tab_.Activate();  // Office 2007 cannot
  EXPECT_THAT(calls_, IsEmpty());
  module_.SetHostMajorVersion(14);
  tab_.Activate();
  EXPECT_THAT(calls_, ElementsAre("ActivateTab tab"));
  officeFails_ = true;
  tab_.Activate();  // goes to the error handler, does not throw
  EXPECT_THAT(errors_, ElementsAre("Office refused: ActivateTab tab"));
}

TEST_F(RibbonModelTest, ClickRunsTheHandlerOnceAtATime) {
  TadxRibbonButton& button = group_.Controls().Add<TadxRibbonButton>();
  int runs = 0;
  bool fail = false;
  TadxRibbonActionArguments click;
  button.OnClick = [&](TadxRibbonCustomControl& sender, RibbonControl* control) {
    EXPECT_EQ(&sender, &button);
    EXPECT_EQ(control, click.control);
    EXPECT_TRUE(button.InUse());
    ++runs;
    TadxRibbonActionArguments again;
    button.DoAction(again);  // a second click while the first runs (modal dialog)
    if (fail) throw std::runtime_error("no explorer");
  };
  button.DoAction(click);
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(button.InUse());

  fail = true;
  button.DoAction(click);  // to the error handler, once
  fail = false;
  button.DoAction(click);  // and the next click works again
  EXPECT_EQ(runs, 3);
  EXPECT_THAT(errors_, ElementsAre("no explorer"));

  // A toggle's state is stored even without a handler.
  TadxRibbonSplitButton& split = group_.Controls().Add<TadxRibbonSplitButton>();
  TadxRibbonActionArguments pressed;
  pressed.pressed = true;
  split.DoAction(pressed);
  EXPECT_TRUE(split.Pressed());
}

TEST_F(RibbonModelTest, PropertyChangingOverridesAQueryValue) {
  RibbonValue value = std::string("Start");
  group_.DoPropertyChanging(TadxRibbonControlPropertyType::rcptCaption, value, nullptr);  // none assigned
  EXPECT_EQ(std::get<std::string>(value), "Start");

  int context = 0;
  group_.OnPropertyChanging = [&](IadxRibbonComponent& sender, TadxRibbonControlPropertyType property,
                                  RibbonValue& v, RibbonContext ctx) {
    EXPECT_EQ(&sender, &group_);
    EXPECT_EQ(property, TadxRibbonControlPropertyType::rcptCaption);
    EXPECT_EQ(ctx, &context);
    v = std::string("Los");
    throw std::runtime_error("handler failed");
  };
  group_.DoPropertyChanging(TadxRibbonControlPropertyType::rcptCaption, value, &context);
  EXPECT_EQ(std::get<std::string>(value), "Los");  // as the handler left it
  EXPECT_THAT(errors_, ElementsAre("handler failed"));
}

TEST_F(RibbonModelTest, ATabForgetsItsImageListWhenTheListGoes) {
  struct Images final : RibbonImageList {
    int Count() const override { return 4; }
  };
  auto images = std::make_unique<Images>();
  tab_.SetImages(images.get());
  group_.SetImageIndex(1);
  TadxRibbonBox& box = group_.Controls().Add<TadxRibbonBox>();
  TadxRibbonButton& deep = box.Controls().Add<TadxRibbonButtonGroup>().Controls().Add<TadxRibbonButton>();
  deep.SetImageIndex(3);
  images.reset();
  EXPECT_EQ(tab_.Images(), nullptr);
  EXPECT_EQ(group_.ImageIndex(), -1);
  EXPECT_EQ(deep.ImageIndex(), -1);
}

TEST_F(RibbonModelTest, AContextMakesAContextualTab) {
  TadxRibbonTab& second = module_.AddTab();
  tab_.SetContext("TabSetAttachmentTools");
  EXPECT_THAT(module_.Tabs(), ElementsAre(&second));
  EXPECT_THAT(module_.ContextualTabs(), ElementsAre(&tab_));
  tab_.SetContext("");
  EXPECT_THAT(module_.Tabs(), ElementsAre(&tab_, &second));  // back in creation order
  EXPECT_THAT(module_.ContextualTabs(), IsEmpty());
}

TEST_F(RibbonModelTest, KindCastsAnswerOnlyForTheirKind) {
  TadxRibbonCustomControl& menu = group_.Controls().Add(K::rctMenu);
  EXPECT_EQ(menu.AsRibbonMenu(), &menu);
  EXPECT_EQ(menu.AsRibbonButton(), nullptr);
  EXPECT_EQ(tab_.Controls()[0].AsRibbonGroup(), &group_);
  EXPECT_EQ(&menu.Tab(), &tab_);
}

}  // namespace
}  // namespace trovex::ribbon
