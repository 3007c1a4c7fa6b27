#include "ribbon/ribbon_sets.h"

#include <array>
#include <cstddef>

namespace trovex::ribbon {
namespace {

static_assert(static_cast<int>(TadxRibbon::msrOutlookExplorer) == kRibbonCount - 1);
static_assert(static_cast<int>(TadxRibbon2010::msrOneNote) == kRibbon2010Count - 1);

struct RibbonName {
  std::string_view name;
  std::string_view id;
};

constexpr std::array<RibbonName, kRibbonCount> kRibbons = {{
    {"msrAccessDatabase", "Microsoft.Access.Database"},
    {"msrExcelWorkbook", "Microsoft.Excel.Workbook"},
    {"msrPowerPointPresentation", "Microsoft.PowerPoint.Presentation"},
    {"msrWordDocument", "Microsoft.Word.Document"},
    {"msrOutlookMailRead", "Microsoft.Outlook.Mail.Read"},
    {"msrOutlookMailCompose", "Microsoft.Outlook.Mail.Compose"},
    {"msrOutlookMeetingRequestRead", "Microsoft.Outlook.MeetingRequest.Read"},
    {"msrOutlookMeetingRequestSend", "Microsoft.Outlook.MeetingRequest.Send"},
    {"msrOutlookAppointment", "Microsoft.Outlook.Appointment"},
    {"msrOutlookContact", "Microsoft.Outlook.Contact"},
    {"msrOutlookJournal", "Microsoft.Outlook.Journal"},
    {"msrOutlookTask", "Microsoft.Outlook.Task"},
    {"msrOutlookDistributionList", "Microsoft.Outlook.DistributionList"},
    {"msrOutlookReport", "Microsoft.Outlook.Report"},
    {"msrOutlookResend", "Microsoft.Outlook.Resend"},
    {"msrOutlookResponseRead", "Microsoft.Outlook.Response.Read"},
    {"msrOutlookResponseCompose", "Microsoft.Outlook.Response.Compose"},
    {"msrOutlookResponseCounterPropose", "Microsoft.Outlook.Response.CounterPropose"},
    {"msrOutlookRSS", "Microsoft.Outlook.RSS"},
    {"msrOutlookPostRead", "Microsoft.Outlook.Post.Read"},
    {"msrOutlookPostCompose", "Microsoft.Outlook.Post.Compose"},
    {"msrOutlookSharingRead", "Microsoft.Outlook.Sharing.Read"},
    {"msrOutlookSharingCompose", "Microsoft.Outlook.Sharing.Compose"},
    {"msrOutlookExplorer", "Microsoft.Outlook.Explorer"},
}};

constexpr std::array<RibbonName, kRibbon2010Count> kRibbons2010 = {{
    {"msrOutlookExplorer2010", "Microsoft.Outlook.Explorer"},
    {"msrOutlookSMSRead2010", "Microsoft.OMS.SMS.Read"},
    {"msrOutlookSMSCompose2010", "Microsoft.OMS.SMS.Compose"},
    {"msrOutlookMMSRead2010", "Microsoft.OMS.MMS.Read"},
    {"msrOutlookMMSCompose2010", "Microsoft.OMS.MMS.Compose"},
    {"msrInfoPathDesigner2010", "Microsoft.InfoPath.Designer"},
    {"msrInforPathFiller2010", "Microsoft.InfoPath.Editor"},
    {"msrInfoPathPrintPreview2010", "Microsoft.InfoPath.PrintPreview"},
    {"msrPublisherPublication2010", "Microsoft.Publisher.Publication"},
    {"msrProjectProject2010", "Microsoft.Project.Project"},
    {"msrVisioDrawing2010", "Microsoft.Visio.Drawing"},
    {"msrOneNote", "Microsoft.OneNote"},
}};

}  // namespace

std::string_view RibbonIdOf(TadxRibbon value) { return kRibbons.at(static_cast<std::size_t>(value)).id; }
std::string_view RibbonIdOf(TadxRibbon2010 value) { return kRibbons2010.at(static_cast<std::size_t>(value)).id; }
std::string_view NameOf(TadxRibbon value) { return kRibbons.at(static_cast<std::size_t>(value)).name; }
std::string_view NameOf(TadxRibbon2010 value) { return kRibbons2010.at(static_cast<std::size_t>(value)).name; }

bool RibbonIdMatches(std::string_view ribbonId, TadxRibbons ribbons, TadxRibbons2010 ribbons2010) {
  if (ribbons.Empty() && ribbons2010.Empty()) return false;
  if (ribbonId == "DynamicMenu" || ribbonId == "Microsoft.Mso.IMLayerUI") return true;
  for (int bit = 0; bit < kRibbonCount; ++bit) {
    const auto value = static_cast<TadxRibbon>(bit);
    if (ribbons.Contains(value) && RibbonIdOf(value) == ribbonId) return true;
  }
  for (int bit = 0; bit < kRibbon2010Count; ++bit) {
    const auto value = static_cast<TadxRibbon2010>(bit);
    if (!ribbons2010.Contains(value)) continue;
    if (RibbonIdOf(value) == ribbonId) return true;
    if ((bit == 1 || bit == 2) && ribbonId == "Microsoft.OMS.SMS") return true;
    if ((bit == 3 || bit == 4) && ribbonId == "Microsoft.OMS.MMS") return true;
  }
  return false;
}

RibbonSets DefaultTabRibbons(const std::set<OfficeHostApp>& supportedApps) {
  using R = TadxRibbon;
  using R10 = TadxRibbon2010;
  const auto supports = [&](OfficeHostApp app) { return supportedApps.contains(app); };
  RibbonSets sets{{R::msrAccessDatabase, R::msrExcelWorkbook, R::msrPowerPointPresentation, R::msrWordDocument,
                   R::msrOutlookMailRead, R::msrOutlookMailCompose, R::msrOutlookExplorer},
                  {R10::msrOutlookExplorer2010}};
  if (!supports(OfficeHostApp::Access)) sets.ribbons.Exclude(R::msrAccessDatabase);
  if (!supports(OfficeHostApp::Excel)) sets.ribbons.Exclude(R::msrExcelWorkbook);
  if (!supports(OfficeHostApp::PowerPoint)) sets.ribbons.Exclude(R::msrPowerPointPresentation);
  if (!supports(OfficeHostApp::Word)) sets.ribbons.Exclude(R::msrWordDocument);
  if (!supports(OfficeHostApp::Outlook)) {
    sets.ribbons.Exclude(R::msrOutlookMailRead).Exclude(R::msrOutlookMailCompose).Exclude(R::msrOutlookExplorer);
    sets.ribbons2010.Exclude(R10::msrOutlookExplorer2010);
  }
  // Only the first of these hosts counts.
  if (supports(OfficeHostApp::InfoPath)) {
    sets.ribbons2010.Include(R10::msrInfoPathDesigner2010)
        .Include(R10::msrInforPathFiller2010)
        .Include(R10::msrInfoPathPrintPreview2010);
  } else if (supports(OfficeHostApp::Publisher)) {
    sets.ribbons2010.Include(R10::msrPublisherPublication2010);
  } else if (supports(OfficeHostApp::Project)) {
    sets.ribbons2010.Include(R10::msrProjectProject2010);
  } else if (supports(OfficeHostApp::Visio)) {
    sets.ribbons2010.Include(R10::msrVisioDrawing2010);
  } else if (supports(OfficeHostApp::OneNote)) {
    sets.ribbons2010.Include(R10::msrOneNote);
  }
  return sets;
}

}  // namespace trovex::ribbon
