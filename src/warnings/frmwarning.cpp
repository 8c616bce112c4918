// The warning dialog and the table that makes each item's instance of it.
#include "warnings/frmwarning.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "warnings/shutdown.h"

namespace vigilon::warnings {

namespace {

struct WarningDialogRow {
  const char* form;
  const char* title;
  const char* messageLabel;
  const char* message;
  const char* vcoreMessage;  // replaces the message where the model calls its core rail Vcore
  const char* helpFile;      // in the program folder
  uint32_t helpTopic;
  bool helpButton;
  // The chassis alarm cannot be "disabled away": its dialog stays until the user has seen it,
  // and it sounds the beeper and marks the main window's caption while it is up.
  bool chassis;
};

constexpr std::array<WarningDialogRow, items::kItemCount> kWarningDialogs{{
    {"frmVcoreA", "CPU Voltage Warning !!!", "lblWarning", "CPU Voltage abnormal !",
     "Your Vcore Voltage exceed the limits", "vwarn.hlp", 10, false, false},
    {"frmVcoreB", "Warning !!!", "Label2", "Your VcoreB voltage exceed the limits.", nullptr,
     "vwarn.hlp", 10, true, false},
    {"frmV33", "+3.3V Voltage Warning !!!", "Label2", "+3.3V Voltage abnormal !", nullptr,
     "vwarn.hlp", 10, false, false},
    {"frmVp5", "+5V Voltage Warning !!!", "Label2", "+5V Voltage abnormal !", nullptr, "vwarn.hlp",
     10, false, false},
    {"frmVp12", "+12V Voltage Warning !!!", "Label2", "+12V Voltage abnormal !", nullptr,
     "vwarn.hlp", 10, false, false},
    {"frmVn12", "-12V Voltage Warning !!!", "Label2", "-12V Voltage abnormal !", nullptr,
     "vwarn.hlp", 10, false, false},
    {"frmVn5", "-5V Voltage Warning !!!", "Label2", "-5V Voltage abnormat !", nullptr, "vwarn.hlp",
     10, false, false},
    {"frmVsb", "5Vsb Voltage Warning!!!", "Label2", "5Vsb Voltage abnormal !", nullptr, "vwarn.hlp",
     10, false, false},
    {"frmVbat", "Vbat Voltage Warning!!!", "Label2", "Vbat Voltage abnarmal !", nullptr,
     "vwarn.hlp", 10, false, false},
    {"frmFan1", "Warning !!!", "Label2", "Chassis FAN abnormal !", nullptr, "fanwarn.hlp", 10,
     false, false},
    {"frmFan2", "Warning !!!", "Label2", "CPU FAN abnormal !", nullptr, "fanwarn.hlp", 10, false,
     false},
    {"frmFan3", "Warning !!!", "Label2", "Second FAN abnormal !", nullptr, "fanwarn.hlp", 10, false,
     false},
    {"frmTemp1", "Warning !!!", "Label2", "System Tempurature abnormal !", nullptr, "twarn.hlp", 10,
     false, false},
    {"frmTemp2", "CPU Temp. Warning !!!", "Label2", "CPU Tempurature abnormal !", nullptr,
     "twarn.hlp", 10, false, false},
    {"frmTemp3", "Other Device Temp. Warning !!!", "Label2", "Other Device Temperature abnormal !",
     nullptr, "twarn.hlp", 10, false, false},
    {"frmCaseOpen", "Chassis Warning !!!", "Label2", "Chassis has been opened.", nullptr,
     "zr410.hlp", 116, false, true},
}};

const WarningDialogRow& RowOf(int item) {
  if (item < 0 || item >= items::kItemCount) throw std::out_of_range("no warning dialog");
  return kWarningDialogs[static_cast<size_t>(item)];
}

constexpr ui::Color kRed = 0x0000FF;
constexpr ui::Color kDarkBlue = 0xC00000;
constexpr uint32_t kHelpContext = 1;  // show the topic of a context number
// The chassis dialog sounds the beeper while it is up through the first temperature's beep
// enable, the bit every model's beeper answers to.
constexpr int kCaseOpenBeepItem = items::kFirstTempItem;

// Layout in twips. Texts are measured at about 6 px (90 twips) per average character of the
// 8.25-point font, with room to spare for wider faces.
constexpr int kMargin = 240;
constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 375;
constexpr int kButtonGap = 120;
constexpr int kFirstButtonTop = 1200;
constexpr int kTipLeft = kMargin + kButtonWidth + 180;
constexpr int kTipWidth = 3165;      // 35 characters; the longest tip has 28
constexpr int kTextHeight = 255;     // one line of the 8.25-point font
constexpr int kMessageWidth = 4560;  // 50 characters; the longest message has 36
constexpr int kClientWidth = kTipLeft + kTipWidth + kMargin;
constexpr int kClientHeight = kFirstButtonTop + kWarningButtons * kButtonHeight +
                              (kWarningButtons - 1) * kButtonGap + kMargin;
static_assert(kMargin + kMessageWidth + kMargin <= kClientWidth);

constexpr std::array<const char*, kWarningButtons> kButtonCaptions{"Ignore", "Disable", "Shut Down",
                                                                   "Help"};
constexpr std::array<const char*, kWarningButtons> kTips{"Ignore this Warning Message.",
                                                         "No more monitor this item",
                                                         "Exit Windows", "More Information"};

ui::FormArgs ArgsFor(int item) {
  const WarningDialogRow& row = RowOf(item);
  return ui::FormArgs(row.form, row.title, kClientWidth, kClientHeight).AsDialog().Centered(item);
}

}  // namespace

frmWarning::frmWarning(ui::Runtime& runtime, RunState& run, int item)
    : Form(runtime, ArgsFor(item)), run_(run), item_(item) {
  const WarningDialogRow& row = RowOf(item);
  std::vector<ui::ControlSpec> table{
      {Label1, ui::Args("Label1")
                   .Caption("Warning!")
                   .At(kMargin, 120, 2400, 480)
                   .WithFont(ui::Font("MS Sans Serif", 18))
                   .Fore(kRed)},
      {Label2, ui::Args(row.messageLabel)
                   .Caption(row.message)
                   .At(kMargin, 720, kMessageWidth, kTextHeight)
                   .Fore(kDarkBlue)},
  };
  for (size_t i = 0; i < kWarningButtons; ++i) {
    const int top = kFirstButtonTop + static_cast<int>(i) * (kButtonHeight + kButtonGap);
    ui::ControlArgs button = ui::Args(ui::ArrayName("Command", i))
                                 .Caption(kButtonCaptions[i])
                                 .At(kMargin, top, kButtonWidth, kButtonHeight);
    ui::ControlArgs tip =
        ui::Args(ui::ArrayName("Tip", i))
            .Caption(kTips[i])
            .At(kTipLeft, top + (kButtonHeight - kTextHeight) / 2, kTipWidth, kTextHeight);
    if (i == kHelp && !row.helpButton) {
      button.Hidden().Disabled();
      tip.Hidden().Disabled();
    }
    table.push_back({Command[i], button});
    table.push_back({Tip[i], tip});
    Command[i].onClick = [this, i] { Command_Click(static_cast<int>(i)); };
  }
  Create(table);
}

void frmWarning::Form_Load() {
  const WarningDialogRow& row = RowOf(item_);
  if (row.vcoreMessage != nullptr && run_.traits().vcoreLayout) Label2.SetCaption(row.vcoreMessage);
  if (row.chassis) {
    if (run_.hooks.SetCaseOpenCaption) run_.hooks.SetCaseOpenCaption("Chassis is opened");
    run_.chip.SetItemBeep(kCaseOpenBeepItem, true);
  }
}

void frmWarning::Form_QueryUnload(bool& cancel, ui::UnloadMode) {
  if (holdOpen_) cancel = true;
}

void frmWarning::Form_Unload() {
  if (!RowOf(item_).chassis) return;
  if (run_.hooks.SetCaseOpenCaption) run_.hooks.SetCaseOpenCaption("Chassis is closed");
  // The bit goes back to what the first temperature's flags say, so that closing the case
  // does not silence an overheating processor.
  const int temp1 = kCaseOpenBeepItem;
  const bool temp1Beeps = run_.items.ItemEnabled[temp1] == 1 && run_.items.ItemBeep[temp1] == 1;
  run_.chip.SetItemBeep(temp1, temp1Beeps);
}

void frmWarning::Command_Click(int index) {
  // Whatever the hooks close, this form stays in memory until the handler has returned.
  ui::Runtime::EventScope scope(runtime());
  const WarningDialogRow& row = RowOf(item_);
  if (index >= 0 && index < kWarningButtons)
    run_.events.Tell({RunEventKind::WarningButton, item_, kButtonCaptions[index]});
  switch (index) {
    case kIgnore:
      run_.ItemWarnCount[item_] = 0;
      Unload();
      break;
    case kDisable:
      Disable();
      break;
    case kShutDown:
      // The dialog stays; it may be closed under the question, so nothing here follows it.
      ConfirmShutdown(run_);
      break;
    case kHelp:
      ShowHelp(row.helpFile, row.helpTopic);
      break;
    default:
      break;
  }
}

void frmWarning::ShowHelp(const char* helpFile, uint32_t topic) {
  const std::string path = run_.InProgramFolder(helpFile);
  // The help files are separate files beside the program, in the old Windows Help format. The
  // user hears why there is no help rather than nothing; a missing file is not handed to the
  // viewer, whose own question about it would hold this window until it is answered.
  if (!run_.platform.FileExistsInProgramFolder(helpFile)) {
    run_.platform.MsgBox("There is no help for this warning: the help file \"" + path +
                             "\" is not in the program's folder.",
                         "", platform::MsgBoxButtons::Ok);
    return;
  }
  if (!run_.platform.ShowHelp(path, kHelpContext, topic)) {
    run_.platform.MsgBox(
        "There is no help for this warning: this system has no viewer for "
        "Windows Help files such as \"" +
            path + "\".",
        "", platform::MsgBoxButtons::Ok);
  }
}

void frmWarning::Disable() {
  const bool chassis = RowOf(item_).chassis;
  // The main window and the configuration dialog close the warning of an item that is no
  // longer watched; the chassis dialog is held open through that until the user presses Ignore.
  holdOpen_ = chassis;
  run_.items.ItemEnabled[item_] = 0;
  run_.RefreshPanelEnable();
  if (run_.hooks.DisableInConfig) run_.hooks.DisableInConfig(item_);
  holdOpen_ = false;
  // The chip stops beeping for an item nobody watches any more, whether or not the
  // configuration dialog's reaction ran (it does not when the dialog loads with the item off).
  run_.chip.ApplyBeepSettings(run_.items.ItemEnabled, run_.items.ItemBeep);
  if (chassis) {
    // Still open: it keeps its bit, as from its load.
    run_.chip.SetItemBeep(kCaseOpenBeepItem, true);
    return;
  }
  Unload();
}

}  // namespace vigilon::warnings
