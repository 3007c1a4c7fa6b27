// The ribbon as a tree the module owns: one tab component, its groups, their
// controls and the controls inside containers; the sets that say in which
// Office ribbons each appears; the registry that leads from an Office
// control id back to its object; and Office's ribbon object, through which
// changed values are re-queried. Portable: the DLL implements RibbonUI and
// RibbonControl over IRibbonUI and IRibbonControl.
//
// Texts are UTF-8; lengths count code points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "office/office_host.h"

namespace trovex::ribbon {

using office::OfficeHostApp;

// Kind codes; a stored definition records them, so the numbers are fixed.
// Only group, box, button group, button, split button and menu are built
// here; the others keep their codes.
enum class TadxRibbonControlType : std::uint8_t {
  rctCommand = 0,
  rctTab = 1,
  rctQAT = 2,
  rctOfficeMenu = 3,
  rctGroup = 4,
  rctBox = 5,
  rctButtonGroup = 6,
  rctButton = 7,
  rctSplitButton = 8,
  rctLabel = 9,
  rctCheckBox = 10,
  rctEditBox = 11,
  rctComboBox = 12,
  rctDropDown = 13,
  rctGallery = 14,
  rctMenu = 15,
  rctSeparator = 16,
  rctMenuSeparator = 17,
  rctDialogBoxLauncher = 18,
  rctItem = 19,
  rctContextMenu = 20,
  rctBackstageView = 21,
  rctBackstageTab = 22,
  rctBackstageFastCommandButton = 23,
  rctBackstageTaskFormGroup = 24,
  rctBackstageTaskFormGroupCategory = 25,
  rctBackstageTaskFormGroupTask = 26,
  rctBackstageGroup = 27,
  rctBackstageTaskGroup = 28,
  rctBackstageTaskGroupCategory = 29,
  rctBackstageTaskGroupTask = 30,
  rctBackstagePrimaryMenu = 31,
  rctBackstageSubMenu = 32,
  rctBackstageMenuGroup = 33,
  rctBackstageMenuButton = 34,
  rctBackstageMenuCheckBox = 35,
  rctBackstageMenuToggleButton = 36,
  rctBackstageRegularButton = 37,
  rctBackstageCheckBox = 38,
  rctBackstageGroupButton = 39,
  rctBackstageEditBox = 40,
  rctBackstageComboBox = 41,
  rctBackstageDropDown = 42,
  rctBackstageRadioGroup = 43,
  rctBackstageHyperlink = 44,
  rctBackstageLabelControl = 45,
  rctBackstageImageControl = 46,
  rctBackstageGroupBox = 47,
  rctBackstageLayoutContainer = 48,
  rctBackstageItem = 49,
};

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
  // Bits beyond the enumeration are dropped.
  static constexpr RibbonSet FromBits(Bits bits) {
    RibbonSet s;
    s.bits_ = static_cast<Bits>(bits & kMask);
    return s;
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
  static constexpr Bits kMask = static_cast<Bits>((std::uint64_t{1} << kCount) - 1);
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

enum class TadxRibbonXControlSize : std::uint8_t { csRegular, csLarge };
enum class TadxRibbonXItemSize : std::uint8_t { Normal, Large };
enum class TadxRibbonXBoxStyle : std::uint8_t { bsHorizontal, bsVertical };
enum class TadxParseMsoXmlTypeAs : std::uint8_t { pxtDefault, pxtControl };

// The property a value query names, for OnPropertyChanging.
enum class TadxRibbonControlPropertyType : std::uint8_t {
  rcptVisible,
  rcptKeyTip,
  rcptCaption,
  rcptEnabled,
  rcptPressed,
  rcptGlyph,
  rcptScreenTip,
  rcptSuperTip,
  rcptShowCaption,
  rcptShowImage,
  rcptSize,
  rcptDescription,
  rcptText,
  rcptItemCount,
  rcptSelectedItemIndex,
  rcptSelectedItemID,
  rcptItemHeight,
  rcptItemWidth,
  rcptContent,
  rcptTitle,
  rcptItemID,
  rcptItemCaption,
  rcptItemScreenTip,
  rcptItemSuperTip,
  rcptItemGlyph,
  rcptShowItemImage,
  rcptTarget,
  rcptAltText,
  rcptHelperText,
  rcptGroupStyle,
};

// A key tip keeps at most three characters.
inline constexpr std::size_t kKeyTipMaxLength = 3;
std::string KeyTipText(std::string_view text);

// Collection limits.
inline constexpr std::size_t kMaxTabControls = 100;
inline constexpr std::size_t kMaxSplitButtonControls = 10;
inline constexpr std::size_t kMaxContainerControls = 1000;

// The framework's OLE system error; its code is 0 for the model's own.
class OleSysError : public std::runtime_error {
 public:
  explicit OleSysError(const std::string& message, std::int32_t code = 0)
      : std::runtime_error(message), code_(code) {}
  std::int32_t Code() const { return code_; }

 private:
  std::int32_t code_;
};

// An element's attributes in writing order. A name added again keeps its
// place and takes the new value; an empty value removes the name, so an
// empty property never yields an attribute.
class AttributeList {
 public:
  using Attribute = std::pair<std::string, std::string>;

  void Add(std::string_view name, std::string_view value);
  const std::vector<Attribute>& Items() const { return items_; }
  // The value, or nullptr when the name is absent.
  const std::string* Find(std::string_view name) const;
  std::vector<std::string> Names() const;

 private:
  std::vector<Attribute> items_;
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

// Office's IRibbonUI. Failures throw.
class RibbonUI {
 public:
  virtual ~RibbonUI() = default;
  virtual void Invalidate() = 0;
  virtual void InvalidateControl(const std::string& controlId) = 0;
  virtual void ActivateTab(const std::string& controlId) = 0;
};

// The querying window (IRibbonControl's Context, an IDispatch); borrowed
// for the call.
using RibbonContext = void*;

// Office's IRibbonControl of a click or query. Failures throw.
class RibbonControl {
 public:
  virtual ~RibbonControl() = default;
  virtual std::string Id() const = 0;
  virtual RibbonContext Context() const = 0;
};

// An Office object such as a picture or stream; released with its last
// reference.
using RibbonObject = std::shared_ptr<void>;
// A value on its way to Office, as OnPropertyChanging may change it.
using RibbonValue = std::variant<std::monostate, bool, std::int32_t, std::string, RibbonObject>;

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

  IadxRibbonComponent& Owner() const { return owner_; }
  std::size_t MaxCount() const { return maxCount_; }
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
