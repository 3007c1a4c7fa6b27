// The ribbon as a tree: one tab component, its groups, their controls and
// the controls inside containers, with their properties and defaults. Every
// component belongs to a RibbonModule (ribbon_module.h), which registers it
// and holds Office's ribbon object.
//
// Texts are UTF-8; lengths count code points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ribbon/ribbon_attributes.h"
#include "ribbon/ribbon_kinds.h"
#include "ribbon/ribbon_office.h"
#include "ribbon/ribbon_sets.h"

namespace trovex::ribbon {

// A key tip keeps at most three characters.
inline constexpr std::size_t kKeyTipMaxLength = 3;
std::string KeyTipText(std::string_view text);

// The framework's OLE system error; its code is 0 for the model's own.
class OleSysError : public std::runtime_error {
 public:
  explicit OleSysError(const std::string& message, std::int32_t code = 0)
      : std::runtime_error(message), code_(code) {}
  std::int32_t Code() const { return code_; }

 private:
  std::int32_t code_;
};

// A control's own picture; takes precedence over ImageIndex.
struct RibbonGlyph {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, row by row from the top
  bool Empty() const { return pixels.empty(); }
  friend bool operator==(const RibbonGlyph&, const RibbonGlyph&) = default;
};

// The image list a tab's controls index with ImageIndex. The images side
// implements it; a list that goes away makes its tabs forget it.
class TadxRibbonTab;
class RibbonImageList {
 public:
  RibbonImageList() = default;
  RibbonImageList(const RibbonImageList&) = delete;
  RibbonImageList& operator=(const RibbonImageList&) = delete;
  virtual ~RibbonImageList();
  virtual int Count() const = 0;

 private:
  friend class TadxRibbonTab;
  std::vector<TadxRibbonTab*> users_;
};

class IadxRibbonComponent;
class TadxRibbonCustomControl;
class TadxRibbonMenu;
class TadxRibbonControls;
class RibbonModule;

using TadxRibbonPropertyChanging = std::function<void(IadxRibbonComponent& sender,
                                                      TadxRibbonControlPropertyType property, RibbonValue& value,
                                                      RibbonContext context)>;
using TadxRibbonOnClick = std::function<void(TadxRibbonCustomControl& sender, RibbonControl* ribbonControl)>;
using TadxRibbonMenuCreate = std::function<void(TadxRibbonMenu& sender)>;

// What a click hands to DoAction.
struct TadxRibbonActionArguments {
  RibbonControl* control = nullptr;
  bool pressed = false;
  std::string selectedId;
  std::int32_t selectedIndex = 0;
  bool cancel = false;
  std::string text;
};

// What tabs and controls have in common, so that the markup writer and the
// callbacks treat them alike. Queries that do not apply to a tab answer
// empty, false, -1 or regular.
class IadxRibbonComponent {
 public:
  IadxRibbonComponent(const IadxRibbonComponent&) = delete;
  IadxRibbonComponent& operator=(const IadxRibbonComponent&) = delete;
  virtual ~IadxRibbonComponent() = default;

  RibbonModule& Module() const { return *module_; }

  // Markup (defined with the writer, ribbon_markup.cpp).
  virtual std::string GetElementName() const = 0;
  virtual AttributeList BuildAttributes(int contextIndex) const = 0;
  // The children, or nullptr for a kind without any.
  virtual TadxRibbonControls* GetChildControls() const = 0;
  virtual TadxRibbonControlType GetControlType() const = 0;

  const std::string& Id() const { return id_; }
  void SetId(std::string value);
  // A built-in control or tab to use instead of an own one.
  const std::string& IdMso() const { return idMso_; }
  void SetIdMso(std::string value);
  const std::string& InsertAfterIdMso() const { return insertAfterIdMso_; }
  const std::string& InsertAfterId() const { return insertAfterId_; }
  const std::string& InsertBeforeIdMso() const { return insertBeforeIdMso_; }
  const std::string& InsertBeforeId() const { return insertBeforeId_; }
  void SetInsertAfterIdMso(std::string value) { insertAfterIdMso_ = std::move(value); }
  void SetInsertAfterId(std::string value) { insertAfterId_ = std::move(value); }
  void SetInsertBeforeIdMso(std::string value) { insertBeforeIdMso_ = std::move(value); }
  void SetInsertBeforeId(std::string value) { insertBeforeId_ = std::move(value); }

