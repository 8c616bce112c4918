// The repair rules of a loaded settings file, one place for each kind of value.
#include "items/settings_repairs.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "items/conversions.h"

namespace vigilon::items {

namespace {

// The interval the scroll bar can show.
constexpr int16_t kPollIntervalMin = 1;
constexpr int16_t kPollIntervalMax = 120;
// The temperature slider spans -40..127 degrees; the high limit stays 5 degrees above its bottom.
constexpr float kTempScaleBottom = -40;
constexpr float kTempScaleTop = 127;
constexpr float kTempLimitBottom = kTempScaleBottom + kTempHystBelowLimit;

std::string Indexed(const char* name, int i) {
  return std::string(name) + "(" + std::to_string(i) + ")";
}

// A single as the user would write it: up to 7 significant digits, so 2.3 is "2.3".
std::string Single(float value) {
  std::array<char, 32> buf{};
  const auto res =
      std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::general, 7);
  return std::string(buf.data(), res.ptr);
}

// One line per value: a value repaired twice (clamped, then put below its limit) shows what the
// file held and what is in use now.
class Repairs {
 public:
  void Note(const std::string& what, const std::string& was, const std::string& now,
            const char* why = nullptr) {
    for (Line& line : lines_) {
      if (line.what != what) continue;
      line.now = now;
      if (why != nullptr) line.why = why;
      return;
    }
    lines_.push_back({what, was, now, why});
  }
  void Set(float& value, float now, const std::string& what, const char* why = nullptr) {
    if (BitsFromSingle(value) == BitsFromSingle(now)) return;
    Note(what, Single(value), Single(now), why);
    value = now;
  }
  // A single that is NaN or infinite gets its default.
  void Finite(float& value, float fallback, const std::string& what) {
    if (!std::isfinite(value)) Set(value, fallback, what);
  }
  void Clamp(float& value, float lo, float hi, const std::string& what) {
    Set(value, std::clamp(value, lo, hi), what);
  }
  void Clamp(int16_t& value, int16_t lo, int16_t hi, const std::string& what) {
    const int16_t was = value;
    value = std::clamp(value, lo, hi);
    if (value != was) Note(what, std::to_string(was), std::to_string(value));
  }
  std::vector<std::string> Take() const {
    std::vector<std::string> text;
    for (const Line& l : lines_) {
      text.push_back(l.what + " was " + l.was + ", now " + l.now);
      if (l.why != nullptr) text.back() += std::string(" (") + l.why + ")";
    }
    return text;
  }

 private:
  struct Line {
    std::string what, was, now;
    const char* why;
  };
  std::vector<Line> lines_;
};

// One voltage item's slider range and limit band, compared on the item's scale (the unit of its
// slider and up-downs) as the limit rows will set them up.
class VoltRow {
 public:
  VoltRow(ItemTables& t, int item, VoltScale scale)
      : t_(t), i_(item), scale_(scale), registers_(RegisterScaleRange(scale)) {}

  int32_t ToScale(float volts) const { return VoltsToScale(scale_, i_, volts, t_.VoltFactor[i_]); }

  // A range whose ends are reversed, or that leaves nothing the chip's registers can hold,
  // becomes the item's default range.
  void RepairRange(const ItemTables& d, Repairs& repairs) {
    const int32_t bottom = ToScale(t_.VoltSliderMin[i_]);
    const int32_t top = ToScale(t_.VoltSliderMax[i_]);
    const bool reversed = bottom > top;
    if (!reversed && std::max(bottom, registers_.min) <= std::min(top, registers_.max)) return;
    const char* why = reversed ? "its ends were reversed" : "the chip cannot hold any of it";
    repairs.Set(t_.VoltSliderMin[i_], d.VoltSliderMin[i_], Indexed("VoltSliderMin", i_), why);
    repairs.Set(t_.VoltSliderMax[i_], d.VoltSliderMax[i_], Indexed("VoltSliderMax", i_), why);
  }

  // A reversed band gets the item's default limits; each limit then lies in the part of the
  // slider range the registers can hold, or is brought to its nearest end.
  void RepairBand(const ItemTables& d, Repairs& repairs) {
    const bool reversed = ToScale(t_.VoltLowLimit[i_]) > ToScale(t_.VoltHighLimit[i_]);
    RepairLimit(t_.VoltLowLimit[i_], d.VoltLowLimit[i_], reversed, "VoltLowLimit", repairs);
    RepairLimit(t_.VoltHighLimit[i_], d.VoltHighLimit[i_], reversed, "VoltHighLimit", repairs);
  }

