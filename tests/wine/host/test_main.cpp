// The test program's entry: Outlook's user-interface thread is a
// single-threaded apartment with OLE initialised, so every test runs on one.
// After each test every object the Outlook host handed out must have been
// released.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ole2.h>

#include "host/host_object.h"

namespace {

class NoLeakedComReferences : public testing::EmptyTestEventListener {
  void OnTestEnd(const testing::TestInfo&) override {
    if (trovex::wine_host::LiveHostObjects() != 0)
      ADD_FAILURE() << "leaked COM references: " << trovex::wine_host::DescribeLiveHostObjects();
    trovex::wine_host::EndOfTestCleanup();
  }
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleMock(&argc, argv);
  if (FAILED(::OleInitialize(nullptr))) return 2;
  // Appended after the result printer, so it runs before the printer
  // reports the test (end events go in reverse order).
  testing::UnitTest::GetInstance()->listeners().Append(new NoLeakedComReferences);
  const int result = RUN_ALL_TESTS();
  ::OleUninitialize();
  return result;
}
