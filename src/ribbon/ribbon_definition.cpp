#include "ribbon/ribbon_definition.h"

#include <fmt/format.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <vector>

namespace trovex::ribbon {
namespace {

using K = TadxRibbonControlType;

struct KindName {
  K kind;
  std::string_view className;
};
constexpr std::array<KindName, 7> kKindNames = {{
    {K::rctTab, "TadxRibbonTab"},
    {K::rctGroup, "TadxRibbonGroup"},
    {K::rctBox, "TadxRibbonBox"},
    {K::rctButtonGroup, "TadxRibbonButtonGroup"},
    {K::rctButton, "TadxRibbonButton"},
    {K::rctSplitButton, "TadxRibbonSplitButton"},
    {K::rctMenu, "TadxRibbonMenu"},
}};

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

constexpr std::uint64_t KindBit(K kind) { return std::uint64_t{1} << static_cast<int>(kind); }
constexpr std::uint64_t Kinds(std::initializer_list<K> kinds) {
  std::uint64_t mask = 0;
  for (K k : kinds) mask |= KindBit(k);
  return mask;
}

constexpr std::uint64_t kAll = Kinds({K::rctTab, K::rctGroup, K::rctBox, K::rctButtonGroup, K::rctButton,
                                      K::rctSplitButton, K::rctMenu});
constexpr std::uint64_t kCaptioned = Kinds({K::rctTab, K::rctGroup, K::rctButton, K::rctSplitButton, K::rctMenu});
constexpr std::uint64_t kImaged = Kinds({K::rctGroup, K::rctButton, K::rctSplitButton, K::rctMenu});
constexpr std::uint64_t kClickable = Kinds({K::rctButton, K::rctSplitButton});
constexpr std::uint64_t kCommands = Kinds({K::rctButton, K::rctSplitButton, K::rctMenu});
constexpr std::uint64_t kShareable = Kinds({K::rctTab, K::rctGroup, K::rctBox, K::rctButtonGroup});

class Loader;
using Apply = void (*)(Loader& loader, IadxRibbonComponent& c, std::string_view value);

struct Property {
  std::string_view name;
  std::uint64_t kinds;
  Apply apply;
};

TadxRibbonCustomControl& Control(IadxRibbonComponent& c) { return static_cast<TadxRibbonCustomControl&>(c); }

class Loader {
 public:
  Loader(RibbonModule& module, std::string_view text, const DefinitionBindings& bindings)
      : module_(module), bindings_(bindings) {
    std::size_t number = 0;
    while (!text.empty()) {
      const std::size_t end = text.find('\n');
      const std::string_view line = Trim(text.substr(0, end));
      ++number;
      if (!line.empty()) lines_.push_back({number, line});
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
  }

  void Load() {
    while (pos_ < lines_.size()) {
      const std::string_view line = Next();
      constexpr std::string_view kObject = "object ";
      if (!line.starts_with(kObject)) Fail("expected \"object <name>: TadxRibbonTab\"");
      const std::string_view rest = line.substr(kObject.size());
      const std::size_t colon = rest.find(':');
      if (colon == std::string_view::npos || Trim(rest.substr(colon + 1)) != "TadxRibbonTab") {
        Fail("only TadxRibbonTab objects can be stored");
      }
      TadxRibbonTab& tab = module_.AddTab();
      created_.push_back(&tab);
      tab.SetName(std::string(Trim(rest.substr(0, colon))));
      ReadBody(tab);
    }
  }

  [[noreturn]] void Fail(const std::string& message) const {
    throw DefinitionError(pos_ == 0 ? 0 : lines_[pos_ - 1].number, message);
  }

  std::string String(std::string_view value) const {
    if (value.size() < 2 || value.front() != '\'' || value.back() != '\'') Fail("expected a quoted text");
    std::string out;
    const std::string_view inner = value.substr(1, value.size() - 2);
    for (std::size_t i = 0; i < inner.size(); ++i) {
      if (inner[i] == '\'') {
        if (i + 1 >= inner.size() || inner[i + 1] != '\'') Fail("a quote inside a text must be doubled");
        ++i;
      }
      out += inner[i];
    }
    return out;
  }

  std::int32_t Integer(std::string_view value) const {
    std::int32_t result = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), result);
    if (ec != std::errc() || end != value.data() + value.size()) Fail("expected an integer");
    return result;
  }

  bool Boolean(std::string_view value) const {
    if (value == "True") return true;
    if (value == "False") return false;
    Fail("expected True or False");
  }

