// What an export run shows while it works. The wizard implements it over its
// last page; the CLI over the terminal; tests record into memory.
#pragma once

#include <string>

namespace trovex::engine {

class ExportSink {
 public:
  virtual ~ExportSink() = default;

  // Appends one line at the end of the report; lines are never changed
  // after they were appended.
  virtual void AppendReportLine(const std::string& line) = 0;

  virtual void SetProgressMax(int maximum) = 0;
  virtual void SetProgressPosition(int position) = 0;

  // The target of the attachment under way: "Speicherort: ..." and
  // "Dateiname: ...".
  virtual void ShowTarget(const std::string& folderLabel, const std::string& fileLabel) = 0;

  // Lets pending window messages be handled. The run calls it before every
  // report line and every item it examines; a stop request may arrive here
  // as a nested call.
  virtual void ProcessPendingMessages() = 0;

  // A path of the engine's form (backslash separators) as the report and
  // the labels show it; the engine's own form unless the front end shows
  // native paths.
  virtual std::string DisplayPath(const std::string& path) { return path; }
};

}  // namespace trovex::engine
