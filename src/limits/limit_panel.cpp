// The limit rows: layout, set-up from the tables with the chip's limit registers, the change
// reactions and the refresh from the item flags.
#include "limits/limit_panel.h"

#include <algorithm>
#include <cstdlib>

#include "items/conversions.h"
#include "items/number_format.h"

namespace vigilon::limits {

using items::FormatFixed;
using items::VoltScale;

namespace {

// ---- Layout, twips inside each frame ----
constexpr int kRowPitch = 240;
constexpr int kFanTempFirstRow = 465;
constexpr int kLabelDrop = 15;  // a label's text sits a little below its row's top
constexpr int kLabelHeight = 210;
constexpr int kSpinHeight = 240;
constexpr int kSpinWidth = 255;

// Columns, shared by the three frames so that limits and readings stand under each other.
constexpr int kColName = 120, kWidthName = 735;
constexpr int kColLoSpin = 870;
constexpr int kColLoLimit = 1140, kWidthLimit = 600;
constexpr int kColLoBound = 1785, kWidthBound = 570;
constexpr int kColSlider = 2385, kWidthSlider = 3045;
constexpr int kColHiBound = 5460;
constexpr int kColHiLimit = 6045;
constexpr int kColHiSpin = 6675;
constexpr int kColStatus = 6960, kWidthStatus = 960;  // room for "low_speed" and "-12.03"
constexpr int kColFanBar = 870, kWidthFanBar = 4560;
constexpr int kHeadingsTop = 300;

// Where each voltage row stands at design time. Rows 1 and 6 lie outside the frame: one below
// it, one to its right; only the row move of the models without a second core rail brings
// row 6 into view.
constexpr int kVoltFirstRow = 570;
constexpr int VoltRow(int place) {
  return kVoltFirstRow + place * kRowPitch;
}
constexpr std::array<int, kVolts> kVoltRowTop{VoltRow(0), 6705,       VoltRow(1),
                                              VoltRow(2), VoltRow(3), VoltRow(4),
                                              VoltRow(4), VoltRow(5), VoltRow(6)};
constexpr int kOutsideRight = 8385 - kColName;  // row 6's shift to the right of the frame

constexpr std::array<const char*, kVolts> kVoltNames{"CPU",  "VcoreB", "+3.3V", "+5V", "+12V",
                                                     "-12V", "-5V",    "5Vsb",  "Vbat"};
constexpr std::array<const char*, kFans> kFanNames{"Chassis", "CPU", "Second"};
constexpr std::array<const char*, kTemps> kTempNames{"System", "CPU", "Other"};

std::string Member(const char* base, int index) {
  return ui::ArrayName(base, static_cast<size_t>(index));
}

double CaptionValue(const ui::Label& label) {
  return std::strtod(label.caption().c_str(), nullptr);
}

// Every conversion to a control or register value takes the nearest integer, halves to even.
int Nearest(double x) {
  return items::NearestClamped(x, -32768, 32767);
}

}  // namespace

LimitPanel::LimitPanel(RunState& run) : run_(run), writer_(run) {
  for (int i = 0; i < kVolts; ++i) {
    updLoLimit[i].onChange = [this, i] { updLoLimit_Change(i); };
    updHiLimit[i].onChange = [this, i] { updHiLimit_Change(i); };
  }
  for (int f = 0; f < kFans; ++f)
    updFanLoLimit[f].onChange = [this, f] { updFanLoLimit_Change(f); };
  for (int t = 0; t < kTemps; ++t) {
    updTempHiLimit[t].onChange = [this, t] { updTempHiLimit_Change(t); };
    updTempLoLimit[t].onChange = [this, t] { updTempLoLimit_Change(t); };
    lblTempHiBound[t].onChange = [this] { RefreshFahrenheitBounds(); };
    lblTempLoBound[t].onChange = [this] { RefreshFahrenheitBounds(); };
  }
}

std::vector<ui::ControlSpec> LimitPanel::Specs() {
  using ui::Align;
  using ui::Args;
  std::vector<ui::ControlSpec> specs;
  auto add = [&](ui::Control& control, ui::ControlArgs args) {
    specs.push_back({control, std::move(args)});
  };
  auto label = [&](ui::Label& l, std::string name, std::string caption, const char* frame, int left,
                   int top, int width, Align align = Align::Left) {
    add(l, Args(std::move(name))
               .Caption(std::move(caption))
               .At(left, top + kLabelDrop, width, kLabelHeight)
               .In(frame)
               .Aligned(align));
  };

  add(FraVoltage, Args("FraVoltage").Caption("Voltage (V)").At(120, 0, 7995, 2565));
  add(fraFanSpeed, Args("fraFanSpeed").Caption("Fan Speed (R.P.M.)").At(120, 2625, 8000, 1335));
  add(fraTemperature, Args("fraTemperature").Caption("Temperature").At(150, 4080, 8000, 1335));

  label(Label1, "Label1", "Low Limit", "FraVoltage", kColLoSpin, kHeadingsTop, 900);
  label(Label2, "Label2", "High Limit", "FraVoltage", kColHiLimit, kHeadingsTop, 900);
  label(Label3, "Label3", "Status", "FraVoltage", kColStatus, kHeadingsTop, kWidthStatus,
        Align::Center);
  for (int i = 0; i < kVolts; ++i) {
    const int top = kVoltRowTop[i];
    const int dx = i == 6 ? kOutsideRight : 0;
    const char* f = "FraVoltage";
    label(lblItemName[i], Member("lblItemName", i), kVoltNames[i], f, kColName + dx, top,
          kWidthName);
    add(updLoLimit[i],
        Args(Member("updLoLimit", i)).At(kColLoSpin + dx, top, kSpinWidth, kSpinHeight).In(f));
    label(LblLoLimit[i], Member("LblLoLimit", i), "", f, kColLoLimit + dx, top, kWidthLimit,
          Align::Right);
    label(lblLoBound[i], Member("lblLoBound", i), "", f, kColLoBound + dx, top, kWidthBound,
          Align::Right);
    add(SldVoltage[i],
        Args(Member("SldVoltage", i)).At(kColSlider + dx, top, kWidthSlider, kSpinHeight).In(f));
    label(lblHiBound[i], Member("lblHiBound", i), "", f, kColHiBound + dx, top, kWidthBound);
    label(LblHiLimit[i], Member("LblHiLimit", i), "", f, kColHiLimit + dx, top, kWidthLimit,
          Align::Right);
    add(updHiLimit[i],
        Args(Member("updHiLimit", i)).At(kColHiSpin + dx, top, kSpinWidth, kSpinHeight).In(f));
    label(lblStatusV[i], Member("lblStatusV", i), "", f, kColStatus + dx, top, kWidthStatus,
          Align::Center);
  }
  add(lblV, Args("lblV")
                .Caption("V")
                .At(kColStatus + kWidthStatus, kVoltRowTop[1] + kLabelDrop, 105, kLabelHeight)
                .In("FraVoltage")
                .Hidden());

  label(lblFanLimit, "lblFanLimit", "Low Limit", "fraFanSpeed", kColHiLimit, kHeadingsTop - 75,
        900);
  label(Label5, "Label5", "Status", "fraFanSpeed", kColStatus, kHeadingsTop - 75, kWidthStatus,
        Align::Center);
  for (int f = 0; f < kFans; ++f) {
    const int top = kFanTempFirstRow + f * kRowPitch;
    const char* fr = "fraFanSpeed";
    label(lblFanItem[f], Member("lblFanItem", f), kFanNames[f], fr, kColName, top, kWidthName);
    add(prbFanSpeed[f], Args(Member("prbFanSpeed", f))
                            .At(kColFanBar, top + kLabelDrop, kWidthFanBar, kLabelHeight)
                            .In(fr));
    label(lblFanLoLimit[f], Member("lblFanLoLimit", f), "", fr, kColHiLimit, top, kWidthLimit,
          Align::Right);
    add(updFanLoLimit[f],
        Args(Member("updFanLoLimit", f)).At(kColHiSpin, top, kSpinWidth, kSpinHeight).In(fr));
    label(lblFanSpeed[f], Member("lblFanSpeed", f), "", fr, kColStatus, top, kWidthStatus,
          Align::Center);
  }

  const char* tf = "fraTemperature";
  label(Label7, "Label7", "Low Limit", tf, kColLoSpin, kHeadingsTop - 75, 900);
  label(Label6, "Label6", "High Limit", tf, kColHiLimit, kHeadingsTop - 75, 900);
  label(Label4, "Label4", "Status", tf, kColStatus, kHeadingsTop - 75, kWidthStatus, Align::Center);
  add(Image3, Args("Image3").Picture(kCelsiusMark).At(kColHiBound, 180, 240, 240).In(tf));
  add(Image4, Args("Image4").Picture(kFahrenheitMark).At(kColHiBound, 180, 240, 240).In(tf));
  for (int t = 0; t < kTemps; ++t) {
    const int top = kFanTempFirstRow + t * kRowPitch;
    label(lblTempItem[t], Member("lblTempItem", t), kTempNames[t], tf, kColName, top, kWidthName);
    add(updTempLoLimit[t],
        Args(Member("updTempLoLimit", t)).At(kColLoSpin, top, kSpinWidth, kSpinHeight).In(tf));
    label(lblTempLoLimit[t], Member("lblTempLoLimit", t), "", tf, kColLoLimit, top, kWidthLimit,
          Align::Right);
    label(lblTempLoBound[t], Member("lblTempLoBound", t), "-40", tf, kColLoBound, top, kWidthBound,
          Align::Right);
    label(dfTempLoBound[t], Member("dfTempLoBound", t), "", tf, kColLoBound, top, kWidthBound,
          Align::Right);
    add(sldTemp[t],
        Args(Member("sldTemp", t)).At(kColSlider, top, kWidthSlider, kSpinHeight).In(tf));
    label(lblTempHiBound[t], Member("lblTempHiBound", t), "127", tf, kColHiBound, top, kWidthBound);
    label(dfTempHiBound[t], Member("dfTempHiBound", t), "", tf, kColHiBound, top, kWidthBound);
    label(lblTempHiLimit[t], Member("lblTempHiLimit", t), "", tf, kColHiLimit, top, kWidthLimit,
          Align::Right);
    add(updTempHiLimit[t],
        Args(Member("updTempHiLimit", t)).At(kColHiSpin, top, kSpinWidth, kSpinHeight).In(tf));
    label(lblStatusT[t], Member("lblStatusT", t), "", tf, kColStatus, top, kWidthStatus,
          Align::Center);
  }
  add(lblCaseOpen, Args("lblCaseOpen").At(1065, 5580, 2400, kLabelHeight));
  return specs;
}

void LimitPanel::SetDesignValues() {
  for (auto& upd : updFanLoLimit) {
    upd.SetMin(1);
    upd.SetMax(254);  // stops short of a count of 0, which has no speed
    upd.SetValue(1);
  }
  for (auto& bar : prbFanSpeed) bar.SetMax(255);
  for (auto& sld : SldVoltage) sld.SetMax(255);
}

// ---- Voltages ----

void LimitPanel::InitVoltageControls() {
  items::ItemTables& t = run_.items;
  for (int i = 0; i < kVolts; ++i) {
    const VoltScale scale = items::VoltScaleFor(run_.traits(), i);
    const float factor = t.VoltFactor[i];
    auto toScale = [&](float volts) { return items::VoltsToScale(scale, i, volts, factor); };
    const int bottom = toScale(t.VoltSliderMin[i]);
    int top = toScale(t.VoltSliderMax[i]);
    if (scale != VoltScale::Negated) top = std::min(top, 255);
    const int lo = toScale(t.VoltLowLimit[i]);
    const int hi = toScale(t.VoltHighLimit[i]);

    SldVoltage[i].SetMax(top);
    SldVoltage[i].SetMin(bottom);
    // The up-downs never leave what the chip's one-byte registers can hold, whatever display
    // range an edited settings file gives.
    const items::ScaleRange reg = items::RegisterScaleRange(scale);
    updLoLimit[i].SetMax(hi);
    updLoLimit[i].SetMin(std::max(bottom, reg.min));
    updHiLimit[i].SetMax(std::min(top, reg.max));
    updHiLimit[i].SetMin(lo);
    updLoLimit[i].SetValue(updHiLimit[i].min());
    updHiLimit[i].SetValue(updLoLimit[i].max());

    const int low = updLoLimit[i].value();
    const int high = updHiLimit[i].value();
    SldVoltage[i].SetSelStart(low);
    SldVoltage[i].SetSelLength(high - low);
    SldVoltage[i].SetValue(SldVoltage[i].selStart());

    lblLoBound[i].SetCaption(FormatFixed(t.VoltSliderMin[i], 2));
    lblHiBound[i].SetCaption(FormatFixed(t.VoltSliderMax[i], 2));
    if (scale == VoltScale::Offset) {
      LblLoLimit[i].SetCaption(FormatFixed(t.VoltLowLimit[i], 2));
      LblHiLimit[i].SetCaption(FormatFixed(t.VoltHighLimit[i], 2));
    } else {
      LblLoLimit[i].SetCaption(FormatFixed(items::VoltsFromScale(scale, i, low, factor), 2));
      LblHiLimit[i].SetCaption(FormatFixed(items::VoltsFromScale(scale, i, high, factor), 2));
    }

    writer_.VoltLow(i, low);
    writer_.VoltHigh(i, high);
    SldVoltage[i].SetEnabled(false);
  }
}

void LimitPanel::updHiLimit_Change(int i) {
  if (!run_.PanelReady) return;
  const int v = updHiLimit[i].value();
  SldVoltage[i].SetSelLength(v - updLoLimit[i].value());
  updLoLimit[i].SetMax(v);
  const VoltScale scale = items::VoltScaleFor(run_.traits(), i);
  const float volts = items::VoltsFromScale(scale, i, v, run_.items.VoltFactor[i]);
  LblHiLimit[i].SetCaption(FormatFixed(volts, 2));
  run_.items.VoltHighLimit[i] = volts;
  writer_.VoltHigh(i, v);
}

void LimitPanel::updLoLimit_Change(int i) {
  if (!run_.PanelReady) return;
  const int v = updLoLimit[i].value();
  SldVoltage[i].SetSelStart(v);
  SldVoltage[i].SetSelLength(updHiLimit[i].value() - v);
  updHiLimit[i].SetMin(v);
  const VoltScale scale = items::VoltScaleFor(run_.traits(), i);
  const float volts = items::VoltsFromScale(scale, i, v, run_.items.VoltFactor[i]);
  LblLoLimit[i].SetCaption(FormatFixed(volts, 2));
  run_.items.VoltLowLimit[i] = volts;
  writer_.VoltLow(i, v);
}

void LimitPanel::Move_VoltCtrl_Position() {
  ui::ShiftRowsUp(2, 6, lblItemName, updLoLimit, LblLoLimit, lblLoBound, SldVoltage, lblHiBound,
                  LblHiLimit, updHiLimit, lblStatusV);
}

// ---- Fans ----

void LimitPanel::SetFanLimitQuietly(int f, int value) {
  // The program's own assignment: the change reaction must not write the chip for it.
  FanLimitArmed = false;
  updFanLoLimit[f].SetValue(value);
  FanLimitArmed = true;
}

void LimitPanel::AcceptStoppedFan(int f) {
  SetFanLimitQuietly(f, kAcceptsStoppedFan);
  lblFanLoLimit[f].SetCaption(
      items::FanSpeedText(items::kFanCountStopped, run_.items.FanDivisor[f]));
  updFanLoLimit[f].SetEnabled(false);
  writer_.FanAcceptsStopped(f);
}

void LimitPanel::RestoreFanLimit(int f) {
  const int16_t limit = run_.items.FanLimitCount[f];
  updFanLoLimit[f].SetEnabled(true);
  SetFanLimitQuietly(f, 255 - limit);
  lblFanLoLimit[f].SetCaption(items::FanSpeedText(limit, run_.items.FanDivisor[f]));
  writer_.FanLimit(f, limit);
}

void LimitPanel::InitFanControls() {
  writer_.FanDivisors();
  for (int f = 0; f < kFans; ++f) {
    updFanLoLimit[f].SetEnabled(true);
    if (writer_.FanFoundStopped(f)) {
      // A fan found stopped keeps a limit that accepts it, until the next set-up.
      AcceptStoppedFan(f);
      lblFanSpeed[f].SetCaption("low speed");
    } else {
      RestoreFanLimit(f);
    }
  }
}

void LimitPanel::updFanLoLimit_Change(int f) {
  if (!FanLimitArmed) return;
  const int16_t count = static_cast<int16_t>(255 - updFanLoLimit[f].value());
  run_.items.FanLimitCount[f] = count;
  lblFanLoLimit[f].SetCaption(items::FanSpeedText(count, run_.items.FanDivisor[f]));
  writer_.FanLimit(f, count);
}

// ---- Temperatures ----

void LimitPanel::InitTemperatureControls() {
  items::ItemTables& tables = run_.items;
  for (int t = 0; t < kTemps; ++t) {
    if (!SensorPresent(t)) continue;
    const int k = TempScaleStep(t);
    const int offset = TempScaleOffset(t);
    const int hc = Nearest(k * static_cast<double>(tables.TempLimit[t]));
    const int hy = Nearest(k * static_cast<double>(tables.TempHyst[t]));
    ui::Slider& sld = sldTemp[t];
    sld.SetMax(Nearest(CaptionValue(lblTempHiBound[t]) * k + offset));
    sld.SetMin(Nearest(CaptionValue(lblTempLoBound[t]) * k + offset));
    updTempLoLimit[t].SetMax(hc + offset);
    updTempLoLimit[t].SetMin(sld.min());
    updTempHiLimit[t].SetMax(sld.max());
    updTempHiLimit[t].SetMin(sld.min() + 5 * k);
    updTempLoLimit[t].SetValue(updTempHiLimit[t].min());
    updTempHiLimit[t].SetValue(updTempLoLimit[t].max());
    sld.SetSelStart(hy + offset);
    sld.SetSelLength(5 * k);
    sld.SetValue(sld.selStart());
    const bool celsius = items::IsTrue(tables.TempInCelsius);
    auto shown = [&](float degrees) {
      return FormatFixed(celsius ? degrees : items::CelsiusToFahrenheit(degrees), 2);
    };
    lblTempLoLimit[t].SetCaption(shown(tables.TempHyst[t]));
    lblTempHiLimit[t].SetCaption(shown(tables.TempLimit[t]));
    ShowUnitMark(celsius);
    RefreshFahrenheitBounds();  // as the change steps of both scale-end labels
    RefreshFahrenheitBounds();
    sld.SetEnabled(false);
    writer_.TempLimits(t, hc, hy);
  }
}

// A sensor the chip lacks keeps its design controls: its limit must not follow their values into
// the tables (and from there into the settings file) or into registers of an absent input.
bool LimitPanel::SensorPresent(int t) const {
  return run_.items.ItemPresent[items::kFirstTempItem + t] == 1;
}

void LimitPanel::updTempHiLimit_Change(int t) {
  if (!run_.PanelReady || !SensorPresent(t)) return;
  const int k = TempScaleStep(t);
  const int offset = TempScaleOffset(t);
  const int v = updTempHiLimit[t].value();
  const int hc = v - offset;
  const int hy = v - 5 * k - offset;
  sldTemp[t].SetSelStart(v - 5 * k);
  sldTemp[t].SetSelLength(5 * k);
  const double limit = static_cast<double>(hc) / k;
  const bool celsius = items::IsTrue(run_.items.TempInCelsius);
  auto shown = [&](double degrees) {
    return FormatFixed(celsius ? degrees : items::CelsiusToFahrenheit(degrees), 1);
  };
  lblTempLoLimit[t].SetCaption(shown(limit - 5));
  lblTempHiLimit[t].SetCaption(shown(limit));
  run_.items.TempLimit[t] = static_cast<float>(limit);
  run_.items.TempHyst[t] = static_cast<float>(limit - 5);
  writer_.TempLimits(t, hc, hy);
}

void LimitPanel::updTempLoLimit_Change(int t) {
  if (!run_.PanelReady || !SensorPresent(t)) return;
  const int k = TempScaleStep(t);
  const int v = updTempLoLimit[t].value();
  const int lc = v - TempScaleOffset(t);
  sldTemp[t].SetSelStart(v);
  sldTemp[t].SetSelLength(updTempHiLimit[t].value() - v);
  updTempHiLimit[t].SetMin(v);
  const double hyst = static_cast<double>(lc) / k;
  lblTempLoLimit[t].SetCaption(FormatFixed(hyst, 2));
  run_.items.TempHyst[t] = static_cast<float>(hyst);
  writer_.TempHyst(t, lc);
}

void LimitPanel::RefreshFahrenheitBounds() {
  for (int t = 0; t < kTemps; ++t) {
    dfTempLoBound[t].SetCaption(
        items::FormatGeneral(items::CelsiusToFahrenheit(CaptionValue(lblTempLoBound[t]))));
    dfTempHiBound[t].SetCaption(
        items::FormatGeneral(items::CelsiusToFahrenheit(CaptionValue(lblTempHiBound[t]))));
  }
}

void LimitPanel::ShowUnitLabels() {
  const bool celsius = items::IsTrue(run_.items.TempInCelsius);
  for (int t = 0; t < kTemps; ++t) {
    const bool shown = sldTemp[t].visible();
    lblTempLoBound[t].SetVisible(shown && celsius);
    lblTempHiBound[t].SetVisible(shown && celsius);
    dfTempLoBound[t].SetVisible(shown && !celsius);
    dfTempHiBound[t].SetVisible(shown && !celsius);
    lblTempLoLimit[t].SetVisible(false);
  }
  Label7.SetVisible(false);
}

void LimitPanel::SwitchBoundLabels(int t, bool celsius) {
  auto& hide = celsius ? dfTempLoBound : lblTempLoBound;
  auto& hide2 = celsius ? dfTempHiBound : lblTempHiBound;
  auto& show = celsius ? lblTempLoBound : dfTempLoBound;
  auto& show2 = celsius ? lblTempHiBound : dfTempHiBound;
  hide[t].SetVisible(false);
  hide2[t].SetVisible(false);
  if (lblStatusT[t].visible()) {
    show[t].SetVisible(true);
    show2[t].SetVisible(true);
  }
}

void LimitPanel::ShowUnitMark(bool celsius) {
  Image3.SetVisible(celsius);
  Image4.SetVisible(!celsius);
}

// ---- Rows and flags ----

ui::Control& LimitPanel::NameControl(int item) {
  if (item < items::kFirstFanItem) return lblItemName[item];
  if (item < items::kFirstTempItem) return lblFanItem[item - items::kFirstFanItem];
  return lblTempItem[item - items::kFirstTempItem];
}

template <class F>
void LimitPanel::ForEachValueControl(int item, F&& visit) {
  if (item < items::kFirstFanItem) {
    const int i = item;
    for (ui::Control* c : std::initializer_list<ui::Control*>{
             &updLoLimit[i], &LblLoLimit[i], &lblLoBound[i], &SldVoltage[i], &lblHiBound[i],
             &LblHiLimit[i], &updHiLimit[i], &lblStatusV[i]})
      visit(*c);
  } else if (item < items::kFirstTempItem) {
    const int f = item - items::kFirstFanItem;
    for (ui::Control* c : std::initializer_list<ui::Control*>{&updFanLoLimit[f], &lblFanLoLimit[f],
                                                              &prbFanSpeed[f], &lblFanSpeed[f]})
      visit(*c);
  } else if (item < items::kChassisItem) {
    const int t = item - items::kFirstTempItem;
    for (ui::Control* c : std::initializer_list<ui::Control*>{
             &lblTempLoLimit[t], &lblTempLoBound[t], &sldTemp[t], &lblTempHiBound[t],
             &lblTempHiLimit[t], &updTempHiLimit[t], &lblStatusT[t]})
      visit(*c);
  }
}

void LimitPanel::RefreshPanelAvailability() {
  for (int item = 0; item < items::kItemCount; ++item) {
    const bool present = run_.items.ItemPresent[item] == 1;
    if (item == items::kChassisItem) {
      lblCaseOpen.SetVisible(present);
      continue;
    }
    NameControl(item).SetVisible(present);
    ForEachValueControl(item, [&](ui::Control& c) { c.SetVisible(present); });
  }
}

void LimitPanel::RefreshPanelEnable() {
  for (int item = 0; item < items::kItemCount; ++item) {
    const bool on = run_.items.ItemEnabled[item] == 1;
    if (item == items::kChassisItem) {
      lblCaseOpen.SetVisible(on);
      continue;
    }
    NameControl(item).SetEnabled(on);
    ForEachValueControl(item, [&](ui::Control& c) { c.SetVisible(on); });
  }
}

void LimitPanel::UpdateCaseOpenLabel() {
  if (run_.items.ItemEnabled[items::kChassisItem] == 0) lblCaseOpen.SetVisible(false);
}

}  // namespace vigilon::limits
