// The run's report: stamped lines ("hh:nn:ss.zzz: text") and plain ones.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/export_sink.h"
#include "support/date_time.h"

namespace trovex::engine {

class ExportReport {
 public:
  using ClockFn = std::function<CivilTime()>;

  explicit ExportReport(ExportSink& sink, ClockFn now = LocalNow) : sink_(sink), now_(std::move(now)) {}

  // Lets pending messages be handled first, then appends the line; a stamp
  // takes the local time at the moment of writing.
  void WriteReportLine(std::string_view text, bool stamped);

  CivilTime Now() const { return now_(); }

 private:
  ExportSink& sink_;
  ClockFn now_;
};

}  // namespace trovex::engine
