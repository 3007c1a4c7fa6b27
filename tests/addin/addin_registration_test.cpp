#include "addin/addin_registration.h"

#include <gtest/gtest.h>

#include "addin/addin_fakes.h"

namespace trovex::addin {
namespace {

using testing::FakeModule;
using testing::MemoryRegistry;
using testing::RecordingMessageBoxes;

constexpr std::string_view kDll = "C:\\Program Files\\Quellmark\\Trovex\\trovex_addin.dll";
constexpr std::string_view kClassKey = "CLSID\\{582D82BA-D79B-4685-A03B-6F653FF4B70B}";
constexpr std::string_view kAddInKey = "Software\\Microsoft\\Office\\Outlook\\AddIns\\QM_MSOAddIn.MSOAddIn";

ServerIdentity Identity() {
  return {"{582D82BA-D79B-4685-A03B-6F653FF4B70B}", "QM_MSOAddIn.MSOAddIn", "MSOAddIn Object",
          "{94422668-4718-46EB-A43B-D0D915378289}", "1.0"};
}

// The keys a machine-wide registration leaves, for Outlook installed.
const std::string kClassKeys =
    "HKCR\\CLSID:\n"
    "HKCR\\CLSID\\{582D82BA-D79B-4685-A03B-6F653FF4B70B}: @=\"MSOAddIn Object\"\n"
    "HKCR\\CLSID\\{582D82BA-D79B-4685-A03B-6F653FF4B70B}\\InprocServer32: "
    "@=\"C:\\Program Files\\Quellmark\\Trovex\\trovex_addin.dll\" ThreadingModel=\"Apartment\"\n"
    "HKCR\\CLSID\\{582D82BA-D79B-4685-A03B-6F653FF4B70B}\\ProgID: @=\"QM_MSOAddIn.MSOAddIn\"\n"
    "HKCR\\CLSID\\{582D82BA-D79B-4685-A03B-6F653FF4B70B}\\TypeLib: @=\"{94422668-4718-46EB-A43B-D0D915378289}\"\n"
    "HKCR\\CLSID\\{582D82BA-D79B-4685-A03B-6F653FF4B70B}\\Version: @=\"1.0\"\n"
    "HKCR\\QM_MSOAddIn.MSOAddIn: @=\"MSOAddIn Object\"\n"
    "HKCR\\QM_MSOAddIn.MSOAddIn\\Clsid: @=\"{582D82BA-D79B-4685-A03B-6F653FF4B70B}\"\n";
const std::string kAddInKeys =
    "HKCU\\Software:\n"
    "HKCU\\Software\\Microsoft:\n"
    "HKCU\\Software\\Microsoft\\Office:\n"
    "HKCU\\Software\\Microsoft\\Office\\Outlook:\n"
    "HKCU\\Software\\Microsoft\\Office\\Outlook\\AddIns:\n"
    "HKCU\\Software\\Microsoft\\Office\\Outlook\\AddIns\\QM_MSOAddIn.MSOAddIn: CommandLineSafe=dword:0 "
    "Description=\"Automatisierte Ablage von Anhängen in vordefinierte Ordnerstrukturen\" "
    "FriendlyName=\"Trovex (Quellmark)\" LoadBehavior=dword:3\n";

class FakeCom final : public ComRegistrar {
 public:
  bool machineAllowed = true;
  bool userAllowed = true;
  bool outlookProgId = true;
  std::vector<std::string> log;

