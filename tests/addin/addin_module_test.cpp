#include "addin/addin_module.h"

#include <gtest/gtest.h>

#include "addin/addin_fakes.h"

namespace trovex::addin {
namespace {

using testing::FakeModule;
using testing::MemoryRegistry;
using testing::RecordingMessageBoxes;

constexpr std::string_view kAddInKey = "Software\\Microsoft\\Office\\Outlook\\AddIns\\QM_MSOAddIn.MSOAddIn";

TEST(StartMode, StoredTextsCompareWithoutCase) {
  struct Case {
    std::optional<std::string> stored;
    StartMode mode;
  };
  const Case cases[] = {
      {std::nullopt, StartMode::FirstStart},  // never started
      {"NORMAL", StartMode::Normal},          // as written
      {"normal", StartMode::Normal},          // any case
      {"Uninstall", StartMode::Uninstall},    // during unregistration
      {"FIRSTSTART", StartMode::FirstStart},  // written by hand
      {"", StartMode::Unknown},               // present but empty
      {" NORMAL", StartMode::Unknown},        // no trimming
      {"NORMALE", StartMode::Unknown},        // whole text only
  };
  for (const Case& c : cases) EXPECT_EQ(ParseStartMode(c.stored), c.mode) << c.stored.value_or("(absent)");
}

TEST(HostMajorVersion, LeadingIntegerOrNine) {
  struct Case {
    std::string_view version;
    int major;
  };
  const Case cases[] = {
      {"16.0.0.0", 16},        // Outlook 2016 and later
      {"14.0.7015.1000", 14},  // a full build number
      {"12,0", 12},            // a comma when there is no point
      {"11.5,3", 11},          // the point wins
      {"15,0.1", 9},           // before the point: "15,0" is no integer
      {"16", 9},               // neither separator
      {"", 9},                 // no version text
      {".5", 9},               // nothing before it
      {"x.0", 9},              // not a number
      {"16 .0", 9},            // no trimming
      {"99999999999.0", 9},    // out of range
      {"+16.0", 16},           // a sign is allowed
  };
  for (const Case& c : cases) EXPECT_EQ(ParseHostMajorVersion(c.version), c.major) << c.version;
}

TEST(OutlookShutdownBehavior, FastFromOutlook2010UnlessARegistryOverride) {
  struct Case {
    OfficeHostApp host;
    int major;
    bool allUsers;
    RegistryRoot root;  // where the override is seeded
    std::string key;    // empty: none
    std::string name;
    std::variant<std::string, std::uint32_t> value;
    OutlookShutdownBehavior expected;
  };
  const std::string shutdown16 = "Software\\Microsoft\\Office\\16.0\\Outlook\\Options\\Shutdown";
  const std::string key(kAddInKey);
  constexpr auto kUser = RegistryRoot::CurrentUser;
  constexpr auto kMachine = RegistryRoot::LocalMachine;
  constexpr auto kSlow = OutlookShutdownBehavior::Slow;
  constexpr auto kFast = OutlookShutdownBehavior::Fast;
  const Case cases[] = {
      {OfficeHostApp::Outlook, 13, false, kUser, "", "", 0u, kSlow},  // Outlook 2010 is 14
      {OfficeHostApp::Outlook, 14, false, kUser, "", "", 0u, kFast},  // Outlook 2010, no override
      {OfficeHostApp::Word, 16, false, kUser, "", "", 0u, kSlow},     // only Outlook
      {OfficeHostApp::Outlook, 16, false, kUser, shutdown16, "AddinFastShutdownBehavior", 1u,
       kSlow},  // Outlook's own override
      {OfficeHostApp::Outlook, 16, false, kUser, shutdown16, "AddinFastShutdownBehavior", 0u, kFast},   // override off
      {OfficeHostApp::Outlook, 16, false, kUser, shutdown16, "AddinFastShutdownBehavior", 2u, kFast},   // only 1
      {OfficeHostApp::Outlook, 16, false, kUser, shutdown16, "AddinFastShutdownBehavior", "1", kFast},  // not a DWORD
      {OfficeHostApp::Outlook, 15, false, kUser, shutdown16, "AddinFastShutdownBehavior", 1u, kFast},   // other version
      {OfficeHostApp::Outlook, 16, false, kMachine, shutdown16, "AddinFastShutdownBehavior", 1u, kFast},  // user's only
      {OfficeHostApp::Outlook, 16, false, kUser, key, "RequireShutdownNotification", 1u, kSlow},          // add-in asks
      {OfficeHostApp::Outlook, 16, false, kMachine, key, "RequireShutdownNotification", 1u, kFast},  // per-user add-in
      {OfficeHostApp::Outlook, 16, true, kMachine, key, "RequireShutdownNotification", 1u, kSlow},   // all users
      {OfficeHostApp::Outlook, 16, true, kUser, key, "RequireShutdownNotification", 1u, kFast},      // wrong hive
  };
  for (const Case& c : cases) {
    MemoryRegistry registry;
    if (!c.key.empty()) registry.Set(c.root, c.key, c.name, c.value);
    EXPECT_EQ(DecideOutlookShutdownBehavior(registry, c.host, c.major, c.allUsers, kAddInKey), c.expected)
        << c.major << " " << c.name << " " << c.key;
  }
}

TEST(ModuleDefinition, NameAndHostsMayNotBeEmpty) {
  EXPECT_NO_THROW(ValidateDefinition(TrovexModuleDefinition()));
  struct Case {
    void (*change)(ModuleDefinition&);
    const char* message;
  };
  const Case cases[] = {
      {[](ModuleDefinition& d) { d.addInName.clear(); }, "The AddInName property cannot be empty."},
      {[](ModuleDefinition& d) { d.supportedApps.clear(); }, "The SupportedApps property cannot be empty."},
  };
  MemoryRegistry registry;
  RecordingMessageBoxes boxes;
  for (const Case& c : cases) {
    ModuleDefinition d = TrovexModuleDefinition();
    c.change(d);
    try {
      FakeModule module(d, {registry, boxes, "QM_MSOAddIn.MSOAddIn"}, {});
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const AddInError& e) {
      EXPECT_EQ(e.Code(), 31101);
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

class ErrorHandlerTest : public ::testing::Test {
 protected:
  MemoryRegistry registry_;
  RecordingMessageBoxes boxes_;
  FakeModule module_{TrovexModuleDefinition(), {registry_, boxes_, "QM_MSOAddIn.MSOAddIn"}, {}};
};

TEST_F(ErrorHandlerTest, ShowsTheFrameworkErrorBoxWithTheAddInName) {
  module_.RaiseEvent([](ModuleCore&) { throw std::runtime_error("Die Datei ist gesperrt."); });
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text,
            "Trovex (Quellmark) error: the add-in has fired an exception.\r\nDie Datei ist gesperrt.");
  EXPECT_EQ(boxes_.shown[0].caption, "Fehler");
  EXPECT_EQ(boxes_.shown[0].kind, MessageKind::Error);
  EXPECT_EQ(boxes_.shown[0].buttons, MessageButtons{MessageButton::OK});

  module_.RaiseEvent(nullptr);                        // unassigned: nothing happens
  module_.RaiseEvent([](ModuleCore&) { throw 42; });  // not even an exception class
  ASSERT_EQ(boxes_.shown.size(), 2u);
  EXPECT_NE(boxes_.shown[1].text.find("unknown exception"), std::string::npos);
}

TEST_F(ErrorHandlerTest, OnErrorDecidesWhetherTheBoxFollows) {
  std::vector<std::string> seen;
  bool handle = true;
  module_.OnError = [&](ModuleCore& sender, const std::exception& e, bool& handled) {
    EXPECT_EQ(&sender, &module_);
    EXPECT_FALSE(handled);  // starts false
    seen.push_back(e.what());
    handled = handle;
  };
  module_.HandleError(std::runtime_error("first"));
  EXPECT_TRUE(boxes_.shown.empty());
  handle = false;
  module_.HandleError(std::runtime_error("second"));
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "second"}));
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_NE(boxes_.shown[0].text.find("second"), std::string::npos);

  module_.OnError = [](ModuleCore&, const std::exception&, bool&) { throw std::logic_error("handler broke"); };
  EXPECT_NO_THROW(module_.HandleError(std::runtime_error("third")));
}

}  // namespace
}  // namespace trovex::addin
