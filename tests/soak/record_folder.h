// The soak's disk for the logs and the metrics file: every line is checked as it arrives and
// only counts are kept, so that a week of rows costs the soak no memory of its own.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/record_files.h"

namespace vigilon::soak {

class RecordFolder : public platform::RecordFiles {
 public:
  // Where the program's folder puts them; `utcOffsetMinutes` is the machine's, fixed.
  RecordFolder(std::string programFolder, int32_t utcOffsetMinutes);

  std::string options;      // vigilon.ini
  bool unwritable = false;  // every write fails, as on a read-only or full disk

  struct File {
    std::string head;  // the first line
    char last = 0;     // the last byte
    int64_t rows = 0;  // lines after the header
  };
  std::map<std::string, File> files;

  // The first thing found wrong, with the line; empty while all is well.
  const std::string& fault() const { return fault_; }
  int64_t readingRows() const { return readingRows_; }   // ever written, deleted files' too
  int64_t metricsReplaces() const { return replaces_; }  // attempts, failed ones included
  int64_t lastRowUnix() const { return lastUnix_; }
  // Every day file of the readings log and the events log is of one of the last `keepDays`
  // local days before the day of `unixMs`; the names that are not day files are all still there.
  void CheckKept(int keepDays, int64_t unixMs);

  std::string logFolder() const { return folder_ + "/logs"; }
  std::string metricsPath() const { return folder_ + "/metrics/vigilon.prom"; }

  bool Append(const std::string& path, std::string_view bytes) override;
  bool Replace(const std::string& path, const std::string& temporary,
               std::string_view bytes) override;
  platform::FilePart Read(const std::string& path, std::size_t maxBytes, bool fromEnd) override;
  // The folder keeps no rows, so there is nothing of earlier runs to read back.
  platform::FilePart ReadAt(const std::string&, uint64_t, std::size_t) override { return {}; }
  bool ListFolder(const std::string& folder, std::vector<std::string>& names) override;
  bool Delete(const std::string& path) override { return !unwritable && files.erase(path) == 1; }
  bool CreateFolder(const std::string&) override { return !unwritable; }

 private:
  void Fault(const std::string& path, std::string_view line, const char* what);
  void CheckRow(const std::string& path, const File& file, std::string_view line);
  void CheckMetrics(std::string_view text);
  // "YYYY-MM-DD" of the file's name, or empty for a name not of a day file.
  static std::string_view DayOfName(std::string_view name);

  std::string folder_;
  int32_t offsetMinutes_;
  std::string fault_;
  int64_t readingRows_ = 0;
  int64_t replaces_ = 0;
  int64_t lastUnix_ = -1;
};

}  // namespace vigilon::soak