  bool RegisterTypeLibrary(std::string_view modulePath, std::string_view helpDir, RegistrationScope scope) override {
    const bool ok = scope == RegistrationScope::Machine ? machineAllowed : userAllowed;
    log.push_back(std::string(scope == RegistrationScope::Machine ? "register machine " : "register user ") +
                  std::string(modulePath) + " | " + std::string(helpDir) + (ok ? "" : " (refused)"));
    return ok;
  }
  void UnregisterTypeLibrary(RegistrationScope scope) override {
    log.push_back(scope == RegistrationScope::Machine ? "unregister machine" : "unregister user");
  }
  bool ProgIdHasClass(std::string_view progId) override { return progId == "Outlook.Application" && outlookProgId; }
};

class RegistrationTest : public ::testing::Test {
 protected:
  ServerRegistration Server() {
    ServerRegistration s;
    s.identity = Identity();
    s.modulePath = std::string(kDll);
    s.createModule = [this]() -> std::unique_ptr<ModuleCore> {
      ++modulesCreated_;
      auto m = std::make_unique<FakeModule>(definition_, ModuleContext{registry_, boxes_, "QM_MSOAddIn.MSOAddIn"},
                                            FakeModule::Script{});
      if (configure_) configure_(*m);
      return m;
    };
    return s;
  }
  RegistrationScope Register() { return RegisterServer(registry_, com_, Server()); }
  void Unregister() { UnregisterServer(registry_, com_, Server()); }

  MemoryRegistry registry_;
  FakeCom com_;
  RecordingMessageBoxes boxes_;
  ModuleDefinition definition_ = TrovexModuleDefinition();
  std::function<void(ModuleCore&)> configure_;
  int modulesCreated_ = 0;
};

TEST_F(RegistrationTest, WritesTheClassKeysTheTypeLibraryAndTheAddInKey) {
  EXPECT_EQ(Register(), RegistrationScope::Machine);
  EXPECT_EQ(registry_.Dump(), kAddInKeys + kClassKeys);
  EXPECT_EQ(com_.log,
            std::vector<std::string>{"register machine C:\\Program Files\\Quellmark\\Trovex\\trovex_addin.dll | "
                                     "C:\\Program Files\\Quellmark\\Trovex\\"});
  EXPECT_EQ(modulesCreated_, 2);  // one to check the definition, one for the hosts
  // The add-in key's values go in this order, after all class keys.
  const std::vector<std::string> tail(registry_.log.end() - 4, registry_.log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "write HKCU\\" + std::string(kAddInKey) + "\\FriendlyName=\"Trovex (Quellmark)\"",
                      "write HKCU\\" + std::string(kAddInKey) +
                          "\\Description=\"Automatisierte Ablage von Anhängen in vordefinierte Ordnerstrukturen\"",
                      "write HKCU\\" + std::string(kAddInKey) + "\\LoadBehavior=dword:3",
                      "write HKCU\\" + std::string(kAddInKey) + "\\CommandLineSafe=dword:0",
                  }));
}

TEST_F(RegistrationTest, RegisteringTwiceLeavesOneSetOfKeys) {
  Register();
  const std::string once = registry_.Dump();
  Register();
  EXPECT_EQ(registry_.Dump(), once);
}

TEST_F(RegistrationTest, OnlyAnInstalledOutlookGetsAnAddInKey) {
  struct Case {
    bool progId;
    RegistryRoot root;
    std::string_view seededKey;
    bool installed;
  };
  const Case cases[] = {
      {true, RegistryRoot::LocalMachine, "", true},    // ProgID resolves
      {false, RegistryRoot::LocalMachine, "", false},  // nothing at all
      // Click-to-Run Office 2010 and 2013
      {false, RegistryRoot::LocalMachine, "Software\\Microsoft\\Office\\14.0\\Common\\InstallRoot\\Virtual", true},
      {false, RegistryRoot::LocalMachine, "Software\\Microsoft\\Office\\15.0\\Common\\InstallRoot\\Virtual", true},
      // other versions do not count
      {false, RegistryRoot::LocalMachine, "Software\\Microsoft\\Office\\16.0\\Common\\InstallRoot\\Virtual", false},
      // the install root without "Virtual"
      {false, RegistryRoot::LocalMachine, "Software\\Microsoft\\Office\\15.0\\Common\\InstallRoot", false},
      // the right key in the wrong hive
      {false, RegistryRoot::CurrentUser, "Software\\Microsoft\\Office\\15.0\\Common\\InstallRoot\\Virtual", false},
  };
  for (const Case& c : cases) {
    MemoryRegistry registry;
    FakeCom com;
    com.outlookProgId = c.progId;
    if (!c.seededKey.empty()) registry.AddKey(c.root, c.seededKey);
    EXPECT_EQ(HostInstalled(registry, com, OfficeHostApp::Outlook), c.installed) << c.seededKey;
    RegisterServer(registry, com, Server());
    EXPECT_EQ(registry.KeyExists(RegistryRoot::CurrentUser, kAddInKey), c.installed) << c.seededKey;
    EXPECT_TRUE(registry.KeyExists(RegistryRoot::ClassesRoot, kClassKey));  // class keys in any case
  }
  // Hosts this build does not serve are never installed.
  EXPECT_FALSE(HostInstalled(registry_, com_, OfficeHostApp::Excel));
}

