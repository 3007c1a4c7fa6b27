// The module's ribbon: its tabs, the registry that leads from an Office
// control id back to its object, Office's ribbon object through which
// changed values are re-queried, and the ribbon events.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ribbon/ribbon_controls.h"

namespace trovex::ribbon {

// What a module's ribbon is made with.
struct RibbonModuleSettings {
  std::set<OfficeHostApp> supportedApps = {OfficeHostApp::Outlook};
  std::string ribbonNamespace;  // bound to the "shared" prefix; empty: plain ids
  std::string addInProgId;      // bound to the "default" prefix
};

// The module's ribbon: its tabs, the control registry, Office's ribbon
// object, what the markup remembers between calls, and the ribbon events.
// The DLL's module owns one and routes ErrorHandler to its own handler.
class RibbonModule {
 public:
  struct RegistryEntry {
    std::string text;  // IdMso when set, else Id
    IadxRibbonComponent* component;
  };

  explicit RibbonModule(RibbonModuleSettings settings);
  RibbonModule(const RibbonModule&) = delete;
  RibbonModule& operator=(const RibbonModule&) = delete;
  ~RibbonModule();

  const RibbonModuleSettings& Settings() const { return settings_; }
  const std::string& Namespace() const { return settings_.ribbonNamespace; }

  // Tabs in creation order; a tab with a Context is in the second list.
  TadxRibbonTab& AddTab() { return TadxRibbonTab::Create(this); }
  void DeleteTab(TadxRibbonTab& tab);
  const std::vector<TadxRibbonTab*>& Tabs() const { return tabs_; }
  const std::vector<TadxRibbonTab*>& ContextualTabs() const { return contextualTabs_; }

  // One entry per tab and control, in creation order.
  const std::vector<RegistryEntry>& RibbonControls() const { return registry_; }
  // The first entry whose text equals `id` without regard to case; else
  // the first tab or control whose Id equals it exactly; else nullptr.
  IadxRibbonComponent* FindRibbonControl(std::string_view id) const;
  // The first registry entry with this Tag, or nullptr.
  IadxRibbonComponent* FindRibbonControl(std::int32_t tag) const;
  // Drops registry entries (the tree stays), from the last to the first.
  void RemoveRibbonControlsIf(const std::function<bool(const RegistryEntry&)>& remove);

  // Office's ribbon object, from the onLoad callback on.
  RibbonUI* GetRibbonUI() const { return ribbonUI_.get(); }
  void SetRibbonUI(std::unique_ptr<RibbonUI> ribbonUI) { ribbonUI_ = std::move(ribbonUI); }

  // What the markup learns about the host and keeps between calls.
  int HostMajorVersion() const { return hostMajorVersion_; }
  void SetHostMajorVersion(int value) { hostMajorVersion_ = value; }
  OfficeHostApp HostType() const { return hostType_; }
  void SetHostType(OfficeHostApp value) { hostType_ = value; }
  // The customUI namespace chosen last (FOfficeXMLNS); empty at first.
  const std::string& OfficeXmlns() const { return officeXmlns_; }
  void SetOfficeXmlns(std::string value) { officeXmlns_ = std::move(value); }
  bool RunningWithRibbon() const { return runningWithRibbon_; }
  void SetRunningWithRibbon() { runningWithRibbon_ = true; }
  // Ribbons that start from scratch; none by default.
  RibbonSets StartFromScratch;

  // Ribbon events; each may stay empty.
  std::function<void(RibbonModule& sender, std::string_view ribbonId)> OnRibbonBeforeCreate;
  std::function<void(RibbonModule& sender, std::string_view ribbonId, std::string& xml)> OnRibbonBeforeLoad;
  // The framework's error handler for what events and handlers throw.
  std::function<void(const std::exception& error)> ErrorHandler;
  // Never throws.
  void HandleError(const std::exception& error) noexcept;
  // Runs `action`; what it throws goes to HandleError.
  void Guarded(const std::function<void()>& action) noexcept;

  // While a stored definition is read, set setters only store.
  bool LoadingDefinition() const { return loadingDefinition_; }
  void SetLoadingDefinition(bool value) { loadingDefinition_ = value; }

 private:
  friend class IadxRibbonComponent;
  friend class TadxRibbonTab;
  friend class TadxRibbonCustomControl;
  void Register(IadxRibbonComponent& component);
  void Unregister(const IadxRibbonComponent& component);
  void Retext(const IadxRibbonComponent& component, const std::string& text);
  // Both tab lists anew from the tabs in creation order.
  void SortTabs();

  RibbonModuleSettings settings_;
  std::vector<std::unique_ptr<TadxRibbonTab>> ownedTabs_;
  std::vector<TadxRibbonTab*> tabs_;
  std::vector<TadxRibbonTab*> contextualTabs_;
  std::vector<RegistryEntry> registry_;
  std::unique_ptr<RibbonUI> ribbonUI_;
  int hostMajorVersion_ = 0;
  OfficeHostApp hostType_ = OfficeHostApp::Excel;
  std::string officeXmlns_;
  bool runningWithRibbon_ = false;
  bool loadingDefinition_ = false;
};

}  // namespace trovex::ribbon