  // Setting either set gives it to every child and keeps the Outlook
  // explorer's two bits equal.
  TadxRibbons Ribbons() const { return sets_.ribbons; }
  TadxRibbons2010 Ribbons2010() const { return sets_.ribbons2010; }
  void SetRibbons(TadxRibbons value);
  void SetRibbons2010(TadxRibbons2010 value);

  // Free for the application.
  std::int32_t Tag() const { return tag_; }
  void SetTag(std::int32_t value) { tag_ = value; }

  // Values Office fetches through callbacks. Setters store a changed value
  // and invalidate; the markup-only properties above just store.
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string value);
  const std::string& KeyTip() const { return keyTip_; }
  void SetKeyTip(std::string_view value);  // keeps the first three characters
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  virtual bool Enabled() const { return false; }
  virtual bool Pressed() const { return false; }
  virtual const RibbonGlyph& Glyph() const;
  virtual std::int32_t ImageIndex() const { return -1; }
  virtual const std::string& ImageMso() const;
  virtual const std::string& ScreenTip() const;
  virtual const std::string& SuperTip() const;
  virtual bool ShowCaption() const { return false; }
  virtual TadxRibbonXControlSize Size() const { return TadxRibbonXControlSize::csRegular; }
  virtual const std::string& Description() const;
  virtual const std::string& Title() const;

  // Per-query override of a value.
  TadxRibbonPropertyChanging OnPropertyChanging;
  // Raises OnPropertyChanging; what it throws goes to the error handler and
  // the value as it then stands is kept.
  void DoPropertyChanging(TadxRibbonControlPropertyType property, RibbonValue& value, RibbonContext context);
  // The component's action on a click; none for most kinds.
  virtual void DoAction(TadxRibbonActionArguments& arguments);

  // Asks Office to re-query this component, once it has its ribbon object.
  virtual void Invalidate() = 0;

 protected:
  IadxRibbonComponent(RibbonModule& module, RibbonSets sets) : module_(&module), sets_(sets) {}
  void Invalidated(bool changed) {
    if (changed) Invalidate();
  }
  static const std::string& EmptyText();

 private:
  void UpdateRegistryText();

  RibbonModule* module_;
  std::string id_;
  std::string idMso_;
  std::string insertAfterIdMso_;
  std::string insertAfterId_;
  std::string insertBeforeIdMso_;
  std::string insertBeforeId_;
  RibbonSets sets_;
  std::int32_t tag_ = 0;
  std::string caption_;
  std::string keyTip_;
  bool visible_ = true;
};

// An ordered, owning list of controls of one container, with its kinds and
// its limit fixed when it is made.
class TadxRibbonControls {
 public:
  TadxRibbonControls(const TadxRibbonControls&) = delete;
  TadxRibbonControls& operator=(const TadxRibbonControls&) = delete;
  ~TadxRibbonControls();

  std::size_t Count() const { return items_.size(); }
  TadxRibbonCustomControl& operator[](std::size_t index) const { return *items_.at(index); }

  // Whether this collection takes controls of the kind.
  bool Accepts(TadxRibbonControlType kind) const;
  // Adds a new control at the end. Throws OleSysError "There cannot be more
  // than N items in this control!" when full, std::invalid_argument for a
  // kind it does not take; the collection is then unchanged.
  TadxRibbonCustomControl& Add(TadxRibbonControlType kind);
  template <typename Control>
  Control& Add() {
    return static_cast<Control&>(Add(Control::kType));
  }
  // Destroys a control and everything below it.
  void Delete(std::size_t index);

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  // What a collection takes: a tab's groups, a split button's menus, or
  // any control but a group.
  enum class Takes { Groups, Menus, Controls };