TEST_F(RegistrationTest, WithoutAdministratorRightsTheClassesGoToTheUser) {
  struct Case {
    bool machineTypeLibrary;  // RegisterTypeLib allowed
    bool classesRoot;         // HKEY_CLASSES_ROOT writable
    RegistrationScope scope;
    std::vector<std::string> typeLibraryCalls;
  };
  const std::string args =
      " C:\\Program Files\\Quellmark\\Trovex\\trovex_addin.dll | C:\\Program Files\\Quellmark\\Trovex\\";
  const Case cases[] = {
      // administrator: all machine-wide
      {true, true, RegistrationScope::Machine, {"register machine" + args}},
      // plain user: both refused
      {false, false, RegistrationScope::User, {"register machine" + args + " (refused)", "register user" + args}},
      // type library machine-wide, classes refused: the library follows the classes
      {true, false, RegistrationScope::User, {"register machine" + args, "register user" + args}},
      // type library refused, classes allowed: the classes follow the library
      {false, true, RegistrationScope::User, {"register machine" + args + " (refused)", "register user" + args}},
  };
  for (const Case& c : cases) {
    MemoryRegistry registry;
    FakeCom com;
    com.machineAllowed = c.machineTypeLibrary;
    if (!c.classesRoot) registry.readOnlyRoots = {RegistryRoot::ClassesRoot};
    EXPECT_EQ(RegisterServer(registry, com, Server()), c.scope);
    EXPECT_EQ(com.log, c.typeLibraryCalls);
    if (c.scope == RegistrationScope::User) {
      std::string expected = kClassKeys;
      // The same keys, below the user's classes.
      for (std::size_t p = 0; (p = expected.find("HKCR\\", p)) != std::string::npos;) {
        expected.replace(p, 5, "HKCU\\Software\\Classes\\");
      }
      EXPECT_EQ(registry.Dump({RegistryRoot::ClassesRoot}), "");
      const std::string user = registry.Dump({RegistryRoot::CurrentUser});
      EXPECT_NE(user.find(expected), std::string::npos) << user;
    } else {
      EXPECT_EQ(registry.Dump({RegistryRoot::ClassesRoot}), kClassKeys);
    }
    EXPECT_TRUE(registry.KeyExists(RegistryRoot::CurrentUser, kAddInKey));
  }
}

