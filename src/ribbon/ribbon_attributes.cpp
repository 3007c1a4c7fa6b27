#include "ribbon/ribbon_attributes.h"

#include <algorithm>

namespace trovex::ribbon {

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

}  // namespace trovex::ribbon