 private:
  struct End {
    int32_t scale;
    float volts;
    const char* why;
  };
  // The slider's end where the registers reach it, else the registers' own end. A range the
  // chip cannot hold at all (only a factor far from the default gives one) leaves the registers
  // alone to decide.
  End Bottom() const {
    const int32_t bottom = ToScale(t_.VoltSliderMin[i_]);
    if (bottom >= registers_.min &&
        bottom <= std::min(ToScale(t_.VoltSliderMax[i_]), registers_.max))
      return {bottom, t_.VoltSliderMin[i_], "below its slider range"};
    return RegisterEnd(registers_.min);
  }
  End Top() const {
    const int32_t top = ToScale(t_.VoltSliderMax[i_]);
    if (top <= registers_.max && top >= std::max(ToScale(t_.VoltSliderMin[i_]), registers_.min))
      return {top, t_.VoltSliderMax[i_], "above its slider range"};
    return RegisterEnd(registers_.max);
  }
  void RepairLimit(float& volts, float fallback, bool reversed, const char* name,
                   Repairs& repairs) const {
    float now = reversed ? fallback : volts;
    const char* why = reversed ? "the limits were reversed" : nullptr;
    const End bottom = Bottom();
    const End top = Top();
    const int32_t value = ToScale(now);
    if (value < bottom.scale || value > top.scale) {
      const End& end = value < bottom.scale ? bottom : top;
      now = end.volts;
      if (!reversed) why = end.why;
    }
    repairs.Set(volts, now, Indexed(name, i_), why);
  }
  End RegisterEnd(int32_t value) const {
    return {value, VoltsFromScale(scale_, i_, value, t_.VoltFactor[i_]),
            "beyond what the chip's register holds"};
  }

  ItemTables& t_;
  int i_;
  VoltScale scale_;
  ScaleRange registers_;
};

void RepairVoltages(ItemTables& t, const ItemTables& d, const chip::ChipTraits& model,
                    Repairs& repairs) {
  for (int i = 0; i < kVoltItemCount; ++i) {
    float& factor = t.VoltFactor[i];
    if (!std::isfinite(factor) || factor <= 0)
      repairs.Set(factor, d.VoltFactor[i], Indexed("VoltFactor", i));
    repairs.Finite(t.VoltSliderMin[i], d.VoltSliderMin[i], Indexed("VoltSliderMin", i));
    repairs.Finite(t.VoltSliderMax[i], d.VoltSliderMax[i], Indexed("VoltSliderMax", i));
    repairs.Finite(t.VoltLowLimit[i], d.VoltLowLimit[i], Indexed("VoltLowLimit", i));
    repairs.Finite(t.VoltHighLimit[i], d.VoltHighLimit[i], Indexed("VoltHighLimit", i));
    VoltRow row(t, i, VoltScaleFor(model, i));
    row.RepairRange(d, repairs);
    row.RepairBand(d, repairs);
  }
}

}  // namespace

std::vector<std::string> RepairSettingsTables(ItemTables& t, const chip::ChipTraits& model) {
  ItemTables d;
  LoadDefaultLimits(d);
  Repairs repairs;
  RepairVoltages(t, d, model, repairs);
  static const std::string kWhyDivisor =
      "the chip counts every fan with divisor " + std::to_string(kFanCountDivisor);
  for (int f = 0; f < kFanCount; ++f) {
    if (t.FanDivisor[f] != kFanCountDivisor) {
      repairs.Note(Indexed("FanDivisor", f), std::to_string(t.FanDivisor[f]),
                   std::to_string(kFanCountDivisor), kWhyDivisor.c_str());
      t.FanDivisor[f] = kFanCountDivisor;
    }
    // The limit up-down runs on the mirrored scale 255 - count and stops at 254: a count of 0
    // has no finite speed, and the chip would take every fan for too slow.
    repairs.Clamp(t.FanLimitCount[f], kFanLimitCountLowest, kFanLimitCountHighest,
                  Indexed("FanLimitCount", f));
  }
  for (int s = 0; s < kTempCount; ++s) {
    repairs.Finite(t.TempLimit[s], d.TempLimit[s], Indexed("TempLimit", s));
    repairs.Clamp(t.TempLimit[s], kTempLimitBottom, kTempScaleTop, Indexed("TempLimit", s));
    repairs.Finite(t.TempHyst[s], d.TempHyst[s], Indexed("TempHyst", s));
    repairs.Clamp(t.TempHyst[s], kTempScaleBottom, kTempScaleTop, Indexed("TempHyst", s));
    if (t.TempHyst[s] >= t.TempLimit[s])
      repairs.Set(t.TempHyst[s], t.TempLimit[s] - kTempHystBelowLimit, Indexed("TempHyst", s),
                  "at or above its limit");
  }
  repairs.Clamp(t.PollInterval, kPollIntervalMin, kPollIntervalMax, "PollInterval");
  return repairs.Take();
}

}  // namespace vigilon::items
