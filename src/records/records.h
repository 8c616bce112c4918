// The logs and the metrics file of a run as one observer of its cycles: made from vigilon.ini
// at start, remade when the options change, and saying when a file cannot be written.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "chip/chip_model.h"
#include "items/settings_file.h"
#include "platform/record_files.h"
#include "records/events_log.h"
#include "records/metrics_file.h"
#include "records/options.h"
#include "records/readings_log.h"
#include "run/cycle_readings.h"
#include "run/run_events.h"

namespace vigilon::records {

struct RecordsSetting {
  std::string programFolder;  // without a trailing separator
  char separator = '\\';
  std::string version;  // "2.5.0"
  // The wall clock (milliseconds since 1970, UTC) and the local time's offset then, in minutes.
  std::function<int64_t()> unixTimeMs;
  std::function<int32_t(int64_t unixMs)> utcOffsetMinutes;
};

// TODO: at start, read the log's last 24 hours (and, folded per minute, 7 days) back into the
// history in slices between cycles, once the history store has landed; not done yet.
class Records : public CycleObserver, public RunEventObserver {
 public:
  Records(platform::RecordFiles& files, items::SettingsFiles& optionsFile, RecordsSetting setting);

  // Reads vigilon.ini and starts what it turns on, for the chip model found. The problems, each
  // naming the file and its line, for one message at start; none for a clean or missing file.
  // Events told before (a damaged settings file) follow the start in the events log.
  std::vector<std::string> Start(const chip::ChipTraits& model);
  // Writes vigilon.ini at once (in one step, every line it did not know kept) and applies the
  // options: nothing, or why the file could not be written (the options then stay as they were).
  std::optional<std::string> Save(const RecordOptions& options);
  const RecordOptions& options() const { return options_; }

  void CycleEnded(const CycleReadings& cycle) override;
  void RunEventHappened(const RunEvent& event) override;
  // The readings log, while it is on.
  const ReadingsLog* readings() const { return readings_ ? &*readings_ : nullptr; }
  // The events log, while it is on.
  EventsLog* events() { return events_ ? &*events_ : nullptr; }
  // What the window says while a file cannot be written ("the log cannot be written since
  // 14:02"); empty while all is well.
  // TODO: the title bar, the tray tip and About do not show this text yet.
  std::string Trouble(int32_t utcOffsetMinutes) const;

 private:
  void Apply(const RecordOptions& options, bool saved);
  // An event of the program's own (no item) at the wall clock's time.
  void Note(std::string_view item, std::string_view event, std::string_view reading = {});
  std::string OptionsPath() const;
  DailyCsvPlace LogPlace(const char* prefix) const;

  platform::RecordFiles& files_;
  items::SettingsFiles& optionsFile_;
  RecordsSetting setting_;
  RecordOptions options_;
  const chip::ChipTraits* model_ = nullptr;  // from the start on
  std::vector<std::string> lines_;           // vigilon.ini as read, for writing it back
  struct Told {
    RunEvent event;
    std::string detail;
  };
  std::vector<Told> beforeStart_;
  std::optional<ReadingsLog> readings_;
  std::optional<EventsLog> events_;
  std::optional<MetricsFile> metrics_;
};

}  // namespace vigilon::records
