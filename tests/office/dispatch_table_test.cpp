// The table an add-in object's IDispatch answers from beyond its type
// library: exact names, one number per member, argument names unknown.
#include "office/dispatch_table.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace trovex::office {
namespace {

TEST(DispatchTable, FirstNameExactlyOthersUnknown) {
  const DispatchTable<int> table = {{"GetLabel_Callback", 14, 0}, {"OnActionCommon_Callback", 50, 1}};
  struct Case {
    std::vector<std::string> names;
    bool known;
    std::vector<std::int32_t> ids;
  };
  const Case cases[] = {
      {{"GetLabel_Callback"}, true, {14}},
      {{"OnActionCommon_Callback", "control"}, true, {50, -1}},  // argument names stay unknown
      {{"getlabel_callback"}, false, {-1}},                      // case matters
      {{"getLabel"}, false, {-1}},                               // the markup attribute, not the callback
      {{"Missing", "GetLabel_Callback"}, false, {-1, -1}},       // only the first name is the member
  };
  for (const Case& c : cases) {
    std::vector<std::int32_t> ids(c.names.size(), 7);
    EXPECT_EQ(table.Resolve(c.names, ids), c.known) << c.names.front();
    EXPECT_EQ(ids, c.ids) << c.names.front();
  }
  ASSERT_NE(table.FindId(50), nullptr);
  EXPECT_EQ(table.FindId(50)->handler, 1);
  EXPECT_EQ(table.FindId(15), nullptr);

  DispatchTable<int> growing = table;
  EXPECT_THROW(growing.Add({"GetLabel_Callback", 99, 2}), std::logic_error);  // name taken
  EXPECT_THROW(growing.Add({"Other", 14, 2}), std::logic_error);              // number taken
}

}  // namespace
}  // namespace trovex::office
