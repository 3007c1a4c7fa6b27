// The stored form of the export choices (engine/export_settings.h) below
// HKEY_CURRENT_USER\Software\Quellmark Software\MSO_Attachments. Free of any
// dialog: the wizard and the CLI both load and save through it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/export_settings.h"
#include "support/registry.h"

namespace trovex::wizard {

// The record and its rules belong to the engine, which runs with them; the
// wizard names them here as its own.
using engine::ExportSettings;
using engine::FileNameRule;
using engine::kFileNameRuleCount;
using engine::kSubfolderRuleCount;
using engine::SubfolderRule;
using engine::ExtensionText;
using engine::ParseExtensionText;

// Below RegistryRoot::CurrentUser.
inline constexpr std::string_view kSettingsKey = "Software\\Quellmark Software\\MSO_Attachments";

// An option group's stored form: one digit per position, "1" at the chosen
// one ("000010"); all zeros when there is no choice or it is out of range.
std::string FlagsText(std::optional<int> chosen, int positions);

// Applies a stored flags text to an option group whose choice is `initial`,
// position by position as the dialog sets its radio buttons: a digit other
// than '0' checks the position (clearing the others), anything else unchecks
// just that position; missing positions count as '0'. An empty text leaves
// `initial`.
std::optional<int> ApplyFlagsText(std::string_view text, int positions, std::optional<int> initial);

// Reads the stored choices; missing values give the first-opening defaults,
// with the export folder in `personalFolder()` (asked only when needed).
// Throws RegistryError when the store cannot be read or a Boolean is stored
// as text.
ExportSettings LoadSettings(Registry& registry, const std::function<std::string()>& personalFolder);

// Stores the choices (IncludeSubfolders excepted); false when any value
// could not be written. All values are attempted either way.
bool SaveSettings(Registry& registry, const ExportSettings& settings);

}  // namespace trovex::wizard
