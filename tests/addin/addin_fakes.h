// Fakes for the add-in's portable logic: a message-box recorder and a
// module whose COM hooks are scripted (the registry is testing/memory_registry.h).
#pragma once

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "addin/addin_module.h"
#include "support/registry.h"
#include "testing/memory_registry.h"

namespace trovex::addin::testing {

using trovex::testing::MemoryRegistry;

struct ShownBox {
  std::string text;
  std::string caption;
  MessageKind kind;
  MessageButtons buttons;
};

class RecordingMessageBoxes final : public MessageBoxes {
 public:
  std::vector<ShownBox> shown;
  int ShowMessageBox(const std::string& text, const std::string& caption, MessageKind kind,
                     MessageButtons buttons) override {
    shown.push_back({text, caption, kind, buttons});
    return kResultOk;
  }
};

// A module whose host answers as scripted; every hook call is logged.
class FakeModule final : public ModuleCore {
 public:
  struct Script {
    HostIdentity host = {OfficeHostApp::Outlook, "16.0.0.0"};
    bool recognitionFails = false;
    std::function<void()>* quit = nullptr;  // receives the Quit callback
    std::vector<std::string>* log = nullptr;
  };

  FakeModule(ModuleDefinition definition, ModuleContext context, Script script)
      : ModuleCore(std::move(definition), std::move(context)), script_(std::move(script)) {}
  ~FakeModule() override { Log("module freed"); }

  HostIdentity RecognizeHost() override {
    Log("recognize host");
    if (script_.recognitionFails) throw std::runtime_error("QueryInterface failed");
    return script_.host;
  }
  void SubscribeQuit(std::function<void()> onQuit) override {
    Log("subscribe Quit");
    if (script_.quit) *script_.quit = std::move(onQuit);
  }

 private:
  void Log(const std::string& line) {
    if (script_.log) script_.log->push_back(line);
  }
  Script script_;
};

}  // namespace trovex::addin::testing
