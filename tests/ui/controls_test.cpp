// The controls' setter and event rules, headless: what the windows' handlers rely on.
#include "ui/controls.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/fake_platform.h"
#include "ui/headless_runtime.h"

namespace vigilon::ui {
namespace {

// One of each ranged and clickable control, with every event appended to `log`.
class PanelForm : public Form {
 public:
  explicit PanelForm(Runtime& runtime) : Form(runtime, FormArgs("frmPanel", "Panel")) {
    Create({
        {fraUnits, Args("fraUnits").Caption("Units").At(0, 0, 2000, 1000)},
        {fraOther, Args("fraOther").Caption("Other").At(0, 1000, 2000, 1000)},
        {upd, Args("upd").At(0, 0, 255, 300)},
        {scr, Args("scr").At(0, 300, 1000, 255)},
        {prb, Args("prb").At(0, 600, 1000, 255)},
        {sld, Args("sld").At(0, 900, 2000, 400)},
        {chk[0], Args("chk(0)").Caption("High")},
        {chk[1], Args("chk(1)").Caption("Low")},
        {opt[0], Args("opt(0)").In("fraUnits")},
        {opt[1], Args("opt(1)").In("fraUnits")},
        {opt[2], Args("opt(2)").In("fraOther")},
        {opt[3], Args("opt(3)").In("fraOther")},
        {lbl, Args("lbl").Caption("0")},
        {txt, Args("txt")},
        {tabs, Args("tabs")},
        {cmd, Args("cmd").Caption("&Go")},
        {img, Args("img").Picture("°C")},
    });
    tabs.SetTabs({"Voltage", "Fan", "Temperature"});
    upd.onChange = [this] { log.push_back("upd=" + std::to_string(upd.value())); };
    scr.onChange = [this] { log.push_back("scr=" + std::to_string(scr.value())); };
    for (int i = 0; i < 2; ++i) {
      chk[i].onClick = [this, i] {
        log.push_back("chk" + std::to_string(i) + "=" + std::to_string(chk[i].value()));
      };
    }
    for (int i = 0; i < 4; ++i) {
      opt[i].onClick = [this, i] { log.push_back("opt" + std::to_string(i)); };
    }
    lbl.onChange = [this] { log.push_back("lbl=" + lbl.caption()); };
    txt.onChange = [this] { log.push_back("txt=" + txt.text()); };
    tabs.onClick = [this] { log.push_back("tab=" + tabs.SelectedCaption()); };
    cmd.onClick = [this] { log.push_back("cmd"); };
    img.onClick = [this] { log.push_back("img"); };
  }
  ~PanelForm() override { Discard(); }