 private:
  friend class TadxRibbonTab;
  friend class TadxRibbonCustomControl;
  TadxRibbonControls(IadxRibbonComponent& owner, Takes takes, std::size_t maxCount)
      : owner_(owner), takes_(takes), maxCount_(maxCount) {}

  IadxRibbonComponent& owner_;
  Takes takes_;
  std::size_t maxCount_;
  std::vector<std::unique_ptr<TadxRibbonCustomControl>> items_;
};

// The tab component: owned by the module, owns its groups.
class TadxRibbonTab final : public IadxRibbonComponent {
 public:
  static constexpr TadxRibbonControlType kType = TadxRibbonControlType::rctTab;

  // A new tab of `owner` with the default sets. Throws OleSysError "The
  // TadxRibbonTab class cannot be contained in the nil class." without one.
  static TadxRibbonTab& Create(RibbonModule* owner);
  ~TadxRibbonTab() override;

  std::string GetElementName() const override;
  AttributeList BuildAttributes(int contextIndex) const override;
  TadxRibbonControls* GetChildControls() const override { return controls_.get(); }
  TadxRibbonControlType GetControlType() const override { return kType; }

  // The groups, at most 100.
  TadxRibbonControls& Controls() const { return *controls_; }
  // The module's name for the component ("adxRibbonTab1").
  const std::string& Name() const { return name_; }
  void SetName(std::string value) { name_ = std::move(value); }
  // Non-empty: a contextual tab of that tab set.
  const std::string& Context() const { return context_; }
  void SetContext(std::string value);
  bool Shared() const { return shared_; }
  void SetShared(bool value) { shared_ = value; }
  RibbonImageList* Images() const { return images_; }
  void SetImages(RibbonImageList* images);

  void Invalidate() override;
  // Brings the tab to the front (Office 2010 and later); errors go to the
  // error handler.
  void Activate();

 private:
  friend class RibbonImageList;
  explicit TadxRibbonTab(RibbonModule& module);
  void ImagesGone();

  std::unique_ptr<TadxRibbonControls> controls_;
  std::string name_;
  std::string context_;
  bool shared_ = false;
  RibbonImageList* images_ = nullptr;
};

class TadxRibbonGroup;
class TadxRibbonButton;
class TadxRibbonSplitButton;
class TadxRibbonBox;
class TadxRibbonButtonGroup;

// Base of all controls. Kinds offer the properties that make sense for
// them; the rest keep their defaults.
class TadxRibbonCustomControl : public IadxRibbonComponent {
 public:
  ~TadxRibbonCustomControl() override;

  TadxRibbonControls* GetChildControls() const override { return children_.get(); }

  // The tab or control whose collection holds this control.
  IadxRibbonComponent& Parent() const { return parent_; }
  TadxRibbonControlType ParentType() const { return parent_.GetControlType(); }
  TadxRibbonTab& Tab() const { return *tab_; }

