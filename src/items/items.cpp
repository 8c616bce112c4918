// The item table, item availability per chip model and the default limits.
#include "items/items.h"

namespace vigilon::items {

namespace {

constexpr std::array<ItemInfo, kItemCount> kItems{{
    {0, "CPU", "CPU", "frmVcoreA"},
    {1, "VcoreB", "VCoreB", "frmVcoreB"},
    {2, "+3.3V", "+  3.3", "frmV33"},
    {3, "+5V", "+  5.0", "frmVp5"},
    {4, "+12V", "+12.0", "frmVp12"},
    {5, "-12V", "-12.0", "frmVn12"},
    {6, "-5V", "-  5.0", "frmVn5"},
    {7, "5Vsb", "5Vsb", "frmVsb"},
    {8, "Vbat", "Vbat", "frmVbat"},
    {9, "Chassis", "Chassis", "frmFan1"},
    {10, "CPU", "CPU", "frmFan2"},
    {11, "Second", "Second", "frmFan3"},
    {12, "System", "System", "frmTemp1"},
    {13, "CPU", "CPU", "frmTemp2"},
    {14, "Other", "Other", "frmTemp3"},
    {15, "", "Chassis Open", "frmCaseOpen"},
}};

// Default voltage rows: display range, limits, and the rail's divider folded into volts per
// count (computed in double, kept as single like the rest of the table).
struct VoltDefault {
  double sliderMin, sliderMax, low, high, factor;
};
constexpr std::array<VoltDefault, kVoltItemCount> kVoltDefaults{{
    {1, 4.1, 1.86, 2.26, 0.016},
    {1, 4.1, 3.1, 3.8, 0.016},
    {2.3, 4, 2.97, 3.63, 0.016},
    {4, 6, 4.5, 5.5, 0.016 / 0.595},
    {10, 14, 10.5, 13.5, 0.016 / 0.263},
    {-14, -10, -13.51, -10.52, 0.016 / 0.287},
    {-6, -4, -5.62, -4.36, 0.016 / 0.664},
    {4, 6, 4.375, 5.625, 0.016 / 0.66},
    {1.5, 6, 2.75, 4, 0.016},
}};

constexpr std::array<int16_t, kFanCount> kFanLimitCountDefaults{168, 84, 84};
constexpr std::array<float, kTempCount> kTempLimitDefaults{65, 85, 65};

// Items that are off, and silent, until the user turns them on.
constexpr std::array<MonitorItem, 4> kOffByDefault{9, 11, 6, 14};

}  // namespace

const std::array<ItemInfo, kItemCount>& ItemTable() {
  return kItems;
}

ItemAvailability ItemAvailabilityFor(const chip::ChipTraits& model) {
  ItemAvailability a;
  for (int i = 0; i < kItemCount; ++i) {
    a.ItemPresent[i] = model.ItemPresent(i) ? 1 : 0;
    a.ItemBeepCapable[i] = model.ItemBeepCapable(i) ? 1 : 0;
  }
  return a;
}

void EnforceItemInvariants(ItemTables& t) {
  for (int i = 0; i < kItemCount; ++i) {
    if (t.ItemPresent[i] == 0) t.ItemEnabled[i] = 0;
    if (t.ItemBeepCapable[i] == 0) t.ItemBeep[i] = 0;
  }
}

void LoadDefaultLimits(ItemTables& t) {
  for (int i = 0; i < kVoltItemCount; ++i) {
    const VoltDefault& d = kVoltDefaults[i];
    t.VoltSliderMin[i] = static_cast<float>(d.sliderMin);
    t.VoltSliderMax[i] = static_cast<float>(d.sliderMax);
    t.VoltLowLimit[i] = static_cast<float>(d.low);
    t.VoltHighLimit[i] = static_cast<float>(d.high);
    t.VoltFactor[i] = static_cast<float>(d.factor);
  }
  for (int f = 0; f < kFanCount; ++f) {
    t.FanDivisor[f] = kFanCountDivisor;
    t.FanLimitCount[f] = kFanLimitCountDefaults[f];
  }
  for (int s = 0; s < kTempCount; ++s) {
    t.TempLimit[s] = kTempLimitDefaults[s];
    t.TempHyst[s] = t.TempLimit[s] - kTempHystBelowLimit;
  }
  t.ItemEnabled.fill(1);
  t.ItemWErr1.fill(1);
  t.ItemWErr3.fill(0);
  t.ItemBeep.fill(1);
  t.Password = std::string(8, ' ');
  t.VidDefaultsPending = kTrue;
  t.TempInCelsius = kTrue;
  t.PollInterval = 4;
  for (MonitorItem i : kOffByDefault) {
    t.ItemEnabled[i] = 0;
    t.ItemBeep[i] = 0;
  }
  t.ItemEnabled[kChassisItem] = 1;
  t.ItemBeep[kChassisItem] = 1;
  t.ItemWErr1[kChassisItem] = 0;
  t.ItemWErr3[kChassisItem] = 1;
  EnforceItemInvariants(t);
}

}  // namespace vigilon::items
