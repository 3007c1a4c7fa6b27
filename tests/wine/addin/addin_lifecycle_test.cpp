// The add-in created through COM and driven through IDTExtensibility2 as
// Outlook drives it, with the host standing in for Outlook: what it holds of
// Outlook while connected, when it lets go, and what it records in its
// add-in key.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "addin/addin_fixture.h"
#include "host/host_registry.h"
#include "host/outlook_host.h"
#include "support/win32/wide_string.h"

namespace trovex::wine_tests {
namespace {

using namespace trovex::wine_host;
using office::ext_cm_AfterStartup;
using office::ext_cm_Startup;
using office::ext_dm_HostShutdown;
using office::ext_dm_UserClosed;
using win32::ComPtr;

std::optional<std::wstring> StartMode() { return ReadString(HKEY_CURRENT_USER, kAddInKey, L"ADXStartMode"); }

long Count(const std::vector<std::string>& calls, const std::string& call) {
  return static_cast<long>(std::count(calls.begin(), calls.end(), call));
}

// The start mode and the shutdown overrides start out absent.
class LifecycleTest : public AddInTest {
 protected:
  void SetUp() override {
    ForgetStartAndShutdownSettings();
    AddInTest::SetUp();
  }
  void TearDown() override {
    ForgetStartAndShutdownSettings();
    AddInTest::TearDown();
  }
  static void ForgetStartAndShutdownSettings() {
    DeleteValue(HKEY_CURRENT_USER, kAddInKey, L"ADXStartMode");
    DeleteValue(HKEY_CURRENT_USER, kAddInKey, L"RequireShutdownNotification");
    DeleteTree(HKEY_CURRENT_USER, kShutdownKey);
  }
};

TEST_F(LifecycleTest, OutlooksOrderFromStartToShutdown) {
  EXPECT_EQ(S_OK, Connect(ext_cm_Startup));
  // Connected: it keeps Outlook's application and add-in entry, and hands
  // itself to the entry so other programs reach it.
  EXPECT_GT(host_.ReferencesHeld(), 0);
  const ComPtr<IDispatch> published = host_.AddInObject();
  ASSERT_TRUE(published);
  ComPtr<IUnknown> a;
  ComPtr<IUnknown> b;
  published->QueryInterface(IID_IUnknown, a.PutVoid());
  addIn_->QueryInterface(IID_IUnknown, b.PutVoid());
  EXPECT_EQ(a.Get(), b.Get());
  // The start-up work waits for OnStartupComplete.
  EXPECT_FALSE(StartMode());
  EXPECT_EQ(0, Count(host_.Calls(), "Application.Version"));

  // Outlook asks for the ribbon of its kinds of window before start-up
  // completes.
  ComPtr<office::IRibbonExtensibility> ribbon;
  ASSERT_EQ(S_OK, addIn_.As(office::IID_IRibbonExtensibility, ribbon));
  for (const wchar_t* window : {L"Microsoft.Outlook.Explorer", L"Microsoft.Outlook.Mail.Read"}) {
    BSTR markup = nullptr;
    EXPECT_EQ(S_OK, ribbon->GetCustomUI(win32::MakeBstr(window).Get(), &markup));
    ::SysFreeString(markup);
  }
  ribbon.Reset();

  EXPECT_EQ(S_OK, addIn_->OnAddInsUpdate(custom_.Get()));
  EXPECT_EQ(S_OK, addIn_->OnStartupComplete(custom_.Get()));
  // Recognised Outlook by its version; recorded the first start.
  EXPECT_EQ(1, Count(host_.Calls(), "Application.Version"));
  EXPECT_EQ(L"NORMAL", StartMode().value_or(L"<absent>"));

  ShutDown();
  EXPECT_EQ(0, host_.ReferencesHeld());
  EXPECT_EQ(0u, host_.AdvisedSinks());
}

TEST_F(LifecycleTest, ConnectionWhileRunningDoesTheStartupWorkInOnConnection) {
  // Left in the add-in key by an earlier session; an unload removes them.
  CreateKey(HKEY_CURRENT_USER, std::wstring(kAddInKey) + L"\\CommandBars");
  CreateKey(HKEY_CURRENT_USER, std::wstring(kAddInKey) + L"\\Controls");

  EXPECT_EQ(S_OK, Connect(ext_cm_AfterStartup));
  EXPECT_EQ(L"NORMAL", StartMode().value_or(L"<absent>"));
  EXPECT_EQ(1, Count(host_.Calls(), "Application.Version"));
  EXPECT_EQ(1u, host_.AdvisedSinks());  // Outlook 16: fast shutdown

  // The user unloads it from Outlook's add-in list.
  EXPECT_EQ(S_OK, addIn_->OnDisconnection(ext_dm_UserClosed, custom_.Get()));
  EXPECT_EQ(0, host_.ReferencesHeld());
  EXPECT_EQ(0u, host_.AdvisedSinks());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kAddInKey) + L"\\CommandBars"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::wstring(kAddInKey) + L"\\Controls"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kAddInKey));

  // Connected again later: a fresh start with its own start-up work.
  host_.ClearCalls();
  EXPECT_EQ(S_OK, Connect(ext_cm_AfterStartup));
  EXPECT_EQ(1, Count(host_.Calls(), "Application.Version"));
  EXPECT_EQ(S_OK, addIn_->OnDisconnection(ext_dm_UserClosed, custom_.Get()));
  EXPECT_EQ(0, host_.ReferencesHeld());
}

