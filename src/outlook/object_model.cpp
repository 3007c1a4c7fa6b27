#include "outlook/object_model.h"

#include <cctype>
#include <fmt/format.h>

namespace trovex::outlook {
namespace {
constexpr std::string_view kPropTagNamespace = "http://schemas.microsoft.com/mapi/proptag/";
}

std::string PropTagSchemaName(std::uint32_t tag) {
  return fmt::format("{}0x{:08X}", kPropTagNamespace, tag);
}

std::uint32_t PropTagFromSchemaName(const std::string& schemaName) {
  const std::string_view s(schemaName);
  const auto fail = [&] {
    return OutlookError(fmt::format("Die Eigenschaft \"{}\" ist unbekannt oder kann nicht gefunden werden.",
                                    schemaName));
  };
  if (s.size() != kPropTagNamespace.size() + 10 || !s.starts_with(kPropTagNamespace)) throw fail();
  const std::string_view hex = s.substr(kPropTagNamespace.size());
  if (hex[0] != '0' || (hex[1] != 'x' && hex[1] != 'X')) throw fail();
  std::uint32_t tag = 0;
  for (char c : hex.substr(2)) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) throw fail();
    const int digit = std::isdigit(static_cast<unsigned char>(c))
                          ? c - '0'
                          : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
    tag = tag << 4 | static_cast<std::uint32_t>(digit);
  }
  return tag;
}

}  // namespace trovex::outlook
