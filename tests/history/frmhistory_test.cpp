// The History window headless: the choice, the span's table and its copy, Clear's question,
// the temperature unit, and a chart that breaks its lines at a gap.
#include "history/frmhistory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "support/vigilon_system.h"

namespace vigilon::history {
namespace {

constexpr int kCpuFan = items::kFirstFanItem + 1;
constexpr int kSystemTemp = items::kFirstTempItem;

// Records the lines drawn, at 96 DPI.
class RecordingCanvas final : public ui::Canvas {
 public:
  struct Segment {
    Point a, b;
    ui::Color color;
  };
  int width() const override { return 400; }
  int height() const override { return 300; }
  int dpi() const override { return 96; }
  void Fill(int, int, int, int, ui::Color) override {}
  void Lines(std::span<const Point> points, ui::Color color, int) override {
    for (size_t i = 1; i < points.size(); ++i)
      segments.push_back({points[i - 1], points[i], color});
  }
  void Text(int, int, std::string_view, ui::Color, ui::Align) override {}
  int TextWidth(std::string_view text) override { return 6 * static_cast<int>(text.size()); }
  int TextHeight() override { return 13; }
  std::vector<Segment> segments;
};

struct HistoryWindow : ::testing::Test {
  HistoryWindow() {
    EXPECT_EQ(system.Start(), startup::StartupOutcome::MainWindowShown);
    // Ten minutes at 1 s, the chip silent for the middle minute: the CPU fan at 3000 + s rpm,
    // the system temperature at 40 °C.
    for (int s = 0; s < 600; ++s) {
      CycleReadings c;
      c.unixMs = kStart + s * 1000;
      c.outcome = s >= 270 && s < 330 ? CycleOutcome::ChipSilent : CycleOutcome::Complete;
      for (int i : {kCpuFan, kSystemTemp}) {
        ItemReading& r = c.items[static_cast<size_t>(i)];
        r.present = r.monitored = r.read = true;
        r.value = i == kCpuFan ? 3000 + s : 40;
        r.low = i == kCpuFan ? 2500 : kNoLimit;
        r.high = i == kCpuFan ? kNoLimit : 50;
      }
      store->CycleEnded(c);
    }
  }
  frmhistory& Window() { return slot.Get(); }

