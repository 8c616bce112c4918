// The events log: one CSV line per event in the day's "vigilon-events-YYYY-MM-DD.csv". What
// the readings show (an item out of its limits and back, the chassis opened, a suspend and the
// resume, the chip falling silent and answering again) it finds from the cycles; the windows
// tell it the rest.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "chip/chip_model.h"
#include "items/items.h"
#include "records/daily_csv.h"
#include "run/cycle_readings.h"

namespace vigilon::records {

inline constexpr const char* kEventsHeader = "Time,Unix time,Item,Event,Reading,Limit";

class EventsLog : public CycleObserver {
 public:
  static constexpr std::size_t kQueueLines = 512;

  EventsLog(platform::RecordFiles& files, DailyCsvPlace place, const chip::ChipTraits& model);

  // One event; `item` empty for the program's own.
  void Record(int64_t unixMs, int32_t utcOffsetMinutes, std::string_view item,
              std::string_view event, std::string_view reading = {}, std::string_view limit = {});
  void CycleEnded(const CycleReadings& cycle) override;
  const DailyCsv& file() const { return file_; }

 private:
  void ItemEvent(const CycleReadings& cycle, int item, std::string_view event, double limit);

  const chip::ChipTraits& model_;
  DailyCsv file_;
  std::array<std::string, items::kItemCount> columns_;
  std::string line_;
  std::string reading_;
  std::string limit_;
  // What the last cycle that read each item found; the outcome of the last cycle.
  std::array<bool, items::kItemCount> wasOut_{};
  CycleOutcome lastOutcome_ = CycleOutcome::Complete;
};

}  // namespace vigilon::records
