// Loading and saving the settings file, and the repairs an edited file may need.
#include "items/settings_file.h"

#include <cmath>

#include "items/conversions.h"
#include "items/number_format.h"

namespace vigilon::items {

namespace {

// The interval the scroll bar can show.
constexpr int16_t kPollIntervalMin = 1;
constexpr int16_t kPollIntervalMax = 120;
// The fan limit up-down runs on the mirrored scale 255 - count and stops at 254: a count of 0
// has no finite speed, and the chip would take every fan for too slow.
constexpr int16_t kFanLimitCountMin = kFanLimitCountLowest;
constexpr int16_t kFanLimitCountMax = kFanLimitCountHighest;
// The temperature slider spans -40..127 degrees; the high limit stays 5 degrees above its bottom.
constexpr float kTempScaleBottom = -40;
constexpr float kTempScaleTop = 127;
constexpr float kTempLimitBottom = -35;

std::string Indexed(const char* name, int i) {
  return std::string(name) + "(" + std::to_string(i) + ")";
}

class Repairs {
 public:
  void Note(const std::string& what, const std::string& was, const std::string& now) {
    lines_.push_back(what + " was " + was + ", now " + now);
  }
  // A single that is NaN or infinite gets its default.
  void Finite(float& value, float fallback, const std::string& what) {
    if (std::isfinite(value)) return;
    Note(what, FormatGeneral(value), FormatGeneral(fallback));
    value = fallback;
  }
  void Clamp(float& value, float lo, float hi, const std::string& what) {
    const float was = value;
    if (value < lo) value = lo;
    if (value > hi) value = hi;
    if (value != was) Note(what, FormatGeneral(was), FormatGeneral(value));
  }
  void Clamp(int16_t& value, int16_t lo, int16_t hi, const std::string& what) {
    const int16_t was = value;
    if (value < lo) value = lo;
    if (value > hi) value = hi;
    if (value != was) Note(what, std::to_string(was), std::to_string(value));
  }
  std::vector<std::string> Take() { return std::move(lines_); }

