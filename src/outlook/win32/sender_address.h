// Which address stands for a mail's sender. Portable, so that the choice is
// tested without Outlook.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "support/utf8.h"

namespace trovex::outlook {

// PR_SENDER_SMTP_ADDRESS (PT_UNICODE), read through the mail's
// PropertyAccessor.
inline constexpr std::uint32_t PR_SENDER_SMTP_ADDRESS = 0x5D01001F;

// An Exchange sender ("EX") comes with an X.500 path as its address, which
// means nothing on disk or in a report; its SMTP address stands in for it
// when `smtpAddress` can tell one (nullopt or empty: it could not). Any
// other sender keeps `address`, and `smtpAddress` is not asked.
inline std::string EffectiveSenderAddress(std::string_view emailType, std::string address,
                                          const std::function<std::optional<std::string>()>& smtpAddress) {
  if (!EqualsIgnoreCase(emailType, "EX")) return address;
  std::optional<std::string> smtp = smtpAddress();
  if (!smtp || smtp->empty()) return address;
  return std::move(*smtp);
}

}  // namespace trovex::outlook
