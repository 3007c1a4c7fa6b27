// The DLL's COM exports called directly on the module that COM loaded:
// the class factory lookup, and whether COM may unload the DLL.
#include <gtest/gtest.h>

#include "addin/addin_fixture.h"
#include "host/host_registry.h"
#include "host/outlook_host.h"

namespace trovex::wine_tests {
namespace {

using namespace trovex::wine_host;
using win32::ComPtr;

// {D3C1E0F2-5B6A-4C7D-8E9F-0A1B2C3D4E5F}: no class of ours.
constexpr CLSID kOtherClsid = {0xD3C1E0F2, 0x5B6A, 0x4C7D, {0x8E, 0x9F, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F}};

using ExportsTest = AddInTest;

TEST_F(ExportsTest, DllGetClassObjectServesOurClassOnly) {
  const struct {
    const char* what;
    const CLSID* clsid;
    const IID* iid;
    HRESULT hr;
  } cases[] = {
      // The factory, as COM asks for it.
      {"class factory", &kAddInClsid, &IID_IClassFactory, S_OK},
      {"IUnknown", &kAddInClsid, &IID_IUnknown, S_OK},
      // A factory is no dispatch object.
      {"IDispatch", &kAddInClsid, &IID_IDispatch, E_NOINTERFACE},
      // Another class: nothing, and the out pointer cleared.
      {"unknown class", &kOtherClsid, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
      {"unknown class, IUnknown", &kOtherClsid, &IID_IUnknown, CLASS_E_CLASSNOTAVAILABLE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    void* out = reinterpret_cast<void*>(0x1234);  // must be overwritten
    EXPECT_EQ(c.hr, dll_.GetClassObject(*c.clsid, *c.iid, &out));
    if (c.hr == S_OK) {
      ASSERT_NE(nullptr, out);
      static_cast<IUnknown*>(out)->Release();
    } else {
      EXPECT_EQ(nullptr, out);
    }
  }
}

TEST_F(ExportsTest, DllCanUnloadNowOnlyWhenNothingOfItIsHeld) {
  // COM loaded the very module whose export we call.
  EXPECT_EQ(dll_.Module(), ::GetModuleHandleW(AddInPath().c_str()));
  EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
  addIn_.Reset();
  EXPECT_EQ(S_OK, dll_.CanUnloadNow());

  // A held factory, and a locked one.
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(S_OK, dll_.GetClassObject(kAddInClsid, IID_IClassFactory, factory.PutVoid()));
  EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  factory.Reset();
  EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
  ASSERT_EQ(S_OK, dll_.GetClassObject(kAddInClsid, IID_IClassFactory, factory.PutVoid()));
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  factory.Reset();
  EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

TEST_F(ExportsTest, DllCanUnloadNowOnceOutlookLetGoOfTheAddIn) {
  addIn_.Reset();
  {
    auto s = std::make_shared<store::MailStore>();
    OutlookHost host(s);
    CustomArray custom;
    ComPtr<office::IDTExtensibility2> addIn = CreateAddIn();
    ASSERT_TRUE(addIn);
    ASSERT_EQ(S_OK, addIn->OnConnection(host.Application(), office::ext_cm_Startup, host.AddInInstance(), custom.Get()));
    EXPECT_EQ(S_OK, addIn->OnStartupComplete(custom.Get()));
    EXPECT_EQ(S_OK, addIn->OnBeginShutdown(custom.Get()));
    EXPECT_EQ(S_OK, addIn->OnDisconnection(office::ext_dm_HostShutdown, custom.Get()));
    addIn.Reset();
    // Outlook's add-in entry still holds the add-in object.
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
  }
  EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

}  // namespace
}  // namespace trovex::wine_tests
