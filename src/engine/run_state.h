// State of one export run, shared by the run, the folder walk and the
// attachment export. The front end reads it to caption its button and to
// answer a stop request.
#pragma once

#include <cstdint>
#include <string>

namespace trovex::engine {

struct ExportRunState {
  // Set while a run is under way.
  bool bExportStarted = false;
  // Set when the user has confirmed a stop; the walk tests it before each
  // item and after each subfolder.
  bool bClickedCancel = false;
  // The export folder, fixed at the start of a run, ending in a backslash.
  std::string strRootFolder;
  // Items to examine (the progress maximum), items examined so far (the
  // progress position) and files written.
  std::int32_t iCountToCheck = 0;
  std::int32_t iCountChecked = 0;
  std::int32_t iCountExported = 0;
};

}  // namespace trovex::engine
