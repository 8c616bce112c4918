// The run's logs and metrics file, and their options.
#include "records/records.h"

#include "records/text_out.h"

namespace vigilon::records {

Records::Records(platform::RecordFiles& files, items::SettingsFiles& optionsFile,
                 RecordsSetting setting)
    : files_(files), optionsFile_(optionsFile), setting_(std::move(setting)) {}

std::string Records::OptionsPath() const {
  return setting_.programFolder + setting_.separator + kOptionsFileName;
}

DailyCsvPlace Records::LogPlace(const char* prefix) const {
  return {ResolveFolder(setting_.programFolder, setting_.separator, options_.logFolder),
          setting_.separator, prefix, options_.keepDays};
}

void Records::Note(std::string_view item, std::string_view event, std::string_view reading) {
  if (!events_) return;
  const int64_t now = setting_.unixTimeMs();
  events_->Record(now, setting_.utcOffsetMinutes(now), item, event, reading);
}

std::vector<std::string> Records::Start(const chip::ChipTraits& model) {
  model_ = &model;
  const std::string path = OptionsPath();
  // One byte past the limit tells a file that is too large from one that just fits.
  const platform::FilePart part = files_.Read(path, kOptionsFileLimit + 1, false);
  if (part.status == platform::FilePart::Status::Missing) return {};
  if (part.status != platform::FilePart::Status::Ok)
    return {path + " cannot be read: logging and export stay off"};
  OptionsLoad load = ParseOptions(part.bytes, path);
  lines_ = std::move(load.lines);
  Apply(load.options, false);
  Note({}, "start, version " + setting_.version + ", chip " + model_->name);
  for (Told& told : beforeStart_) {
    told.event.detail = told.detail;
    RunEventHappened(told.event);
  }
  beforeStart_.clear();
  return std::move(load.problems);
}

std::optional<std::string> Records::Save(const RecordOptions& options) {
  const std::string text = WriteOptions(lines_, options);
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (auto failure = optionsFile_.ReplaceFileContents(OptionsPath(), bytes)) return failure;
  lines_ = ParseOptions(text, OptionsPath()).lines;
  Apply(options, true);
  return std::nullopt;
}

void Records::Apply(const RecordOptions& options, bool saved) {
  const bool logChanged = options.logEnabled != options_.logEnabled ||
                          options.logFolder != options_.logFolder ||
                          options.keepDays != options_.keepDays;
  const bool metricsChanged = options.metricsEnabled != options_.metricsEnabled ||
                              options.metricsFolder != options_.metricsFolder;
  options_ = options;
  if (logChanged) {
    readings_.reset();
    events_.reset();
    if (options_.logEnabled) {
      readings_.emplace(files_, LogPlace("vigilon"), *model_);
      events_.emplace(files_, LogPlace("vigilon-events"), *model_);
      if (saved) Note({}, "log options saved");
    }
  }
  if (metricsChanged) {
    metrics_.reset();
    if (options_.metricsEnabled)
      metrics_.emplace(
          files_, ResolveFolder(setting_.programFolder, setting_.separator, options_.metricsFolder),
          setting_.separator, *model_, setting_.version);
  }
}

void Records::CycleEnded(const CycleReadings& cycle) {
  if (readings_) {
    readings_->CycleEnded(cycle);
    const int64_t since = readings_->file().TakeRecovery();
    if (since >= 0 && events_) {
      std::string from;
      AppendDateTime(from, ToLocalTime(since, cycle.utcOffsetMinutes));
      events_->Record(cycle.unixMs, cycle.utcOffsetMinutes, {}, "log written again", from);
    }
  }
  if (events_) events_->CycleEnded(cycle);
  if (metrics_) metrics_->CycleEnded(cycle);
}

void Records::RunEventHappened(const RunEvent& event) {
  if (model_ == nullptr) {
    beforeStart_.push_back({event, std::string(event.detail)});
    return;
  }
  if (!events_) return;
  std::string item;
  if (event.item >= 0 && event.item < items::kItemCount) item = ItemColumn(*model_, event.item);
  switch (event.kind) {
    case RunEventKind::Exit:
      return Note({}, "exit (" + std::string(event.detail) + ")");
    case RunEventKind::WarningShown:
      return Note(item, "warning shown");
    case RunEventKind::WarningButton:
      return Note(item, "warning: " + std::string(event.detail) + " pressed");
    case RunEventKind::FanSwitchedOff:
      return Note(item, "switched off by the smart fan");
    case RunEventKind::FanSwitchedOn:
      return Note(item, "switched on by the smart fan");
    case RunEventKind::SettingsSaved:
      return Note({}, "settings saved: " + std::string(event.detail));
    case RunEventKind::SettingsDamaged:
      return Note({}, "damaged settings file at start: " + std::string(event.detail));
  }
}

std::string Records::Trouble(int32_t utcOffsetMinutes) const {
  const auto since = [&](const char* what, int64_t ms) {
    const LocalTime t = ToLocalTime(ms, utcOffsetMinutes);
    std::string text = std::string(what) + " cannot be written since ";
    AppendTwoDigits(text, t.hour);
    text.push_back(':');
    AppendTwoDigits(text, t.minute);
    return text;
  };
  if (readings_ && readings_->file().failing())
    return since("the log", readings_->file().failingSinceMs());
  if (metrics_ && metrics_->failing()) return since("the metrics file", metrics_->failingSinceMs());
  return {};
}

}  // namespace vigilon::records
