#include "addin/win32/addin_module.h"

#include <windows.h>
#include <shellapi.h>

#include "support/win32/wide_string.h"

namespace trovex::addin::win32 {
namespace {

class ShellCommands final : public AddInCommands {
 public:
  explicit ShellCommands(TAddInModule& module) : module_(module) {}

  // The wizard, the update check and the information dialog come with
  // their own dialogs; until then a click does nothing.
  void StartExportWizard(std::unique_ptr<outlook::Explorer> /*explorer*/) override {}
  void CheckForUpdate() override {}
  void ShowInfo() override {}

  void OpenWebPage(const std::string& url) override {
    ::ShellExecuteW(nullptr, L"open", trovex::win32::WideFromUtf8(url).c_str(), nullptr, nullptr, SW_SHOW);
  }

 private:
  [[maybe_unused]] TAddInModule& module_;
};

}  // namespace

std::unique_ptr<AddInCommands> MakeAddInCommands(TAddInModule& module) {
  return std::make_unique<ShellCommands>(module);
}

}  // namespace trovex::addin::win32
