// Shared test doubles for the engine: a sink that records what the run
// shows, and a stepping clock.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/export_sink.h"
#include "support/date_time.h"

namespace trovex::engine::testing {

class RecordingSink : public ExportSink {
 public:
  std::vector<std::string> lines;
  int progressMax = -1;
  std::vector<int> positions;
  std::vector<std::pair<std::string, std::string>> targets;
  int pumps = 0;
  // Runs inside ProcessPendingMessages, as a click would arrive there.
  std::function<void()> onPump;

  void AppendReportLine(const std::string& line) override { lines.push_back(line); }
  void SetProgressMax(int maximum) override { progressMax = maximum; }
  void SetProgressPosition(int position) override { positions.push_back(position); }
  void ShowTarget(const std::string& folder, const std::string& file) override {
    targets.emplace_back(folder, file);
  }
  void ProcessPendingMessages() override {
    ++pumps;
    if (onPump) onPump();
  }
};

// 10:00:00.000 on 2024-03-05, one millisecond later at every reading.
inline std::function<CivilTime()> SteppingClock() {
  return [ms = 0]() mutable {
    CivilTime t{.year = 2024, .month = 3, .day = 5, .hour = 10};
    t.millisecond = ms++ % 1000;
    return t;
  };
}

// Lines with their stamps removed, so expectations read like the report.
inline std::vector<std::string> Unstamped(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const auto& l : lines) {
    const bool stamped = l.size() >= 14 && l[2] == ':' && l[5] == ':' && l[8] == '.' && l.compare(12, 2, ": ") == 0;
    out.push_back(stamped ? "@" + l.substr(14) : l);
  }
  return out;
}

}  // namespace trovex::engine::testing