TEST_F(RegistrationTest, FailuresStopTheRegistrationAndKeepWhatWasWritten) {
  {  // no way to register the type library at all: nothing is written
    MemoryRegistry registry;
    FakeCom com;
    com.machineAllowed = com.userAllowed = false;
    EXPECT_THROW(RegisterServer(registry, com, Server()), std::runtime_error);
    EXPECT_EQ(registry.Dump(), "");
  }
  {  // a later class key fails
    MemoryRegistry registry;
    registry.refuseWrite = [](RegistryRoot, const std::string& key, const std::string&) {
      return key.ends_with("\\ProgID");
    };
    try {
      RegisterServer(registry, com_, Server());
      ADD_FAILURE() << "no error";
    } catch (const RegistryError& e) {
      EXPECT_STREQ(e.what(), "Fehler beim Erstellen eines Eintrages in der Systemregistrierung");
    }
    EXPECT_TRUE(registry.KeyExists(RegistryRoot::ClassesRoot, "QM_MSOAddIn.MSOAddIn\\Clsid"));  // written before
    EXPECT_FALSE(registry.KeyExists(RegistryRoot::CurrentUser, "Software\\Classes"));           // no fallback midway
    EXPECT_FALSE(registry.KeyExists(RegistryRoot::CurrentUser, kAddInKey));
  }
  {  // a value of the add-in key fails after the key was opened
    MemoryRegistry registry;
    registry.refuseWrite = [](RegistryRoot, const std::string&, const std::string& name) {
      return name == "LoadBehavior";
    };
    EXPECT_THROW(RegisterServer(registry, com_, Server()), RegistryError);
    EXPECT_EQ(registry.ReadRegString(RegistryRoot::CurrentUser, kAddInKey, "Description"),
              "Automatisierte Ablage von Anhängen in vordefinierte Ordnerstrukturen");
  }
  {  // the add-in key cannot be opened: its values are skipped silently
    MemoryRegistry registry;
    registry.readOnlyRoots = {RegistryRoot::CurrentUser};
    EXPECT_EQ(RegisterServer(registry, com_, Server()), RegistrationScope::Machine);
    EXPECT_EQ(registry.Dump(), kClassKeys);
  }
}

TEST_F(RegistrationTest, InvalidModuleDefinitionFailsBeforeAnyClassKey) {
  definition_.addInName.clear();
  try {
    Register();
    ADD_FAILURE() << "no error";
  } catch (const AddInError& e) {
    EXPECT_EQ(e.Code(), 31101);
    EXPECT_STREQ(e.what(), "The AddInName property cannot be empty.");
  }
  EXPECT_EQ(registry_.Dump(), "");
}

TEST_F(RegistrationTest, PerMachineAddInKeyWhenRegisteredForAllUsers) {
  definition_.registerForAllUsers = true;
  Register();
  EXPECT_TRUE(registry_.KeyExists(RegistryRoot::LocalMachine, kAddInKey));
  EXPECT_FALSE(registry_.KeyExists(RegistryRoot::CurrentUser, kAddInKey));
  registry_.AddKey(RegistryRoot::CurrentUser, kAddInKey);  // left from a start
  Unregister();
  EXPECT_FALSE(registry_.KeyExists(RegistryRoot::LocalMachine, kAddInKey));
  EXPECT_FALSE(registry_.KeyExists(RegistryRoot::CurrentUser, kAddInKey));
}

TEST_F(RegistrationTest, RegistrationEventsSeeTheAddInKeyAndTheirErrorsAreShown) {
  std::vector<std::string> seen;
  configure_ = [&](ModuleCore& m) {
    m.OnAfterAddinRegister = [&](ModuleCore& sender) {
      seen.push_back("after register at " + sender.RegistryKey());
      sender.GetRegistry().WriteRegString(sender.RegistryKeyRoot(), sender.RegistryKey(), "Extra", "x");
      throw std::runtime_error("registered badly");
    };
    m.OnBeforeAddinUnregister = [&](ModuleCore& sender) {
      seen.push_back("before unregister, Extra=" +
                     sender.GetRegistry().ReadRegString(sender.RegistryKeyRoot(), sender.RegistryKey(), "Extra"));
    };
  };
  EXPECT_NO_THROW(Register());
  EXPECT_EQ(registry_.ReadRegString(RegistryRoot::CurrentUser, kAddInKey, "Extra"), "x");
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "Trovex (Quellmark) error: the add-in has fired an exception.\r\nregistered badly");
  Unregister();
  EXPECT_EQ(seen,
            (std::vector<std::string>{"after register at " + std::string(kAddInKey), "before unregister, Extra=x"}));
}

