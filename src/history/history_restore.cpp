// Reading the readings log back: which files, in what order, a slice at a time, and a row into a
// sample. The samples and the minutes go through the store's own folding.
#include "history/history_restore.h"

#include <algorithm>
#include <charconv>
#include <tuple>
#include <utility>

#include "items/items.h"
#include "records/readings_log.h"
#include "records/text_out.h"

namespace vigilon::history {

namespace {
constexpr int64_t kDayMs = 24 * 60 * kMinuteMs;
constexpr std::size_t kSampleBatch = 512;
// Yesterday and today hold the last 24 hours; the week reaches back seven days before today.
constexpr int64_t kRecentDays = 1;
constexpr int64_t kWeekDays = 7;

std::string_view WithoutCr(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

template <typename T>
bool Number(std::string_view cell, T& value) {
  const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
  return error == std::errc() && end == cell.data() + cell.size();
}
}  // namespace

HistoryRestore::HistoryRestore(platform::RecordFiles& files, records::DailyCsvPlace place,
                               const chip::ChipTraits& model, int64_t startMs,
                               int32_t utcOffsetMinutes)
    : files_(files),
      place_(std::move(place)),
      header_(records::ReadingsHeader(model)),
      startMs_(startMs),
      utcOffsetMinutes_(utcOffsetMinutes),
      ownFromMs_(startMs - (startMs % 1000 + 1000) % 1000),
      // On a minute's edge, so that no minute is folded half from each side.
      samplesFromMs_((MinuteOf(startMs - kDayMs) + 1) * kMinuteMs),
      weekFromMs_((MinuteOf(startMs) - static_cast<int64_t>(kMinuteCapacity) + 1) * kMinuteMs) {
  for (int item = 0; item < items::kItemCount; ++item)
    if (model.ItemPresent(item)) columns_.push_back(item);
  samples_.reserve(kSampleBatch);
}

void HistoryRestore::ListFiles() {
  std::vector<std::string> names;
  if (!files_.ListFolder(place_.folder, names)) return;
  const int64_t today = records::ToLocalTime(startMs_, utcOffsetMinutes_).dayNumber;
  struct Found {
    int64_t day;
    int number;
    const std::string* name;
  };
  std::vector<Found> found;
  for (const std::string& name : names) {
    int64_t day = 0;
    int number = 0;
    if (records::ParseDailyName(place_.prefix, name, day, number) && day <= today &&
        day >= today - kWeekDays)
      found.push_back({day, number, &name});
  }
  // The last 24 hours first, in time order, since that is what the window shows at first; then
  // the older days, the newest first, each in time order.
  const auto rank = [today](const Found& f) {
    const bool recent = f.day >= today - kRecentDays;
    return std::make_tuple(!recent, recent ? f.day : -f.day, f.number);
  };
  std::sort(found.begin(), found.end(),
            [&](const Found& a, const Found& b) { return rank(a) < rank(b); });
  for (const Found& f : found) logFiles_.push_back(place_.folder + place_.separator + *f.name);
}

bool HistoryRestore::Step(HistoryStore& store) {
  if (!listed_) {
    listed_ = true;
    clears_ = store.clears();
    ListFiles();
    return next_ < logFiles_.size();
  }
  if (store.clears() != clears_) return false;  // what was read back has been cleared too
  if (next_ >= logFiles_.size()) return false;

  const platform::FilePart part = files_.ReadAt(logFiles_[next_], offset_, kSliceBytes);
  if (part.status != platform::FilePart::Status::Ok) {
    NextFile(store);
    return next_ < logFiles_.size();
  }
  const std::string_view bytes = part.bytes;
  std::size_t used = 0;
  bool more = true;
  if (offset_ == 0) {
    const std::size_t end = bytes.find('\n');
    // Another model's log, or no log of ours at all.
    more = end != std::string_view::npos && WithoutCr(bytes.substr(0, end)) == header_;
    used = more ? end + 1 : 0;
  }
  while (more) {
    const std::size_t end = bytes.find('\n', used);
    if (end == std::string_view::npos) break;
    more = TakeLine(bytes.substr(used, end - used), store);
    used = end + 1;
  }
  FlushSamples(store);
  offset_ += used;
  // A short read reached the end: what is left without a line end is a torn last line. A full
  // slice without one line end in it is not a log.
  const bool full = bytes.size() == kSliceBytes;
  if (more && !full && used < bytes.size()) ++skipped_;
  if (!more || !full || used == 0) NextFile(store);
  return next_ < logFiles_.size();
}

void HistoryRestore::NextFile(HistoryStore& store) {
  ++next_;
  offset_ = 0;
  if (next_ == logFiles_.size()) FlushMinute(store);
}

bool HistoryRestore::TakeLine(std::string_view line, HistoryStore& store) {
  Sample sample;
  if (!ParseRow(WithoutCr(line), sample)) {
    ++skipped_;
    return true;
  }
  if (sample.unixMs >= ownFromMs_) return false;
  if (sample.unixMs < weekFromMs_) return true;
  ++taken_;
  if (sample.unixMs >= samplesFromMs_) {
    samples_.push_back(sample);
    if (samples_.size() == kSampleBatch) FlushSamples(store);
    return true;
  }
  const int64_t minute = MinuteOf(sample.unixMs);
  if (minute != minute_.minute) {
    FlushMinute(store);
    minute_.Start(minute);
  }
  minute_.Add(sample);
  return true;
}

bool HistoryRestore::ParseRow(std::string_view line, Sample& sample) const {
  // Time, Unix time, a cell per column, State: a torn or hand-edited row has another count.
  std::string_view cells[items::kItemCount + 3];
  const std::size_t want = columns_.size() + 3;
  std::size_t n = 0;
  for (std::size_t at = 0;; ++n) {
    const std::size_t end = line.find(',', at);
    if (n == want) return false;
    cells[n] = line.substr(at, end - at);
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  int64_t unix = 0;
  if (n + 1 != want || cells[0].empty() || !Number(cells[1], unix)) return false;
  sample.unixMs = unix * 1000;
  sample.value.fill(kNothing);
  const std::string_view state = cells[want - 1];
  // A cycle that was not complete is a gap, whatever it read before it stopped.
  if (state == "suspended" || state == "chip not answering") return true;
  if (state != "ok") return false;
  for (std::size_t k = 0; k < columns_.size(); ++k) {
    const std::string_view cell = cells[k + 2];
    double value = 0;
    if (cell.empty()) continue;  // not monitored then
    if (!Number(cell, value)) return false;
    sample.value[static_cast<std::size_t>(columns_[k])] = static_cast<float>(value);
  }
  return true;
}

void HistoryRestore::FlushSamples(HistoryStore& store) {
  if (samples_.empty()) return;
  store.AddPastSamples(samples_);
  samples_.clear();
}

void HistoryRestore::FlushMinute(HistoryStore& store) {
  MinuteFold fold;
  if (minute_.Fold(fold)) store.AddPastMinutes({&fold, 1});
  minute_.Start(-1);
}

}  // namespace vigilon::history
