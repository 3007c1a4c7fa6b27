// The wizard's fixed German texts, exactly as the user sees them. Captions
// keep their accelerator marks ("&") and their leading and trailing blanks.
#pragma once

#include <array>
#include <string_view>

namespace trovex::wizard::texts {

inline constexpr std::string_view kWindowCaption = "Outlook Trovex (Quellmark Softwareentwicklung)";

struct PageText {
  std::string_view heading;
  std::string_view description;  // empty on the last page
};

// Pages 1 to 5, in order.
inline constexpr std::array<PageText, 5> kPages = {{
    {"Trovex 1/5: Ordnerangaben",
     "Wählen Sie aus, ob der selektierte Ordner oder auch die Unterordner für den Export durchsucht werden "
     "sollen. Geben Sie an, wo die Anhänge der E-Mails abgelegt werden sollen."},
    {"Trovex 2/5: Dateiendungen",
     "Legen Sie fest, welche Anhänge mit entsprechender Endung exportiert werden sollen. Wählen Sie keine "
     "Endung aus, werden alle Anhänge exportiert."},
    {"Trovex 3/5: evtl. Unterordner",
     "Die Anhänge werden lokal auf der Festplatte automatisch in Ordner einsortiert. Hier können Sie angeben, "
     "wie Sie die Ordnerstruktur anlegen lassen möchten."},
    {"Trovex 4/5: Dateinamen",
     "Stellen Sie ein, wie der Dateiname des exportierten Anhangs aussehen soll. Diesen Dateinamen können Sie "
     "über die Kombination verschiedener Felder definieren."},
    {"Trovex 5/5: Export starten", ""},
}};

// Button bar, left to right.
inline constexpr std::string_view kClose = "Schließen";
inline constexpr std::string_view kHelp = "Hilfe";
inline constexpr std::string_view kBack = "< Zurück";
inline constexpr std::string_view kForward = "Weiter >";
inline constexpr std::string_view kExportStart = "Export starten";
inline constexpr std::string_view kExportStop = "Stopp";

// Page 1. %s stands for the selected Outlook folder's name.
inline constexpr std::string_view kScopeGroup = " Auswahl der zu exportierenden E-Mails";
inline constexpr std::string_view kOnlySelectedFolder = "nur der selektierte &Ordner \"%s\"";
inline constexpr std::string_view kWithSubfolders = "der selektierte Ordner \"%s\" und dessen &Unterordner";
inline constexpr std::string_view kTargetGroup = " Speicherort ";
inline constexpr std::string_view kTargetText =
    "Die Anhänge werden in diesem Ordner abgelegt. Dieser Ordner sollte leer sein.";
inline constexpr std::string_view kChangeFolder = "Ändern";
inline constexpr std::string_view kChangeFolderTip = "Anderen Ordner auswählen";
inline constexpr std::string_view kBrowseTitle =
    "Wählen Sie den Ordner oder das Laufwerk, in dem die E-Mails abgelegt werden sollen.";

// Page 2.
inline constexpr std::string_view kExtensionGroup = " Auswahl der Dateiendungen ";
inline constexpr std::string_view kAllAttachments = "alle Anhänge";
inline constexpr std::string_view kChosenExtensions = "Anhänge mit folgenden Dateiendungen";
inline constexpr std::string_view kOptionsGroup = " Optionen ";
inline constexpr std::string_view kExportEmbedded = "auch in E-Mail eingebettete Anhänge exportieren";
inline constexpr std::string_view kNoExtensionChosen = "Sie haben keine Dateierweiterung gewählt!";

// Page 3: the subfolder options by SubfolderRule position, and the labels
// above positions 1 and 5.
inline constexpr std::string_view kSubfolderGroup = " Ablage der Anhänge in weitere Unterordner  ";
inline constexpr std::array<std::string_view, 6> kSubfolderOptions = {
    "keinen weiteren Unterordner",
    "Ordnername nach Betre&ff der E-Mail",
    "Ordnername nach &Name des Absenders",
    "Ordnername nach &E-Mail-Adresse des Absenders",
    "Ordnername nach &Datum der E-Mail (Jahr-Monat)",
    "Anhänge werden je nach Datei-Endung in &Ordner aufgeteilt",
};
inline constexpr std::string_view kByMailLabel = "Ordnername in Abhängigkeit der E-Mail";
inline constexpr std::string_view kByTypeLabel = "Ordnername nach Dateityp";

// Page 4: the file-name options by FileNameRule position. The page shows
// them in the order of kFileNameOptionOrder.
inline constexpr std::string_view kFileNameGroup = " Namenskonvention der exportierten Dateien ";
inline constexpr std::array<std::string_view, 5> kFileNameOptions = {
    "Originaler Dateiname",
    "Dateiname nach Betreff der E-Mail",
    "Dateiname nach Name des Absenders",
    "eigener Dateiname",
    "Dateiname nach E-Mail-Adresse des Absenders",
};
inline constexpr std::array<int, 5> kFileNameOptionOrder = {0, 1, 2, 4, 3};
inline constexpr std::string_view kFieldButton = "Felder einfügen...         ";
inline constexpr std::string_view kFieldButtonTip = "Auswahl der Felder";
inline constexpr std::string_view kPresetButton = "Vorgefertigte Namensmuster...";
inline constexpr std::string_view kPresetButtonTip = "Auswahl der Namensmuster";
inline constexpr std::string_view kNoOverwrite =
    "bereits vorhandene Dateien niemals überschreiben, sondern Zähler hinzufügen";
inline constexpr std::string_view kPatternLabel = "Muster:";

// Page 5.
inline constexpr std::string_view kTargetFolderLine = "Speicherort:";
inline constexpr std::string_view kTargetFileLine = "Dateiname:";
inline constexpr std::string_view kProgressLabel = "Fortschritt:";
inline constexpr std::string_view kReportGroup = " Report ";

// Shown instead of the wizard when Outlook names no folder to export.
inline constexpr std::string_view kNoFolderSelected =
    "In Outlook ist kein Ordner ausgewählt.\n\nWählen Sie im Outlook-Fenster einen E-Mail-Ordner aus und "
    "klicken Sie dann erneut auf \"Start\".";

}  // namespace trovex::wizard::texts