  // The control itself if it is of that kind, else nullptr.
  TadxRibbonGroup* AsRibbonGroup();
  TadxRibbonButton* AsRibbonButton();
  TadxRibbonSplitButton* AsRibbonSplitButton();
  TadxRibbonMenu* AsRibbonMenu();
  TadxRibbonBox* AsRibbonBox();
  TadxRibbonButtonGroup* AsRibbonButtonGroup();

  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool value);
  bool Pressed() const override { return pressed_; }
  void SetPressed(bool value);
  const RibbonGlyph& Glyph() const override { return glyph_; }
  void SetGlyph(RibbonGlyph value);
  std::int32_t ImageIndex() const override { return imageIndex_; }
  void SetImageIndex(std::int32_t value);
  const std::string& ImageMso() const override { return imageMso_; }
  void SetImageMso(std::string value);
  const std::string& ScreenTip() const override { return screenTip_; }
  void SetScreenTip(std::string value);
  const std::string& SuperTip() const override { return superTip_; }
  void SetSuperTip(std::string value);
  bool ShowCaption() const override { return showCaption_; }
  void SetShowCaption(bool value);
  TadxRibbonXControlSize Size() const override { return size_; }
  void SetSize(TadxRibbonXControlSize value);
  const std::string& Description() const override { return description_; }
  void SetDescription(std::string value);
  const std::string& Title() const override { return title_; }
  void SetTitle(std::string value);

  // Set while a click handler of this control runs.
  bool InUse() const { return inUse_; }

  void Invalidate() override;

 protected:
  explicit TadxRibbonCustomControl(IadxRibbonComponent& parent);

  void MakeChildren(TadxRibbonControls::Takes takes, std::size_t maxCount);
  // Stores the pressed state and runs the handler unless it runs already;
  // what it throws goes to the error handler.
  void Click(const TadxRibbonOnClick& handler, TadxRibbonActionArguments& arguments);

 private:
  IadxRibbonComponent& parent_;
  TadxRibbonTab* tab_;
  std::unique_ptr<TadxRibbonControls> children_;
  std::string description_;
  bool enabled_ = true;
  std::int32_t imageIndex_ = -1;
  std::string imageMso_;
  bool pressed_ = false;
  std::string screenTip_;
  bool showCaption_ = true;
  TadxRibbonXControlSize size_ = TadxRibbonXControlSize::csRegular;
  std::string superTip_;
  RibbonGlyph glyph_;
  std::string title_;
  bool inUse_ = false;
};

class TadxRibbonGroup final : public TadxRibbonCustomControl {
 public:
  static constexpr TadxRibbonControlType kType = TadxRibbonControlType::rctGroup;

  std::string GetElementName() const override;
  AttributeList BuildAttributes(int contextIndex) const override;
  TadxRibbonControlType GetControlType() const override { return kType; }
  TadxRibbonControls& Controls() const { return *GetChildControls(); }

  bool Shared() const { return shared_; }
  void SetShared(bool value) { shared_ = value; }
  // Office 2010 and later only; either one needs the 2009/07 namespace.
  bool AutoScale() const { return autoScale_; }
  void SetAutoScale(bool value) { autoScale_ = value; }
  bool CenterVertically() const { return centerVertically_; }
  void SetCenterVertically(bool value) { centerVertically_ = value; }

 private:
  friend class TadxRibbonControls;
  explicit TadxRibbonGroup(IadxRibbonComponent& parent);

  bool shared_ = false;
  bool autoScale_ = false;
  bool centerVertically_ = false;
};

class TadxRibbonButton final : public TadxRibbonCustomControl {
 public:
  static constexpr TadxRibbonControlType kType = TadxRibbonControlType::rctButton;

  std::string GetElementName() const override;
  AttributeList BuildAttributes(int contextIndex) const override;
  TadxRibbonControlType GetControlType() const override { return kType; }
  void DoAction(TadxRibbonActionArguments& arguments) override { Click(OnClick, arguments); }

  bool ToggleButton() const { return toggleButton_; }
  void SetToggleButton(bool value) { toggleButton_ = value; }
  // pxtControl writes a built-in button as a plain control reference.
  TadxParseMsoXmlTypeAs ParseMsoXmlTypeAs() const { return parseMsoXmlTypeAs_; }
  void SetParseMsoXmlTypeAs(TadxParseMsoXmlTypeAs value) { parseMsoXmlTypeAs_ = value; }

  TadxRibbonOnClick OnClick;

 private:
  friend class TadxRibbonControls;
  explicit TadxRibbonButton(IadxRibbonComponent& parent) : TadxRibbonCustomControl(parent) {}

  bool toggleButton_ = false;
  TadxParseMsoXmlTypeAs parseMsoXmlTypeAs_ = TadxParseMsoXmlTypeAs::pxtDefault;
};

class TadxRibbonSplitButton final : public TadxRibbonCustomControl {
 public:
  static constexpr TadxRibbonControlType kType = TadxRibbonControlType::rctSplitButton;

