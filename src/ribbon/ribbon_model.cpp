#include "ribbon/ribbon_model.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "support/utf8.h"

namespace trovex::ribbon {
namespace {

static_assert(static_cast<int>(TadxRibbonControlType::rctBackstageItem) == 49);
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

constexpr auto kExplorer = TadxRibbon::msrOutlookExplorer;
constexpr auto kExplorer2010 = TadxRibbon2010::msrOutlookExplorer2010;

IadxRibbonComponent* FindExactId(IadxRibbonComponent& component, std::string_view id) {
  if (component.Id() == id) return &component;
  if (TadxRibbonControls* children = component.GetChildControls()) {
    for (const auto& child : *children) {
      if (IadxRibbonComponent* found = FindExactId(*child, id)) return found;
    }
  }
  return nullptr;
}

void ClearImageIndexes(TadxRibbonControls& controls) {
  for (const auto& control : controls) {
    control->SetImageIndex(-1);
    if (TadxRibbonControls* children = control->GetChildControls()) ClearImageIndexes(*children);
  }
}

template <typename T>
bool Store(T& field, T value) {
  if (field == value) return false;
  field = std::move(value);
  return true;
}

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

std::string KeyTipText(std::string_view text) { return TruncateCodePoints(text, kKeyTipMaxLength); }

void AttributeList::Add(std::string_view name, std::string_view value) {
  const auto it = std::find_if(items_.begin(), items_.end(), [&](const Attribute& a) { return a.first == name; });
  if (value.empty()) {
    if (it != items_.end()) items_.erase(it);
  } else if (it != items_.end()) {
    it->second = value;
  } else {
    items_.emplace_back(name, value);
  }
}

const std::string* AttributeList::Find(std::string_view name) const {
  for (const Attribute& a : items_) {
    if (a.first == name) return &a.second;
  }
  return nullptr;
}

std::vector<std::string> AttributeList::Names() const {
  std::vector<std::string> names;
  for (const Attribute& a : items_) names.push_back(a.first);
  return names;
}

RibbonImageList::~RibbonImageList() {
  for (TadxRibbonTab* tab : std::vector<TadxRibbonTab*>(users_)) tab->ImagesGone();
}

// --- IadxRibbonComponent ---------------------------------------------------

const std::string& IadxRibbonComponent::EmptyText() {
  static const std::string empty;
  return empty;
}

const RibbonGlyph& IadxRibbonComponent::Glyph() const {
  static const RibbonGlyph none;
  return none;
}
const std::string& IadxRibbonComponent::ImageMso() const { return EmptyText(); }
const std::string& IadxRibbonComponent::ScreenTip() const { return EmptyText(); }
const std::string& IadxRibbonComponent::SuperTip() const { return EmptyText(); }
const std::string& IadxRibbonComponent::Description() const { return EmptyText(); }
const std::string& IadxRibbonComponent::Title() const { return EmptyText(); }

void IadxRibbonComponent::SetId(std::string value) {
  // An emptied id keeps the registry text: the control stays findable.
  if (Store(id_, std::move(value)) && !id_.empty()) UpdateRegistryText();
}

void IadxRibbonComponent::SetIdMso(std::string value) {
  if (Store(idMso_, std::move(value))) UpdateRegistryText();
}

void IadxRibbonComponent::UpdateRegistryText() { module_->Retext(*this, idMso_.empty() ? id_ : idMso_); }

void IadxRibbonComponent::SetRibbons(TadxRibbons value) {
  if (!Store(sets_.ribbons, value)) return;
  // A stored definition gives every component its own sets.
  if (module_->LoadingDefinition()) return;
  if (TadxRibbonControls* children = GetChildControls()) {
    for (const auto& child : *children) child->SetRibbons(value);
  }
  TadxRibbons2010 ribbons2010 = sets_.ribbons2010;
  value.Contains(kExplorer) ? ribbons2010.Include(kExplorer2010) : ribbons2010.Exclude(kExplorer2010);
  SetRibbons2010(ribbons2010);
}

void IadxRibbonComponent::SetRibbons2010(TadxRibbons2010 value) {
  if (!Store(sets_.ribbons2010, value)) return;
  if (module_->LoadingDefinition()) return;
  if (TadxRibbonControls* children = GetChildControls()) {
    for (const auto& child : *children) child->SetRibbons2010(value);
  }
  TadxRibbons ribbons = sets_.ribbons;
  value.Contains(kExplorer2010) ? ribbons.Include(kExplorer) : ribbons.Exclude(kExplorer);
  SetRibbons(ribbons);
}

void IadxRibbonComponent::SetCaption(std::string value) { Invalidated(Store(caption_, std::move(value))); }
void IadxRibbonComponent::SetKeyTip(std::string_view value) { Invalidated(Store(keyTip_, KeyTipText(value))); }
void IadxRibbonComponent::SetVisible(bool value) { Invalidated(Store(visible_, value)); }

void IadxRibbonComponent::DoPropertyChanging(TadxRibbonControlPropertyType property, RibbonValue& value,
                                             RibbonContext context) {
  if (!OnPropertyChanging) return;
  module_->Guarded([&] { OnPropertyChanging(*this, property, value, context); });
}

void IadxRibbonComponent::DoAction(TadxRibbonActionArguments& /*arguments*/) {}

// --- TadxRibbonControls ----------------------------------------------------

TadxRibbonControls::~TadxRibbonControls() = default;

bool TadxRibbonControls::Accepts(TadxRibbonControlType kind) const {
  using K = TadxRibbonControlType;
  switch (takes_) {
    case Takes::Groups:
      return kind == K::rctGroup;
    case Takes::Menus:
      return kind == K::rctMenu;
    case Takes::Controls:
      return kind == K::rctBox || kind == K::rctButtonGroup || kind == K::rctButton || kind == K::rctSplitButton ||
             kind == K::rctMenu;
  }
  return false;
}

TadxRibbonCustomControl& TadxRibbonControls::Add(TadxRibbonControlType kind) {
  using K = TadxRibbonControlType;
  if (!Accepts(kind)) {
    throw std::invalid_argument(
        fmt::format("A control of kind {} cannot be added to this collection.", static_cast<int>(kind)));
  }
  if (items_.size() >= maxCount_) {
    throw OleSysError(fmt::format("There cannot be more than {} items in this control!", maxCount_));
  }
  std::unique_ptr<TadxRibbonCustomControl> control;
  switch (kind) {
    case K::rctGroup:
      control.reset(new TadxRibbonGroup(owner_));
      break;
    case K::rctBox:
      control.reset(new TadxRibbonBox(owner_));
      break;
    case K::rctButtonGroup:
      control.reset(new TadxRibbonButtonGroup(owner_));
      break;
    case K::rctButton:
      control.reset(new TadxRibbonButton(owner_));
      break;
    case K::rctSplitButton:
      control.reset(new TadxRibbonSplitButton(owner_));
      break;
    default:
      control.reset(new TadxRibbonMenu(owner_));
      break;
  }
  items_.push_back(std::move(control));
  return *items_.back();
}

void TadxRibbonControls::Delete(std::size_t index) {
  if (index >= items_.size()) throw std::out_of_range("control index out of range");
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

// --- TadxRibbonTab ---------------------------------------------------------

TadxRibbonTab& TadxRibbonTab::Create(RibbonModule* owner) {
  if (!owner) throw OleSysError("The TadxRibbonTab class cannot be contained in the nil class.");
  std::unique_ptr<TadxRibbonTab> tab(new TadxRibbonTab(*owner));
  TadxRibbonTab& result = *tab;
  owner->ownedTabs_.push_back(std::move(tab));
  owner->tabs_.push_back(&result);
  owner->Register(result);
  return result;
}

TadxRibbonTab::TadxRibbonTab(RibbonModule& module)
    : IadxRibbonComponent(module, DefaultTabRibbons(module.Settings().supportedApps)),
      controls_(new TadxRibbonControls(*this, TadxRibbonControls::Takes::Groups, kMaxTabControls)) {}

TadxRibbonTab::~TadxRibbonTab() {
  controls_.reset();
  SetImages(nullptr);
  Module().Unregister(*this);
}

void TadxRibbonTab::SetContext(std::string value) {
  const bool wasContextual = !context_.empty();
  context_ = std::move(value);
  if (wasContextual != !context_.empty()) Module().SortTabs();
}

void TadxRibbonTab::SetImages(RibbonImageList* images) {
  if (images == images_) return;
  if (images_) std::erase(images_->users_, this);
  images_ = images;
  if (images_) images_->users_.push_back(this);
}

void TadxRibbonTab::ImagesGone() {
  SetImages(nullptr);
  ClearImageIndexes(*controls_);
}

void TadxRibbonTab::Invalidate() {
  RibbonUI* ui = Module().GetRibbonUI();
  if (!ui) return;
  if (!IdMso().empty()) {
    ui->Invalidate();
  } else if (!Id().empty()) {
    ui->InvalidateControl(Id());
  }
}

void TadxRibbonTab::Activate() {
  RibbonUI* ui = Module().GetRibbonUI();
  if (!ui || Module().HostMajorVersion() < 14) return;
  Module().Guarded([&] { ui->ActivateTab(Id()); });
}

// --- TadxRibbonCustomControl -----------------------------------------------

TadxRibbonCustomControl::TadxRibbonCustomControl(IadxRibbonComponent& parent)
    : IadxRibbonComponent(parent.Module(), {parent.Ribbons(), parent.Ribbons2010()}),
      parent_(parent),
      tab_(parent.GetControlType() == TadxRibbonControlType::rctTab
               ? static_cast<TadxRibbonTab*>(&parent)
               : &static_cast<TadxRibbonCustomControl&>(parent).Tab()) {
  Module().Register(*this);
}

TadxRibbonCustomControl::~TadxRibbonCustomControl() {
  children_.reset();
  Module().Unregister(*this);
}

void TadxRibbonCustomControl::MakeChildren(TadxRibbonControls::Takes takes, std::size_t maxCount) {
  children_.reset(new TadxRibbonControls(*this, takes, maxCount));
}

template <typename Control>
static Control* As(TadxRibbonCustomControl* control) {
  return control->GetControlType() == Control::kType ? static_cast<Control*>(control) : nullptr;
}
TadxRibbonGroup* TadxRibbonCustomControl::AsRibbonGroup() { return As<TadxRibbonGroup>(this); }
TadxRibbonButton* TadxRibbonCustomControl::AsRibbonButton() { return As<TadxRibbonButton>(this); }
TadxRibbonSplitButton* TadxRibbonCustomControl::AsRibbonSplitButton() { return As<TadxRibbonSplitButton>(this); }
TadxRibbonMenu* TadxRibbonCustomControl::AsRibbonMenu() { return As<TadxRibbonMenu>(this); }
TadxRibbonBox* TadxRibbonCustomControl::AsRibbonBox() { return As<TadxRibbonBox>(this); }
TadxRibbonButtonGroup* TadxRibbonCustomControl::AsRibbonButtonGroup() { return As<TadxRibbonButtonGroup>(this); }

void TadxRibbonCustomControl::SetEnabled(bool value) { Invalidated(Store(enabled_, value)); }
void TadxRibbonCustomControl::SetPressed(bool value) { Invalidated(Store(pressed_, value)); }
void TadxRibbonCustomControl::SetGlyph(RibbonGlyph value) { Invalidated(Store(glyph_, std::move(value))); }
void TadxRibbonCustomControl::SetImageIndex(std::int32_t value) { Invalidated(Store(imageIndex_, value)); }
void TadxRibbonCustomControl::SetImageMso(std::string value) { Invalidated(Store(imageMso_, std::move(value))); }
void TadxRibbonCustomControl::SetScreenTip(std::string value) { Invalidated(Store(screenTip_, std::move(value))); }
void TadxRibbonCustomControl::SetSuperTip(std::string value) { Invalidated(Store(superTip_, std::move(value))); }
void TadxRibbonCustomControl::SetShowCaption(bool value) { Invalidated(Store(showCaption_, value)); }
void TadxRibbonCustomControl::SetSize(TadxRibbonXControlSize value) { Invalidated(Store(size_, value)); }
void TadxRibbonCustomControl::SetDescription(std::string value) {
  Invalidated(Store(description_, std::move(value)));
}
void TadxRibbonCustomControl::SetTitle(std::string value) { Invalidated(Store(title_, std::move(value))); }

void TadxRibbonCustomControl::Invalidate() {
  RibbonUI* ui = Module().GetRibbonUI();
  if (!ui) return;
  if (!IdMso().empty()) {
    ui->Invalidate();
  } else if (!Id().empty()) {
    ui->InvalidateControl(Id());
  }
}

void TadxRibbonCustomControl::Click(const TadxRibbonOnClick& handler, TadxRibbonActionArguments& arguments) {
  SetPressed(arguments.pressed);
  if (!handler || inUse_) return;
  inUse_ = true;
  Module().Guarded([&] { handler(*this, arguments.control); });
  inUse_ = false;
}

// --- Kinds -----------------------------------------------------------------

TadxRibbonGroup::TadxRibbonGroup(IadxRibbonComponent& parent) : TadxRibbonCustomControl(parent) {
  MakeChildren(TadxRibbonControls::Takes::Controls, kMaxContainerControls);
}

TadxRibbonSplitButton::TadxRibbonSplitButton(IadxRibbonComponent& parent) : TadxRibbonCustomControl(parent) {
  MakeChildren(TadxRibbonControls::Takes::Menus, kMaxSplitButtonControls);
}

void TadxRibbonSplitButton::Invalidate() {
  TadxRibbonCustomControl::Invalidate();
  RibbonUI* ui = Module().GetRibbonUI();
  if (ui && IdMso().empty() && !Id().empty()) ui->InvalidateControl(Id() + "wrapped");
}

TadxRibbonMenu::TadxRibbonMenu(IadxRibbonComponent& parent) : TadxRibbonCustomControl(parent) {
  MakeChildren(TadxRibbonControls::Takes::Controls, kMaxContainerControls);
}

void TadxRibbonMenu::RaiseCreate() {
  if (OnCreate) Module().Guarded([&] { OnCreate(*this); });
}

TadxRibbonBox::TadxRibbonBox(IadxRibbonComponent& parent) : TadxRibbonCustomControl(parent) {
  MakeChildren(TadxRibbonControls::Takes::Controls, kMaxContainerControls);
}

TadxRibbonButtonGroup::TadxRibbonButtonGroup(IadxRibbonComponent& parent) : TadxRibbonCustomControl(parent) {
  MakeChildren(TadxRibbonControls::Takes::Controls, kMaxContainerControls);
}

// --- RibbonModule ----------------------------------------------------------

RibbonModule::RibbonModule(RibbonModuleSettings settings) : settings_(std::move(settings)) {}

RibbonModule::~RibbonModule() {
  // Tabs unregister themselves; the registry must outlive them.
  tabs_.clear();
  contextualTabs_.clear();
  ownedTabs_.clear();
}

void RibbonModule::DeleteTab(TadxRibbonTab& tab) {
  std::erase(tabs_, &tab);
  std::erase(contextualTabs_, &tab);
  std::erase_if(ownedTabs_, [&](const auto& owned) { return owned.get() == &tab; });
}

IadxRibbonComponent* RibbonModule::FindRibbonControl(std::string_view id) const {
  for (const RegistryEntry& entry : registry_) {
    if (EqualsIgnoreCase(entry.text, id)) return entry.component;
  }
  for (const auto& tab : ownedTabs_) {
    if (IadxRibbonComponent* found = FindExactId(*tab, id)) return found;
  }
  return nullptr;
}

IadxRibbonComponent* RibbonModule::FindRibbonControl(std::int32_t tag) const {
  for (const RegistryEntry& entry : registry_) {
    if (entry.component->Tag() == tag) return entry.component;
  }
  return nullptr;
}

void RibbonModule::RemoveRibbonControlsIf(const std::function<bool(const RegistryEntry&)>& remove) {
  for (std::size_t i = registry_.size(); i-- > 0;) {
    if (remove(registry_[i])) registry_.erase(registry_.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

void RibbonModule::HandleError(const std::exception& error) noexcept {
  try {
    if (ErrorHandler) ErrorHandler(error);
  } catch (...) {
    // An error handler that fails has nobody left to report to.
  }
}

void RibbonModule::Guarded(const std::function<void()>& action) noexcept {
  try {
    action();
  } catch (const std::exception& e) {
    HandleError(e);
  } catch (...) {
    HandleError(std::runtime_error("unknown exception"));
  }
}

void RibbonModule::Register(IadxRibbonComponent& component) {
  registry_.push_back({component.IdMso().empty() ? component.Id() : component.IdMso(), &component});
}

void RibbonModule::Unregister(const IadxRibbonComponent& component) {
  std::erase_if(registry_, [&](const RegistryEntry& e) { return e.component == &component; });
}

void RibbonModule::Retext(const IadxRibbonComponent& component, const std::string& text) {
  for (RegistryEntry& entry : registry_) {
    if (entry.component == &component) entry.text = text;
  }
}

void RibbonModule::SortTabs() {
  tabs_.clear();
  contextualTabs_.clear();
  for (const auto& tab : ownedTabs_) (tab->Context().empty() ? tabs_ : contextualTabs_).push_back(tab.get());
}

}  // namespace trovex::ribbon
