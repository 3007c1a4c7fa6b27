// trovex-ribbon-markup RIBBON_ID HOST_MAJOR_VERSION
//
// Prints the customUI markup the add-in hands to Outlook for one ribbon,
// byte for byte (CR LF line ends, no final line break), so that it can be
// checked with any XML tool, e.g.
//   trovex-ribbon-markup Microsoft.Outlook.Explorer 16 > explorer.xml
//   xmllint --noout --schema customUI.libxml2.xsd explorer.xml
#include <charconv>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "addin/trovex_ribbon.h"
#include "ribbon/ribbon_markup.h"

int main(int argc, char** argv) {
  const std::string_view usage =
      "usage: trovex-ribbon-markup RIBBON_ID HOST_MAJOR_VERSION\n"
      "  e.g. trovex-ribbon-markup Microsoft.Outlook.Explorer 16\n";
  int version = 0;
  if (argc != 3) {
    std::fputs(usage.data(), stderr);
    return 2;
  }
  const std::string_view versionText = argv[2];
  const auto [end, ec] = std::from_chars(versionText.data(), versionText.data() + versionText.size(), version);
  if (ec != std::errc() || end != versionText.data() + versionText.size()) {
    std::fputs(usage.data(), stderr);
    return 2;
  }
  try {
    trovex::ribbon::RibbonModule module(trovex::addin::TrovexRibbonSettings());
    trovex::addin::LoadTrovexRibbon(module);
    const std::string markup = trovex::ribbon::GetCustomUI(module, argv[1], version);
    if (std::fwrite(markup.data(), 1, markup.size(), stdout) != markup.size() || std::fflush(stdout) != 0) return 1;
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "trovex-ribbon-markup: %s\n", e.what());
    return 1;
  }
}
