// The History window: its controls and layout, the figures of the span, Copy and Clear, and the
// chart drawn from the store's columns (one panel and axis per unit).
#include "history/frmhistory.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "items/number_format.h"

namespace vigilon::history {

namespace {

enum class Unit : uint8_t { Volt, Rpm, Temp };
constexpr std::array<Unit, 3> kUnits{Unit::Volt, Unit::Rpm, Unit::Temp};

Unit UnitOf(int item) {
  if (item < items::kFirstFanItem) return Unit::Volt;
  return item < items::kFirstTempItem ? Unit::Rpm : Unit::Temp;
}
const char* UnitText(Unit unit, bool celsius) {
  if (unit == Unit::Volt) return "V";
  if (unit == Unit::Rpm) return "rpm";
  return celsius ? "\xC2\xB0"
                   "C"
                 : "\xC2\xB0"
                   "F";  // the degree sign in UTF-8
}
// Readings are kept in degrees Celsius; the window shows the main window's unit.
float Shown(int item, float value, bool celsius) {
  return UnitOf(item) == Unit::Temp && !celsius ? value * 9 / 5 + 32 : value;
}
std::string Format(int item, float value) {
  if (std::isnan(value)) return "";
  const Unit unit = UnitOf(item);
  return items::FormatFixed(value, unit == Unit::Volt ? 2 : unit == Unit::Temp ? 1 : 0);
}

struct SpanChoice {
  const char* caption;
  int64_t ms;
};
constexpr std::array<SpanChoice, 4> kSpans{{
    {"10 &minutes", 10 * kMinuteMs},
    {"1 &hour", 60 * kMinuteMs},
    {"&24 hours", 24 * 60 * kMinuteMs},
    {"&7 days", 7 * 24 * 60 * kMinuteMs},
}};
constexpr int kDefaultSpan = 1;

// The design: spans across the top, the items down the left, the chart in the middle and the
// table at the right, the commands beneath it. The chart and the table's place follow the size.
constexpr int kWidth = 13800, kHeight = 5400;
constexpr int kMargin = 120, kTop = 525, kRowStep = 270, kItemWidth = 1900;
constexpr int kTableRowStep = 240;
// Between two columns of the table, and what a label keeps beside its text.
constexpr int kColumnGap = 180, kTextSlack = 45;
constexpr int kButtonWidth = 1100, kButtonHeight = 345;
// The widest figure of each unit: digits are as wide as one another in the usual faces.
constexpr std::array<const char*, 3> kWidestFigure{"-00.00", "00000", "000.0"};

constexpr std::array<ui::Color, 8> kSeriesColors{0xB4771F, 0x0E7FFF, 0x2CA02C, 0x2827D6,
                                                 0xBD6794, 0x4B568C, 0xC277E3, 0x22BDBC};
constexpr ui::Color kWhite = 0xFFFFFF, kBlack = 0, kGrid = 0xE0E0E0, kAxisText = 0x404040;

ui::Color Pale(ui::Color c) {
  auto mix = [c](int shift) { return ((((c >> shift) & 0xFF) + 4 * 0xFF) / 5) << shift; };
  return mix(0) | mix(8) | mix(16);
}

// A step of 1, 2 or 5 times a power of ten that cuts `range` into about four parts.
double NiceStep(double range) {
  const double raw = range / 4;
  const double magnitude = std::pow(10, std::floor(std::log10(raw)));
  for (double f : {1.0, 2.0, 5.0})
    if (f * magnitude >= raw) return f * magnitude;
  return 10 * magnitude;
}

std::string ClockText(int64_t localMs, bool withDay) {
  static constexpr const char* kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
  const int64_t minutes = localMs / kMinuteMs;
  const int64_t days = minutes / (24 * 60);
  const int hour = static_cast<int>(minutes / 60 % 24), minute = static_cast<int>(minutes % 60);
  char text[16];
  if (withDay)
    std::snprintf(text, sizeof text, "%s %02d:%02d", kDays[days % 7], hour, minute);
  else
    std::snprintf(text, sizeof text, "%02d:%02d", hour, minute);
  return text;
}

}  // namespace

std::string ItemLabel(int item, bool celsius) {
  return std::string(items::ItemTable()[static_cast<size_t>(item)].mainCaption) + " (" +
         UnitText(UnitOf(item), celsius) + ")";
}

std::string StatsTip(const HistoryStore& store, int item, bool celsius) {
  const RunStats& s = store.Stats(item);
  if (s.count == 0) return "No readings since the start";
  const int64_t offsetMs = int64_t{store.lastCycle().utcOffsetMinutes} * kMinuteMs;
  const std::string unit = std::string(" ") + UnitText(UnitOf(item), celsius);
  auto value = [&](double v) { return Format(item, Shown(item, static_cast<float>(v), celsius)); };
  auto at = [&](int64_t ms) {
    char seconds[8];
    std::snprintf(seconds, sizeof seconds, ":%02d", static_cast<int>((ms + offsetMs) / 1000 % 60));
    return ClockText(ms + offsetMs, true) + seconds;
  };
  return "Since the start:\r\nminimum " + value(s.min) + unit + " at " + at(s.minMs) +
         "\r\nmaximum " + value(s.max) + unit + " at " + at(s.maxMs) + "\r\naverage " +
         value(s.average()) + unit;
}

frmhistory::frmhistory(ui::Runtime& runtime, RunState& run, HistoryStore& store)
    : ui::Form(runtime, ui::FormArgs("frmhistory", kHistoryCaption, kWidth, kHeight)
                            .Icon("\\eye.ico")
                            .Resizable()),
      run_(run),
      store_(store) {
  using ui::Args;
  std::vector<ui::ControlSpec> specs;
  for (size_t s = 0; s < kSpans.size(); ++s) {
    specs.push_back({optSpan[s], Args(ui::ArrayName("optSpan", s))
                                     .Caption(kSpans[s].caption)
                                     .At(kMargin + static_cast<int>(s) * 1300, 120, 1250, 285)});
  }
  for (size_t i = 0; i < chkItem.size(); ++i) {
    specs.push_back(
        {chkItem[i], Args(ui::ArrayName("chkItem", i))
                         .At(kMargin, kTop + static_cast<int>(i) * kRowStep, kItemWidth, 255)});
  }
  specs.push_back({picChart, Args("picChart")});
  specs.push_back({lblHeadItem, Args("lblHeadItem").Caption("Item")});
  specs.push_back({lblHeadNow, Args("lblHeadNow").Caption("Now").Aligned(ui::Align::Right)});
  specs.push_back({lblHeadMin, Args("lblHeadMin").Caption("Minimum").Aligned(ui::Align::Right)});
  specs.push_back({lblHeadMax, Args("lblHeadMax").Caption("Maximum").Aligned(ui::Align::Right)});
  specs.push_back({lblHeadAvg, Args("lblHeadAvg").Caption("Average").Aligned(ui::Align::Right)});
  for (size_t r = 0; r < kRows; ++r) {
    specs.push_back({lblItem[r], Args(ui::ArrayName("lblItem", r))});
    specs.push_back({lblNow[r], Args(ui::ArrayName("lblNow", r)).Aligned(ui::Align::Right)});
    specs.push_back({lblMin[r], Args(ui::ArrayName("lblMin", r)).Aligned(ui::Align::Right)});
    specs.push_back({lblMax[r], Args(ui::ArrayName("lblMax", r)).Aligned(ui::Align::Right)});
    specs.push_back({lblAvg[r], Args(ui::ArrayName("lblAvg", r)).Aligned(ui::Align::Right)});
  }
  specs.push_back({cmdCopy, Args("cmdCopy").Caption("&Copy")});
  specs.push_back({cmdClear, Args("cmdClear").Caption("C&lear")});
  Create(specs);
  Layout();

  for (auto& opt : optSpan) opt.onClick = [this] { Update(); };
  for (auto& chk : chkItem) {
    chk.onClick = [this] {
      if (!choosing_) Update();
    };
  }
  picChart.onPaint = [this](ui::Canvas& canvas) { Draw(canvas); };
  cmdCopy.onClick = [this] { cmdCopy_Click(); };
  cmdClear.onClick = [this] { cmdClear_Click(); };
}

frmhistory::~frmhistory() {
  Discard();
}

void frmhistory::Form_Load() {
  // Only the items this chip has, one under the other.
  const bool celsius = Celsius();
  int row = 0;
  for (int i = 0; i < kChartItems; ++i) {
    ui::CheckBox& chk = chkItem[static_cast<size_t>(i)];
    const bool present = items::IsSet(run_.items.ItemPresent[static_cast<size_t>(i)]);
    chk.SetCaption(ItemLabel(i, celsius));
    chk.SetVisible(present);
    if (present) chk.SetTop(kTop + row++ * kRowStep);
  }
  optSpan[kDefaultSpan].SetValue(true);
}

void frmhistory::Form_Resize() {
  // A new size may come with a new DPI, whose font is not quite the old one scaled.
  measuredFor_ = UINT32_MAX;
  Layout();
  Update();
}

void frmhistory::MeasureTable() {
  const bool celsius = Celsius();
  int name = TextWidth(lblHeadItem.caption());
  int figure = 0;
  for (const ui::Label* head : {&lblHeadNow, &lblHeadMin, &lblHeadMax, &lblHeadAvg})
    figure = std::max(figure, TextWidth(head->caption()));
  std::array<bool, kUnits.size()> shown{};
  for (int r = 0; r < chosenCount_; ++r) {
    const int item = chosen_[static_cast<size_t>(r)];
    name = std::max(name, TextWidth(ItemLabel(item, celsius)));
    shown[static_cast<size_t>(UnitOf(item))] = true;
  }
  for (const Unit unit : kUnits) {
    if (!shown[static_cast<size_t>(unit)]) continue;
    const std::string widest =
        std::string(kWidestFigure[static_cast<size_t>(unit)]) + " " + UnitText(unit, celsius);
    figure = std::max(figure, TextWidth(widest));
  }
  nameWidth_ = name + kTextSlack + kColumnGap;
  figureWidth_ = figure + kTextSlack + kColumnGap;
  // Never narrower than the two commands beneath it.
  const int least = 2 * kButtonWidth + kMargin;
  if (nameWidth_ + 4 * figureWidth_ < least) nameWidth_ = least - 4 * figureWidth_;
}

void frmhistory::Layout() {
  const int width = clientWidth(), height = clientHeight();
  if (nameWidth_ == 0) MeasureTable();
  const int tableLeft = width - kMargin - (nameWidth_ + 4 * figureWidth_) + kColumnGap;
  const int chartLeft = kMargin + kItemWidth + kMargin;
  picChart.Move({chartLeft, kTop, tableLeft - kMargin - chartLeft, height - kTop - 585});
  auto place = [&](std::array<ui::Label*, 5> row, int top) {
    int left = tableLeft;
    for (size_t c = 0; c < row.size(); ++c) {
      const int w = c == 0 ? nameWidth_ : figureWidth_;
      row[c]->Move({left, top, w - kColumnGap, 210});
      left += w;
    }
  };
  place({&lblHeadItem, &lblHeadNow, &lblHeadMin, &lblHeadMax, &lblHeadAvg}, kTop);
  for (size_t r = 0; r < kRows; ++r) {
    place({&lblItem[r], &lblNow[r], &lblMin[r], &lblMax[r], &lblAvg[r]},
          kTop + (static_cast<int>(r) + 1) * kTableRowStep);
  }
  const int buttonTop = height - kMargin - kButtonHeight;
  cmdCopy.Move({tableLeft, buttonTop, kButtonWidth, kButtonHeight});
  cmdClear.Move({tableLeft + kButtonWidth + kMargin, buttonTop, kButtonWidth, kButtonHeight});
}

bool frmhistory::Celsius() const {
  return items::IsTrue(run_.items.TempInCelsius);
}

void frmhistory::ChooseMonitored() {
  choosing_ = true;
  for (size_t i = 0; i < chkItem.size(); ++i) {
    chkItem[i].SetValue(
        items::IsSet(run_.items.ItemPresent[i]) && items::IsSet(run_.items.ItemEnabled[i]) ? 1 : 0);
  }
  choosing_ = false;
  Update();
}

void frmhistory::ChooseOnly(int item) {
  choosing_ = true;
  for (size_t i = 0; i < chkItem.size(); ++i)
    chkItem[i].SetValue(static_cast<int>(i) == item ? 1 : 0);
  choosing_ = false;
  Update();
}

void frmhistory::CycleEnded() {
  if (visible()) Update();
}

int64_t frmhistory::SpanMs() const {
  for (size_t s = 0; s < kSpans.size(); ++s)
    if (optSpan[s].value()) return kSpans[s].ms;
  return kSpans[kDefaultSpan].ms;
}

int64_t frmhistory::EndMs() const {
  return store_.sampleCount() ? store_.SampleAt(store_.sampleCount() - 1).unixMs
                              : store_.lastCycle().unixMs;
}

void frmhistory::PrepareFor(int columns) {
  if (dataCurrent_ && data_.columns == columns) return;
  // A line joins readings at most a few intervals apart; beyond that the program was not reading.
  const int64_t maxStep = static_cast<int64_t>(run_.items.PollInterval) * 2500 + 500;
  const int64_t end = EndMs();
  store_.Prepare({std::span(chosen_.data(), static_cast<size_t>(chosenCount_)), end - SpanMs(), end,
                  columns, maxStep},
                 data_);
  dataCurrent_ = true;
}

void frmhistory::Update() {
  chosenCount_ = 0;
  for (int i = 0; i < kChartItems; ++i)
    if (chkItem[static_cast<size_t>(i)].value() == 1)
      chosen_[static_cast<size_t>(chosenCount_++)] = i;
  uint32_t choice = Celsius() ? 1u << kChartItems : 0;
  for (int r = 0; r < chosenCount_; ++r) choice |= 1u << chosen_[static_cast<size_t>(r)];
  if (choice != measuredFor_) {
    measuredFor_ = choice;
    MeasureTable();
    Layout();
  }
  dataCurrent_ = false;
  // Until the chart is drawn, a column per pixel at the usual DPI.
  PrepareFor(data_.columns > 0 ? data_.columns : std::max(picChart.width() / 15, 1));
  const bool celsius = Celsius();
  for (size_t r = 0; r < kRows; ++r) {
    const bool used = static_cast<int>(r) < chosenCount_;
    for (ui::Label* l : {&lblItem[r], &lblNow[r], &lblMin[r], &lblMax[r], &lblAvg[r]})
      l->SetVisible(used);
    if (!used) continue;
    const int item = chosen_[r];
    const SpanStats& s = data_.stats[r];
    const std::string unit = std::string(" ") + UnitText(UnitOf(item), celsius);
    auto cell = [&](float v) {
      const std::string text = Format(item, Shown(item, v, celsius));
      return text.empty() ? text : text + unit;
    };
    lblItem[r].SetCaption(ItemLabel(item, celsius));
    lblNow[r].SetCaption(cell(s.now));
    lblMin[r].SetCaption(cell(s.min));
    lblMax[r].SetCaption(cell(s.max));
    lblAvg[r].SetCaption(cell(s.average()));
  }
  picChart.Invalidate();
}

std::string frmhistory::TableText() const {
  std::string text = "Item\tUnit\tNow\tMinimum\tMaximum\tAverage\r\n";
  const bool celsius = Celsius();
  for (int r = 0; r < chosenCount_ && r < static_cast<int>(data_.stats.size()); ++r) {
    const int item = chosen_[static_cast<size_t>(r)];
    const SpanStats& s = data_.stats[static_cast<size_t>(r)];
    text += items::ItemTable()[static_cast<size_t>(item)].mainCaption;
    text += '\t';
    text += UnitText(UnitOf(item), celsius);
    for (float v : {s.now, s.min, s.max, s.average()}) {
      text += '\t';
      text += Format(item, Shown(item, v, celsius));
    }
    text += "\r\n";
  }
  return text;
}

void frmhistory::cmdCopy_Click() {
  if (!platform().SetClipboardText(TableText()))
    platform().MsgBox("The clipboard would not take the table.", kHistoryCaption,
                      platform::MsgBoxButtons::Ok);
}

void frmhistory::cmdClear_Click() {
  const auto answer = platform().MsgBox(
      "Clear the history of every reading, and their minimum and maximum since the start?",
      kHistoryCaption, platform::MsgBoxButtons::YesNo);
  if (answer != platform::MsgBoxAnswer::Yes) return;
  store_.Clear();
  Update();
}

void frmhistory::Draw(ui::Canvas& canvas) {
  const int w = canvas.width(), h = canvas.height();
  canvas.Fill(0, 0, w, h, kWhite);
  const int pad = canvas.Px(90);
  const int textH = canvas.TextHeight();
  const int left = canvas.TextWidth("-00000") + 2 * pad;
  const int right = w - pad;
  const int bottom = h - textH - 2 * pad;
  if (right - left < 8 || bottom - pad < 8) return;
  PrepareFor(right - left);
  const bool celsius = Celsius();

  // One panel per unit among the chosen items, stacked.
  std::array<bool, 3> unitUsed{};
  for (int k = 0; k < chosenCount_; ++k)
    unitUsed[static_cast<size_t>(UnitOf(chosen_[static_cast<size_t>(k)]))] = true;
  const int panels = static_cast<int>(std::count(unitUsed.begin(), unitUsed.end(), true));
  if (panels == 0 || EndMs() == 0) {
    canvas.Text(w / 2, h / 2 - textH / 2, panels == 0 ? "Choose a reading" : "No readings yet",
                kAxisText, ui::Align::Center);
    return;
  }
  const int gap = textH + pad;
  const int panelH = (bottom - pad - (panels - 1) * gap) / panels;
  const int64_t end = EndMs(), span = SpanMs();
  const int64_t offsetMs = int64_t{store_.lastCycle().utcOffsetMinutes} * kMinuteMs;
  auto xOf = [&](int64_t t) {
    return left + static_cast<int>((t - (end - span)) * (right - left) / span);
  };

  // Clock ticks: the smallest step of whole local minutes that leaves room for its labels.
  const bool withDay = span > 24 * 60 * kMinuteMs;
  const int labelRoom = canvas.TextWidth(ClockText(0, withDay)) + 4 * pad;
  int64_t step = kMinuteMs;
  for (int64_t minutes : {1, 2, 5, 10, 15, 30, 60, 120, 180, 360, 720, 1440, 2880}) {
    step = minutes * kMinuteMs;
    if (static_cast<int64_t>(right - left) * step / span >= labelRoom) break;
  }

  int top = pad;
  for (Unit unit : kUnits) {
    if (!unitUsed[static_cast<size_t>(unit)]) continue;
    const int panelBottom = top + panelH;
    // The range: every reading drawn and every limit, with a little room.
    double lo = INFINITY, hi = -INFINITY;
    for (int k = 0; k < chosenCount_; ++k) {
      const int item = chosen_[static_cast<size_t>(k)];
      if (UnitOf(item) != unit) continue;
      for (const Column& c : data_.columnsOf[static_cast<size_t>(k)]) {
        if (c.empty()) continue;
        lo = std::min<double>(lo, Shown(item, c.min, celsius));
        hi = std::max<double>(hi, Shown(item, c.max, celsius));
      }
      const ItemReading& r = store_.lastCycle().items[static_cast<size_t>(item)];
      for (double limit : {r.low, r.high}) {
        if (std::isnan(limit)) continue;
        lo = std::min(lo, static_cast<double>(Shown(item, static_cast<float>(limit), celsius)));
        hi = std::max(hi, static_cast<double>(Shown(item, static_cast<float>(limit), celsius)));
      }
    }
    if (!(lo <= hi)) lo = 0, hi = 1;
    if (hi - lo < 1e-6) lo -= 1, hi += 1;
    const double yStep = NiceStep(hi - lo);
    lo = std::floor(lo / yStep) * yStep;
    hi = std::ceil(hi / yStep) * yStep;
    auto yOf = [&](double v) {
      return panelBottom - static_cast<int>(std::lround((v - lo) * panelH / (hi - lo)));
    };

    // Limits as bands, then the grid, the readings, the frame.
    for (int k = 0; k < chosenCount_; ++k) {
      const int item = chosen_[static_cast<size_t>(k)];
      if (UnitOf(item) != unit) continue;
      const ItemReading& r = store_.lastCycle().items[static_cast<size_t>(item)];
      if (std::isnan(r.low) && std::isnan(r.high)) continue;
      const int yHigh =
          std::isnan(r.high) ? top : yOf(Shown(item, static_cast<float>(r.high), celsius));
      const int yLow =
          std::isnan(r.low) ? panelBottom : yOf(Shown(item, static_cast<float>(r.low), celsius));
      canvas.Fill(left, std::max(top, yHigh), right, std::min(panelBottom, yLow),
                  Pale(kSeriesColors[static_cast<size_t>(k) % kSeriesColors.size()]));
    }
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(yStep))));
    for (double v = lo; v <= hi + yStep / 2; v += yStep) {
      const int y = yOf(v);
      const ui::Canvas::Point grid[] = {{left, y}, {right, y}};
      canvas.Lines(grid, kGrid);
      canvas.Text(left - pad, y - textH / 2, items::FormatFixed(v, decimals), kAxisText,
                  ui::Align::Right);
    }
    for (int64_t t = ((end - span + offsetMs) / step + 1) * step - offsetMs; t <= end; t += step) {
      const ui::Canvas::Point grid[] = {{xOf(t), top}, {xOf(t), panelBottom}};
      canvas.Lines(grid, kGrid);
    }
    for (int k = 0; k < chosenCount_; ++k) {
      const int item = chosen_[static_cast<size_t>(k)];
      if (UnitOf(item) != unit) continue;
      const ui::Color color = kSeriesColors[static_cast<size_t>(k) % kSeriesColors.size()];
      const auto& columns = data_.columnsOf[static_cast<size_t>(k)];
      int prevX = -1, prevY = 0;
      for (size_t x = 0; x < columns.size(); ++x) {
        const Column& c = columns[x];
        if (c.empty()) continue;
        const int px = left + static_cast<int>(x);
        const int yFirst = yOf(Shown(item, c.first, celsius));
        if (c.joined && prevX >= 0) {
          const ui::Canvas::Point join[] = {{prevX, prevY}, {px, yFirst}};
          canvas.Lines(join, color, canvas.Px(15));
        }
        const ui::Canvas::Point extent[] = {{px, yOf(Shown(item, c.max, celsius))},
                                            {px, yOf(Shown(item, c.min, celsius)) + 1}};
        canvas.Lines(extent, color, canvas.Px(15));
        prevX = px;
        prevY = yOf(Shown(item, c.last, celsius));
      }
    }
    const ui::Canvas::Point frame[] = {
        {left, top}, {right, top}, {right, panelBottom}, {left, panelBottom}, {left, top}};
    canvas.Lines(frame, kAxisText);
    canvas.Text(left + pad, top + pad / 2, UnitText(unit, celsius), kBlack, ui::Align::Left);
    top = panelBottom + gap;
  }

  // The clock beneath the last panel.
  const int axisY = bottom;
  for (int64_t t = ((end - span + offsetMs) / step + 1) * step - offsetMs; t <= end; t += step) {
    const int x = xOf(t);
    const ui::Canvas::Point tick[] = {{x, axisY}, {x, axisY + pad}};
    canvas.Lines(tick, kAxisText);
    canvas.Text(x, axisY + pad, ClockText(t + offsetMs, withDay), kAxisText, ui::Align::Center);
  }
}

}  // namespace vigilon::history