  template <typename Enum, std::size_t N>
  Enum Enumeration(std::string_view value, const std::array<std::string_view, N>& names) const {
    for (std::size_t i = 0; i < N; ++i) {
      if (names[i] == value) return static_cast<Enum>(i);
    }
    Fail(fmt::format("unknown value {}", value));
  }

  // Members that are not values of the enumeration are ignored.
  template <typename Set, typename Value, int kCount>
  Set Members(std::string_view value) const {
    if (value.size() < 2 || value.front() != '[' || value.back() != ']') Fail("expected a set in brackets");
    Set set;
    std::string_view rest = value.substr(1, value.size() - 2);
    while (!rest.empty()) {
      const std::size_t comma = rest.find(',');
      const std::string_view member = Trim(rest.substr(0, comma));
      for (int bit = 0; bit < kCount; ++bit) {
        if (NameOf(static_cast<Value>(bit)) == member) set.Include(static_cast<Value>(bit));
      }
      rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
    }
    return set;
  }

  const DefinitionBindings& Bindings() const { return bindings_; }
  const std::vector<TadxRibbonTab*>& Created() const { return created_; }

 private:
  struct Line {
    std::size_t number;
    std::string_view text;
  };

  std::string_view Next() {
    if (pos_ >= lines_.size()) {
      throw DefinitionError(lines_.empty() ? 0 : lines_.back().number, "unexpected end of the definition");
    }
    return lines_[pos_++].text;
  }

  // Properties, then optionally the children, then "end".
  void ReadBody(IadxRibbonComponent& component);
  void ReadChildren(IadxRibbonComponent& component, std::string_view kinds);
  std::vector<K> KindCodes(std::string_view blob) const;

