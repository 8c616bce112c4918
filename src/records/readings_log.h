// The readings log: one CSV row per monitoring cycle in the day's "vigilon-YYYY-MM-DD.csv",
// with a column per item the chip model has.
#pragma once

#include <string>

#include "chip/chip_model.h"
#include "records/daily_csv.h"
#include "run/cycle_readings.h"

namespace vigilon::records {

// An item as the logs' columns name it, with its unit: "CPU (rpm)", "Chassis open".
std::string ItemColumn(const chip::ChipTraits& model, int item);
// "Time,Unix time,CPU (V),...,Chassis open,State" for the items of the model.
std::string ReadingsHeader(const chip::ChipTraits& model);
// One row for the cycle, without its line end, appended to `out`.
void AppendReadingsRow(std::string& out, const CycleReadings& cycle, const chip::ChipTraits& model);
// A reading as the logs write it: volts with two decimals, rpm whole, degrees with one.
void AppendReading(std::string& out, int item, double value);

class ReadingsLog : public CycleObserver {
 public:
  // At least an hour of rows at one a second wait while the folder cannot be written.
  static constexpr std::size_t kQueueRows = 4096;

  ReadingsLog(platform::RecordFiles& files, DailyCsvPlace place, const chip::ChipTraits& model);
  void CycleEnded(const CycleReadings& cycle) override;
  const DailyCsv& file() const { return file_; }
  DailyCsv& file() { return file_; }

 private:
  const chip::ChipTraits& model_;
  DailyCsv file_;
  std::string row_;
};

}  // namespace vigilon::records
