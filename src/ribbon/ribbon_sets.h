// The sets that say in which Office ribbons (one per kind of Office window)
// a tab or control appears, the ribbon ids Office names them by, and the
// sets a new tab starts with.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <set>
#include <string_view>

#include "office/office_host.h"

namespace trovex::ribbon {

using office::OfficeHostApp;

// One Office ribbon (kind of window) per value; the value is its bit.
enum class TadxRibbon : std::uint8_t {
  msrAccessDatabase,
  msrExcelWorkbook,
  msrPowerPointPresentation,
  msrWordDocument,
  msrOutlookMailRead,
  msrOutlookMailCompose,
  msrOutlookMeetingRequestRead,
  msrOutlookMeetingRequestSend,
  msrOutlookAppointment,
  msrOutlookContact,
  msrOutlookJournal,
  msrOutlookTask,
  msrOutlookDistributionList,
  msrOutlookReport,
  msrOutlookResend,
  msrOutlookResponseRead,
  msrOutlookResponseCompose,
  msrOutlookResponseCounterPropose,
  msrOutlookRSS,
  msrOutlookPostRead,
  msrOutlookPostCompose,
  msrOutlookSharingRead,
  msrOutlookSharingCompose,
  msrOutlookExplorer,
};
inline constexpr int kRibbonCount = 24;

// Ribbons Office offers from version 2010 on.
enum class TadxRibbon2010 : std::uint8_t {
  msrOutlookExplorer2010,
  msrOutlookSMSRead2010,
  msrOutlookSMSCompose2010,
  msrOutlookMMSRead2010,
  msrOutlookMMSCompose2010,
  msrInfoPathDesigner2010,
  msrInforPathFiller2010,
  msrInfoPathPrintPreview2010,
  msrPublisherPublication2010,
  msrProjectProject2010,
  msrVisioDrawing2010,
  msrOneNote,
};
inline constexpr int kRibbon2010Count = 12;

// A set of ribbons as a bit set over the enumeration's values.
template <typename Value, typename Bits, int kCount>
class RibbonSet {
 public:
  constexpr RibbonSet() = default;
  constexpr RibbonSet(std::initializer_list<Value> values) {
    for (Value v : values) Include(v);
  }
  constexpr Bits ToBits() const { return bits_; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr bool Contains(Value v) const { return (bits_ & Bit(v)) != 0; }
  constexpr RibbonSet& Include(Value v) {
    bits_ = static_cast<Bits>(bits_ | Bit(v));
    return *this;
  }
  constexpr RibbonSet& Exclude(Value v) {
    bits_ = static_cast<Bits>(bits_ & ~Bit(v));
    return *this;
  }
  friend constexpr bool operator==(const RibbonSet&, const RibbonSet&) = default;

 private:
  static_assert(kCount <= static_cast<int>(sizeof(Bits) * 8), "every value needs its bit");
  static constexpr Bits Bit(Value v) { return static_cast<Bits>(Bits{1} << static_cast<int>(v)); }
  Bits bits_ = 0;
};

using TadxRibbons = RibbonSet<TadxRibbon, std::uint32_t, kRibbonCount>;
using TadxRibbons2010 = RibbonSet<TadxRibbon2010, std::uint16_t, kRibbon2010Count>;

struct RibbonSets {
  TadxRibbons ribbons;
  TadxRibbons2010 ribbons2010;
  friend bool operator==(const RibbonSets&, const RibbonSets&) = default;
};

// The ribbon id Office passes for a value, and the value's own name (as a
// stored definition writes it).
std::string_view RibbonIdOf(TadxRibbon value);
std::string_view RibbonIdOf(TadxRibbon2010 value);
std::string_view NameOf(TadxRibbon value);
std::string_view NameOf(TadxRibbon2010 value);

// Whether a component with these sets appears in the ribbon `ribbonId`.
// "DynamicMenu" and "Microsoft.Mso.IMLayerUI" match any non-empty pair;
// the SMS and MMS ribbons also answer to "Microsoft.OMS.SMS"/".MMS".
bool RibbonIdMatches(std::string_view ribbonId, TadxRibbons ribbons, TadxRibbons2010 ribbons2010);

// What a new tab starts with, narrowed by the module's hosts.
RibbonSets DefaultTabRibbons(const std::set<OfficeHostApp>& supportedApps);

}  // namespace trovex::ribbon