TEST_F(LifecycleTest, SecondConnectionOnlyCountsAndTheLastDisconnectionEnds) {
  StartUp();
  const long held = host_.ReferencesHeld();
  ASSERT_GT(held, 0);
  host_.ClearCalls();

  EXPECT_EQ(S_OK, Connect(ext_cm_AfterStartup));
  EXPECT_EQ(S_OK, addIn_->OnStartupComplete(custom_.Get()));
  // No second module, no second start-up work.
  EXPECT_EQ(held, host_.ReferencesHeld());
  EXPECT_EQ(std::vector<std::string>{}, host_.Calls());
  EXPECT_EQ(1u, host_.AdvisedSinks());

  EXPECT_EQ(S_OK, addIn_->OnDisconnection(ext_dm_HostShutdown, custom_.Get()));
  EXPECT_EQ(held, host_.ReferencesHeld());
  ShutDown();
  EXPECT_EQ(0, host_.ReferencesHeld());
  EXPECT_EQ(0u, host_.AdvisedSinks());
}

TEST_F(LifecycleTest, FastShutdownLetsGoOfOutlookAtQuit) {
  const struct {
    const char* outlook;
    const wchar_t* version;
    std::optional<DWORD> addinFastShutdownBehavior;  // under the version's Options\Shutdown
    std::optional<DWORD> requireShutdownNotification;  // in the add-in key
    bool fast;
  } cases[] = {
      // Outlook 2016 and later, and 2010: fast unless told otherwise.
      {"16 default", L"16.0.0.0", {}, {}, true},
      {"2010", L"14.0.7268.5000", {}, {}, true},
      // Outlook 2007 knows no fast shutdown.
      {"2007", L"12.0.6691.5000", {}, {}, false},
      // Either registry override asks for the slow way.
      {"16, AddinFastShutdownBehavior 1", L"16.0.0.0", 1, {}, false},
      {"16, AddinFastShutdownBehavior 0", L"16.0.0.0", 0, {}, true},
      {"16, RequireShutdownNotification 1", L"16.0.0.0", {}, 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.outlook);
    DeleteTree(HKEY_CURRENT_USER, kShutdownKey);
    DeleteValue(HKEY_CURRENT_USER, kAddInKey, L"RequireShutdownNotification");
    if (c.addinFastShutdownBehavior)
      WriteDword(HKEY_CURRENT_USER, kShutdownKey, L"AddinFastShutdownBehavior", *c.addinFastShutdownBehavior);
    if (c.requireShutdownNotification)
      WriteDword(HKEY_CURRENT_USER, kAddInKey, L"RequireShutdownNotification", *c.requireShutdownNotification);
    OutlookHost host(EmptyStore());
    host.SetVersion(c.version);
    ComPtr<office::IDTExtensibility2> addIn = CreateAddIn();
    ASSERT_TRUE(addIn);

    EXPECT_EQ(S_OK, addIn->OnConnection(host.Application(), ext_cm_Startup, host.AddInInstance(), custom_.Get()));
    EXPECT_EQ(S_OK, addIn->OnAddInsUpdate(custom_.Get()));
    EXPECT_EQ(S_OK, addIn->OnStartupComplete(custom_.Get()));
    EXPECT_EQ(c.fast ? 1u : 0u, host.AdvisedSinks());
    EXPECT_GT(host.ReferencesHeld(), 0);

    EXPECT_EQ(S_OK, host.FireQuit());
    if (c.fast) {
      // Outlook calls nothing more after Quit; the add-in must be done.
      EXPECT_EQ(0u, host.AdvisedSinks());
      EXPECT_EQ(0, host.ReferencesHeld());
    } else {
      EXPECT_GT(host.ReferencesHeld(), 0);
    }
    // Later calls (slow way, or a host that calls anyway) find nothing to do.
    EXPECT_EQ(S_OK, addIn->OnBeginShutdown(custom_.Get()));
    EXPECT_EQ(S_OK, addIn->OnDisconnection(ext_dm_HostShutdown, custom_.Get()));
    EXPECT_EQ(0u, host.AdvisedSinks());
    EXPECT_EQ(0, host.ReferencesHeld());
  }
}

TEST_F(LifecycleTest, StartModeTextsInAnyCase) {
  const struct {
    const wchar_t* stored;  // ADXStartMode before the start, or absent
    const wchar_t* after;
  } cases[] = {
      // First start ever: recorded as NORMAL.
      {nullptr, L"NORMAL"},
      // Normal in any case is normal and left as written.
      {L"normal", L"normal"},
      {L"NORMAL", L"NORMAL"},
      {L"Normal", L"Normal"},
      // A first start written out, in any case, is one.
      {L"FIRSTSTART", L"NORMAL"},
      {L"firststart", L"NORMAL"},
      // Texts it does not know are left alone, UNINSTALL included.
      {L"Unbekannt", L"Unbekannt"},
      {L"UNINSTALL", L"UNINSTALL"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored ? win32::Utf8FromWide(c.stored) : "absent");
    DeleteValue(HKEY_CURRENT_USER, kAddInKey, L"ADXStartMode");
    if (c.stored) WriteString(HKEY_CURRENT_USER, kAddInKey, L"ADXStartMode", c.stored);
    StartUp();
    EXPECT_EQ(c.after, StartMode().value_or(L"<absent>"));
    ShutDown();
  }
  EXPECT_EQ(0, host_.ReferencesHeld());
}

}  // namespace
}  // namespace trovex::wine_tests
