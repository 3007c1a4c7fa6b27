#include "support/registry_access.h"

#include <gtest/gtest.h>

#include <string_view>

namespace trovex {
namespace {

using Op = RegistryOperation;
using Rule = RegistryViewRule;

TEST(RegistryAccess, ByPathAddsTheViewFlagOnlyUnderWow64) {
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
  for (const auto& c : cases)
    EXPECT_EQ(RegistryAccess(Op::Read, c.key, c.wow64, Rule::ByPath), c.access) << c.key << " " << c.wow64;
}

// A check and the write or delete after it must see the same key: every
// operation of a rule takes the view its reads take.
TEST(RegistryAccess, EveryOperationTakesTheViewOfTheRead) {
  struct Case {
    std::string_view key;
    bool wow64;
    Rule rule;
    unsigned read, write, remove;
  };
  const Case cases[] = {
      {"Software\\Quellmark Software\\MSO_Attachments", true, Rule::ByPath, 0x20119, 0x20106, 0x100},
      {"Software\\Wow6432Node\\Quellmark", true, Rule::ByPath, 0x20219, 0x20206, 0x200},
      {"Software\\Quellmark Software\\MSO_Attachments", false, Rule::ByPath, 0x20019, 0x20006, 0},
      // The add-in's own keys: the process's view, whatever the path says.
      {"CLSID\\{00000000-0000-0000-0000-000000000000}", true, Rule::Own, 0x20019, 0x20006, 0},
      {"Software\\Wow6432Node\\Microsoft\\Office", true, Rule::Own, 0x20019, 0x20006, 0},
      {"Software\\Microsoft\\Office\\Outlook\\AddIns\\QM_MSOAddIn.MSOAddIn", false, Rule::Own, 0x20019, 0x20006, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.key << " wow64=" << c.wow64);
    EXPECT_EQ(RegistryAccess(Op::Read, c.key, c.wow64, c.rule), c.read);
    EXPECT_EQ(RegistryAccess(Op::Write, c.key, c.wow64, c.rule), c.write);
    EXPECT_EQ(RegistryAccess(Op::Delete, c.key, c.wow64, c.rule), c.remove);
  }
}

}  // namespace
}  // namespace trovex
