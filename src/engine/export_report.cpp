#include "engine/export_report.h"

namespace trovex::engine {

void ExportReport::WriteReportLine(std::string_view text, bool stamped) {
  sink_.ProcessPendingMessages();
  std::string line;
  if (stamped) {
    line = FormatStamp(now_());
    line += ": ";
  }
  line += text;
  sink_.AppendReportLine(line);
}

}  // namespace trovex::engine
