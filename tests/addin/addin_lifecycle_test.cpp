#include "addin/addin_lifecycle.h"

#include <gtest/gtest.h>

#include "addin/addin_fakes.h"

namespace trovex::addin {
namespace {

using testing::FakeModule;
using testing::MemoryRegistry;
using testing::RecordingMessageBoxes;
using Log = std::vector<std::string>;

constexpr int kStartup = 1;       // ext_cm_Startup
constexpr int kAfterStartup = 0;  // ext_cm_AfterStartup
constexpr int kHostShutdown = 0;  // ext_dm_HostShutdown
constexpr int kUserClosed = 1;    // ext_dm_UserClosed
constexpr std::string_view kAddInKey = "Software\\Microsoft\\Office\\Outlook\\AddIns\\QM_MSOAddIn.MSOAddIn";

class LifecycleTest : public ::testing::Test {
 protected:
  // Connects as Outlook does; every module event is logged by name.
  void Connect(int mode) {
    ConnectionSteps steps;
    steps.createModule = [this]() -> std::unique_ptr<ModuleCore> {
      log_.push_back("create module");
      FakeModule::Script script = script_;
      script.quit = &quit_;
      script.log = &log_;
      auto m = std::make_unique<FakeModule>(TrovexModuleDefinition(),
                                            ModuleContext{registry_, boxes_, "QM_MSOAddIn.MSOAddIn"}, script);
      const auto logged = [this](std::string name) { return [this, name](ModuleCore&) { log_.push_back(name); }; };
      m->OnAddInInitialize = logged("OnAddInInitialize");
      m->OnAddInStartupComplete = logged("OnAddInStartupComplete");
      m->OnAddInBeginShutdown = logged("OnAddInBeginShutdown");
      m->OnAddInFinalize = logged("OnAddInFinalize");
      if (configure_) configure_(*m);
      return m;
    };
    steps.publishAddIn = [this] { log_.push_back("publish add-in"); };
    lifecycle_.Connect(mode, steps);
  }
  Log TakeLog() { return std::exchange(log_, {}); }
  std::string StoredStartMode() {
    return registry_.ReadRegString(RegistryRoot::CurrentUser, kAddInKey, "ADXStartMode");
  }

