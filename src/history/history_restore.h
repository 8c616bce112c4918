// Earlier runs' readings read back from the readings log into the history at start, a bounded
// slice of the log at a time, so that a restart does not empty the History window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chip/chip_model.h"
#include "history/history_store.h"
#include "platform/record_files.h"
#include "records/daily_csv.h"

namespace vigilon::history {

class HistoryRestore {
 public:
  // What one step reads of the log at most: a few milliseconds of parsing on a slow machine.
  static constexpr std::size_t kSliceBytes = 64 * 1024;

  // Reads nothing yet. `startMs` is when this run began: rows from its second on are the run's
  // own, which the history already holds.
  HistoryRestore(platform::RecordFiles& files, records::DailyCsvPlace place,
                 const chip::ChipTraits& model, int64_t startMs, int32_t utcOffsetMinutes);

  // Lists the log's files (the first step) or reads the next slice of them into the store.
  // False once there is nothing left to read, or once the store was cleared meanwhile.
  bool Step(HistoryStore& store);

  uint64_t rowsTaken() const { return taken_; }
  uint64_t rowsSkipped() const { return skipped_; }  // rows that did not parse, a torn end

 private:
  void ListFiles();
  void NextFile(HistoryStore& store);
  // False at a row of this run: the rest of the file is its own.
  bool TakeLine(std::string_view line, HistoryStore& store);
  bool ParseRow(std::string_view line, Sample& sample) const;
  void FlushSamples(HistoryStore& store);
  void FlushMinute(HistoryStore& store);

  platform::RecordFiles& files_;
  records::DailyCsvPlace place_;
  std::string header_;
  std::vector<int> columns_;  // the item of each reading column, in the header's order
  int64_t startMs_;
  int32_t utcOffsetMinutes_;
  int64_t ownFromMs_;                  // the second the run began in
  int64_t samplesFromMs_;              // older rows are kept per minute only
  int64_t weekFromMs_;                 // older rows are not kept at all
  std::vector<std::string> logFiles_;  // in the order read
  std::size_t next_ = 0;               // the file being read
  uint64_t offset_ = 0;                // where its next line begins; 0 before its header
  bool listed_ = false;
  uint32_t clears_ = 0;
  std::vector<Sample> samples_;  // rows waiting to be handed over, reserved once
  MinuteAccumulator minute_;
  uint64_t taken_ = 0, skipped_ = 0;
};

}  // namespace vigilon::history
