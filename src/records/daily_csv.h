// One CSV file per local day in a folder ("<prefix>-YYYY-MM-DD.csv"): the day's file picked by
// its header, a torn last line ended, old days deleted, and lines that cannot be written now
// kept in a bounded queue and written in order later.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/record_files.h"

namespace vigilon::records {

struct DailyCsvPlace {
  std::string folder;  // where the files go, without a trailing separator
  char separator = '\\';
  std::string prefix;  // "vigilon"
  int keepDays = 30;   // days of files kept, today's included
};

// The parts of a file name of the pattern: "<prefix>-YYYY-MM-DD.csv" (number 1) or
// "<prefix>-YYYY-MM-DD-N.csv" with N from 2. False for any other name.
bool ParseDailyName(std::string_view prefix, std::string_view name, int64_t& dayNumber,
                    int& number);

class DailyCsv {
 public:
  // Lines longer than this are cut; a queue of `queueLines` lines is reserved once.
  static constexpr std::size_t kLineBytes = 254;

  DailyCsv(platform::RecordFiles& files, DailyCsvPlace place, std::string header,
           std::size_t queueLines);

  // Adds one line (without its line end) to the file of the local day `dayNumber`, and writes
  // what waits. Allocates nothing on a day already seen.
  void Add(int64_t dayNumber, int64_t unixMs, std::string_view line);

  // Deletes the days past keepDays once per day `dayNumber`, as Add does first: for a file that
  // gets lines on some days only, so that its old days go at midnight all the same.
  void DeleteOldDays(int64_t dayNumber);

  bool failing() const { return failing_; }
  int64_t failingSinceMs() const { return failingSinceMs_; }
  // Lines dropped because the queue was full while the file could not be written.
  uint64_t lostLines() const { return lost_; }
  std::size_t waitingLines() const { return count_; }
  // Once after each return to writing: since when it had failed (else -1).
  int64_t TakeRecovery();
  const std::string& header() const { return header_; }
  const DailyCsvPlace& place() const { return place_; }

 private:
  struct Line {
    int64_t day = 0;
    int32_t number = 1;
    uint16_t length = 0;
    char text[kLineBytes];
  };
  void OpenDay(int64_t dayNumber);
  void DeleteOldFiles(int64_t today);
  void Queue(std::string_view text);
  void Flush(int64_t unixMs);
  void NameFile(int64_t day, int number, std::string& path) const;

  platform::RecordFiles& files_;
  DailyCsvPlace place_;
  std::string header_;
  std::vector<Line> queue_;  // a ring: `count_` lines from `head_`
  std::size_t head_ = 0;
  std::size_t count_ = 0;
  int64_t day_ = INT64_MIN;         // the day whose file is picked
  int64_t cleanedDay_ = INT64_MIN;  // the day whose old days were last deleted
  // After a deletion that did not finish, the lines or cycles until it is tried again: ten
  // minutes at a 1 s interval, longer at a slower one.
  static constexpr int kDeletionRetryCalls = 600;
  int callsToRetry_ = 0;
  int number_ = 1;
  std::string block_;  // what one write carries
  std::string path_;
  std::vector<std::string> names_;
  bool failing_ = false;
  int64_t failingSinceMs_ = 0;
  int64_t recoveredFrom_ = -1;
  uint64_t lost_ = 0;
};

}  // namespace vigilon::records