  MemoryRegistry registry_;
  RecordingMessageBoxes boxes_;
  FakeModule::Script script_;
  std::function<void(ModuleCore&)> configure_;
  std::function<void()> quit_;
  Log log_;
  AddInLifecycle lifecycle_;
};

TEST_F(LifecycleTest, OutlookStartsAndEndsTheAddInTheSlowWay) {
  script_.host.version = "12.0.4518.1014";  // Outlook 2007: no fast shutdown
  Connect(kStartup);
  EXPECT_EQ(TakeLog(), (Log{"create module", "publish add-in"}));
  ASSERT_NE(lifecycle_.Module(), nullptr);
  EXPECT_EQ(lifecycle_.Module()->HostVersion(), "");  // not known before start-up completion

  lifecycle_.StartupComplete();
  EXPECT_EQ(TakeLog(), (Log{"recognize host", "OnAddInInitialize", "OnAddInStartupComplete"}));
  const ModuleCore& m = *lifecycle_.Module();
  EXPECT_EQ(m.HostType(), OfficeHostApp::Outlook);
  EXPECT_EQ(m.HostVersion(), "12.0.4518.1014");
  EXPECT_EQ(m.HostMajorVersion(), 12);
  EXPECT_TRUE(m.HostUsesRibbon());
  EXPECT_EQ(m.GetStartMode(), StartMode::FirstStart);
  EXPECT_EQ(m.RegistryKey(), kAddInKey);
  EXPECT_EQ(StoredStartMode(), "NORMAL");  // the first start is over

  lifecycle_.StartupComplete();  // once per module
  EXPECT_EQ(TakeLog(), Log{});

  lifecycle_.BeginShutdown();
  lifecycle_.Disconnect(kHostShutdown);
  EXPECT_EQ(TakeLog(), (Log{"OnAddInBeginShutdown", "OnAddInFinalize", "module freed"}));
  EXPECT_EQ(lifecycle_.Module(), nullptr);
  EXPECT_EQ(lifecycle_.ConnectionCount(), 0);
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(LifecycleTest, StoredStartModeIsReadAndOnlyTheFirstStartWritesIt) {
  struct Case {
    std::string stored;  // empty: none
    StartMode mode;
    std::string after;
  };
  const Case cases[] = {
      {"", StartMode::FirstStart, "NORMAL"},  // never started
      {"normal", StartMode::Normal, "normal"},   // any case, left as it is
      {"Kaputt", StartMode::Unknown, "Kaputt"},  // unknown text left as it is
      {"UNINSTALL", StartMode::Uninstall, "UNINSTALL"},  // left by an unregistration
  };
  for (const Case& c : cases) {
    registry_ = MemoryRegistry();
    if (!c.stored.empty()) registry_.Set(RegistryRoot::CurrentUser, kAddInKey, "ADXStartMode", c.stored);
    Connect(kStartup);
    lifecycle_.StartupComplete();
    EXPECT_EQ(lifecycle_.Module()->GetStartMode(), c.mode) << c.stored;
    EXPECT_EQ(StoredStartMode(), c.after) << c.stored;
    lifecycle_.Disconnect(kHostShutdown);
  }
}

TEST_F(LifecycleTest, ConnectedWhileOutlookRunsStartsWithinTheConnection) {
  Connect(kAfterStartup);
  EXPECT_EQ(TakeLog(), (Log{"create module", "recognize host", "OnAddInInitialize", "OnAddInStartupComplete",
                            "subscribe Quit", "publish add-in"}));
  lifecycle_.StartupComplete();  // Outlook does not call it then; if it did, nothing twice
  EXPECT_EQ(TakeLog(), Log{});
}

TEST_F(LifecycleTest, ASecondConnectionOnlyCounts) {
  Connect(kStartup);
  Connect(kStartup);
  EXPECT_EQ(lifecycle_.ConnectionCount(), 2);
  EXPECT_EQ(TakeLog(), (Log{"create module", "publish add-in"}));
  lifecycle_.StartupComplete();  // skipped while connected twice
  lifecycle_.BeginShutdown();    // likewise
  lifecycle_.Disconnect(kHostShutdown);
  EXPECT_EQ(TakeLog(), Log{});
  ASSERT_NE(lifecycle_.Module(), nullptr);
  lifecycle_.Disconnect(kHostShutdown);
  EXPECT_EQ(TakeLog(), (Log{"OnAddInFinalize", "module freed"}));
}

TEST_F(LifecycleTest, QuitUnderFastShutdownFreesTheModuleWithoutShutdownEvents) {
  Connect(kStartup);
  lifecycle_.StartupComplete();
  ASSERT_TRUE(quit_);
  TakeLog();

  quit_();
  EXPECT_EQ(TakeLog(), Log{"module freed"});
  EXPECT_EQ(lifecycle_.Module(), nullptr);
  // What a host still calls afterwards finds no module.
  EXPECT_NO_THROW(lifecycle_.BeginShutdown());
  EXPECT_NO_THROW(lifecycle_.Disconnect(kHostShutdown));
  EXPECT_EQ(TakeLog(), Log{});

  // A fresh connection gets a fresh module with all its events again.
  Connect(kStartup);
  lifecycle_.StartupComplete();
  lifecycle_.BeginShutdown();
  lifecycle_.Disconnect(kHostShutdown);
  EXPECT_EQ(TakeLog(),
            (Log{"create module", "publish add-in", "recognize host", "OnAddInInitialize", "OnAddInStartupComplete",
                 "subscribe Quit", "OnAddInBeginShutdown", "OnAddInFinalize", "module freed"}));
}

// A click handler's modal loop lets Outlook quit; the handler then returns
// into its module, which must still be there.
TEST_F(LifecycleTest, QuitDuringACallFreesTheModuleWhenTheCallReturns) {
  Connect(kStartup);
  lifecycle_.StartupComplete();
  TakeLog();
  {
    const AddInLifecycle::CallScope outer(lifecycle_);
    {
      const AddInLifecycle::CallScope nested(lifecycle_);
      quit_();
      EXPECT_EQ(lifecycle_.Module(), nullptr);  // later callbacks find none
    }
    EXPECT_EQ(TakeLog(), Log{});
  }
  EXPECT_EQ(TakeLog(), Log{"module freed"});
  // Without a call under way it goes at once, as before.
  Connect(kAfterStartup);
  TakeLog();
  lifecycle_.Disconnect(kUserClosed);
  EXPECT_EQ(TakeLog().back(), "module freed");
}

TEST_F(LifecycleTest, QuitIsOnlySubscribedUnderFastShutdown) {
  struct Case {
    std::string version;
    bool requireNotification;  // the add-in key asks for the slow way
    bool subscribed;
  };
  const Case cases[] = {
      {"16.0.0.0", false, true},   // Outlook 2016
      {"14.0.0.0", false, true},   // Outlook 2010, the first with fast shutdown
      {"13.0.0.0", false, false},  // before it
      {"16.0.0.0", true, false},   // the add-in key asks for notification
      {"16", false, false},        // no major version to be read: 9
  };
  for (const Case& c : cases) {
    registry_ = MemoryRegistry();
    if (c.requireNotification) registry_.Set(RegistryRoot::CurrentUser, kAddInKey, "RequireShutdownNotification", 1u);
    script_.host.version = c.version;
    quit_ = nullptr;
    Connect(kStartup);
    lifecycle_.StartupComplete();
    EXPECT_EQ(static_cast<bool>(quit_), c.subscribed) << c.version;
    lifecycle_.Disconnect(kHostShutdown);
  }
}

TEST_F(LifecycleTest, UnloadedByTheUserShutsDownAndDropsCommandBarKeys) {
  const std::string key(kAddInKey);
  registry_.Set(RegistryRoot::CurrentUser, key + "\\CommandBars\\Bar", "Visible", 1u);
  registry_.AddKey(RegistryRoot::CurrentUser, key + "\\Controls");
  registry_.AddKey(RegistryRoot::CurrentUser, key + "\\Other");
  Connect(kStartup);
  lifecycle_.StartupComplete();
  TakeLog();

  lifecycle_.Disconnect(kUserClosed);
  EXPECT_EQ(TakeLog(), (Log{"OnAddInBeginShutdown", "OnAddInFinalize", "module freed"}));
  EXPECT_FALSE(registry_.KeyExists(RegistryRoot::CurrentUser, key + "\\CommandBars"));
  EXPECT_FALSE(registry_.KeyExists(RegistryRoot::CurrentUser, key + "\\Controls"));
  EXPECT_TRUE(registry_.KeyExists(RegistryRoot::CurrentUser, key + "\\Other"));
  EXPECT_EQ(StoredStartMode(), "NORMAL");
}

TEST_F(LifecycleTest, EventErrorsAreShownAndTheNextStepRuns) {
  configure_ = [](ModuleCore& m) {
    m.OnAddInInitialize = [](ModuleCore&) { throw std::runtime_error("Init kaputt"); };
    m.OnAddInFinalize = [](ModuleCore&) { throw std::runtime_error("Ende kaputt"); };
  };
  Connect(kStartup);
  EXPECT_NO_THROW(lifecycle_.StartupComplete());
  EXPECT_EQ(TakeLog(),
            (Log{"create module", "publish add-in", "recognize host", "OnAddInStartupComplete", "subscribe Quit"}));
  EXPECT_EQ(StoredStartMode(), "NORMAL");
  EXPECT_NO_THROW(lifecycle_.Disconnect(kHostShutdown));
  ASSERT_EQ(boxes_.shown.size(), 2u);
  EXPECT_EQ(boxes_.shown[0].text, "Trovex (Quellmark) error: the add-in has fired an exception.\r\nInit kaputt");
  EXPECT_EQ(boxes_.shown[1].text, "Trovex (Quellmark) error: the add-in has fired an exception.\r\nEnde kaputt");
  EXPECT_EQ(lifecycle_.Module(), nullptr);
}

TEST_F(LifecycleTest, AHostThatIsNotRecognisedFailsTheStart) {
  struct Case {
    bool recognitionFails;
    OfficeHostApp host;
  };
  const Case cases[] = {
      {true, OfficeHostApp::Outlook},  // QueryInterface / Version failed
      {false, OfficeHostApp::Word},    // a host the module does not support
  };
  for (const Case& c : cases) {
    script_.recognitionFails = c.recognitionFails;
    script_.host.app = c.host;
    Connect(kStartup);
    EXPECT_THROW(lifecycle_.StartupComplete(), std::runtime_error);
    lifecycle_.Disconnect(kHostShutdown);
    // Connected from the add-in list, the failure fails the connection
    // before the add-in is published.
    TakeLog();
    EXPECT_THROW(Connect(kAfterStartup), std::runtime_error);
    EXPECT_EQ(TakeLog(), (Log{"create module", "recognize host"}));
    EXPECT_EQ(StoredStartMode(), "");
    lifecycle_.Disconnect(kHostShutdown);
    EXPECT_EQ(lifecycle_.Module(), nullptr);
    TakeLog();
  }
}

TEST_F(LifecycleTest, TheModuleGoesEvenWhenTheTeardownFails) {
  Connect(kStartup);
  lifecycle_.StartupComplete();
  TakeLog();
  registry_.broken = true;  // the command bar keys cannot be looked at
  EXPECT_THROW(lifecycle_.Disconnect(kUserClosed), RegistryError);
  EXPECT_EQ(TakeLog(), (Log{"OnAddInBeginShutdown", "module freed"}));
  EXPECT_EQ(lifecycle_.Module(), nullptr);
}

}  // namespace
}  // namespace trovex::addin
