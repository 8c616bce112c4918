// The readings log's header, rows and observer.
#include "records/readings_log.h"

#include "items/items.h"
#include "records/text_out.h"

namespace vigilon::records {

namespace {

const char* UnitOf(int item) {
  if (item < items::kFirstFanItem) return " (V)";
  if (item < items::kFirstTempItem) return " (rpm)";
  return " (\xC2\xB0"
         "C)";
}

std::string_view StateOf(CycleOutcome outcome) {
  switch (outcome) {
    case CycleOutcome::Complete:
      return "ok";
    case CycleOutcome::Suspended:
    case CycleOutcome::CutShort:
      return "suspended";
    case CycleOutcome::ChipSilent:
      return "chip not answering";
  }
  return "ok";
}

}  // namespace

void AppendReading(std::string& out, int item, double value) {
  if (item < items::kFirstFanItem) {
    AppendFixed(out, value, 2);
  } else if (item < items::kFirstTempItem) {
    AppendFixed(out, value, 0);
  } else if (item < items::kChassisItem) {
    AppendFixed(out, value, 1);
  } else {
    out.push_back(value != 0 ? '1' : '0');
  }
}

std::string ItemColumn(const chip::ChipTraits& model, int item) {
  if (item == items::kChassisItem) return "Chassis open";
  return std::string(ItemName(model, item)) + UnitOf(item);
}

std::string ReadingsHeader(const chip::ChipTraits& model) {
  std::string header = "Time,Unix time";
  for (int item = 0; item < items::kItemCount; ++item) {
    if (!model.ItemPresent(item)) continue;
    header.push_back(',');
    header.append(ItemColumn(model, item));
  }
  header.append(",State");
  return header;
}

void AppendReadingsRow(std::string& out, const CycleReadings& cycle,
                       const chip::ChipTraits& model) {
  AppendDateTime(out, ToLocalTime(cycle.unixMs, cycle.utcOffsetMinutes));
  out.push_back(',');
  AppendInt(out, cycle.unixMs / 1000);
  for (int item = 0; item < items::kItemCount; ++item) {
    if (!model.ItemPresent(item)) continue;
    out.push_back(',');
    const ItemReading& r = cycle.items[item];
    // Nothing read (not monitored, or the cycle stopped before it): an empty cell.
    if (r.monitored && r.read) AppendReading(out, item, r.value);
  }
  out.push_back(',');
  out.append(StateOf(cycle.outcome));
}

ReadingsLog::ReadingsLog(platform::RecordFiles& files, DailyCsvPlace place,
                         const chip::ChipTraits& model)
    : model_(model), file_(files, std::move(place), ReadingsHeader(model), kQueueRows) {
  row_.reserve(DailyCsv::kLineBytes * 2);
}

void ReadingsLog::CycleEnded(const CycleReadings& cycle) {
  row_.clear();
  AppendReadingsRow(row_, cycle, model_);
  file_.Add(ToLocalTime(cycle.unixMs, cycle.utcOffsetMinutes).dayNumber, cycle.unixMs, row_);
}

}  // namespace vigilon::records
