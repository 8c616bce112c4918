// A week at a one-second interval through the log and the metrics file, over a fake clock and
// an in-memory folder that keeps only what the checks need: the folder holds KeepDays days,
// every row arrives in order, a day without a writable folder loses nothing the queue can
// keep, and nothing the records hold grows.
#include <gtest/gtest.h>

#include <charconv>
#include <map>

#include "records/metrics_file.h"
#include "records/readings_log.h"

namespace vigilon::records {
namespace {

// Per file: its first line, its last byte, its rows and the last row's Unix time.
class CountingFolder : public platform::RecordFiles {
 public:
  struct File {
    std::string head;
    char last = 0;
    int64_t rows = 0;
    int64_t lastUnix = -1;
    bool inOrder = true;
  };
  std::map<std::string, File> files;
  bool failWrites = false;
  int64_t rows = 0;

  bool Append(const std::string& path, std::string_view bytes) override {
    if (failWrites) return false;
    File& f = files[path];
    for (std::size_t at = 0; at < bytes.size();) {
      const std::size_t end = bytes.find('\n', at);
      const std::string_view line = bytes.substr(at, end - at);
      if (f.head.empty()) {
        f.head = line;
      } else if (!line.empty()) {
        int64_t unix = 0;
        std::from_chars(line.data() + 20, line.data() + 30, unix);
        f.inOrder = f.inOrder && unix > f.lastUnix;
        f.lastUnix = unix;
        ++f.rows;
        ++rows;
      }
      at = end + 1;
    }
    f.last = bytes.back();
    return true;
  }
  bool Replace(const std::string& path, const std::string&, std::string_view bytes) override {
    if (failWrites) return false;
    files[path].head = bytes.substr(0, bytes.find('\n'));
    return true;
  }
  platform::FilePart Read(const std::string& path, std::size_t, bool fromEnd) override {
    const auto it = files.find(path);
    if (it == files.end()) return {platform::FilePart::Status::Missing, {}, 0};
    return {platform::FilePart::Status::Ok,
            fromEnd ? std::string(1, it->second.last) : it->second.head + "\n", 1};
  }
  platform::FilePart ReadAt(const std::string&, uint64_t, std::size_t) override { return {}; }
  bool ListFolder(const std::string& folder, std::vector<std::string>& names) override {
    names.clear();
    for (const auto& [path, file] : files)
      if (path.rfind(folder + "/", 0) == 0) names.push_back(path.substr(folder.size() + 1));
    return true;
  }
  bool Delete(const std::string& path) override { return files.erase(path) == 1; }
  bool CreateFolder(const std::string&) override { return true; }
};

TEST(RecordsWeek, SevenDaysAtOneSecondKeepTheDaysAndEveryRowInOrder) {
  const chip::ChipTraits& model = chip::TraitsOf(chip::Model::ZR420);
  CountingFolder folder;
  ReadingsLog log(folder, {"/logs", '/', "vigilon", 3}, model);
  MetricsFile metrics(folder, "/metrics", '/', model, "2.5.0");
  CycleReadings cycle;
  for (int i = 0; i < items::kItemCount; ++i)
    cycle.items[i] = {true, true, true, 100, 0, 1.5 + i, true, 1, 90};
  constexpr int64_t kWeek = 7 * 86400;
  const int64_t start = 1'796'860'800'000 - 3'600'000;  // local midnight, an hour east of UTC
  const std::size_t queue = log.file().waitingLines();
  std::size_t mostWaiting = 0;
  for (int64_t s = 0; s < kWeek; ++s) {
    cycle.sequence = static_cast<uint64_t>(s + 1);
    cycle.unixMs = start + s * 1000;
    cycle.utcOffsetMinutes = 60;
    // Half an hour on the third day the folder cannot be written.
    folder.failWrites = s >= 2 * 86400 + 3600 && s < 2 * 86400 + 5400;
    log.CycleEnded(cycle);
    metrics.CycleEnded(cycle);
    mostWaiting = std::max(mostWaiting, log.file().waitingLines());
  }
  EXPECT_EQ(queue, 0u);
  EXPECT_EQ(mostWaiting, 1800u);  // the half hour waited, and was written
  EXPECT_EQ(log.file().waitingLines(), 0u);
  EXPECT_EQ(log.file().lostLines(), 0u);
  EXPECT_FALSE(log.file().failing());
  int days = 0;
  int64_t rowsKept = 0;
  for (const auto& [path, file] : folder.files) {
    if (path.rfind("/logs/", 0) != 0) continue;
    ++days;
    rowsKept += file.rows;
    EXPECT_TRUE(file.inOrder) << path;
    EXPECT_EQ(file.head, log.file().header()) << path;
  }
  // The last three local days of the seven.
  EXPECT_EQ(days, 3);
  EXPECT_EQ(rowsKept, 3 * 86400);
  EXPECT_TRUE(folder.files.count("/logs/vigilon-2026-12-14.csv"));
  EXPECT_TRUE(folder.files.count("/logs/vigilon-2026-12-16.csv"));
  EXPECT_EQ(folder.rows, kWeek);
}

}  // namespace
}  // namespace vigilon::records