  static constexpr int64_t kStart = 1'800'000'000'000;
  test::VigilonSystem system{test::ChipOf(sim::Model::ZR420)};
  std::unique_ptr<HistoryStore> store = std::make_unique<HistoryStore>();
  ui::FormSlot<frmhistory, RunState&, HistoryStore&> slot{system.runtime, system.run, *store};
};

TEST_F(HistoryWindow, CopiesTheChosenItemsFiguresForTheSpanAndFollowsTheUnit) {
  frmhistory& w = Window();
  EXPECT_EQ(w.caption(), "History");
  EXPECT_TRUE(w.ControlIdCollisions().empty());
  w.ChooseOnly(kCpuFan);
  w.optSpan[0].UserClick();  // 10 minutes
  w.cmdCopy.Click();
  EXPECT_EQ(system.platform.clipboard,
            "Item\tUnit\tNow\tMinimum\tMaximum\tAverage\r\n"
            "CPU\trpm\t3599\t3000\t3599\t3300\r\n");
  EXPECT_FALSE(w.lblItem[1].visible());

  // The user's own choice, in the unit the main window shows.
  system.run.items.TempInCelsius = items::kFalse;
  w.chkItem[kSystemTemp].UserClick();
  w.chkItem[kCpuFan].UserClick();
  ASSERT_EQ(w.lblItem[0].caption(),
            "System (\xC2\xB0"
            "F)");
  EXPECT_EQ(w.lblMax[0].caption(),
            "104.0 \xC2\xB0"
            "F");
}

TEST_F(HistoryWindow, ClearsOnlyWhenTheUserSaysYes) {
  frmhistory& w = Window();
  w.ChooseOnly(kCpuFan);
  system.platform.msgBoxAnswers = {platform::MsgBoxAnswer::No};
  w.cmdClear.Click();
  EXPECT_EQ(store->sampleCount(), 600u);
  system.platform.msgBoxAnswers = {platform::MsgBoxAnswer::Yes};
  w.cmdClear.Click();
  EXPECT_EQ(store->sampleCount(), 0u);
  EXPECT_EQ(store->Stats(kCpuFan).count, 0u);
  EXPECT_EQ(w.lblMax[0].caption(), "");
}

TEST_F(HistoryWindow, TheChartBreaksItsLineWhereTheChipWasSilent) {
  frmhistory& w = Window();
  w.ChooseOnly(kCpuFan);
  w.optSpan[0].UserClick();
  w.Show();
  RecordingCanvas canvas;
  w.picChart.Paint(canvas);
  // The fan's line is the colour drawn most; none of its segments crosses the silent minute.
  std::map<ui::Color, int> uses;
  for (const auto& s : canvas.segments) ++uses[s.color];
  const ui::Color line = std::max_element(uses.begin(), uses.end(), [](auto& a, auto& b) {
                           return a.second < b.second;
                         })->first;
  int minX = 1 << 20, maxX = -1;
  std::vector<const RecordingCanvas::Segment*> series;
  for (const auto& s : canvas.segments) {
    if (s.color != line) continue;
    series.push_back(&s);
    minX = std::min({minX, s.a.x, s.b.x});
    maxX = std::max({maxX, s.a.x, s.b.x});
  }
  ASSERT_GT(series.size(), 100u);
  const int gapFrom = minX + (maxX - minX) * 272 / 600, gapTo = minX + (maxX - minX) * 328 / 600;
  for (const auto* s : series)
    EXPECT_FALSE(std::max(s->a.x, s->b.x) > gapFrom && std::min(s->a.x, s->b.x) < gapTo)
        << s->a.x << ".." << s->b.x;
}

TEST(HistoryFromTheMainWindow, AReadingsTipAndDoubleClickLeadToItsHistory) {
  test::VigilonSystem system(test::ChipOf(sim::Model::ZR420));
  ASSERT_EQ(system.Start(), startup::StartupOutcome::MainWindowShown);
  frmvigilon& main = system.window();
  ui::Label& fan = system.panel().lblFanSpeed[1];
  EXPECT_EQ(fan.ToolTipText(), "No readings since the start");
  CycleReadings c;
  c.unixMs = 1'800'000'000'000 + 3'723'000;  // a Friday, 09:02:03 UTC
  c.utcOffsetMinutes = 60;
  ItemReading& r = c.items[kCpuFan];
  r.present = r.monitored = r.read = true;
  r.value = 4410;
  main.history().CycleEnded(c);
  EXPECT_NE(fan.ToolTipText().find("maximum 4410 rpm at Fri 10:02:03"), std::string::npos)
      << fan.ToolTipText();

  fan.DblClick();
  frmhistory* w = main.historyWindow().IfLoaded();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->visible());
  for (int i = 0; i < kChartItems; ++i) EXPECT_EQ(w->chkItem[i].value(), i == kCpuFan) << i;
  main.mHistory.Click();
  EXPECT_EQ(w->chkItem[0].value(), 1);  // the core voltage is watched from the start
}

TEST(HistoryFromTheMainWindow, EveryCycleOfTheRunReachesTheHistory) {
  test::VigilonSystem system(test::ChipOf(sim::Model::ZR420));
  ASSERT_EQ(system.Start(), startup::StartupOutcome::MainWindowShown);
  HistoryStore& store = system.window().history();
  const size_t before = store.sampleCount();
  system.Cycles(2);
  EXPECT_EQ(store.sampleCount(), before + 2);
  EXPECT_GT(store.Stats(kCpuFan).max, 0.0f);  // the simulated fan turns
}

}  // namespace
}  // namespace vigilon::history