 private:
  std::vector<std::string> lines_;
};

// A voltage limit whose scale value the chip's register cannot hold becomes the volts of the
// nearest end of the register range.
void ClampVoltLimit(float& volts, VoltScale scale, int item, float factor, const std::string& what,
                    Repairs& repairs) {
  const ScaleRange range = RegisterScaleRange(scale);
  const int32_t value = VoltsToScale(scale, item, volts, factor);
  if (value >= range.min && value <= range.max) return;
  const float now = VoltsFromScale(scale, item, value < range.min ? range.min : range.max, factor);
  repairs.Note(what, FormatGeneral(volts), FormatGeneral(now));
  volts = now;
}

void RepairTables(ItemTables& t, const chip::ChipTraits& model, Repairs& repairs) {
  ItemTables d;
  LoadDefaultLimits(d);
  for (int i = 0; i < kVoltItemCount; ++i) {
    float& factor = t.VoltFactor[i];
    if (!std::isfinite(factor) || factor <= 0) {
      repairs.Note(Indexed("VoltFactor", i), FormatGeneral(factor), FormatGeneral(d.VoltFactor[i]));
      factor = d.VoltFactor[i];
    }
    repairs.Finite(t.VoltSliderMin[i], d.VoltSliderMin[i], Indexed("VoltSliderMin", i));
    repairs.Finite(t.VoltSliderMax[i], d.VoltSliderMax[i], Indexed("VoltSliderMax", i));
    repairs.Finite(t.VoltLowLimit[i], d.VoltLowLimit[i], Indexed("VoltLowLimit", i));
    repairs.Finite(t.VoltHighLimit[i], d.VoltHighLimit[i], Indexed("VoltHighLimit", i));
    const VoltScale scale = VoltScaleFor(model, i);
    ClampVoltLimit(t.VoltLowLimit[i], scale, i, factor, Indexed("VoltLowLimit", i), repairs);
    ClampVoltLimit(t.VoltHighLimit[i], scale, i, factor, Indexed("VoltHighLimit", i), repairs);
  }
  for (int f = 0; f < kFanCount; ++f) {
    if (t.FanDivisor[f] <= 0) {
      repairs.Note(Indexed("FanDivisor", f), std::to_string(t.FanDivisor[f]),
                   std::to_string(d.FanDivisor[f]));
      t.FanDivisor[f] = d.FanDivisor[f];
    }
    repairs.Clamp(t.FanLimitCount[f], kFanLimitCountMin, kFanLimitCountMax,
                  Indexed("FanLimitCount", f));
  }
  for (int s = 0; s < kTempCount; ++s) {
    repairs.Finite(t.TempLimit[s], d.TempLimit[s], Indexed("TempLimit", s));
    repairs.Clamp(t.TempLimit[s], kTempLimitBottom, kTempScaleTop, Indexed("TempLimit", s));
    repairs.Finite(t.TempHyst[s], d.TempHyst[s], Indexed("TempHyst", s));
    repairs.Clamp(t.TempHyst[s], kTempScaleBottom, kTempScaleTop, Indexed("TempHyst", s));
  }
  repairs.Clamp(t.PollInterval, kPollIntervalMin, kPollIntervalMax, "PollInterval");
}

template <std::size_t N>
void SinglesFromRecord(std::array<float, N>& to, const std::array<uint32_t, N>& from, int used) {
  for (int i = 0; i < used; ++i) to[i] = SingleFromBits(from[i]);
}

template <std::size_t N>
void SinglesToRecord(std::array<uint32_t, N>& to, const std::array<float, N>& from, int used) {
  for (int i = 0; i < used; ++i) to[i] = BitsFromSingle(from[i]);
}

void UseDefaults(ItemTables& tables) {
  LoadDefaultLimits(tables);
  tables.settingsRecord = SettingsRecord{};
  StoreSettingsRecord(tables, tables.settingsRecord);
}

}  // namespace

std::optional<std::string> SettingsFilePath(const SettingsLocation& where) {
  if (where.model == nullptr) return std::nullopt;
  return where.programFolder + where.separator + where.model->settingsFile;
}

std::vector<std::string> ApplySettingsRecord(ItemTables& t, const SettingsRecord& r,
                                             const chip::ChipTraits& model) {
  t.settingsRecord = r;
  SinglesFromRecord(t.VoltSliderMin, r.VoltSliderMin, kVoltItemCount);
  SinglesFromRecord(t.VoltSliderMax, r.VoltSliderMax, kVoltItemCount);
  SinglesFromRecord(t.VoltLowLimit, r.VoltLowLimit, kVoltItemCount);
  SinglesFromRecord(t.VoltHighLimit, r.VoltHighLimit, kVoltItemCount);
  SinglesFromRecord(t.VoltFactor, r.VoltFactor, kVoltItemCount);
  for (int f = 0; f < kFanCount; ++f) {
    t.FanDivisor[f] = r.FanDivisor[f];
    t.FanLimitCount[f] = r.FanLimitCount[f];
  }
  SinglesFromRecord(t.TempHyst, r.TempHyst, kTempCount);
  SinglesFromRecord(t.TempLimit, r.TempLimit, kTempCount);
  t.Password.assign(r.Password.begin(), r.Password.end());
  t.ItemEnabled = r.ItemEnabled;
  t.ItemWErr1 = r.ItemWErr1;
  t.ItemWErr3 = r.ItemWErr3;
  t.ItemBeep = r.ItemBeep;
  EnforceItemInvariants(t);
  t.VidDefaultsPending = r.VidDefaultsPending;
  t.TempInCelsius = r.TempInCelsius;
  t.PollInterval = r.PollInterval;
  Repairs repairs;
  RepairTables(t, model, repairs);
  return repairs.Take();
}

void StoreSettingsRecord(const ItemTables& t, SettingsRecord& r) {
  SinglesToRecord(r.VoltSliderMin, t.VoltSliderMin, kVoltItemCount);
  SinglesToRecord(r.VoltSliderMax, t.VoltSliderMax, kVoltItemCount);
  SinglesToRecord(r.VoltLowLimit, t.VoltLowLimit, kVoltItemCount);
  SinglesToRecord(r.VoltHighLimit, t.VoltHighLimit, kVoltItemCount);
  SinglesToRecord(r.VoltFactor, t.VoltFactor, kVoltItemCount);
  for (int f = 0; f < kFanCount; ++f) {
    r.FanDivisor[f] = t.FanDivisor[f];
    r.FanLimitCount[f] = t.FanLimitCount[f];
  }
  SinglesToRecord(r.TempHyst, t.TempHyst, kTempCount);
  SinglesToRecord(r.TempLimit, t.TempLimit, kTempCount);
  r.Password.fill(' ');
  for (std::size_t i = 0; i < r.Password.size() && i < t.Password.size(); ++i)
    r.Password[i] = t.Password[i];
  r.ItemEnabled = t.ItemEnabled;
  r.ItemWErr1 = t.ItemWErr1;
  r.ItemWErr3 = t.ItemWErr3;
  r.ItemBeep = t.ItemBeep;
  r.VidDefaultsPending = t.VidDefaultsPending;
  r.TempInCelsius = t.TempInCelsius;
  r.PollInterval = t.PollInterval;
}

SettingsLoadReport LoadSettingsFile(ItemTables& tables, SettingsFiles& files,
                                    const SettingsLocation& where) {
  SettingsLoadReport report;
  const std::optional<std::string> path = SettingsFilePath(where);
  if (!path) {
    report.source = SettingsLoadReport::Source::DefaultsNoModel;
    UseDefaults(tables);
    return report;
  }
  FileReadResult read = files.ReadWholeFile(*path);
  std::optional<SettingsRecord> record;
  switch (read.status) {
    case FileReadResult::Status::Missing:
      report.source = SettingsLoadReport::Source::DefaultsMissing;
      break;
    case FileReadResult::Status::Failed:
      report.source = SettingsLoadReport::Source::DefaultsUnreadable;
      report.readError = read.error;
      break;
    case FileReadResult::Status::Ok:
      record = DecodeSettingsRecord(read.bytes);
      report.source =
          record ? SettingsLoadReport::Source::File : SettingsLoadReport::Source::DefaultsShort;
      break;
  }
  if (record) {
    report.repairs = ApplySettingsRecord(tables, *record, *where.model);
  } else {
    UseDefaults(tables);
  }
  return report;
}

std::optional<std::string> SaveSettingsFile(ItemTables& tables, SettingsFiles& files,
                                            const SettingsLocation& where) {
  const std::optional<std::string> path = SettingsFilePath(where);
  if (!path) {
    return "The settings could not be saved: this chip model has no settings file.";
  }
  StoreSettingsRecord(tables, tables.settingsRecord);
  const SettingsBytes record = EncodeSettingsRecord(tables.settingsRecord);
  std::vector<uint8_t> contents(record.begin(), record.end());

  // Whatever a longer file holds after the record stays; if the old file cannot be read, its
  // tail cannot be kept either, so nothing is written.
  const FileReadResult old = files.ReadWholeFile(*path);
  if (old.status == FileReadResult::Status::Failed) {
    return "The settings could not be saved: " + *path + " cannot be read (" + old.error + ").";
  }
  if (old.status == FileReadResult::Status::Ok && old.bytes.size() > kSettingsRecordSize)
    contents.insert(contents.end(), old.bytes.begin() + kSettingsRecordSize, old.bytes.end());

  if (auto error = files.ReplaceFileContents(*path, contents))
    return "The settings could not be saved to " + *path + ": " + *error;
  return std::nullopt;
}

std::optional<std::string> MakeData(ItemTables& tables, SettingsFiles& files,
                                    const SettingsLocation& where) {
  tables.PollInterval = 4;
  tables.VidDefaultsPending = kTrue;
  tables.TempInCelsius = kTrue;
  return SaveSettingsFile(tables, files, where);
}

}  // namespace vigilon::items
