#include "engine/export_report.h"

#include <gtest/gtest.h>

#include "engine_fakes.h"

namespace trovex::engine {
namespace {

using testing::RecordingSink;

TEST(ExportReport, StampsWithZeroPaddedLocalTime) {
  RecordingSink sink;
  ExportReport report(sink, [] { return CivilTime{.year = 2024, .hour = 9, .minute = 5, .second = 3, .millisecond = 7}; });
  report.WriteReportLine("Fertig!", true);
  report.WriteReportLine("Unterordner: A", false);
  report.WriteReportLine("", false);
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"09:05:03.007: Fertig!", "Unterordner: A", ""}));
}

TEST(ExportReport, PumpsMessagesBeforeEveryLine) {
  RecordingSink sink;
  ExportReport report(sink);
  // A stop confirmed inside the pump writes its own line first.
  bool stopped = false;
  sink.onPump = [&] {
    if (stopped) return;
    stopped = true;
    sink.AppendReportLine("Abgebrochen...");
  };
  report.WriteReportLine("wird gespeichert unter:", false);
  EXPECT_EQ(sink.pumps, 1);
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"Abgebrochen...", "wird gespeichert unter:"}));
}

}  // namespace
}  // namespace trovex::engine
