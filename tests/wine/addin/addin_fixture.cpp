#include "addin/addin_fixture.h"

#include "host/host_registry.h"

namespace trovex::wine_tests {

std::shared_ptr<const store::MailStore> EmptyStore() {
  auto s = std::make_shared<store::MailStore>();
  s->root.name = "Posteingang";
  return s;
}

void AddInTest::SetUp() {
  wine_host::RegisterOutlookApplication();
  ASSERT_TRUE(dll_.Loaded());
  ASSERT_EQ(S_OK, dll_.RegisterServer());
  addIn_ = CreateAddIn();
  ASSERT_TRUE(addIn_);
}

void AddInTest::TearDown() {
  for (const wine_host::ShownMessageBox& box : boxes_.Take()) ADD_FAILURE() << "a message box nobody expected: " << box;
}

HRESULT AddInTest::Connect(office::ext_ConnectMode mode, IDispatch* application) {
  return addIn_->OnConnection(application ? application : host_.Application(), mode, host_.AddInInstance(),
                              custom_.Get());
}

void AddInTest::StartUp(IDispatch* application) {
  EXPECT_EQ(S_OK, Connect(office::ext_cm_Startup, application));
  EXPECT_EQ(S_OK, addIn_->OnAddInsUpdate(custom_.Get()));
  EXPECT_EQ(S_OK, addIn_->OnStartupComplete(custom_.Get()));
}

void AddInTest::ShutDown() {
  EXPECT_EQ(S_OK, addIn_->OnBeginShutdown(custom_.Get()));
  EXPECT_EQ(S_OK, addIn_->OnDisconnection(office::ext_dm_HostShutdown, custom_.Get()));
}

}  // namespace trovex::wine_tests