  Frame fraUnits, fraOther;
  UpDown upd;
  HScrollBar scr;
  ProgressBar prb;
  Slider sld;
  std::array<CheckBox, 2> chk;
  std::array<OptionButton, 4> opt;
  Label lbl;
  TextBox txt;
  TabStrip tabs;
  CommandButton cmd;
  Image img;
  std::vector<std::string> log;
};

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { form.Load(); }
  platform::FakePlatform fake;
  HeadlessRuntime runtime{fake};
  PanelForm form{runtime};
};

// An assignment from code that changes the value raises the event once, nested inside the
// assignment; assigning the current value raises nothing.
TEST_F(ControlsTest, AssignmentRaisesOnlyOnChange) {
  struct Case {
    const char* what;
    std::function<void(PanelForm&)> assign;
    std::vector<std::string> firstLog;  // the assignment from the initial state
  };
  const std::vector<Case> cases = {
      {"up-down value", [](PanelForm& f) { f.upd.SetValue(7); }, {"upd=7"}},
      {"scroll value", [](PanelForm& f) { f.scr.SetValue(40); }, {"scr=40"}},
      {"check box", [](PanelForm& f) { f.chk[0].SetValue(1); }, {"chk0=1"}},
      {"option", [](PanelForm& f) { f.opt[1].SetValue(true); }, {"opt1"}},
      {"label caption", [](PanelForm& f) { f.lbl.SetCaption("3.31"); }, {"lbl=3.31"}},
      {"text", [](PanelForm& f) { f.txt.SetText("5"); }, {"txt=5"}},
      {"tab", [](PanelForm& f) { f.tabs.SetSelectedIndex(2); }, {"tab=Temperature"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    form.log.clear();
    c.assign(form);
    EXPECT_EQ(form.log, c.firstLog);
    form.log.clear();
    c.assign(form);  // now the current value
    EXPECT_TRUE(form.log.empty());
  }
}

TEST_F(ControlsTest, HandlerSeesTheNewValueAndMayAssignOtherControls) {
  // A change handler assigning another control runs that control's handler nested, before the
  // outer assignment returns.
  form.upd.SetMax(100);
  form.upd.onChange = [this] {
    form.log.push_back("upd in " + std::to_string(form.upd.value()));
    form.scr.SetValue(form.upd.value() * 2);
    form.log.push_back("upd out");
  };
  form.upd.SetValue(21);
  form.log.push_back("returned");
  EXPECT_EQ(form.log, (std::vector<std::string>{"upd in 21", "scr=42", "upd out", "returned"}));
}

TEST_F(ControlsTest, OppositeCheckBoxesSettleThroughNestedClicks) {
  // Two boxes kept opposite by their own reactions: one assignment ends in a consistent pair.
  for (int i = 0; i < 2; ++i) {
    form.chk[i].onClick = [this, i] {
      form.log.push_back("chk" + std::to_string(i) + "=" + std::to_string(form.chk[i].value()));
      form.chk[1 - i].SetValue(form.chk[i].value() == 1 ? 0 : 1);
    };
  }
  form.chk[0].SetValue(1);
  EXPECT_EQ(form.chk[0].value(), 1);
  EXPECT_EQ(form.chk[1].value(), 0);
  EXPECT_EQ(form.log, (std::vector<std::string>{"chk0=1"}));  // chk1 already was 0
  form.log.clear();
  form.chk[0].UserClick();
  EXPECT_EQ(form.chk[0].value(), 0);
  EXPECT_EQ(form.chk[1].value(), 1);
  EXPECT_EQ(form.log, (std::vector<std::string>{"chk0=0", "chk1=1"}));
}

TEST_F(ControlsTest, CheckBoxValues) {
  struct Case {
    int start;
    int assigned;
    int stored;
    bool clicked;
  };
  const Case cases[] = {{0, 1, 1, true}, {1, 1, 1, false}, {1, 0, 0, true},
                        {0, 2, 2, true}, {0, 7, 2, true},  {1, -3, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.start) + " <- " + std::to_string(c.assigned));
    form.chk[0].onClick = nullptr;
    form.chk[0].SetValue(c.start);
    int clicks = 0;
    form.chk[0].onClick = [&] { ++clicks; };
    form.chk[0].SetValue(c.assigned);
    EXPECT_EQ(form.chk[0].value(), c.stored);
    EXPECT_EQ(clicks, c.clicked ? 1 : 0);
  }
}

TEST_F(ControlsTest, UserClickOnCheckBoxToggles) {
  const int expectedAfterClick[][2] = {{0, 1}, {1, 0}, {2, 1}};
  for (const auto& [from, to] : expectedAfterClick) {
    form.chk[1].SetValue(from);
    form.chk[1].UserClick();
    EXPECT_EQ(form.chk[1].value(), to) << "from " << from;
  }
  form.chk[1].SetEnabled(false);
  form.log.clear();
  form.chk[1].UserClick();
  EXPECT_TRUE(form.log.empty());
}

TEST_F(ControlsTest, OptionButtonsAreExclusiveWithinTheirContainer) {
  form.opt[0].SetValue(true);
  form.opt[2].SetValue(true);
  EXPECT_EQ(form.log, (std::vector<std::string>{"opt0", "opt2"}));  // separate groups
  form.log.clear();

  form.opt[1].UserClick();
  EXPECT_FALSE(form.opt[0].value());
  EXPECT_TRUE(form.opt[1].value());
  EXPECT_TRUE(form.opt[2].value()) << "other frame untouched";
  EXPECT_EQ(form.log, (std::vector<std::string>{"opt1"})) << "the cleared one raises nothing";

  form.log.clear();
  form.opt[1].SetValue(true);  // already selected
  form.opt[1].UserClick();
  form.opt[0].SetValue(false);  // already clear
  form.opt[1].SetValue(false);  // clearing raises nothing either
  EXPECT_TRUE(form.log.empty());
  EXPECT_FALSE(form.opt[1].value());
}

TEST_F(ControlsTest, RangedSettersKeepTheValueInRange) {
  // Each step: op on a control starting at value 5 in 0..10, expected value and change events.
  struct Case {
    const char* what;
    std::function<void(PanelForm&)> op;
    int upd;
    int events;
  };
  const std::vector<Case> cases = {
      {"value above max", [](PanelForm& f) { f.upd.SetValue(99); }, 10, 1},
      {"value below min", [](PanelForm& f) { f.upd.SetValue(-4); }, 0, 1},
      {"max below value", [](PanelForm& f) { f.upd.SetMax(3); }, 3, 1},
      {"min above value", [](PanelForm& f) { f.upd.SetMin(8); }, 8, 1},
      {"max above value", [](PanelForm& f) { f.upd.SetMax(50); }, 5, 0},
      {"min = value", [](PanelForm& f) { f.upd.SetMin(5); }, 5, 0},
      {"reversed range", [](PanelForm& f) { f.upd.SetMin(20); }, 10, 1},
      {"arrow up", [](PanelForm& f) { f.upd.ArrowUp(); }, 6, 1},
      {"arrow down", [](PanelForm& f) { f.upd.ArrowDown(); }, 4, 1},
      {"arrow by 4, stops at max",
       [](PanelForm& f) {
         f.upd.SetIncrement(4);
         f.upd.ArrowUp();
         f.upd.ArrowUp();
       },
       10, 2},
      {"arrow up at max", [](PanelForm& f) { f.upd.SetValue(10), f.upd.ArrowUp(); }, 10, 1},
      {"arrow down at min", [](PanelForm& f) { f.upd.SetValue(0), f.upd.ArrowDown(); }, 0, 1},
      {"disabled arrows",
       [](PanelForm& f) {
         f.upd.SetEnabled(false);
         f.upd.ArrowUp();
       },
       5, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    form.upd.onChange = nullptr;
    form.upd.SetEnabled(true);
    form.upd.SetIncrement(1);
    form.upd.SetMin(0);
    form.upd.SetMax(10);
    form.upd.SetValue(5);
    int events = 0;
    form.upd.onChange = [&] { ++events; };
    c.op(form);
    EXPECT_EQ(form.upd.value(), c.upd);
    EXPECT_EQ(events, c.events);
  }
}

TEST_F(ControlsTest, ScrollBarStepsAndRange) {
  form.scr.SetMin(1);
  form.scr.SetMax(120);
  form.scr.SetValue(4);
  form.scr.SetLargeChange(10);
  form.log.clear();
  form.scr.SmallStep(+1);
  form.scr.LargeStep(+1);
  form.scr.LargeStep(-1);
  form.scr.SetValue(0);  // below Min
  form.scr.SmallStep(-1);
  form.scr.SetValue(500);
  form.scr.SetMax(60);
  EXPECT_EQ(form.log,
            (std::vector<std::string>{"scr=5", "scr=15", "scr=5", "scr=1", "scr=120", "scr=60"}));
}

TEST_F(ControlsTest, ProgressBarClampsWithoutEvents) {
  struct Case {
    int min, max, value, expected;
  };
  const Case cases[] = {{0, 255, 300, 255}, {0, 255, -1, 0}, {0, 255, 87, 87}, {10, 20, 5, 10}};
  for (const Case& c : cases) {
    form.prb.SetMin(c.min);
    form.prb.SetMax(c.max);
    form.prb.SetValue(c.value);
    EXPECT_EQ(form.prb.value(), c.expected);
  }
  form.prb.SetMin(0);
  form.prb.SetMax(255);
  form.prb.SetValue(200);
  form.prb.SetMax(100);
  EXPECT_EQ(form.prb.value(), 100);
}

TEST_F(ControlsTest, SliderKeepsGaugeValuesOutsideItsRange) {
  struct Case {
    int min, max, value, selStart, selLength, thumb;
  };
  const Case cases[] = {
      {144, 250, 207, 186, 41, 207},  // a reading inside the band
      {144, 250, 300, 186, 41, 250},  // above the track: kept, thumb at the end
      {0, 167, -20, 100, 5, 0},       // below the track
      {0, 255, 100, 300, -50, 100},   // a band outside the range is kept as given
  };
  for (const Case& c : cases) {
    form.sld.SetMin(c.min);
    form.sld.SetMax(c.max);
    form.sld.SetValue(c.value);
    form.sld.SetSelStart(c.selStart);
    form.sld.SetSelLength(c.selLength);
    form.sld.SetMax(c.max - 1);  // changing the range moves nothing
    form.sld.SetMax(c.max);
    EXPECT_EQ(form.sld.value(), c.value);
    EXPECT_EQ(form.sld.selStart(), c.selStart);
    EXPECT_EQ(form.sld.selLength(), c.selLength);
    EXPECT_EQ(form.sld.ThumbPosition(), c.thumb);
  }
}

TEST_F(ControlsTest, TabStripSelection) {
  EXPECT_EQ(form.tabs.selectedIndex(), 0);
  EXPECT_EQ(form.tabs.SelectedCaption(), "Voltage");
  form.tabs.SetSelectedIndex(1);
  form.tabs.SetSelectedIndex(7);   // no such tab
  form.tabs.SetSelectedIndex(-1);  // nor this
  EXPECT_EQ(form.tabs.SelectedCaption(), "Fan");
  EXPECT_EQ(form.log, (std::vector<std::string>{"tab=Fan"}));
  form.tabs.SetTabs({});
  EXPECT_EQ(form.tabs.SelectedCaption(), "");
}

TEST_F(ControlsTest, ClicksOfDisabledControlsDoNothing) {
  form.cmd.Click();
  form.img.Click();
  form.cmd.SetEnabled(false);
  form.img.SetEnabled(false);
  form.cmd.Click();
  form.img.Click();
  EXPECT_EQ(form.log, (std::vector<std::string>{"cmd", "img"}));
}

TEST_F(ControlsTest, FramesComeToTheFront) {
  EXPECT_TRUE(form.fraOther.IsInFrontOf(form.fraUnits)) << "created later, lies on top";
  form.fraUnits.ZOrder();
  EXPECT_TRUE(form.fraUnits.IsInFrontOf(form.fraOther));
  form.fraOther.ZOrder();
  EXPECT_TRUE(form.fraOther.IsInFrontOf(form.fraUnits));
}

TEST_F(ControlsTest, PropertiesStoreWhatIsAssigned) {
  form.lbl.SetBackColor(0xFF00);
  form.lbl.SetForeColor(0xFF);
  form.lbl.Move({10, 20, 30, 40});
  form.lbl.SetTop(99);
  form.lbl.SetFont(Font("Arial", 8.25));
  EXPECT_EQ(form.lbl.backColor(), 0xFF00u);
  EXPECT_EQ(form.lbl.foreColor(), 0xFFu);
  EXPECT_EQ(form.lbl.rect(), (Rect{10, 99, 30, 40}));
  EXPECT_EQ(form.lbl.font().name, "Arial");
  EXPECT_EQ(form.txt.font().name, "MS Sans Serif") << "the form's font";
  EXPECT_EQ(form.img.picture(), "°C");
}

TEST(ControlNames, FindByNameAndArrayNames) {
  platform::FakePlatform fake;
  HeadlessRuntime runtime(fake);
  PanelForm form(runtime);
  EXPECT_EQ(ArrayName("lblStatusV", 2), "lblStatusV(2)");
  EXPECT_EQ(form.FindControl("opt(3)"), &form.opt[3]);
  EXPECT_EQ(form.Find<OptionButton>("opt(3)"), &form.opt[3]);
  EXPECT_EQ(form.Find<Label>("opt(3)"), nullptr) << "wrong kind";
  EXPECT_EQ(form.FindControl("opt(4)"), nullptr);
  EXPECT_EQ(form.FindControlById(form.upd.controlId()), &form.upd);
  EXPECT_EQ(form.opt[2].parentName(), "fraOther");
}

class BadForm : public Form {
 public:
  explicit BadForm(Runtime& runtime) : Form(runtime, FormArgs("frmBad", "")) {}
  ~BadForm() override { Discard(); }
  void Add(Control& control, ControlArgs args) { Create(control, std::move(args)); }
  Label a, b, c;
  Frame frame;
  CheckBox box;
  Menu menu, entry;
};

TEST(ControlNames, CreationRefusesBrokenTables) {
  platform::FakePlatform fake;
  HeadlessRuntime runtime(fake);
  BadForm form(runtime);
  form.Add(form.a, Args("lbl"));
  EXPECT_THROW(form.Add(form.b, Args("lbl")), std::invalid_argument) << "duplicate name";
  EXPECT_THROW(form.Add(form.b, Args("")), std::invalid_argument);
  EXPECT_THROW(form.Add(form.b, Args("x").In("nowhere")), std::invalid_argument);
  form.Add(form.menu, Args("mFile"));
  EXPECT_THROW(form.Add(form.b, Args("y").In("mFile")), std::invalid_argument)
      << "only a menu entry goes under a menu";
  EXPECT_THROW(form.Add(form.a, Args("again")), std::logic_error);
  form.Load();
  EXPECT_THROW(form.Add(form.c, Args("late")), std::logic_error);
}

}  // namespace
}  // namespace vigilon::ui
