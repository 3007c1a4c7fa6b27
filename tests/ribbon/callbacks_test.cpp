// Office's ribbon callbacks over a tree shaped like the add-in's: names and
// numbers, the way from an Office id to a control, the values with their
// defaults and override, images, clicks with their re-entry guard and error
// handler, and onLoad.
#include "ribbon/ribbon_callbacks.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "testing/recording_ribbon_ui.h"

namespace trovex::ribbon {
namespace {

using image::Image;
using trovex::testing::RecordingRibbonUI;
using P = TadxRibbonControlPropertyType;

// Office's IRibbonControl.
class FakeControl final : public RibbonControl {
 public:
  FakeControl(std::string id, RibbonContext context, bool failId = false)
      : id_(std::move(id)), context_(context), failId_(failId) {}
  std::string Id() const override {
    if (failId_) throw std::runtime_error("Id: RPC server unavailable");
    return id_;
  }
  RibbonContext Context() const override { return context_; }

 private:
  std::string id_;
  RibbonContext context_;
  bool failId_;
};

// What the COM side's picture maker would turn into an IStream or picture.
struct Picture {
  Image image;
  int hostMajorVersion;
};

CallbackArgument ControlArg(std::string id, RibbonContext context = nullptr) {
  return std::make_unique<FakeControl>(std::move(id), context);
}

int windowContext = 0;  // stands for the querying window

class CallbacksTest : public ::testing::Test {
 protected:
  CallbacksTest() {
    module_.SetHostMajorVersion(16);
    module_.ErrorHandler = [this](const std::exception& e) { errors_.push_back(e.what()); };
    tab_.SetId("quellmark.adxRibbonTab");
    tab_.SetCaption("Quellmark");
    tab_.SetImages(images_.get());
    group_.SetId("quellmark.adxRibbonGroup_Attachments");
    group_.SetCaption("Anänge exportieren");
    group_.SetImageIndex(1);
    start_.SetId("adxRibbonButtonSTART");
    start_.SetCaption("Start");
    start_.SetImageIndex(0);
    start_.SetSize(TadxRibbonXControlSize::csLarge);
    start_.SetScreenTip("Starten Sie den Export der Anhänge");
    start_.SetSuperTip("Markieren Sie den Outlook Ordner, der untersucht werden soll.");
    split_.SetId("adxRibbonSplitButtonHELP");
    split_.SetCaption("Hilfe");
    menu_.SetId("adxRibbonMenuHELP");
    update_.SetId("adxRibbonButtonUPDATE");
    update_.SetCaption("Nach Update suchen");
    info_.SetId("adxRibbonButtonINFO");
    info_.SetCaption("Info");
    info_.SetImageIndex(2);
  }

  RibbonCallbacks Callbacks() {
    RibbonCallbacks callbacks(&module_, [this](const Image& image, int version) -> RibbonObject {
      return std::make_shared<Picture>(Picture{image, version});
    });
    return callbacks;
  }

  // Invokes by number with the arguments in the callback's own order (the
  // vector is reversed as DISPPARAMS holds them).
  RibbonValue Invoke(RibbonCallbacks& callbacks, std::int32_t dispId, std::vector<CallbackArgument> natural) {
    std::vector<CallbackArgument> reversed;
    for (auto it = natural.rbegin(); it != natural.rend(); ++it) reversed.push_back(std::move(*it));
    const CallbackTable::Entry* entry = RibbonCallbackTable().FindId(dispId);
    if (!entry) throw std::logic_error("no callback " + std::to_string(dispId));
    CallbackArguments arguments(std::move(reversed));
    return (callbacks.*entry->handler)(arguments);
  }
  RibbonValue Query(const std::string& name, const std::string& officeId) {
    RibbonCallbacks callbacks = Callbacks();
    std::vector<CallbackArgument> args;
    args.push_back(ControlArg(officeId, &windowContext));
    return Invoke(callbacks, RibbonCallbackTable().FindName(name)->id, std::move(args));
  }
  void Click(const std::string& officeId) {
    RibbonCallbacks callbacks = Callbacks();
    std::vector<CallbackArgument> args;
    args.push_back(ControlArg(officeId));
    Invoke(callbacks, 50, std::move(args));
  }

