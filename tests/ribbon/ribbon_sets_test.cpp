// The ribbons a tab or control appears in: matching Office's ribbon ids, and
// the sets a new tab starts with.
#include "ribbon/ribbon_sets.h"

#include <gtest/gtest.h>

#include <set>
#include <string_view>

namespace trovex::ribbon {
namespace {

using R = TadxRibbon;
using R10 = TadxRibbon2010;

const TadxRibbons kExplorerOnly{R::msrOutlookExplorer};
const TadxRibbons2010 kExplorer2010Only{R10::msrOutlookExplorer2010};

TEST(RibbonIdMatches, SetsAgainstOfficeRibbonIds) {
  struct Case {
    TadxRibbons ribbons;
    TadxRibbons2010 ribbons2010;
    std::string_view ribbonId;
    bool matches;
  };
  const Case cases[] = {
      {{}, {}, "DynamicMenu", false},                                         // no set: nowhere, not even here
      {{R::msrWordDocument}, {}, "DynamicMenu", true},                        // any set: dynamic menus
      {{}, {R10::msrOneNote}, "Microsoft.Mso.IMLayerUI", true},               // any set: Office's IM layer
      {kExplorerOnly, {}, "Microsoft.Outlook.Explorer", true},                // by Ribbons
      {{}, kExplorer2010Only, "Microsoft.Outlook.Explorer", true},            // by Ribbons2010 alone
      {{R::msrOutlookMailRead}, {}, "Microsoft.Outlook.Mail.Compose", false},  // another Outlook window
      {kExplorerOnly, {}, "microsoft.outlook.explorer", false},               // exact comparison
      {kExplorerOnly, {}, "Microsoft.Outlook.Explorer.Extra", false},         // whole id only
      {{}, {R10::msrOutlookSMSRead2010}, "Microsoft.OMS.SMS.Read", true},      // its own id
      {{}, {R10::msrOutlookSMSRead2010}, "Microsoft.OMS.SMS", true},           // and the SMS family
      {{}, {R10::msrOutlookSMSCompose2010}, "Microsoft.OMS.MMS", false},       // SMS is not MMS
      {{}, {R10::msrOutlookMMSCompose2010}, "Microsoft.OMS.MMS", true},        // the MMS family
      {{}, kExplorer2010Only, "Microsoft.OMS.SMS", false},                    // bits 1 and 2 only
      {{R::msrAccessDatabase}, {}, "Microsoft.Access.Database", true},        // bit 0
      {{}, {R10::msrInforPathFiller2010}, "Microsoft.InfoPath.Editor", true},  // the filler's id
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RibbonIdMatches(c.ribbonId, c.ribbons, c.ribbons2010), c.matches)
        << c.ribbonId << " with " << c.ribbons.ToBits() << "/" << c.ribbons2010.ToBits();
  }
}

TEST(DefaultTabRibbons, NarrowedBySupportedHosts) {
  using H = OfficeHostApp;
  struct Case {
    std::set<H> hosts;
    RibbonSets sets;
  };
  const Case cases[] = {
      // Trovex: Outlook only.
      {{H::Outlook}, {{R::msrOutlookMailRead, R::msrOutlookMailCompose, R::msrOutlookExplorer}, kExplorer2010Only}},
      // Word and Excel keep their own bits; without Outlook the explorer goes from both sets.
      {{H::Word, H::Excel}, {{R::msrExcelWorkbook, R::msrWordDocument}, {}}},
      {{H::Access, H::PowerPoint}, {{R::msrAccessDatabase, R::msrPowerPointPresentation}, {}}},
      // Only the first of InfoPath, Publisher, Project, Visio, OneNote adds its ribbons.
      {{H::InfoPath, H::Visio},
       {{}, {R10::msrInfoPathDesigner2010, R10::msrInforPathFiller2010, R10::msrInfoPathPrintPreview2010}}},
      {{H::Visio, H::OneNote}, {{}, {R10::msrVisioDrawing2010}}},
      {{H::OneNote}, {{}, {R10::msrOneNote}}},
      {{H::Outlook, H::Publisher},
       {{R::msrOutlookMailRead, R::msrOutlookMailCompose, R::msrOutlookExplorer},
        {R10::msrOutlookExplorer2010, R10::msrPublisherPublication2010}}},
      // A host without ribbons of its own.
      {{H::FrontPage}, {{}, {}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DefaultTabRibbons(c.hosts), c.sets) << c.hosts.size() << " hosts, first " << static_cast<int>(*c.hosts.begin());
  }
}

}  // namespace
}  // namespace trovex::ribbon
