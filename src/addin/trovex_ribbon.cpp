#include "addin/trovex_ribbon.h"

#include <string>

#include "addin/addin_module.h"

namespace trovex::addin {
namespace {

constexpr std::string_view kTrovexDefinition = R"(
object adxRibbonTab1: TadxRibbonTab
  Id = 'quellmark.adxRibbonTab'
  Caption = 'Quellmark'
  Shared = True
  Images = VirtualImageList1
  Ribbons = [msrOutlookExplorer]
  Ribbons2010 = [msrOutlookExplorer2010]
  Controls = {01000000 04000000}
  item TadxRibbonGroup
    Id = 'quellmark.adxRibbonGroup_Attachments'
    Caption = 'Anänge exportieren'
    ImageIndex = 1
    ScreenTip = 'AddIn von Quellmark Software'
    Ribbons = [msrOutlookExplorer]
    Ribbons2010 = [msrOutlookExplorer2010]
    Controls = {03000000 07000000 08000000 05000000}
    item TadxRibbonButton
      Id = 'adxRibbonButtonFCD171CE9B1140C386870F12A933A26F'
      Caption = 'Start'
      Tag = 10
      ImageIndex = 0
      Size = csLarge
      ScreenTip = 'Starten Sie den Export der Anhänge'
      SuperTip = 'Markieren Sie den Outlook Ordner, der untersucht werden soll.'
      Ribbons = [msrOutlookExplorer]
      Ribbons2010 = [msrOutlookExplorer2010]
      OnClick = adxRibbonTab1Controls0Controls0Click
    end
    item TadxRibbonSplitButton
      Id = 'adxRibbonSplitButtonDA36AF6BA30B4CF4AF424D9546E51877'
      Caption = 'Hilfe'
      Ribbons = [msrOutlookExplorer]
      Ribbons2010 = [msrOutlookExplorer2010]
      Controls = {01000000 0F000000}
      item TadxRibbonMenu
        Id = 'adxRibbonMenu6C8F3FAC69C742E5B4F6960FC9D1C6A9'
        Caption = 'adxRibbonMenu1'
        Ribbons = [msrOutlookExplorer]
        Ribbons2010 = [msrOutlookExplorer2010]
        Controls = {03000000 07000000 07000000 07000000}
        item TadxRibbonButton
          Id = 'adxRibbonButton40C99688264F45929A79C4387A4B5348'
          Caption = 'Hilfe'
          ImageIndex = 3
          ScreenTip = 'Online Hilfe aufrufen'
          Ribbons = [msrOutlookExplorer]
          Ribbons2010 = [msrOutlookExplorer2010]
          OnClick = adxRibbonTab1Controls0Controls1Controls0Controls0Click
        end
        item TadxRibbonButton
          Id = 'adxRibbonButtonF7C3B59B07074FA8AB7A3396F9099954'
          Caption = 'Webseite'
          ImageIndex = 1
          Size = csLarge
          ScreenTip = 'Webseite zum AddIn'
          Ribbons = [msrOutlookExplorer]
          Ribbons2010 = [msrOutlookExplorer2010]
          OnClick = adxRibbonTab1Controls0Controls1Click
        end
        item TadxRibbonButton
          Id = 'adxRibbonButton5A10DB9AFA994F01A0ABFF09DEEBD71A'
          Caption = 'Nach Update suchen'
          Ribbons = [msrOutlookExplorer]
          Ribbons2010 = [msrOutlookExplorer2010]
          OnClick = adxRibbonTab1Controls0Controls1Controls0Controls3Click
        end
      end
    end
    item TadxRibbonBox
      Id = 'adxRibbonBoxA37B555010B44880BABB78EFBF4FDDE1'
      Ribbons = [msrOutlookExplorer]
      Ribbons2010 = [msrOutlookExplorer2010]
      Controls = {01000000 06000000}
      item TadxRibbonButtonGroup
        Id = 'adxRibbonButtonGroupA5274470BB154254999C37644D48C16B'
        Ribbons = [msrOutlookExplorer]
        Ribbons2010 = [msrOutlookExplorer2010]
        Controls = {01000000 07000000}
        item TadxRibbonButton
          Id = 'adxRibbonButton8C002586902849D5A55E19DFA3AFD49E'
          Caption = 'Info'
          ImageIndex = 2
          ScreenTip = 'Über das AddIn'
          Ribbons = [msrOutlookExplorer]
          Ribbons2010 = [msrOutlookExplorer2010]
          OnClick = adxRibbonTab1Controls0Controls2Controls0Controls0Click
        end
      end
    end
  end
end
)";

}  // namespace

std::string_view TrovexRibbonDefinition() { return kTrovexDefinition; }

ribbon::RibbonModuleSettings TrovexRibbonSettings(std::string_view addInProgId) {
  const ModuleDefinition module = TrovexModuleDefinition();
  return {module.supportedApps, module.ribbonNamespace, std::string(addInProgId)};
}

void LoadTrovexRibbon(ribbon::RibbonModule& module, const ribbon::DefinitionBindings& bindings) {
  ribbon::LoadRibbonDefinition(module, kTrovexDefinition, bindings);
}

}  // namespace trovex::addin
