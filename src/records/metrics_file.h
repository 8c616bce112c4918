// The metrics file for Prometheus' textfile collector: "vigilon.prom" in the text exposition
// format, replaced in one step after every cycle.
#pragma once

#include <string>
#include <string_view>

#include "chip/chip_model.h"
#include "platform/record_files.h"
#include "run/cycle_readings.h"

namespace vigilon::records {

// The whole exposition text for a cycle, into `out` (cleared first). A cycle that is not
// complete gives no reading families at all, so that the monitoring system sees them as stale.
void FormatMetrics(std::string& out, const CycleReadings& cycle, const chip::ChipTraits& model,
                   std::string_view version);

class MetricsFile : public CycleObserver {
 public:
  MetricsFile(platform::RecordFiles& files, std::string folder, char separator,
              const chip::ChipTraits& model, std::string version);
  void CycleEnded(const CycleReadings& cycle) override;
  bool failing() const { return failing_; }
  int64_t failingSinceMs() const { return failingSinceMs_; }
  const std::string& path() const { return path_; }

 private:
  platform::RecordFiles& files_;
  std::string folder_;
  std::string path_;
  std::string temporary_;  // a name the collector ignores: it reads "*.prom" only
  const chip::ChipTraits& model_;
  std::string version_;
  std::string text_;
  bool failing_ = false;
  int64_t failingSinceMs_ = 0;
};

}  // namespace vigilon::records