TEST_F(RegistrationTest, UnregisteringMarksTheAddInKeyThenRemovesEverything) {
  Register();
  registry_.Set(RegistryRoot::CurrentUser, std::string(kAddInKey) + "\\CommandBars\\Bar", "Visible", 1u);
  registry_.log.clear();
  com_.log.clear();
  Unregister();

  EXPECT_EQ(com_.log, (std::vector<std::string>{"unregister machine", "unregister user"}));
  const std::string cls = "HKCR\\" + std::string(kClassKey);
  EXPECT_EQ(registry_.log, (std::vector<std::string>{
                               "write HKCU\\" + std::string(kAddInKey) + "\\ADXStartMode=\"UNINSTALL\"",
                               "write HKCU\\" + std::string(kAddInKey) + "\\LoadBehavior=dword:0",
                               "delete HKCU\\" + std::string(kAddInKey),
                               "delete " + cls + "\\TypeLib",
                               "delete " + cls + "\\Version",
                               "delete " + cls + "\\ProgID",
                               "delete HKCR\\QM_MSOAddIn.MSOAddIn\\Clsid",
                               "delete HKCR\\QM_MSOAddIn.MSOAddIn",
                               "delete " + cls + "\\InprocServer32",
                               "delete " + cls,
                           }));
  // Only the shared parents remain.
  EXPECT_EQ(registry_.Dump(),
            "HKCU\\Software:\n"
            "HKCU\\Software\\Microsoft:\n"
            "HKCU\\Software\\Microsoft\\Office:\n"
            "HKCU\\Software\\Microsoft\\Office\\Outlook:\n"
            "HKCU\\Software\\Microsoft\\Office\\Outlook\\AddIns:\n"
            "HKCR\\CLSID:\n");
}

TEST_F(RegistrationTest, UnregisteringRemovesUserAndMachineClassesWhicheverExist) {
  // Keys in both places: the user's from a registration without
  // administrator rights, the machine's from one with them.
  registry_.readOnlyRoots = {RegistryRoot::ClassesRoot};
  ASSERT_EQ(Register(), RegistrationScope::User);
  registry_.readOnlyRoots.clear();
  for (const RegistryEntry& e : ClassEntries(Identity(), kDll, RegistrationScope::Machine)) {
    registry_.Set(e.root, e.key, e.name, std::get<std::string>(e.value));
  }
  registry_.mergedClassesRoot = true;
  Unregister();
  const std::string left = registry_.Dump();
  EXPECT_EQ(left.find("582D82BA"), std::string::npos) << left;
  EXPECT_EQ(left.find("QM_MSOAddIn"), std::string::npos) << left;

  // Machine-wide keys that cannot be deleted are no failure.
  Register();
  registry_.readOnlyRoots = {RegistryRoot::ClassesRoot};
  EXPECT_NO_THROW(Unregister());
  EXPECT_TRUE(registry_.KeyExists(RegistryRoot::ClassesRoot, kClassKey));
}

TEST_F(RegistrationTest, AFailureWhileMarkingKeepsTheKeys) {
  Register();
  registry_.refuseWrite = [](RegistryRoot, const std::string&, const std::string& name) {
    return name == "ADXStartMode";
  };
  try {
    Unregister();
    ADD_FAILURE() << "no error";
  } catch (const AddInError& e) {
    EXPECT_EQ(e.Code(), 31103);
    EXPECT_STREQ(e.what(), "Can't unregister add-in controls.");
  }
  EXPECT_TRUE(registry_.KeyExists(RegistryRoot::CurrentUser, kAddInKey));
  EXPECT_TRUE(registry_.KeyExists(RegistryRoot::ClassesRoot, kClassKey));
  EXPECT_EQ(registry_.ReadRegDword(RegistryRoot::CurrentUser, kAddInKey, "LoadBehavior"), 3u);
}

TEST(FolderOf, KeepsTheTrailingSeparator) {
  EXPECT_EQ(FolderOf("C:\\Program Files\\Trovex\\trovex_addin.dll"), "C:\\Program Files\\Trovex\\");
  EXPECT_EQ(FolderOf("\\\\server\\share\\a.dll"), "\\\\server\\share\\");
  EXPECT_EQ(FolderOf("a.dll"), "");
}

}  // namespace
}  // namespace trovex::addin