  RibbonModule& module_;
  const DefinitionBindings& bindings_;
  std::vector<Line> lines_;
  std::size_t pos_ = 0;
  std::vector<TadxRibbonTab*> created_;
};

constexpr std::array<std::string_view, 2> kSizeNames = {"csRegular", "csLarge"};
constexpr std::array<std::string_view, 2> kItemSizeNames = {"Normal", "Large"};
constexpr std::array<std::string_view, 2> kBoxStyleNames = {"bsHorizontal", "bsVertical"};
constexpr std::array<std::string_view, 2> kParseAsNames = {"pxtDefault", "pxtControl"};

template <typename Kind>
Kind& As(IadxRibbonComponent& c) {
  return static_cast<Kind&>(c);
}

// What each kind publishes.
const Property kProperties[] = {
    {"Id", kAll, [](Loader& l, IadxRibbonComponent& c, std::string_view v) { c.SetId(l.String(v)); }},
    {"IdMso", kCaptioned, [](Loader& l, IadxRibbonComponent& c, std::string_view v) { c.SetIdMso(l.String(v)); }},
    {"InsertAfterIdMso", kAll,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { c.SetInsertAfterIdMso(l.String(v)); }},
    {"InsertAfterId", kAll,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { c.SetInsertAfterId(l.String(v)); }},
    {"InsertBeforeIdMso", kAll,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { c.SetInsertBeforeIdMso(l.String(v)); }},
    {"InsertBeforeId", kAll,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { c.SetInsertBeforeId(l.String(v)); }},
    {"Ribbons", kAll,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) {
       c.SetRibbons(l.Members<TadxRibbons, TadxRibbon, kRibbonCount>(v));
     }},
    {"Ribbons2010", kAll,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) {
       c.SetRibbons2010(l.Members<TadxRibbons2010, TadxRibbon2010, kRibbon2010Count>(v));
     }},
    {"Visible", kAll, [](Loader& l, IadxRibbonComponent& c, std::string_view v) { c.SetVisible(l.Boolean(v)); }},
    {"Tag", kAll, [](Loader& l, IadxRibbonComponent& c, std::string_view v) { c.SetTag(l.Integer(v)); }},
    {"Caption", kCaptioned,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { c.SetCaption(l.String(v)); }},
    {"KeyTip", kCaptioned, [](Loader& l, IadxRibbonComponent& c, std::string_view v) { c.SetKeyTip(l.String(v)); }},
    {"Shared", kShareable,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) {
       const bool shared = l.Boolean(v);
       switch (c.GetControlType()) {
         case K::rctTab:
           As<TadxRibbonTab>(c).SetShared(shared);
           break;
         case K::rctGroup:
           As<TadxRibbonGroup>(c).SetShared(shared);
           break;
         case K::rctBox:
           As<TadxRibbonBox>(c).SetShared(shared);
           break;
         default:
           As<TadxRibbonButtonGroup>(c).SetShared(shared);
       }
     }},
    {"Context", KindBit(K::rctTab),
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { As<TadxRibbonTab>(c).SetContext(l.String(v)); }},
    {"Images", KindBit(K::rctTab),
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) {
       if (!l.Bindings().imageList) return;
       RibbonImageList* images = l.Bindings().imageList(v);
       if (!images) l.Fail(fmt::format("no image list {}", v));
       As<TadxRibbonTab>(c).SetImages(images);
     }},
    {"ImageIndex", kImaged,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { Control(c).SetImageIndex(l.Integer(v)); }},
    {"ImageMso", kImaged,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { Control(c).SetImageMso(l.String(v)); }},
    {"ScreenTip", kImaged,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { Control(c).SetScreenTip(l.String(v)); }},
    {"SuperTip", kImaged,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { Control(c).SetSuperTip(l.String(v)); }},
    {"AutoScale", KindBit(K::rctGroup),
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { As<TadxRibbonGroup>(c).SetAutoScale(l.Boolean(v)); }},
    {"CenterVertically", KindBit(K::rctGroup),
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) {
       As<TadxRibbonGroup>(c).SetCenterVertically(l.Boolean(v));
     }},
    {"Description", kCommands,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { Control(c).SetDescription(l.String(v)); }},
    {"Enabled", kCommands,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { Control(c).SetEnabled(l.Boolean(v)); }},
    {"ShowCaption", kCommands,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { Control(c).SetShowCaption(l.Boolean(v)); }},
    {"Size", kCommands,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) {
       Control(c).SetSize(l.Enumeration<TadxRibbonXControlSize>(v, kSizeNames));
     }},
    {"Pressed", kClickable,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { Control(c).SetPressed(l.Boolean(v)); }},
    {"ToggleButton", kClickable,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) {
       if (c.GetControlType() == K::rctButton) {
         As<TadxRibbonButton>(c).SetToggleButton(l.Boolean(v));
       } else {
         As<TadxRibbonSplitButton>(c).SetToggleButton(l.Boolean(v));
       }
     }},
    {"OnClick", kClickable,
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) {
       if (!l.Bindings().clickHandler) return;
       TadxRibbonOnClick handler = l.Bindings().clickHandler(v);
       if (!handler) l.Fail(fmt::format("no click handler {}", v));
       if (c.GetControlType() == K::rctButton) {
         As<TadxRibbonButton>(c).OnClick = std::move(handler);
       } else {
         As<TadxRibbonSplitButton>(c).OnClick = std::move(handler);
       }
     }},
    {"ParseMsoXmlTypeAs", KindBit(K::rctButton),
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) {
       As<TadxRibbonButton>(c).SetParseMsoXmlTypeAs(l.Enumeration<TadxParseMsoXmlTypeAs>(v, kParseAsNames));
     }},
    {"Dynamic", KindBit(K::rctMenu),
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { As<TadxRibbonMenu>(c).SetDynamic(l.Boolean(v)); }},
    {"ItemSize", KindBit(K::rctMenu),
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) {
       As<TadxRibbonMenu>(c).SetItemSize(l.Enumeration<TadxRibbonXItemSize>(v, kItemSizeNames));
     }},
    {"Title", KindBit(K::rctMenu),
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) { Control(c).SetTitle(l.String(v)); }},
    {"OnCreate", KindBit(K::rctMenu),
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) {
       if (!l.Bindings().menuCreateHandler) return;
       TadxRibbonMenuCreate handler = l.Bindings().menuCreateHandler(v);
       if (!handler) l.Fail(fmt::format("no menu handler {}", v));
       As<TadxRibbonMenu>(c).OnCreate = std::move(handler);
     }},
    {"BoxStyle", KindBit(K::rctBox),
     [](Loader& l, IadxRibbonComponent& c, std::string_view v) {
       As<TadxRibbonBox>(c).SetBoxStyle(l.Enumeration<TadxRibbonXBoxStyle>(v, kBoxStyleNames));
     }},
};

