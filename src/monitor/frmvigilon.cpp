// The main window: its controls, its load, the timers and the display options.
#include "monitor/frmvigilon.h"

#include <string>

namespace vigilon {

namespace {
// The client area holds the three frames, the polling row beneath them and the command
// column at the right.
constexpr int kClientWidth = 9585;
constexpr int kClientHeight = 6045;
constexpr const char* kDebugMarker = "\\Debug for TALV.TAG";
}  // namespace

frmvigilon::frmvigilon(ui::Runtime& runtime, RunState& run)
    : ui::Form(runtime, ui::FormArgs("frmvigilon", kMainWindowTitle, kClientWidth, kClientHeight)
                            .Icon("\\eye.ico")),
      run_(run),
      panel_(run),
      warnings_(runtime, run),
      config_(runtime, run),
      about_(runtime),
      cycle_(run, panel_, warnings_, *this),
      history_(std::make_unique<history::HistoryStore>()),
      historyWindow_(runtime, run, *history_) {
  using ui::Args;
  Create(panel_.Specs());
  Create({
      {Label10, Args("Label10").Caption("Polling Interval").At(4380, 5565, 1380, 210)},
      {HScroll1, Args("HScroll1").At(5790, 5520, 1080, 285)},
      {Text1, Args("Text1").At(6030, 5505, 600, 300)},
      {Label11, Args("Label11").Caption("( Sec. )").At(6930, 5535, 630, 210)},
      {Option1, Args("Option1").At(8490, 4485, 330, 285)},
      {Option2, Args("Option2").At(8490, 4845, 330, 285)},
      {Image1, Args("Image1").Picture(limits::kCelsiusMark).At(8895, 4530, 240, 240)},
      {Image2, Args("Image2").Picture(limits::kFahrenheitMark).At(8895, 4890, 240, 240)},
      {Command1, Args("Command1").Caption("E&xit").At(8220, 315, 1185, 345)},
      {Command2, Args("Command2").Caption("Mi&nimize").At(8235, 960, 1185, 345)},
      {Command3, Args("Command3").Caption("Load &Default").At(8205, 1590, 1185, 345)},
      {Command4, Args("Command4").Caption("&Save Data").At(8205, 2220, 1185, 345)},
      {Command5, Args("Command5").Caption("Con&figuration").At(8220, 2880, 1185, 345)},
      {Command6, Args("Command6").Caption("&About").At(8220, 3525, 1185, 345)},
      {Command7, Args("Command7").Caption("Make Data").At(8325, 5415, 1020, 375)},
      {Text2, Args("Text2").At(2880, 5505, 1215, 300)},
      {mFile, Args("mFile").Caption("&File")},
      {mDefault, Args("mDefault").Caption("&Default").In("mFile")},
      {mSave, Args("mSave").Caption("&Save").In("mFile")},
      {mLogging, Args("mLogging").Caption("&Logging and Export...").In("mFile")},
      {mExit, Args("mExit").Caption("&Exit").In("mFile")},
      {mConfigure, Args("mConfigure").Caption("&Configuration")},
      {mAbout, Args("mAbout").Caption("&About")},
      {mHistory, Args("mHistory").Caption("&History")},
      // Only ever a pop-up: it must never stand in the visible window's menu bar.
      {iconMenu, Args("iconMenu").Caption("Test").Hidden()},
      {IconMenuRestore, Args("IconMenuRestore").Caption("&Restore").In("iconMenu")},
      {IconMenuExit, Args("IconMenuExit").Caption("E&xit").In("iconMenu")},
      {SecCount, Args("SecCount")},
      {ActiveTimer, Args("ActiveTimer")},
      {DelayForSTR, Args("DelayForSTR")},
      {DelayFanBeepForSTR, Args("DelayFanBeepForSTR").Disabled()},
      {SysInfo1, Args("SysInfo1")},
      {cdgHelp, Args("cdgHelp")},
  });
  panel_.SetDesignValues();
  HScroll1.SetMin(1);
  HScroll1.SetMax(120);
  HScroll1.SetSmallChange(1);
  HScroll1.SetLargeChange(1);
  SecCount.SetInterval(1000);
  ActiveTimer.SetInterval(10);

  SecCount.onTimer = [this] { SecCount_Timer(); };
  ActiveTimer.onTimer = [this] { ActiveTimer_Timer(); };
  HScroll1.onChange = [this] { HScroll1_Change(); };
  Option1.onClick = [this] { Option1_Click(); };
  Option2.onClick = [this] { Option2_Click(); };
  WireCommands();
  WireHistory();
  run_.observers.push_back(&historyFeed_);
  WirePower();

  run_.hooks.RefreshPanelEnable = [this] { RefreshPanelEnable(); };
  run_.hooks.SetCaseOpenCaption = [this](const std::string& text) {
    panel_.lblCaseOpen.SetCaption(text);
  };
}

frmvigilon::~frmvigilon() {
  std::erase(run_.observers, &historyFeed_);
  run_.hooks.RefreshPanelEnable = nullptr;
  run_.hooks.SetCaseOpenCaption = nullptr;
  Discard();
}

void frmvigilon::Form_Load() {
  mExit.SetEnabled(false);
  Command1.SetEnabled(false);
  DelayFanBeepForSTR.SetInterval(0);
  DelayFanBeepForSTR.SetEnabled(false);

  const bool debug = platform().FileExistsInProgramFolder(kDebugMarker);
  Command7.SetEnabled(debug);
  Command7.SetVisible(debug);
  Text2.SetVisible(debug);

  run_.PanelReady = false;
  run_.chip.StopMonitoring([this] { runtime().DoEvents(); });

  for (auto& upd : panel_.updTempLoLimit) upd.SetVisible(false);
  panel_.Image4.Move(panel_.Image3.rect());
  HScroll1.SetValue(run_.items.PollInterval);

  const bool celsius = items::IsTrue(run_.items.TempInCelsius);
  for (int t = 0; t < limits::kTemps; ++t) {
    panel_.updTempHiLimit_Change(t);
    panel_.dfTempHiBound[t].Move(panel_.lblTempHiBound[t].rect());
    panel_.dfTempLoBound[t].Move(panel_.lblTempLoBound[t].rect());
    panel_.ShowUnitMark(celsius);
    panel_.SwitchBoundLabels(t, celsius);
  }

  // Start-up ran every fan the smart fan may drive; their rows start from the user's limits.
  run_.chip.Set_Fan_Status();

  if (run_.traits().vcoreLayout) {
    panel_.lblItemName[0].SetCaption("Vcore");
    panel_.Move_VoltCtrl_Position();
  }

  SetUpRows();

  SecCount.SetEnabled(true);

  run_.PanelReady = true;
  run_.chip.StartMonitoring();
  run_.chip.ApplyBeepSettings(run_.items.ItemEnabled, run_.items.ItemBeep);

  mExit.SetEnabled(true);
  Command1.SetEnabled(true);
  SelectUnitButtons();
}

void frmvigilon::SetUpRows() {
  panel_.RefreshPanelAvailability();
  RefreshPanelEnable();
  InitLimitRows();
}

void frmvigilon::InitLimitRows() {
  panel_.InitVoltageControls();
  panel_.InitFanControls();
  cycle_.smartFan().HoldRowsOfFansSwitchedOff();
  panel_.InitTemperatureControls();
  UpdateCaseOpenLabel();
}

void frmvigilon::SelectUnitButtons() {
  // Selecting a button runs its click when it was not selected already; clearing raises nothing.
  if (items::IsTrue(run_.items.TempInCelsius)) {
    Option1.SetValue(true);
    Option2.SetValue(false);
  } else {
    Option1.SetValue(false);
    Option2.SetValue(true);
  }
}

void frmvigilon::SecCount_Timer() {
  WatchSuspendQuery();
  if (trayAddPending_ && visible()) HideToTray();
  ++PollSecondCount;
  if (PollSecondCount >= run_.items.PollInterval) {
    PollSecondCount = 0;
    PollSensors();
  }
  if (past_ && !past_->Step(*history_)) past_.reset();
}

void frmvigilon::PollSensors() {
  cycle_.PollSensors();
}

void frmvigilon::ActiveTimer_Timer() {
  panel_.ShowUnitLabels();
}

void frmvigilon::RefreshPanelEnable() {
  panel_.RefreshPanelEnable();
  // The rows' scale ends of the other unit would otherwise stand until the next 10 ms tick.
  panel_.ShowUnitLabels();
  // An item no longer watched keeps no warning, whoever took its Enable away (defaults, the
  // configuration's Cancel, a warning's Disable): its count starts over and its dialog closes,
  // unless that dialog holds itself open.
  for (int k = 0; k < items::kItemCount; ++k) {
    const bool watched = run_.items.ItemEnabled[k] == 1;
    if (Watched[k] && !watched) CloseWarning(k);
    Watched[k] = watched;
  }
  // Nor does a fan the smart fan stopped stay stopped once it no longer steers it.
  cycle_.smartFan().ReleaseUnsteeredFans();
}

void frmvigilon::UpdateCaseOpenLabel() {
  panel_.UpdateCaseOpenLabel();
}

void frmvigilon::SetEyeIcon(const char* file) {
  if (const platform::IconHandle icon = run_.icons.Get(file)) SetSharedIcon(icon);
  run_.TrayIconData.hIcon = this->icon();
  // Sent whether or not the entry is shown; only its icon changes.
  platform().ShellNotifyIcon(platform::NotifyOp::Modify, run_.TrayIconData);
}

void frmvigilon::ShowPollInterval() {
  Text1.SetText(std::to_string(run_.items.PollInterval));
}

void frmvigilon::HScroll1_Change() {
  run_.items.PollInterval = static_cast<int16_t>(HScroll1.value());
  ShowPollInterval();
}

void frmvigilon::Option1_Click() {
  SetUnit(true);
}

void frmvigilon::Option2_Click() {
  SetUnit(false);
}

void frmvigilon::SetUnit(bool celsius) {
  run_.items.TempInCelsius = celsius ? items::kTrue : items::kFalse;
  for (int t = 0; t < limits::kTemps; ++t) {
    panel_.updTempLoLimit_Change(t);
    panel_.updTempHiLimit_Change(t);
    panel_.RefreshFahrenheitBounds();
    panel_.SwitchBoundLabels(t, celsius);
  }
  ProcessTemperature();
  panel_.ShowUnitMark(celsius);
}

void frmvigilon::ShowWarning(int item) {
  warnings_.ShowWarning(item);
}

void frmvigilon::CloseWarning(int item) {
  warnings_.CloseWarning(item);
}

}  // namespace vigilon
