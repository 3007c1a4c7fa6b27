// The Office applications an add-in can be loaded into, as Office's add-in
// frameworks number them. Registration, the module and the ribbon's default
// sets all speak of hosts in these terms.
#pragma once

namespace trovex::office {

// Office hosts in the framework's order (0 to 11).
enum class OfficeHostApp : int {
  Excel,
  Word,
  Outlook,
  PowerPoint,
  Access,
  Project,
  FrontPage,
  MapPoint,
  Visio,
  Publisher,
  InfoPath,
  OneNote,
};

}  // namespace trovex::office
