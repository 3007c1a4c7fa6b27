#include "ribbon/ribbon_controls.h"

#include <fmt/format.h>

#include <algorithm>

#include "ribbon/ribbon_module.h"
#include "support/utf8.h"

namespace trovex::ribbon {
namespace {

constexpr auto kExplorer = TadxRibbon::msrOutlookExplorer;
constexpr auto kExplorer2010 = TadxRibbon2010::msrOutlookExplorer2010;

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

std::string KeyTipText(std::string_view text) { return TruncateCodePoints(text, kKeyTipMaxLength); }

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

}  // namespace trovex::ribbon
