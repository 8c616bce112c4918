// The History window: a chart of the chosen readings over a chosen span, their figures for the
// span beside it, and the commands that copy them and clear the history.
#pragma once

#include <array>
#include <string>

#include "history/history_store.h"
#include "run/run_state.h"
#include "ui/controls.h"

namespace vigilon::history {

inline constexpr const char* kHistoryCaption = "History";
// The items a chart can show: every reading but the chassis switch.
inline constexpr int kChartItems = items::kChassisItem;

// "CPU (V)", "Chassis (rpm)", "System (°C)": an item's name with the unit it is shown in.
std::string ItemLabel(int item, bool celsius);
// An item's tip in the main window: its minimum and maximum since the start (or the last Clear),
// with when they were read, and its average.
std::string StatsTip(const HistoryStore& store, int item, bool celsius);

class frmhistory : public ui::Form {
 public:
  frmhistory(ui::Runtime& runtime, RunState& run, HistoryStore& store);
  ~frmhistory() override;

  // Every monitored item chosen, or the one item alone.
  void ChooseMonitored();
  void ChooseOnly(int item);
  // A cycle has ended: while the window is shown, its figures and chart follow.
  void CycleEnded();
  // The figures of the span as the table shows them, tab-separated under a header line.
  std::string TableText() const;

  static constexpr int kRows = kChartItems;
  std::array<ui::OptionButton, 4> optSpan;
  std::array<ui::CheckBox, kChartItems> chkItem;
  ui::Chart picChart;
  ui::Label lblHeadItem, lblHeadNow, lblHeadMin, lblHeadMax, lblHeadAvg;
  std::array<ui::Label, kRows> lblItem, lblNow, lblMin, lblMax, lblAvg;
  ui::CommandButton cmdCopy, cmdClear;

 protected:
  void Form_Load() override;
  void Form_Resize() override;

 private:
  void Update();
  void Layout();
  // The table's columns as wide as their widest text can be for the chosen items (headings,
  // names, a figure of each unit's widest form), in the window's font at its DPI.
  void MeasureTable();
  void Draw(ui::Canvas& canvas);
  void cmdCopy_Click();
  void cmdClear_Click();
  bool Celsius() const;
  // The span in milliseconds up to the newest cycle.
  int64_t SpanMs() const;
  int64_t EndMs() const;
  // Prepares the chart for `columns` pixel columns, unless that is what it holds.
  void PrepareFor(int columns);

  RunState& run_;
  HistoryStore& store_;
  std::array<int, kChartItems> chosen_{};  // the chosen items in table order
  int chosenCount_ = 0;
  ChartData data_;
  bool dataCurrent_ = false;
  bool choosing_ = false;  // a choice made from code: the boxes' clicks redraw once, at the end
  // Twips: the name column and each figure column, gaps included; and the choice (items and
  // unit) they were measured for, so that the table only moves when that changes.
  int nameWidth_ = 0, figureWidth_ = 0;
  uint32_t measuredFor_ = UINT32_MAX;
};

}  // namespace vigilon::history