void Loader::ReadBody(IadxRibbonComponent& component) {
  for (;;) {
    const std::string_view line = Next();
    if (line == "end") return;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) Fail(fmt::format("expected a property or \"end\": {}", line));
    const std::string_view name = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (name == "Controls") {
      ReadChildren(component, value);
      if (Next() != "end") Fail("more items than the recorded kind codes");
      return;
    }
    const std::string_view className = ClassNameOf(component.GetControlType());
    const Property* property = nullptr;
    for (const Property& p : kProperties) {
      if (p.name == name) property = &p;
    }
    if (!property || (property->kinds & KindBit(component.GetControlType())) == 0) {
      Fail(fmt::format("{} has no property {}", className, name));
    }
    property->apply(*this, component, value);
  }
}

void Loader::ReadChildren(IadxRibbonComponent& component, std::string_view kinds) {
  TadxRibbonControls* children = component.GetChildControls();
  if (!children) Fail(fmt::format("{} has no Controls", ClassNameOf(component.GetControlType())));
  const std::vector<K> codes = KindCodes(kinds);
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const std::string_view line = Next();
    constexpr std::string_view kItem = "item ";
    if (!line.starts_with(kItem)) {
      Fail(fmt::format("expected item {} of {} recorded kind codes", i + 1, codes.size()));
    }
    const std::string_view className = Trim(line.substr(kItem.size()));
    const std::string_view recorded = ClassNameOf(codes[i]);
    if (recorded.empty()) Fail(fmt::format("kind code {} is not built here", static_cast<int>(codes[i])));
    if (className != recorded) {
      Fail(fmt::format("item {} does not match its recorded kind code {} ({})", className,
                       static_cast<int>(codes[i]), recorded));
    }
    if (!children->Accepts(codes[i])) {
      Fail(fmt::format("{} cannot hold a {}", ClassNameOf(component.GetControlType()), className));
    }
    TadxRibbonCustomControl* child = nullptr;
    try {
      child = &children->Add(codes[i]);
    } catch (const OleSysError& e) {
      Fail(e.what());
    }
    ReadBody(*child);
  }
}

// A 32-bit count, then as many 32-bit codes, little-endian.
std::vector<K> Loader::KindCodes(std::string_view blob) const {
  if (blob.size() < 2 || blob.front() != '{' || blob.back() != '}') Fail("expected the kind codes in braces");
  std::vector<std::uint8_t> bytes;
  std::optional<int> high;
  for (char c : blob.substr(1, blob.size() - 2)) {
    if (c == ' ') continue;
    int digit = 0;
    if (std::from_chars(&c, &c + 1, digit, 16).ec != std::errc()) Fail("the kind codes are not hexadecimal");
    if (high) {
      bytes.push_back(static_cast<std::uint8_t>(*high * 16 + digit));
      high.reset();
    } else {
      high = digit;
    }
  }
  if (high || bytes.size() % 4 != 0 || bytes.empty()) Fail("the kind codes are not whole 32-bit numbers");
  std::vector<std::int64_t> numbers;
  for (std::size_t i = 0; i < bytes.size(); i += 4) {
    const std::uint32_t u = bytes[i] | (std::uint32_t{bytes[i + 1]} << 8) | (std::uint32_t{bytes[i + 2]} << 16) |
                            (std::uint32_t{bytes[i + 3]} << 24);
    numbers.push_back(static_cast<std::int32_t>(u));
  }
  if (numbers.front() != static_cast<std::int64_t>(numbers.size() - 1)) {
    Fail(fmt::format("{} kind codes recorded for a count of {}", numbers.size() - 1, numbers.front()));
  }
  std::vector<K> codes;
  for (std::size_t i = 1; i < numbers.size(); ++i) {
    if (numbers[i] < 0 || numbers[i] > static_cast<int>(K::rctBackstageItem)) {
      Fail(fmt::format("unknown kind code {}", numbers[i]));
    }
    codes.push_back(static_cast<K>(numbers[i]));
  }
  return codes;
}

}  // namespace

DefinitionError::DefinitionError(std::size_t line, const std::string& message)
    : std::runtime_error(fmt::format("ribbon definition, line {}: {}", line, message)), line_(line) {}

std::string_view ClassNameOf(TadxRibbonControlType kind) {
  for (const KindName& k : kKindNames) {
    if (k.kind == kind) return k.className;
  }
  return {};
}

void LoadRibbonDefinition(RibbonModule& module, std::string_view text, const DefinitionBindings& bindings) {
  Loader loader(module, text, bindings);
  module.SetLoadingDefinition(true);
  try {
    loader.Load();
  } catch (...) {
    module.SetLoadingDefinition(false);
    for (TadxRibbonTab* tab : loader.Created()) module.DeleteTab(*tab);
    throw;
  }
  module.SetLoadingDefinition(false);
}

}  // namespace trovex::ribbon