  std::unique_ptr<ImageList> images_ = MakeAddInImages();
  RibbonModule module_{RibbonModuleSettings{{OfficeHostApp::Outlook}, "QM_AddIns", "QM_MSOAddIn.MSOAddIn"}};
  std::vector<std::string> errors_;
  TadxRibbonTab& tab_ = module_.AddTab();
  TadxRibbonGroup& group_ = tab_.Controls().Add<TadxRibbonGroup>();
  TadxRibbonButton& start_ = group_.Controls().Add<TadxRibbonButton>();
  TadxRibbonSplitButton& split_ = group_.Controls().Add<TadxRibbonSplitButton>();
  TadxRibbonMenu& menu_ = split_.Controls().Add<TadxRibbonMenu>();
  TadxRibbonButton& update_ = menu_.Controls().Add<TadxRibbonButton>();
  TadxRibbonBox& box_ = group_.Controls().Add<TadxRibbonBox>();
  TadxRibbonButton& info_ = box_.Controls().Add<TadxRibbonButton>();
};

TEST(CallbackTableTest, NamesAndNumbersAsOfficeAsksForThem) {
  const struct {
    const char* name;
    std::int32_t id;  // kDispIdUnknown: not resolved
  } cases[] = {
      {"RibbonLoaded_Callback", 10},
      {"GetImages_Callback", 11},
      {"GetLabel_Callback", 14},
      {"GetImage_Callback", 17},
      {"GetSuperTip_Callback", 19},  // 18 is not used
      {"GetDescription_Callback", 24},
      {"GetTitle_Callback", 38},
      {"OnActionCommon_Callback", 50},
      {"OnActionState_Callback", 52},
      {"GetStyle_Callback", 65},
      // The markup's attribute name is no callback name.
      {"getLabel", office::kDispIdUnknown},
      // Names compare with case.
      {"getlabel_callback", office::kDispIdUnknown},
      {"GETLABEL_CALLBACK", office::kDispIdUnknown},
      {"", office::kDispIdUnknown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // A member name with one argument name after it: every id is set.
    const std::vector<std::string> names = {c.name, "control"};
    std::vector<std::int32_t> ids = {0, 0};
    EXPECT_EQ(c.id != office::kDispIdUnknown, RibbonCallbackTable().Resolve(names, ids));
    EXPECT_EQ((std::vector<std::int32_t>{c.id, office::kDispIdUnknown}), ids);
  }
  EXPECT_EQ(nullptr, RibbonCallbackTable().FindId(18));
}

// Office keeps the numbers it got once per name: every one must be right.
TEST(CallbackTableTest, EveryCallbackKeepsItsNumber) {
  const std::pair<const char*, std::int32_t> table[] = {
      {"RibbonLoaded_Callback", 10}, {"GetImages_Callback", 11}, {"GetVisible_Callback", 12},
      {"GetKeyTip_Callback", 13}, {"GetLabel_Callback", 14}, {"GetEnabled_Callback", 15},
      {"GetPressed_Callback", 16}, {"GetImage_Callback", 17}, {"GetSuperTip_Callback", 19},
      {"GetScreenTip_Callback", 20}, {"GetSize_Callback", 21}, {"GetShowLabel_Callback", 22},
      {"GetShowImage_Callback", 23}, {"GetDescription_Callback", 24}, {"GetText_Callback", 25},
      {"GetItemCount_Callback", 26}, {"GetItemID_Callback", 27}, {"GetItemImage_Callback", 28},
      {"GetItemLabel_Callback", 29}, {"GetItemScreenTip_Callback", 30}, {"GetItemSuperTip_Callback", 31},
      {"GetShowItemImage_Callback", 32}, {"GetSelectedItemIndex_Callback", 33},
      {"GetSelectedItemId_Callback", 34}, {"GetItemHeight_Callback", 35}, {"GetItemWidth_Callback", 36},
      {"GetContent_Callback", 37}, {"GetTitle_Callback", 38}, {"OnActionCommon_Callback", 50},
      {"OnActionCommonRepurposed_Callback", 51}, {"OnActionState_Callback", 52},
      {"OnActionStateRepurposed_Callback", 53}, {"OnActionSelected_Callback", 54}, {"OnChange_Callback", 55},
      {"OnBackstageShow_Callback", 60}, {"OnBackstageHide_Callback", 61}, {"GetTarget_Callback", 62},
      {"GetAltText_Callback", 63}, {"GetHelperText_Callback", 64}, {"GetStyle_Callback", 65},
  };
  for (const auto& [name, id] : table) {
    SCOPED_TRACE(name);
    const std::vector<std::string> names = {name};
    std::vector<std::int32_t> ids = {0};
    EXPECT_TRUE(RibbonCallbackTable().Resolve(names, ids));
    EXPECT_EQ(id, ids[0]);
    const auto* entry = RibbonCallbackTable().FindId(id);
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(name, entry->name);
  }
}

TEST(OfficeIdTest, MarkersTakenOut) {
  const struct {
    const char* id;
    const char* withoutWrapped;
    const char* withoutContextMenu;
  } cases[] = {
      {"abcwrapped", "abc", "abcwrapped"},
      // Only the first occurrence goes.
      {"wrappedXwrapped", "Xwrapped", "wrappedXwrapped"},
      // The marker and up to four digits go ...
      {"btn_adx_context_menu_1", "btn_adx_context_menu_1", "btn"},
      {"btn_adx_context_menu_1234", "btn_adx_context_menu_1234", "btn"},
      // ... a fifth digit stays.
      {"btn_adx_context_menu_12345", "btn_adx_context_menu_12345", "btn5"},
      {"btnwrapped_adx_context_menu_7", "btn_adx_context_menu_7", "btnwrapped"},
      {"plain", "plain", "plain"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(c.withoutWrapped, WithoutWrappedMarker(c.id));
    EXPECT_EQ(c.withoutContextMenu, WithoutContextMenuMarker(c.id));
  }
}

TEST_F(CallbacksTest, ValuesWithTheirDefaultsAndMarkers) {
  info_.SetEnabled(false);
  const struct {
    const char* callback;
    std::string officeId;
    RibbonValue expected;
  } cases[] = {
      {"GetLabel_Callback", "adxRibbonButtonSTART", std::string("Start")},
      {"GetScreenTip_Callback", "adxRibbonButtonSTART", std::string("Starten Sie den Export der Anhänge")},
      {"GetSuperTip_Callback", "adxRibbonButtonSTART",
       std::string("Markieren Sie den Outlook Ordner, der untersucht werden soll.")},
      {"GetSize_Callback", "adxRibbonButtonSTART", std::int32_t{1}},  // large
      {"GetSize_Callback", "adxRibbonSplitButtonHELP", std::int32_t{0}},
      {"GetShowImage_Callback", "adxRibbonButtonSTART", true},  // ImageIndex 0 counts
      {"GetShowImage_Callback", "adxRibbonButtonUPDATE", false},
      {"GetShowLabel_Callback", "adxRibbonButtonSTART", true},
      {"GetEnabled_Callback", "adxRibbonButtonINFO", false},
      {"GetKeyTip_Callback", "adxRibbonButtonSTART", std::string()},
      {"GetLabel_Callback", "quellmark.adxRibbonTab", std::string("Quellmark")},
      {"GetLabel_Callback", "quellmark.adxRibbonGroup_Attachments", std::string("Anänge exportieren")},
      // The split button answers for its button part ...
      {"GetLabel_Callback", "adxRibbonSplitButtonHELPwrapped", std::string("Hilfe")},
      {"GetShowImage_Callback", "adxRibbonSplitButtonHELPwrapped", false},
      // ... but visibility, key tip, enabled and size take the id as it is:
      // nothing has it, so the defaults come.
      {"GetVisible_Callback", "adxRibbonSplitButtonHELPwrapped", true},
      {"GetSize_Callback", "adxRibbonSplitButtonHELPwrapped", std::int32_t{0}},
      // Case is ignored; a context-menu copy is answered by its control.
      {"GetLabel_Callback", "ADXRIBBONBUTTONSTART", std::string("Start")},
      {"GetLabel_Callback", "adxRibbonButtonINFO_adx_context_menu_3", std::string("Info")},
      // Unknown ids: the defaults.
      {"GetVisible_Callback", "nothing", true},
      {"GetEnabled_Callback", "nothing", true},
      {"GetShowLabel_Callback", "nothing", true},
      {"GetShowImage_Callback", "nothing", false},
      {"GetPressed_Callback", "nothing", false},
      {"GetSize_Callback", "nothing", std::int32_t{0}},
      {"GetLabel_Callback", "nothing", std::string()},
      {"GetKeyTip_Callback", "nothing", std::string()},
      {"GetDescription_Callback", "nothing", std::string()},
      {"GetScreenTip_Callback", "nothing", std::string()},
      {"GetSuperTip_Callback", "nothing", std::string()},
      // Served only for kinds this add-in does not build: nothing.
      {"GetText_Callback", "adxRibbonButtonSTART", std::monostate()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.callback) + " " + c.officeId);
    EXPECT_EQ(c.expected, Query(c.callback, c.officeId));
  }
  EXPECT_EQ(std::vector<std::string>{}, errors_);
}

// The split button's button part ("...wrapped") is answered by the split
// button for some values only; for the others the id finds nothing.
TEST_F(CallbacksTest, WhichValuesTheButtonPartTakesFromItsSplitButton) {
  // Every value away from its default, so each answer tells where it came from.
  split_.SetVisible(false);
  split_.SetKeyTip("H");
  split_.SetEnabled(false);
  split_.SetPressed(true);
  split_.SetScreenTip("Tipp");
  split_.SetSuperTip("Mehr");
  split_.SetShowCaption(false);
  split_.SetImageIndex(3);
  split_.SetSize(TadxRibbonXControlSize::csLarge);
  split_.SetDescription("Beschreibung");
  const struct {
    const char* callback;
    RibbonValue fromSplitButton;
    RibbonValue byDefault;
    bool takesIt;
  } cases[] = {
      {"GetVisible_Callback", false, true, false},
      {"GetKeyTip_Callback", std::string("H"), std::string(), false},
      {"GetLabel_Callback", std::string("Hilfe"), std::string(), true},
      {"GetEnabled_Callback", false, true, false},
      {"GetPressed_Callback", true, false, true},
      {"GetScreenTip_Callback", std::string("Tipp"), std::string(), true},
      {"GetSuperTip_Callback", std::string("Mehr"), std::string(), true},
      {"GetShowLabel_Callback", false, true, true},
      {"GetShowImage_Callback", true, false, true},
      {"GetSize_Callback", std::int32_t{1}, std::int32_t{0}, false},
      {"GetDescription_Callback", std::string("Beschreibung"), std::string(), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.callback);
    EXPECT_EQ(c.fromSplitButton, Query(c.callback, "adxRibbonSplitButtonHELP"));
    EXPECT_EQ(c.takesIt ? c.fromSplitButton : c.byDefault, Query(c.callback, "adxRibbonSplitButtonHELPwrapped"));
    EXPECT_EQ(c.takesIt ? c.fromSplitButton : c.byDefault,
              Query(c.callback, "adxRibbonSplitButtonHELPwrapped_adx_context_menu_7"));
  }
  EXPECT_FALSE(std::holds_alternative<std::monostate>(Query("GetImage_Callback", "adxRibbonSplitButtonHELPwrapped")));
  EXPECT_EQ(std::vector<std::string>{}, errors_);
}

TEST_F(CallbacksTest, ShowImageCountsGlyphAndImageMsoToo) {
  update_.SetImageMso("FileSave");
  EXPECT_EQ(RibbonValue(true), Query("GetShowImage_Callback", "adxRibbonButtonUPDATE"));
  update_.SetImageMso("");
  update_.SetGlyph(RibbonGlyph{1, 1, {0xFF000000}});
  EXPECT_EQ(RibbonValue(true), Query("GetShowImage_Callback", "adxRibbonButtonUPDATE"));
}

TEST_F(CallbacksTest, TheOverrideSeesEveryQueryAndDecidesTheValue) {
  struct Seen {
    IadxRibbonComponent* sender;
    P property;
    RibbonValue value;
    RibbonContext context;
  };
  std::vector<Seen> seen;
  start_.OnPropertyChanging = [&](IadxRibbonComponent& sender, P property, RibbonValue& value,
                                  RibbonContext context) {
    seen.push_back({&sender, property, value, context});
    if (property == P::rcptCaption) value = std::string("Los");
    if (property == P::rcptVisible) throw std::runtime_error("override failed");
  };
  EXPECT_EQ(RibbonValue(std::string("Los")), Query("GetLabel_Callback", "adxRibbonButtonSTART"));
  // A raising override goes to the error handler; the value as it stood.
  EXPECT_EQ(RibbonValue(true), Query("GetVisible_Callback", "adxRibbonButtonSTART"));
  EXPECT_EQ(std::vector<std::string>{"override failed"}, errors_);
  // The image query starts empty; its property is the glyph.
  Query("GetImage_Callback", "adxRibbonButtonSTART");
  ASSERT_EQ(3u, seen.size());
  EXPECT_EQ(&start_, seen[0].sender);
  EXPECT_EQ(P::rcptCaption, seen[0].property);
  EXPECT_EQ(RibbonValue(std::string("Start")), seen[0].value);  // the stored value on entry
  EXPECT_EQ(&windowContext, seen[0].context);
  EXPECT_EQ(P::rcptVisible, seen[1].property);
  EXPECT_EQ(P::rcptGlyph, seen[2].property);
  EXPECT_EQ(RibbonValue(), seen[2].value);
  // No override for another control's query.
  Query("GetLabel_Callback", "adxRibbonButtonINFO");
  EXPECT_EQ(3u, seen.size());
}

const Picture* PictureOf(const RibbonValue& value) {
  const RibbonObject* object = std::get_if<RibbonObject>(&value);
  return object ? static_cast<const Picture*>(object->get()) : nullptr;
}

TEST_F(CallbacksTest, ImagesFromTheTabsListOrTheGlyph) {
  const auto list = MakeAddInImages();
  const struct {
    const char* what;
    std::string officeId;
    int hostMajorVersion;
    int listIndex;  // -1: no image
  } cases[] = {
      {"Start: export", "adxRibbonButtonSTART", 16, 0},
      {"group: website", "quellmark.adxRibbonGroup_Attachments", 16, 1},
      {"Office 2007 gets the same image", "adxRibbonButtonINFO", 12, 2},
      {"the split button's part has none", "adxRibbonSplitButtonHELPwrapped", 16, -1},
      {"no ImageIndex", "adxRibbonButtonUPDATE", 16, -1},
      {"the tab has none", "quellmark.adxRibbonTab", 16, -1},
      {"unknown id", "nothing", 16, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    module_.SetHostMajorVersion(c.hostMajorVersion);
    const RibbonValue value = Query("GetImage_Callback", c.officeId);
    if (c.listIndex < 0) {
      EXPECT_EQ(RibbonValue(), value);
      continue;
    }
    const Picture* picture = PictureOf(value);
    ASSERT_NE(nullptr, picture);
    EXPECT_EQ(c.hostMajorVersion, picture->hostMajorVersion);
    EXPECT_EQ(list->Render(c.listIndex), picture->image);
  }

  // An index past the list, or a tab without list: no image.
  update_.SetImageIndex(4);
  EXPECT_EQ(RibbonValue(), Query("GetImage_Callback", "adxRibbonButtonUPDATE"));
  tab_.SetImages(nullptr);
  EXPECT_EQ(RibbonValue(), Query("GetImage_Callback", "adxRibbonButtonINFO"));
}

TEST_F(CallbacksTest, AGlyphComesBeforeTheListWithItsBottomLeftColourTransparent) {
  // 2 × 2: magenta at the bottom left is the transparent colour.
  info_.SetGlyph(RibbonGlyph{2, 2, {0xFFFF00FF, 0xFF00FF00,  //
                                    0xFFFF00FF, 0xFF0000FF}});
  const RibbonValue value = Query("GetImage_Callback", "adxRibbonButtonINFO");
  const Picture* picture = PictureOf(value);
  ASSERT_NE(nullptr, picture);
  ASSERT_EQ(2u, picture->image.width);
  EXPECT_EQ(0xFF00FF00u, picture->image.Pixel(0, 0));
  EXPECT_EQ(0x00FF00FFu, picture->image.Pixel(1, 0));
  EXPECT_EQ(0xFF00FF00u, picture->image.Pixel(0, 1));
  EXPECT_EQ(0x0000FFFFu, picture->image.Pixel(1, 1));
}

TEST_F(CallbacksTest, AnOverridePictureIsTakenAsItIs) {
  auto own = std::make_shared<int>(7);
  start_.OnPropertyChanging = [&](IadxRibbonComponent&, P, RibbonValue& value, RibbonContext) { value = own; };
  EXPECT_EQ(RibbonValue(RibbonObject(own)), Query("GetImage_Callback", "adxRibbonButtonSTART"));
}

TEST_F(CallbacksTest, ImagesByNameTakeNoOverride) {
  bool overridden = false;
  start_.OnPropertyChanging = [&](IadxRibbonComponent&, P, RibbonValue&, RibbonContext) { overridden = true; };
  RibbonCallbacks callbacks = Callbacks();
  std::vector<CallbackArgument> args;
  args.emplace_back(std::string("adxRibbonButtonSTART"));
  const RibbonValue value = Invoke(callbacks, 11, std::move(args));
  const Picture* picture = PictureOf(value);
  ASSERT_NE(nullptr, picture);
  EXPECT_EQ(MakeAddInImages()->Render(0), picture->image);
  EXPECT_FALSE(overridden);
  std::vector<CallbackArgument> unknown;
  unknown.emplace_back(std::string("nothing"));
  EXPECT_EQ(RibbonValue(), Invoke(callbacks, 11, std::move(unknown)));
}

TEST_F(CallbacksTest, AClickReachesTheHandlerOfItsControl) {
  std::vector<std::string> clicks;
  start_.OnClick = [&](TadxRibbonCustomControl& sender, RibbonControl* control) {
    clicks.push_back(sender.Caption() + " " + (control ? control->Id() : "<none>"));
  };
  Click("adxRibbonButtonSTART");
  Click("adxRibbonButtonstart_adx_context_menu_2");
  // Unknown ids and controls without handler: nothing.
  Click("nothing");
  Click("adxRibbonSplitButtonHELPwrapped");
  EXPECT_EQ((std::vector<std::string>{"Start adxRibbonButtonSTART", "Start adxRibbonButtonstart_adx_context_menu_2"}),
            clicks);
  EXPECT_EQ(std::vector<std::string>{}, errors_);
}

TEST_F(CallbacksTest, ASecondClickWhileTheHandlerRunsIsIgnored) {
  std::vector<std::string> clicks;
  start_.OnClick = [&](TadxRibbonCustomControl&, RibbonControl*) {
    clicks.push_back("Start begins");
    // Office delivers further clicks while the wizard's modal loop runs.
    Click("adxRibbonButtonSTART");
    Click("adxRibbonButtonINFO");
    clicks.push_back("Start ends");
  };
  info_.OnClick = [&](TadxRibbonCustomControl&, RibbonControl*) { clicks.push_back("Info"); };
  Click("adxRibbonButtonSTART");
  // Other controls are not blocked; the same one is free again afterwards.
  EXPECT_EQ((std::vector<std::string>{"Start begins", "Info", "Start ends"}), clicks);
  EXPECT_FALSE(start_.InUse());
  Click("adxRibbonButtonSTART");
  EXPECT_EQ(6u, clicks.size());
}

TEST_F(CallbacksTest, ARaisingHandlerGoesToTheErrorHandlerOnce) {
  int runs = 0;
  start_.OnClick = [&](TadxRibbonCustomControl&, RibbonControl*) {
    ++runs;
    throw std::runtime_error("Der Assistent konnte nicht geöffnet werden.");
  };
  EXPECT_NO_THROW(Click("adxRibbonButtonSTART"));
  EXPECT_EQ(std::vector<std::string>{"Der Assistent konnte nicht geöffnet werden."}, errors_);
  // Not left in use: the next click runs the handler again.
  EXPECT_NO_THROW(Click("adxRibbonButtonSTART"));
  EXPECT_EQ(2, runs);
  EXPECT_EQ(2u, errors_.size());
}

TEST_F(CallbacksTest, TheStateCallbackStoresThePressedArgument) {
  std::vector<bool> pressedSeen;
  update_.OnClick = [&](TadxRibbonCustomControl& sender, RibbonControl*) { pressedSeen.push_back(sender.Pressed()); };
  RibbonCallbacks callbacks = Callbacks();
  // The pressed state is the second argument, which DISPPARAMS holds first.
  const struct {
    CallbackArgument (*pressed)();
    bool expected;
  } cases[] = {
      {[] { return CallbackArgument(true); }, true},
      {[] { return CallbackArgument(std::int32_t{-1}); }, true},  // VARIANT_TRUE as a number
      {[] { return CallbackArgument(std::int32_t{0}); }, false},
  };
  for (const auto& c : cases) {
    std::vector<CallbackArgument> args;
    args.push_back(ControlArg("adxRibbonButtonUPDATE"));
    args.push_back(c.pressed());
    Invoke(callbacks, 52, std::move(args));
    EXPECT_EQ(c.expected, update_.Pressed());
  }
  EXPECT_EQ((std::vector<bool>{true, true, false}), pressedSeen);
  // A plain click stores "not pressed".
  Click("adxRibbonButtonUPDATE");
  EXPECT_FALSE(update_.Pressed());
}

TEST_F(CallbacksTest, OnLoadKeepsTheRibbonAndChoosesTheNamespace) {
  std::vector<std::string> uiCalls;
  std::vector<std::string> loaded;
  const struct {
    int hostMajorVersion;
    std::string chosenBefore;
    std::string expected;
  } cases[] = {
      {12, "", "http://schemas.microsoft.com/office/2006/01/customui"},
      {16, "", "http://schemas.microsoft.com/office/2009/07/customui"},
      // A namespace the markup chose stays.
      {16, "http://schemas.microsoft.com/office/2006/01/customui",
       "http://schemas.microsoft.com/office/2006/01/customui"},
  };
  for (const auto& c : cases) {
    module_.SetHostMajorVersion(c.hostMajorVersion);
    module_.SetOfficeXmlns(c.chosenBefore);
    RibbonCallbacks callbacks = Callbacks();
    callbacks.OnRibbonLoaded = [&](RibbonModule& sender, RibbonUI& ui) {
      loaded.push_back(&sender == &module_ && &ui == sender.GetRibbonUI() ? "loaded" : "wrong arguments");
      throw std::runtime_error("OnRibbonLoaded failed");
    };
    std::vector<CallbackArgument> args;
    auto ui = std::make_unique<RecordingRibbonUI>(uiCalls);
    RibbonUI* given = ui.get();
    args.emplace_back(std::unique_ptr<RibbonUI>(std::move(ui)));
    EXPECT_EQ(RibbonValue(), Invoke(callbacks, 10, std::move(args)));
    // Kept, replacing the earlier one.
    EXPECT_EQ(given, module_.GetRibbonUI());
    EXPECT_EQ(c.expected, module_.OfficeXmlns());
  }
  EXPECT_EQ((std::vector<std::string>{"loaded", "loaded", "loaded"}), loaded);
  EXPECT_EQ(3u, errors_.size());
  // From now on changes reach Office.
  start_.SetCaption("Los");
  EXPECT_EQ(std::vector<std::string>{"InvalidateControl adxRibbonButtonSTART"}, uiCalls);
}

TEST_F(CallbacksTest, FaultsOfTheCallItself) {
  RibbonCallbacks callbacks = Callbacks();
  // A failing read of the control's Id fails the callback.
  std::vector<CallbackArgument> failing;
  failing.emplace_back(std::make_unique<FakeControl>("adxRibbonButtonSTART", nullptr, true));
  EXPECT_THROW(Invoke(callbacks, 14, std::move(failing)), std::runtime_error);
  // Missing or mistyped arguments.
  EXPECT_THROW(Invoke(callbacks, 14, {}), CallbackError);
  std::vector<CallbackArgument> text;
  text.emplace_back(std::string("adxRibbonButtonSTART"));
  EXPECT_THROW(Invoke(callbacks, 14, std::move(text)), CallbackError);
  std::vector<CallbackArgument> noPressed;
  noPressed.push_back(ControlArg("adxRibbonButtonUPDATE"));
  EXPECT_THROW(Invoke(callbacks, 52, std::move(noPressed)), CallbackError);
  EXPECT_THROW(Invoke(callbacks, 10, {}), CallbackError);
  EXPECT_EQ(std::vector<std::string>{}, errors_);
}

TEST(DetachedCallbacksTest, WithoutAModuleEveryQueryGetsItsDefault) {
  RibbonCallbacks callbacks(nullptr, nullptr);
  auto query = [&](std::int32_t id) {
    std::vector<CallbackArgument> reversed;
    reversed.push_back(ControlArg("adxRibbonButtonSTART"));
    CallbackArguments arguments(std::move(reversed));
    return (callbacks.*RibbonCallbackTable().FindId(id)->handler)(arguments);
  };
  EXPECT_EQ(RibbonValue(true), query(12));              // visible
  EXPECT_EQ(RibbonValue(std::string()), query(14));     // label
  EXPECT_EQ(RibbonValue(), query(17));                  // image
  EXPECT_EQ(RibbonValue(), query(50));                  // click
}

}  // namespace
}  // namespace trovex::ribbon
