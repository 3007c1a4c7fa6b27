// Names and numbers that the add-in object's IDispatch answers beyond its
// own type library: one table of {name, DISPID, handler}. The handler type
// is the COM side's; lookup stays portable.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace trovex::office {

inline constexpr std::int32_t kDispIdUnknown = -1;  // DISPID_UNKNOWN

template <typename Handler>
class DispatchTable {
 public:
  struct Entry {
    std::string name;
    std::int32_t id;
    Handler handler;
  };

  DispatchTable() = default;
  DispatchTable(std::initializer_list<Entry> entries) {
    for (const Entry& e : entries) Add(e);
  }

  // A name or number twice would make one entry unreachable.
  void Add(Entry entry) {
    if (FindName(entry.name) || FindId(entry.id)) {
      throw std::logic_error("dispatch entry \"" + entry.name + "\" is not unique");
    }
    entries_.push_back(std::move(entry));
  }

  // Names compare exactly, with case: Office asks for them as written.
  const Entry* FindName(std::string_view name) const {
    for (const Entry& e : entries_) {
      if (e.name == name) return &e;
    }
    return nullptr;
  }
  const Entry* FindId(std::int32_t id) const {
    for (const Entry& e : entries_) {
      if (e.id == id) return &e;
    }
    return nullptr;
  }

  // GetIDsOfNames: the first name is the member, the others would be its
  // argument names, which the table does not know. False when the member
  // is unknown; every id is set in either case.
  bool Resolve(std::span<const std::string> names, std::span<std::int32_t> ids) const {
    for (std::int32_t& id : ids) id = kDispIdUnknown;
    const Entry* e = names.empty() || ids.empty() ? nullptr : FindName(names.front());
    if (e) ids.front() = e->id;
    return e != nullptr;
  }

 private:
  std::vector<Entry> entries_;
};

}  // namespace trovex::office
