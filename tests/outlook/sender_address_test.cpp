#include "outlook/win32/sender_address.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace trovex::outlook {
namespace {

TEST(EffectiveSenderAddress, ExchangeSendersGetTheirSmtpAddress) {
  const std::string x500 = "/O=EXCHANGELABS/OU=EXCHANGE ADMINISTRATIVE GROUP/CN=RECIPIENTS/CN=ANNA";
  struct Case {
    const char* type;
    std::string address;
    std::optional<std::string> smtp;  // what PR_SENDER_SMTP_ADDRESS tells
    std::string result;
    bool asked;  // whether the SMTP address is read at all
  };
  const Case cases[] = {
      {"EX", x500, "anna@example.com", "anna@example.com", true},  // the mend
      {"ex", x500, "anna@example.com", "anna@example.com", true},  // any case
      {"EX", x500, std::nullopt, x500, true},                      // property missing: keep the X.500 path
      {"EX", x500, "", x500, true},                                // empty: keep it too
      {"SMTP", "bob@example.com", "other@example.com", "bob@example.com", false},  // SMTP sender as it is
      {"", "", "x@example.com", "", false},                        // type unknown: nothing to mend
      {"EXCH", x500, "anna@example.com", x500, false},             // only "EX" itself
  };
  for (const auto& c : cases) {
    bool asked = false;
    const std::string result = EffectiveSenderAddress(c.type, c.address, [&] {
      asked = true;
      return c.smtp;
    });
    EXPECT_EQ(result, c.result) << c.type;
    EXPECT_EQ(asked, c.asked) << c.type;
  }
}

}  // namespace
}  // namespace trovex::outlook
