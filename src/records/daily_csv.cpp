// The daily CSV files: naming, picking the day's file, deleting old days, the queue.
#include "records/daily_csv.h"

#include <algorithm>
#include <cstring>

#include "records/text_out.h"

namespace vigilon::records {

namespace {

// Files of a day that are not ours (another header) are passed over for the next number.
constexpr int kLastNumber = 99;
constexpr std::size_t kBlockBytes = 64 * 1024;
// A write that fails is tried again at the next line; while lines wait, a few writes a line
// bring the queue down.
constexpr int kWritesPerAdd = 8;

bool Digits(std::string_view text, int& value) {
  if (text.empty() || text.size() > 4) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

}  // namespace

bool ParseDailyName(std::string_view prefix, std::string_view name, int64_t& dayNumber,
                    int& number) {
  // <prefix>-YYYY-MM-DD[-N].csv
  if (name.size() < prefix.size() + 15 || name.substr(0, prefix.size()) != prefix) return false;
  std::string_view rest = name.substr(prefix.size());
  if (rest.substr(rest.size() - 4) != ".csv") return false;
  rest.remove_suffix(4);
  int year = 0, month = 0, day = 0;
  if (rest.size() < 11 || rest[0] != '-' || rest[5] != '-' || rest[8] != '-') return false;
  if (!Digits(rest.substr(1, 4), year) || rest.substr(6, 2).size() != 2 ||
      !Digits(rest.substr(6, 2), month) || !Digits(rest.substr(9, 2), day))
    return false;
  number = 1;
  if (rest.size() > 11) {
    if (rest[11] != '-' || rest.size() == 12 || rest[12] == '0') return false;
    if (!Digits(rest.substr(12), number) || number < 2) return false;
  }
  return DayOfDate(year, month, day, dayNumber);
}

DailyCsv::DailyCsv(platform::RecordFiles& files, DailyCsvPlace place, std::string header,
                   std::size_t queueLines)
    : files_(files), place_(std::move(place)), header_(std::move(header)) {
  queue_.resize(std::max<std::size_t>(queueLines, 4));
  block_.reserve(kBlockBytes + kLineBytes + 2);
  path_.reserve(place_.folder.size() + place_.prefix.size() + 32);
}

void DailyCsv::NameFile(int64_t day, int number, std::string& path) const {
  path.clear();
  path.append(place_.folder);
  path.push_back(place_.separator);
  path.append(place_.prefix);
  path.push_back('-');
  AppendDate(path, DateOfDay(day));
  if (number > 1) {
    path.push_back('-');
    AppendInt(path, number);
  }
  path.append(".csv");
}

void DailyCsv::DeleteOldDays(int64_t dayNumber) {
  if (dayNumber != cleanedDay_) {
    DeleteOldFiles(dayNumber);
  } else if (callsToRetry_ > 0 && --callsToRetry_ == 0) {
    DeleteOldFiles(dayNumber);
  }
}

void DailyCsv::DeleteOldFiles(int64_t today) {
  cleanedDay_ = today;
  // A folder that cannot be listed or a file that cannot be deleted now (read-only for a while,
  // held open by a viewer) is tried again within the day, not only at the next midnight.
  bool done = files_.ListFolder(place_.folder, names_);
  if (done) {
    for (const std::string& name : names_) {
      int64_t day = 0;
      int number = 0;
      if (ParseDailyName(place_.prefix, name, day, number) && day <= today - place_.keepDays &&
          !files_.Delete(place_.folder + place_.separator + name))
        done = false;
    }
  }
  callsToRetry_ = done ? 0 : kDeletionRetryCalls;
}

void DailyCsv::OpenDay(int64_t dayNumber) {
  day_ = dayNumber;
  files_.CreateFolder(place_.folder);
  DeleteOldDays(dayNumber);
  // The first file of the day that is missing or starts with this header; one that cannot be
  // read now (another program holds it) is taken as ours.
  for (number_ = 1; number_ <= kLastNumber; ++number_) {
    NameFile(dayNumber, number_, path_);
    const platform::FilePart head = files_.Read(path_, header_.size() + 2, false);
    if (head.status == platform::FilePart::Status::Missing) {
      Queue(header_);
      return;
    }
    if (head.status == platform::FilePart::Status::Failed) return;
    std::string_view first(head.bytes);
    first = first.substr(0, first.find('\n'));
    if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
    if (first == header_) {
      // A run killed in the middle of a write left a torn line: end it, so that what follows
      // starts on a line of its own.
      const platform::FilePart tail = files_.Read(path_, 1, true);
      if (tail.status == platform::FilePart::Status::Ok && tail.bytes != "\n") Queue({});
      return;
    }
  }
  // Every number of the day taken by other files: the last one gets the lines.
  number_ = kLastNumber;
}

void DailyCsv::Queue(std::string_view text) {
  if (count_ == queue_.size()) {
    ++lost_;
    return;
  }
  Line& line = queue_[(head_ + count_) % queue_.size()];
  line.day = day_;
  line.number = number_;
  line.length = static_cast<uint16_t>(std::min(text.size(), kLineBytes));
  if (line.length > 0) std::memcpy(line.text, text.data(), line.length);
  ++count_;
}

void DailyCsv::Add(int64_t dayNumber, int64_t unixMs, std::string_view line) {
  if (dayNumber != day_) OpenDay(dayNumber);
  DeleteOldDays(dayNumber);  // nothing to do but count, unless a deletion is owed
  Queue(line);
  Flush(unixMs);
}

void DailyCsv::Flush(int64_t unixMs) {
  for (int writes = 0; writes < kWritesPerAdd && count_ > 0; ++writes) {
    const Line& first = queue_[head_];
    block_.clear();
    std::size_t taken = 0;
    while (taken < count_ && block_.size() < kBlockBytes) {
      const Line& line = queue_[(head_ + taken) % queue_.size()];
      if (line.day != first.day || line.number != first.number) break;
      block_.append(line.text, line.length);
      block_.push_back('\n');
      ++taken;
    }
    NameFile(first.day, first.number, path_);
    if (!files_.Append(path_, block_)) {
      if (!failing_) {
        failing_ = true;
        failingSinceMs_ = unixMs;
      }
      // The folder may have gone since the day began.
      files_.CreateFolder(place_.folder);
      return;
    }
    head_ = (head_ + taken) % queue_.size();
    count_ -= taken;
    if (failing_) {
      failing_ = false;
      recoveredFrom_ = failingSinceMs_;
    }
  }
}

int64_t DailyCsv::TakeRecovery() {
  const int64_t from = recoveredFrom_;
  recoveredFrom_ = -1;
  return from;
}

}  // namespace vigilon::records
