// The events log's lines and the events it finds in the cycles.
#include "records/events_log.h"

#include <cmath>

#include "records/readings_log.h"
#include "records/text_out.h"

namespace vigilon::records {

namespace {

bool Suspended(CycleOutcome outcome) {
  return outcome == CycleOutcome::Suspended || outcome == CycleOutcome::CutShort;
}

}  // namespace

EventsLog::EventsLog(platform::RecordFiles& files, DailyCsvPlace place,
                     const chip::ChipTraits& model)
    : model_(model), file_(files, std::move(place), kEventsHeader, kQueueLines) {
  for (int item = 0; item < items::kItemCount; ++item) columns_[item] = ItemColumn(model, item);
  line_.reserve(DailyCsv::kLineBytes * 2);
  reading_.reserve(32);
  limit_.reserve(32);
}

void EventsLog::Record(int64_t unixMs, int32_t utcOffsetMinutes, std::string_view item,
                       std::string_view event, std::string_view reading, std::string_view limit) {
  const LocalTime t = ToLocalTime(unixMs, utcOffsetMinutes);
  line_.clear();
  AppendDateTime(line_, t);
  line_.push_back(',');
  AppendInt(line_, unixMs / 1000);
  for (const std::string_view cell : {item, event, reading, limit}) {
    line_.push_back(',');
    AppendCsvCell(line_, cell.substr(0, 80));
  }
  file_.Add(t.dayNumber, unixMs, line_);
}

void EventsLog::ItemEvent(const CycleReadings& cycle, int item, std::string_view event,
                          double limit) {
  reading_.clear();
  AppendReading(reading_, item, cycle.items[item].value);
  limit_.clear();
  if (!std::isnan(limit)) AppendReading(limit_, item, limit);
  Record(cycle.unixMs, cycle.utcOffsetMinutes, columns_[item], event, reading_, limit_);
}

void EventsLog::CycleEnded(const CycleReadings& cycle) {
  const auto at = [&](std::string_view event) {
    Record(cycle.unixMs, cycle.utcOffsetMinutes, {}, event);
  };
  if (Suspended(cycle.outcome) && !Suspended(lastOutcome_)) at("suspend");
  if (!Suspended(cycle.outcome) && Suspended(lastOutcome_)) at("resume");
  if (cycle.outcome == CycleOutcome::ChipSilent && lastOutcome_ != CycleOutcome::ChipSilent)
    at("chip not answering");
  if (cycle.outcome == CycleOutcome::Complete && lastOutcome_ == CycleOutcome::ChipSilent)
    at("chip answering again");
  lastOutcome_ = cycle.outcome;
  file_.DeleteOldDays(ToLocalTime(cycle.unixMs, cycle.utcOffsetMinutes).dayNumber);
  if (cycle.outcome == CycleOutcome::ChipSilent) return;
  for (int item = 0; item < items::kItemCount; ++item) {
    const ItemReading& r = cycle.items[item];
    if (!r.monitored || !r.read) continue;
    const bool out = !r.inLimits;
    if (out == wasOut_[item]) continue;
    wasOut_[item] = out;
    if (item == items::kChassisItem) {
      if (out) ItemEvent(cycle, item, "chassis opened", kNoLimit);
    } else if (out) {
      // The limit crossed: the low one when the reading is below it, else the high one.
      const bool low = !std::isnan(r.low) && r.value < r.low;
      ItemEvent(cycle, item, "out of limits", low ? r.low : r.high);
    } else {
      ItemEvent(cycle, item, "back in limits", kNoLimit);
    }
  }
}

}  // namespace vigilon::records
