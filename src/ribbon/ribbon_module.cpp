#include "ribbon/ribbon_module.h"

#include "support/utf8.h"

namespace trovex::ribbon {
namespace {

IadxRibbonComponent* FindExactId(IadxRibbonComponent& component, std::string_view id) {
  if (component.Id() == id) return &component;
  if (TadxRibbonControls* children = component.GetChildControls()) {
    for (const auto& child : *children) {
      if (IadxRibbonComponent* found = FindExactId(*child, id)) return found;
    }
  }
  return nullptr;
}

}  // namespace

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
