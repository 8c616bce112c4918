// The exposition text of a cycle and its file.
#include "records/metrics_file.h"

#include <cmath>

#include "items/items.h"
#include "records/text_out.h"

namespace vigilon::records {

namespace {

enum class Kind : uint8_t { Voltage, Fan, Temperature, Chassis };

Kind KindOf(int item) {
  if (item < items::kFirstFanItem) return Kind::Voltage;
  if (item < items::kFirstTempItem) return Kind::Fan;
  if (item < items::kChassisItem) return Kind::Temperature;
  return Kind::Chassis;
}

// What a family shows of an item: the reading, a limit, or whether it is out of limits.
enum class Shows : uint8_t { Value, Low, High, Out };

struct Family {
  const char* name;
  const char* help;
  Kind kind;
  Shows shows;
  const char* label;  // the item's label; nullptr: no item label
  int decimals;
};

constexpr Family kFamilies[] = {
    {"vigilon_voltage_volts", "Supply voltage read from the monitor chip.", Kind::Voltage,
     Shows::Value, "sensor", 3},
    {"vigilon_voltage_low_limit_volts", "Low limit of the supply voltage.", Kind::Voltage,
     Shows::Low, "sensor", 3},
    {"vigilon_voltage_high_limit_volts", "High limit of the supply voltage.", Kind::Voltage,
     Shows::High, "sensor", 3},
    {"vigilon_fan_speed_rpm", "Fan speed; 0 for a stopped fan.", Kind::Fan, Shows::Value, "fan", 0},
    {"vigilon_fan_low_limit_rpm", "Low limit of the fan speed; 0 accepts a stopped fan.", Kind::Fan,
     Shows::Low, "fan", 0},
    {"vigilon_temperature_celsius", "Temperature read from the monitor chip.", Kind::Temperature,
     Shows::Value, "sensor", 1},
    {"vigilon_temperature_high_limit_celsius", "High limit of the temperature.", Kind::Temperature,
     Shows::High, "sensor", 1},
    {"vigilon_chassis_open", "1 while the chassis is open.", Kind::Chassis, Shows::Value, nullptr,
     0},
};

constexpr const char* kKindNames[] = {"voltage", "fan", "temperature", "chassis"};

void AppendHeadLines(std::string& out, const char* name, const char* help) {
  out.append("# HELP ").append(name).append(" ").append(help).append("\n# TYPE ");
  out.append(name).append(" gauge\n");
}

void AppendLabelValue(std::string& out, std::string_view value) {
  for (const char c : value) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
}

bool Shown(const ItemReading& r) {
  return r.present && r.monitored && r.read;
}

}  // namespace

void FormatMetrics(std::string& out, const CycleReadings& cycle, const chip::ChipTraits& model,
                   std::string_view version) {
  out.clear();
  const bool up = cycle.outcome == CycleOutcome::Complete;
  AppendHeadLines(out, "vigilon_up",
                  "1 after a complete monitoring cycle; 0 while suspended or while the chip does "
                  "not answer.");
  out.append("vigilon_up ").push_back(up ? '1' : '0');
  out.push_back('\n');
  AppendHeadLines(out, "vigilon_last_cycle_timestamp_seconds",
                  "When the last monitoring cycle began, in seconds since the epoch.");
  out.append("vigilon_last_cycle_timestamp_seconds ");
  AppendFixed(out, static_cast<double>(cycle.unixMs) / 1000.0, 3);
  out.push_back('\n');
  AppendHeadLines(out, "vigilon_info", "The program's version and the chip model it watches.");
  out.append("vigilon_info{chip=\"");
  AppendLabelValue(out, model.name);
  out.append("\",version=\"");
  AppendLabelValue(out, version);
  out.append("\"} 1\n");
  if (!up) return;

  for (const Family& family : kFamilies) {
    bool headed = false;
    for (int item = 0; item < items::kItemCount; ++item) {
      const ItemReading& r = cycle.items[item];
      if (KindOf(item) != family.kind || !Shown(r)) continue;
      double value = r.value;
      if (family.shows == Shows::Low) value = r.low;
      if (family.shows == Shows::High) value = r.high;
      if (std::isnan(value)) continue;
      if (!headed) AppendHeadLines(out, family.name, family.help);
      headed = true;
      out.append(family.name);
      if (family.label != nullptr) {
        out.append("{").append(family.label).append("=\"");
        AppendLabelValue(out, ItemName(model, item));
        out.append("\"}");
      }
      out.push_back(' ');
      AppendFixed(out, value, family.decimals);
      out.push_back('\n');
    }
  }
  bool headed = false;
  for (int item = 0; item < items::kItemCount; ++item) {
    const ItemReading& r = cycle.items[item];
    if (!Shown(r)) continue;
    if (!headed)
      AppendHeadLines(out, "vigilon_out_of_limits",
                      "1 while the item's reading is out of its limits.");
    headed = true;
    out.append("vigilon_out_of_limits{kind=\"");
    out.append(kKindNames[static_cast<int>(KindOf(item))]).append("\",item=\"");
    AppendLabelValue(out, ItemName(model, item));
    out.append("\"} ").push_back(r.inLimits ? '0' : '1');
    out.push_back('\n');
  }
}

MetricsFile::MetricsFile(platform::RecordFiles& files, std::string folder, char separator,
                         const chip::ChipTraits& model, std::string version)
    : files_(files),
      folder_(std::move(folder)),
      path_(folder_ + separator + "vigilon.prom"),
      temporary_(path_ + ".tmp"),
      model_(model),
      version_(std::move(version)) {
  text_.reserve(16 * 1024);
  files_.CreateFolder(folder_);
}

void MetricsFile::CycleEnded(const CycleReadings& cycle) {
  FormatMetrics(text_, cycle, model_, version_);
  if (files_.Replace(path_, temporary_, text_)) {
    failing_ = false;
    return;
  }
  if (!failing_) failingSinceMs_ = cycle.unixMs;
  failing_ = true;
  files_.CreateFolder(folder_);
}

}  // namespace vigilon::records
