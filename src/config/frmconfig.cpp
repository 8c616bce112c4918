// The monitoring configuration dialog and its owner.
#include "config/frmconfig.h"

#include <string>
#include <vector>

namespace vigilon::config {

namespace {

using items::kChassisItem;
using items::kItemCount;

// The tab strip with the heading frame above the stacked pages, the buttons to its right.
constexpr int kClientWidth = 7095;
constexpr int kClientHeight = 4335;
constexpr ui::Rect kTabStrip{120, 120, 5255, 4095};
constexpr ui::Rect kHeadingFrame{240, 480, 5000, 615};
constexpr ui::Rect kPage{240, 960, 5000, 3135};
constexpr int kButtonLeft = 5880;
constexpr int kButtonWidth = 1095;
constexpr int kButtonHeight = 375;
constexpr int kOkTop = 3720;
constexpr int kCancelTop = 3120;

// Columns on a page; the boxes carry no captions, the headings name the columns.
constexpr int kNameLeft = 30;
constexpr int kNameWidth = 1155;  // "Chassis Open" on one line
constexpr int kEnableLeft = 1200;
constexpr int kBeepLeft = 1920;
constexpr int kHighLeft = 2880;
constexpr int kBoxSize = 255;

struct Heading {
  const char* caption;
  int left;
  int width;
};
// Member 3 is a spare "Enable" kept beyond the frame's right edge, where it is never seen. The
// sensitivity headings reach to the next heading and to the frame's edge: at 144 DPI the font
// grows a little faster than the twips, and "High Sensitive" would break onto a second line.
constexpr std::array<Heading, 5> kHeadings{{
    {"Enable", 960, 615},
    {"High Sensitive", 2280, 1380},
    {"Beep", 1665, 495},
    {"Enable", 5280, 615},
    {"Low Sensitive", 3720, 1260},
}};
constexpr int kHeadingTop = 240;
constexpr int kHighHeading = 1;
constexpr int kLowHeading = 4;

struct Page {
  const char* tab;
  const char* heading;  // the heading frame's caption while the page is in front
  bool sensitivity;     // whether the two sensitivity headings apply
};
constexpr std::array<Page, 4> kPages{{
    {"Voltage", " Voltage ", true},
    {"Fan", " Fan Speed ", true},
    {"Tempurature", " Tempurature ", true},
    {"Chassis", "", false},
}};

// Each item's row: its page, its top there, the left of its "Low Sensitive" box, and whether it
// is seen before the load decides. Row 1 lies below the page's visible part (the vcore layout
// parks row 2 there); row 6 waits for a chip that has it.
struct Row {
  int page;
  int top;
  int lowLeft;
  bool designVisible;
};
constexpr std::array<Row, kItemCount> kRows{{
    {0, 285, 3960, true},
    {0, 3915, 4080, false},
    {0, 615, 3960, true},
    {0, 945, 3960, true},
    {0, 1275, 3960, true},
    {0, 1605, 3960, true},
    {0, 2820, 3960, false},
    {0, 1935, 3960, true},
    {0, 2250, 3960, true},
    {1, 600, 4080, true},
    {1, 1200, 4080, true},
    {1, 1800, 4080, true},
    {2, 600, 4080, true},
    {2, 1200, 4080, true},
    {2, 1800, 4080, true},
    {3, 1080, 4080, true},
}};

uint8_t FlagOf(const ui::CheckBox& box) {
  return static_cast<uint8_t>(box.value());
}

}  // namespace

frmConfig::frmConfig(ui::Runtime& runtime, RunState& run)
    : ui::Form(runtime, ui::FormArgs("frmConfig", "Monitoring Config.", kClientWidth, kClientHeight)
                            .AsDialog()
                            .Centered()),
      run_(run) {
  std::vector<ui::ControlSpec> table{
      {TabStrip1, ui::Args("TabStrip1").At(kTabStrip)},
      {Frame2, ui::Args("Frame2").Caption(kPages[0].heading).At(kHeadingFrame)},
  };
  for (size_t h = 0; h < ColumeName.size(); ++h) {
    table.push_back(
        {ColumeName[h], ui::Args(ui::ArrayName("ColumeName", h))
                            .Caption(kHeadings[h].caption)
                            .At(kHeadings[h].left, kHeadingTop, kHeadings[h].width, kBoxSize)
                            .In("Frame2")});
  }
  for (size_t p = 0; p < Frame1.size(); ++p) {
    table.push_back({Frame1[p], ui::Args(ui::ArrayName("Frame1", p)).At(kPage)});
  }
  for (int i = 0; i < kItemCount; ++i) {
    const Row& row = kRows[i];
    const std::string page = ui::ArrayName("Frame1", static_cast<size_t>(row.page));
    auto cell = [&](const char* base, int left, int width, bool visible) {
      ui::ControlArgs args = ui::Args(ui::ArrayName(base, static_cast<size_t>(i)))
                                 .At(left, row.top, width, kBoxSize)
                                 .In(page);
      if (!visible) args.Hidden();
      return args;
    };
    const bool shown = row.designVisible;
    table.push_back({lblItemName[i], cell("lblItemName", kNameLeft, kNameWidth, shown)
                                         .Caption(items::ItemTable()[i].configCaption)});
    table.push_back({chkEnable[i], cell("chkEnable", kEnableLeft, kBoxSize, shown)});
    table.push_back({chkBeep[i], cell("chkBeep", kBeepLeft, kBoxSize, shown)});
    table.push_back({chkWErr1[i], cell("chkWErr1", kHighLeft, kBoxSize, shown)});
    // The chassis has no sensitivity to choose.
    table.push_back(
        {chkWErr3[i], cell("chkWErr3", row.lowLeft, kBoxSize, shown && i != kChassisItem)});
  }
  table.push_back({cmdSelect[0], ui::Args("cmdSelect(0)")
                                     .Caption("OK")
                                     .At(kButtonLeft, kOkTop, kButtonWidth, kButtonHeight)});
  table.push_back({cmdSelect[1], ui::Args("cmdSelect(1)")
                                     .Caption("Cancel")
                                     .At(kButtonLeft, kCancelTop, kButtonWidth, kButtonHeight)});
  Create(table);

  std::vector<std::string> tabs;
  for (const Page& page : kPages) tabs.emplace_back(page.tab);
  TabStrip1.SetTabs(std::move(tabs));
  TabStrip1.onClick = [this] { TabStrip1_Click(); };
  // Design values, which raise nothing: a row is on and beeps at the first bad reading until the
  // load gives it its flags.
  for (int i = 0; i < kItemCount; ++i) {
    chkEnable[i].SetValue(1);
    chkBeep[i].SetValue(1);
    chkWErr1[i].SetValue(1);
    chkEnable[i].onClick = [this, i] { chkEnable_Click(i); };
    chkWErr1[i].onClick = [this, i] { chkWErr1_Click(i); };
    chkWErr3[i].onClick = [this, i] { chkWErr3_Click(i); };
    chkBeep[i].onClick = [this, i] { chkBeep_Click(i); };
  }
  for (int n = 0; n < static_cast<int>(cmdSelect.size()); ++n) {
    cmdSelect[n].onClick = [this, n] { cmdSelect_Click(n); };
  }
}

void frmConfig::Form_Load() {
  if (run_.traits().vcoreLayout) {
    lblItemName[0].SetCaption("Vcore");
    Move_Voltage_Poisition();
  }
  TakeFlags();
}

void frmConfig::Reload() {
  TakeFlags();
}

namespace {
// Per item, whether the chip beeps for it: monitored and beeping.
std::array<bool, kItemCount> ChipBeeps(const items::ItemTables& t) {
  std::array<bool, kItemCount> beeps{};
  for (int i = 0; i < kItemCount; ++i) beeps[i] = t.ItemEnabled[i] == 1 && t.ItemBeep[i] == 1;
  return beeps;
}
}  // namespace

void frmConfig::TakeFlags() {
  // The boxes' reactions each program the beeps as the flags pass through design and cleared-row
  // values; a chip in alarm would chirp at every one. It is told the end state, once, and only
  // when that differs from what it has.
  const std::array<bool, kItemCount> before = ChipBeeps(run_.items);
  beepsHeld_ = true;
  SetBoxesFromFlags();
  beepsHeld_ = false;
  if (ChipBeeps(run_.items) != before) ApplyBeeps();
}

// Every box assignment below that changes a value runs that box's click first; the order of the
// steps is what leaves each row and its flags consistent.
void frmConfig::SetBoxesFromFlags() {
  items::ItemTables& t = run_.items;
  // The flags as they were when the dialog opened, taken before any box's click can store a
  // design value in them, so that Cancel returns to them.
  for (int i = 0; i < kItemCount; ++i) {
    ConfigBackupEnabled[i] = t.ItemEnabled[i];
    ConfigBackupWErr1[i] = t.ItemWErr1[i];
    ConfigBackupWErr3[i] = t.ItemWErr3[i];
    ConfigBackupBeep[i] = t.ItemBeep[i];
  }
  Frame1[0].ZOrder();
  Frame2.SetCaption(kPages[0].heading);
  chkWErr1[kChassisItem].SetValue(0);
  chkWErr1[kChassisItem].SetVisible(false);

  for (int i = 0; i < kItemCount; ++i) {
    chkEnable[i].SetValue(t.ItemEnabled[i]);
    chkWErr1[i].SetValue(t.ItemWErr1[i]);
    chkWErr3[i].SetValue(t.ItemWErr3[i]);
    // A monitored row's sensitivity click has just stored its Beep box's design tick: the row
    // gets the beep it had, or opening the dialog would switch a silenced beep on.
    chkBeep[i].SetValue(items::IsSet(ConfigBackupEnabled[i]) ? ConfigBackupBeep[i] : t.ItemBeep[i]);
    ConfigSavedBeep[i] = 0;
    ConfigSavedWErr1[i] = 1;
    ConfigSavedWErr3[i] = 0;
    if (items::IsSet(t.ItemPresent[i])) {
      lblItemName[i].SetVisible(true);
      chkEnable[i].SetVisible(true);
      if (chkEnable[i].value() == 1) {
        chkWErr1[i].SetVisible(true);
        chkWErr3[i].SetVisible(true);
        // A row starts with its beep offered only where it warns at the first bad reading.
        chkBeep[i].SetVisible(items::IsSet(t.ItemBeepCapable[i]) && chkWErr1[i].value() == 1);
      } else {
        ShowOptions(i, false);
      }
    } else {
      lblItemName[i].SetVisible(false);
      chkEnable[i].SetVisible(false);
      chkEnable[i].SetValue(0);
      ShowOptions(i, false);
      chkBeep[i].SetValue(0);
    }
    ConfigSavedBeep[i] = t.ItemBeep[i];
  }

  ui::CheckBox& high = chkWErr1[kChassisItem];
  ui::CheckBox& low = chkWErr3[kChassisItem];
  ui::CheckBox& beep = chkBeep[kChassisItem];
  ui::CheckBox& enable = chkEnable[kChassisItem];
  const bool chassisOn = items::IsSet(ConfigBackupEnabled[kChassisItem]);
  low.SetValue(0);
  low.SetVisible(false);
  high.SetValue(1);
  high.SetVisible(false);
  if (!items::IsSet(t.ItemPresent[kChassisItem])) {
    // A chip without the case switch offers no row for it, like any other absent item: an
    // Enable box here would watch an input that is not there.
    return;
  }
  if (chassisOn) {
    enable.SetVisible(true);
    enable.SetValue(1);
    beep.SetValue(ConfigBackupBeep[kChassisItem] != 0 ? 1 : 0);
  } else {
    enable.SetValue(0);
    enable.SetVisible(true);
    beep.SetValue(0);
    beep.SetVisible(false);
  }
}

void frmConfig::DisableInConfig(int item) {
  if (item < 0 || item >= kItemCount) return;
  ConfigBackupEnabled[item] = 0;
  chkEnable[item].SetValue(0);
  ShowOptions(item, false);
}

void frmConfig::chkEnable_Click(int i) {
  if (chkEnable[i].value() == 1) {
    if (i == kChassisItem) {
      ShowOptions(i, false);
      chkWErr1[i].SetValue(1);
      chkWErr3[i].SetValue(0);
    } else {
      ShowOptions(i, true);
      chkWErr1[i].SetValue(ConfigSavedWErr1[i]);
      chkWErr3[i].SetValue(ConfigSavedWErr3[i]);
    }
    chkBeep[i].SetValue(items::IsSet(run_.items.ItemBeepCapable[i]) ? ConfigSavedBeep[i] : 0);
  } else if (chkEnable[i].value() == 0) {
    ConfigSavedBeep[i] = static_cast<int16_t>(chkBeep[i].value());
    ConfigSavedWErr1[i] = static_cast<int16_t>(chkWErr1[i].value());
    ConfigSavedWErr3[i] = static_cast<int16_t>(chkWErr3[i].value());
    ShowOptions(i, false);
    // A row that is off reads as the defaults of a new row, so the flags never hold a stale beep.
    chkWErr1[i].SetValue(1);
    chkWErr3[i].SetValue(0);
    chkBeep[i].SetValue(0);
    if (run_.hooks.CloseWarning) run_.hooks.CloseWarning(i);
  }
  run_.items.ItemEnabled[i] = FlagOf(chkEnable[i]);
  StoreOptions(i);
  run_.RefreshPanelEnable();
  ApplyBeeps();
}

void frmConfig::chkWErr1_Click(int i) {
  // The two sensitivities are the two answers to one question.
  chkWErr3[i].SetValue(chkWErr1[i].value() == 1 ? 0 : 1);
  // An enabled chassis always warns on the third reading; this assignment runs the Low box's
  // click, which clears this one again.
  if (i == kChassisItem && chkEnable[i].value() != 0) {
    chkWErr3[i].SetValue(1);
    chkBeep[i].SetVisible(true);
  }
  StoreOptions(i);
  ApplyBeeps();
}

void frmConfig::chkWErr3_Click(int i) {
  chkWErr1[i].SetValue(chkWErr3[i].value() == 1 ? 0 : 1);
  StoreOptions(i);
  ApplyBeeps();
}

void frmConfig::chkBeep_Click(int i) {
  StoreOptions(i);
  ApplyBeeps();
}

void frmConfig::cmdSelect_Click(int index) {
  if (index == 1) {
    items::ItemTables& t = run_.items;
    t.ItemEnabled = ConfigBackupEnabled;
    t.ItemWErr1 = ConfigBackupWErr1;
    t.ItemWErr3 = ConfigBackupWErr3;
    t.ItemBeep = ConfigBackupBeep;
    run_.RefreshPanelEnable();
    ApplyBeeps();
  }
  Unload();
}

void frmConfig::TabStrip1_Click() {
  const std::string tab = TabStrip1.SelectedCaption();
  for (size_t p = 0; p < kPages.size(); ++p) {
    if (tab != kPages[p].tab) continue;
    Frame1[p].ZOrder();
    Frame2.SetCaption(kPages[p].heading);
    ColumeName[kHighHeading].SetEnabled(kPages[p].sensitivity);
    ColumeName[kLowHeading].SetEnabled(kPages[p].sensitivity);
    return;
  }
}

// Without a second core rail, rows 3 to 6 move up one place and row 2 goes where row 1 was,
// below the visible part of the page.
void frmConfig::Move_Voltage_Poisition() {
  ui::ShiftRowsUp(2, 6, lblItemName, chkEnable, chkWErr1, chkWErr3, chkBeep);
}

void frmConfig::ShowOptions(int i, bool visible) {
  chkWErr1[i].SetVisible(visible);
  chkWErr3[i].SetVisible(visible);
  // Where the chip has no beep for the item the option is never offered: the flag it would set
  // means nothing to the chip and the settings file drops it.
  chkBeep[i].SetVisible(visible && items::IsSet(run_.items.ItemBeepCapable[i]));
}

void frmConfig::StoreOptions(int i) {
  run_.items.ItemWErr1[i] = FlagOf(chkWErr1[i]);
  run_.items.ItemWErr3[i] = FlagOf(chkWErr3[i]);
  run_.items.ItemBeep[i] = FlagOf(chkBeep[i]);
}

void frmConfig::ApplyBeeps() {
  if (beepsHeld_) return;
  run_.chip.ApplyBeepSettings(run_.items.ItemEnabled, run_.items.ItemBeep);
}

ConfigDialog::ConfigDialog(ui::Runtime& runtime, RunState& run) : run_(run), slot_(runtime, run) {
  run_.hooks.DisableInConfig = [this](int item) { slot_.Get().DisableInConfig(item); };
}

ConfigDialog::~ConfigDialog() {
  run_.hooks.DisableInConfig = nullptr;
}

void ConfigDialog::FlagsReloaded() {
  frmConfig* dialog = slot_.IfLoaded();
  if (dialog == nullptr) return;
  // Open, it shows the new flags and Cancel returns to them; hidden, it opens afresh anyway.
  if (dialog->visible()) {
    dialog->Reload();
  } else {
    slot_.Unload();
  }
}

void ConfigDialog::Show() {
  // A dialog a warning's Disable loaded without showing holds the boxes and the Cancel copy of
  // that moment; the flags may have changed since (defaults, a resume), so it opens afresh.
  if (frmConfig* hidden = slot_.IfLoaded(); hidden && !hidden->visible()) slot_.Unload();
  slot_.Get().Show();  // a dialog already open comes to the front
}

}  // namespace vigilon::config
