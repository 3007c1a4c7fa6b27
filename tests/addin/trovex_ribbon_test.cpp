// Trovex's own tab: the tree its stored definition builds, the commands its
// buttons name, and the markup Outlook receives for it, byte for byte.
#include "addin/trovex_ribbon.h"

#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "ribbon/ribbon_markup.h"
#include "ribbon/ribbon_test_support.h"

namespace trovex::addin {
namespace {

using namespace trovex::ribbon;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using K = TadxRibbonControlType;
using R = TadxRibbon;
using R10 = TadxRibbon2010;

constexpr std::string_view kSchema2006 = "customUI.libxml2.xsd";

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

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Golden(std::string_view name) {
  return ReadFile(std::string(TROVEX_SOURCE_DIR) + "/tests/addin/golden/" + std::string(name));
}

std::string TrovexMarkup(std::string_view ribbonId, int hostMajorVersion) {
  RibbonModule module(TrovexRibbonSettings());
  LoadTrovexRibbon(module);
  return GetCustomUI(module, ribbonId, hostMajorVersion);
}

// "customUI" with one empty "ribbon": what every window but the explorer gets.
const std::string kEmptyRibbon =
    "<customUI xmlns=\"http://schemas.microsoft.com/office/2006/01/customui\" "
    "xmlns:default=\"QM_MSOAddIn.MSOAddIn\" xmlns:shared=\"QM_AddIns\" onLoad=\"RibbonLoaded_Callback\" "
    "loadImage=\"GetImages_Callback\">\r\n"
    "\t<ribbon>\r\n"
    "\t</ribbon>\r\n"
    "</customUI>";

TEST(TrovexMarkup, ExplorerGetsTheTabByteForByte) {
  const std::string golden = Golden("explorer.xml");
  ASSERT_THAT(golden, HasSubstr("\r\n\t<ribbon>\r\n"));  // checked out with its CR LF
  for (int version : {12, 14, 15, 16}) EXPECT_EQ(TrovexMarkup("Microsoft.Outlook.Explorer", version), golden) << version;
}

TEST(TrovexMarkup, EveryOtherOutlookWindowGetsAnEmptyRibbon) {
  const std::string_view ribbonIds[] = {
      "Microsoft.Outlook.Mail.Read",
      "Microsoft.Outlook.Mail.Compose",
      "Microsoft.Outlook.MeetingRequest.Read",
      "Microsoft.Outlook.MeetingRequest.Send",
      "Microsoft.Outlook.Appointment",
      "Microsoft.Outlook.Contact",
      "Microsoft.Outlook.Journal",
      "Microsoft.Outlook.Task",
      "Microsoft.Outlook.DistributionList",
      "Microsoft.Outlook.Report",
      "Microsoft.Outlook.Resend",
      "Microsoft.Outlook.Response.Read",
      "Microsoft.Outlook.Response.Compose",
      "Microsoft.Outlook.Response.CounterPropose",
      "Microsoft.Outlook.RSS",
      "Microsoft.Outlook.Post.Read",
      "Microsoft.Outlook.Post.Compose",
      "Microsoft.Outlook.Sharing.Read",
      "Microsoft.Outlook.Sharing.Compose",
      // Outlook 2010's mobile windows.
      "Microsoft.OMS.SMS.Read",
      "Microsoft.OMS.SMS.Compose",
      "Microsoft.OMS.MMS.Read",
      "Microsoft.OMS.MMS.Compose",
      // Later Outlooks ask for ids of their own.
      "Microsoft.Outlook.Task.Read",
  };
  for (std::string_view id : ribbonIds) {
    for (int version : {12, 16}) EXPECT_EQ(TrovexMarkup(id, version), kEmptyRibbon) << id << " " << version;
  }
}

TEST(TrovexMarkup, AskingForOtherWindowsFirstChangesNothing) {
  RibbonModule module(TrovexRibbonSettings());
  LoadTrovexRibbon(module);
  EXPECT_EQ(GetCustomUI(module, "Microsoft.Outlook.Mail.Read", 16), kEmptyRibbon);
  EXPECT_EQ(GetCustomUI(module, "Microsoft.Outlook.Explorer", 16), Golden("explorer.xml"));
  EXPECT_EQ(module.RibbonControls().size(), 11u);  // nothing pruned under Outlook
  EXPECT_EQ(module.HostType(), OfficeHostApp::Outlook);
  EXPECT_EQ(module.OfficeXmlns(), kCustomUI2006Namespace);
  EXPECT_TRUE(module.RunningWithRibbon());
}

#ifdef TROVEX_RIBBON_MARKUP_EXE
std::string RunCli(const std::string& args, int& exitCode) {
  std::string out;
  FILE* pipe = ::popen((std::string(TROVEX_RIBBON_MARKUP_EXE) + " " + args + " 2>/dev/null").c_str(), "r");
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = ::pclose(pipe);
  exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

TEST(TrovexRibbonMarkupCli, PrintsWhatOutlookReceives) {
  int exitCode = -1;
  EXPECT_EQ(RunCli("Microsoft.Outlook.Explorer 16", exitCode), Golden("explorer.xml"));
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(RunCli("Microsoft.Outlook.Mail.Read 12", exitCode), kEmptyRibbon);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(RunCli("Microsoft.Outlook.Explorer", exitCode), "");  // usage
  EXPECT_EQ(exitCode, 2);
  EXPECT_EQ(RunCli("Microsoft.Outlook.Explorer sixteen", exitCode), "");
  EXPECT_EQ(exitCode, 2);
}
#endif

TEST(TrovexMarkup, IsValidAndLoadable) {
  const std::pair<std::string_view, int> windows[] = {
      {"Microsoft.Outlook.Explorer", 12},
      {"Microsoft.Outlook.Explorer", 16},
      {"Microsoft.Outlook.Mail.Read", 16},  // another window
  };
  for (const auto& [ribbonId, version] : windows) {
    const std::string markup = TrovexMarkup(ribbonId, version);
    const ribbon::testing::LintResult lint = ribbon::testing::Xmllint(markup, kSchema2006);
    EXPECT_EQ(lint.exitCode, 0) << ribbonId << " " << version << "\n" << lint.output << markup;
    EXPECT_THAT(ribbon::testing::RefusedPairs(markup), IsEmpty()) << ribbonId << " " << version;
  }
}

}  // namespace
}  // namespace trovex::addin