  std::string GetElementName() const override;
  AttributeList BuildAttributes(int contextIndex) const override;
  TadxRibbonControlType GetControlType() const override { return kType; }
  void DoAction(TadxRibbonActionArguments& arguments) override { Click(OnClick, arguments); }
  // Menus only, at most 10.
  TadxRibbonControls& Controls() const { return *GetChildControls(); }

  bool ToggleButton() const { return toggleButton_; }
  void SetToggleButton(bool value) { toggleButton_ = value; }
  // The element of its button part (markup: the id with "wrapped").
  std::string InnerButtonElementName() const;
  AttributeList BuildInnerButtonAttributes(int contextIndex) const;

  // Also re-queries the button part.
  void Invalidate() override;

  TadxRibbonOnClick OnClick;

 private:
  friend class TadxRibbonControls;
  explicit TadxRibbonSplitButton(IadxRibbonComponent& parent);

  bool toggleButton_ = false;
};

class TadxRibbonMenu final : public TadxRibbonCustomControl {
 public:
  static constexpr TadxRibbonControlType kType = TadxRibbonControlType::rctMenu;

  std::string GetElementName() const override;
  AttributeList BuildAttributes(int contextIndex) const override;
  TadxRibbonControlType GetControlType() const override { return kType; }
  TadxRibbonControls& Controls() const { return *GetChildControls(); }

  // A dynamic menu's entries are asked for when it opens.
  bool Dynamic() const { return dynamic_; }
  void SetDynamic(bool value) { dynamic_ = value; }
  TadxRibbonXItemSize ItemSize() const { return itemSize_; }
  void SetItemSize(TadxRibbonXItemSize value) { itemSize_ = value; }

  // Raised before the entries are written; may add entries.
  TadxRibbonMenuCreate OnCreate;
  // Raises OnCreate; what it throws goes to the error handler.
  void RaiseCreate();
  // A dynamic menu's entries as a "menu" element (defined with the writer).
  std::string GetDynamicContent();

 private:
  friend class TadxRibbonControls;
  explicit TadxRibbonMenu(IadxRibbonComponent& parent);

  bool dynamic_ = false;
  TadxRibbonXItemSize itemSize_ = TadxRibbonXItemSize::Normal;
};

class TadxRibbonBox final : public TadxRibbonCustomControl {
 public:
  static constexpr TadxRibbonControlType kType = TadxRibbonControlType::rctBox;

  std::string GetElementName() const override;
  AttributeList BuildAttributes(int contextIndex) const override;
  TadxRibbonControlType GetControlType() const override { return kType; }
  TadxRibbonControls& Controls() const { return *GetChildControls(); }

  TadxRibbonXBoxStyle BoxStyle() const { return boxStyle_; }
  void SetBoxStyle(TadxRibbonXBoxStyle value) { boxStyle_ = value; }
  bool Shared() const { return shared_; }
  void SetShared(bool value) { shared_ = value; }

 private:
  friend class TadxRibbonControls;
  explicit TadxRibbonBox(IadxRibbonComponent& parent);

  TadxRibbonXBoxStyle boxStyle_ = TadxRibbonXBoxStyle::bsHorizontal;
  bool shared_ = false;
};

class TadxRibbonButtonGroup final : public TadxRibbonCustomControl {
 public:
  static constexpr TadxRibbonControlType kType = TadxRibbonControlType::rctButtonGroup;

  std::string GetElementName() const override;
  AttributeList BuildAttributes(int contextIndex) const override;
  TadxRibbonControlType GetControlType() const override { return kType; }
  TadxRibbonControls& Controls() const { return *GetChildControls(); }

  bool Shared() const { return shared_; }
  void SetShared(bool value) { shared_ = value; }

 private:
  friend class TadxRibbonControls;
  explicit TadxRibbonButtonGroup(IadxRibbonComponent& parent);

  bool shared_ = false;
};

}  // namespace trovex::ribbon
