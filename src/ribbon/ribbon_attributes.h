// The attributes of one markup element, as each tab and control builds them.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trovex::ribbon {

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

 private:
  std::vector<Attribute> items_;
};

}  // namespace trovex::ribbon
