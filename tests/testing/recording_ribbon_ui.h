// Office's ribbon object for tests: records what it is asked.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "ribbon/ribbon_office.h"

namespace trovex::testing {

// Records each call as "Invalidate", "InvalidateControl <id>" or
// "ActivateTab <id>"; throws instead while `*fail` is set, as Office does
// when it refuses.
class RecordingRibbonUI final : public ribbon::RibbonUI {
 public:
  explicit RecordingRibbonUI(std::vector<std::string>& log, const bool* fail = nullptr) : log_(log), fail_(fail) {}
  void Invalidate() override { Record("Invalidate"); }
  void InvalidateControl(const std::string& id) override { Record("InvalidateControl " + id); }
  void ActivateTab(const std::string& id) override { Record("ActivateTab " + id); }

 private:
  void Record(std::string call) {
    if (fail_ && *fail_) throw std::runtime_error("Office refused: " + call);
    log_.push_back(std::move(call));
  }
  std::vector<std::string>& log_;
  const bool* fail_;
};

}  // namespace trovex::testing
