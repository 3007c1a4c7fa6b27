#include "support/registry_access.h"

#include <gtest/gtest.h>

#include <string_view>

namespace trovex {
namespace {

TEST(RegistryReadAccess, AddsTheViewFlagOnlyUnderWow64) {
  struct Case {
    std::string_view key;
    bool wow64;
    unsigned access;
  };
  const Case cases[] = {
      {"Software\\Quellmark Software\\MSO_Attachments", false, 0x20019},      // native process: no flag
      {"Software\\Wow6432Node\\Microsoft\\Office", false, 0x20019},           // even when the path names the view
      {"Software\\Quellmark Software\\MSO_Attachments", true, 0x20119},       // WOW64: the 64-bit view
      {"Software\\Wow6432Node\\Microsoft\\Office", true, 0x20219},            // the 32-bit view as named
      {"SOFTWARE\\WOW6432NODE", true, 0x20219},                               // upper case
      {"software\\wow6432node\\x", true, 0x20219},                            // lower case
      {"Software\\Classes\\Wow6432Node", true, 0x20219},                      // anywhere in the path
      {"Software\\Wow6432", true, 0x20119},                                   // a prefix of the name is not it
      {"Software\\Wow64 32Node", true, 0x20119},                              // nor a near miss
      {"", true, 0x20119},                                                    // the hive itself
  };
  for (const auto& c : cases) EXPECT_EQ(RegistryReadAccess(c.key, c.wow64), c.access) << c.key << " " << c.wow64;
}

}  // namespace
}  // namespace trovex
