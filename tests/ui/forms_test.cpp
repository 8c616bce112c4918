// Form lifetime, timers on the virtual clock, menus, power moments and the other runtime
// services, headless.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/fake_platform.h"
#include "platform/icon_files.h"
#include "ui/control_id.h"
#include "ui/controls.h"
#include "ui/headless_runtime.h"

namespace vigilon::ui {
namespace {

namespace ui = ::vigilon::ui;

using Log = std::vector<std::string>;

// A dialog in the shape of the program's secondary windows: buttons, a check box, a timer.
class DialogForm : public Form {
 public:
  DialogForm(Runtime& runtime, Log* log)
      : Form(runtime, FormArgs("frmDialog", "Dialog")), log_(*log) {
    Create({
        {cmdOk, Args("cmdOk").Caption("OK")},
        {cmdClose, Args("cmdClose").Caption("Close")},
        {chkBox, Args("chkBox")},
        {tmrTick, Args("tmrTick")},
    });
    tmrTick.SetInterval(100);
    cmdOk.onClick = [this] {
      log_.push_back("ok");
      Unload();
      // The form is unloaded but still in memory until the click returns.
      log_.push_back("after unload " + std::to_string(chkBox.value()));
    };
    chkBox.onClick = [this] { log_.push_back("chk=" + std::to_string(chkBox.value())); };
    tmrTick.onTimer = [this] { log_.push_back("tick"); };
  }
  bool refuseClose = false;
  CommandButton cmdOk, cmdClose;
  CheckBox chkBox;
  Timer tmrTick;

 protected:
  void Form_Load() override {
    log_.push_back("load");
    chkBox.SetValue(1);  // runs the click, as a design-time value would not
  }
  void Form_QueryUnload(bool& cancel, UnloadMode mode) override {
    log_.push_back("query " + std::to_string(static_cast<int>(mode)));
    cancel = refuseClose;
  }
  void Form_Unload() override { log_.push_back("unload"); }

 private:
  Log& log_;
};

// A main window that stays loaded, so that closing a dialog does not end the program.
class HostForm : public Form {
 public:
  explicit HostForm(Runtime& runtime) : Form(runtime, FormArgs("frmHost", "Host")) {}
  ~HostForm() override { Discard(); }
};

class FormsTest : public ::testing::Test {
 protected:
  FormsTest() { host.Get(); }
  platform::FakePlatform fake;
  HeadlessRuntime runtime{fake};
  FormSlot<HostForm> host{runtime};
  Log log;
  FormSlot<DialogForm, Log*> dialog{runtime, &log};
};

TEST_F(FormsTest, TheProgramEndsWhenItsLastFormUnloads) {
  dialog.Get();
  dialog.Unload();
  EXPECT_FALSE(runtime.ended());
  host.Unload();
  EXPECT_TRUE(runtime.ended());
}

TEST_F(FormsTest, ShowingAShownFormBringsItToTheFront) {
  dialog.Get().Show();
  host.Get().Show();
  EXPECT_GT(host->frontStamp(), dialog->frontStamp());
  dialog.Get().Show();
  EXPECT_GT(dialog->frontStamp(), host->frontStamp()) << "a second Show comes to the front";
  EXPECT_TRUE(dialog->visible());
}

TEST_F(FormsTest, AQueryOnlyAsksAndClosesNothing) {
  DialogForm& form = dialog.Get();
  form.refuseClose = true;
  EXPECT_FALSE(form.QueryClose(UnloadMode::AppWindows));
  form.refuseClose = false;
  EXPECT_TRUE(form.QueryClose(UnloadMode::AppWindows));
  EXPECT_TRUE(dialog.Loaded()) << "only the end of the session closes it";
  EXPECT_EQ(log, (Log{"load", "chk=1", "query 2", "query 2"}));
}

TEST_F(FormsTest, CreatedOnFirstUseAndFreshAfterUnload) {
  EXPECT_FALSE(dialog.Loaded());
  DialogForm& first = dialog.Get();
  dialog.Get().Show();
  EXPECT_EQ(log, (Log{"load", "chk=1"})) << "load runs once";
  EXPECT_TRUE(first.visible());
  EXPECT_EQ(runtime.forms().size(), 2u) << "the host and the dialog";

  first.chkBox.SetValue(0);
  EXPECT_TRUE(dialog.Unload());
  EXPECT_FALSE(dialog.Loaded());
  EXPECT_EQ(runtime.forms().size(), 1u);

  log.clear();
  DialogForm& second = dialog.Get();
  EXPECT_EQ(log, (Log{"load", "chk=1"}));
  EXPECT_EQ(second.chkBox.value(), 1) << "fresh controls";
  EXPECT_FALSE(second.visible()) << "loaded, not shown";
}

// The window of the example at the top of controls.h, verbatim.
class frmLimits : public ui::Form {
 public:
  explicit frmLimits(ui::Runtime& runtime)
      : Form(runtime, ui::FormArgs("frmLimits", "Limits", 3000, 1200)) {
    Create({
        {lblLimit, ui::Args("lblLimit").Caption("0").At(120, 120, 900, 255)},
        {updLimit, ui::Args("updLimit").At(1080, 90, 255, 330)},
        {SecCount, ui::Args("SecCount")},
    });
    updLimit.SetMax(255);
    SecCount.SetInterval(1000);
    updLimit.onChange = [this] { updLimit_Change(); };
    SecCount.onTimer = [this] { SecCount_Timer(); };
  }
  ui::Label lblLimit;
  ui::UpDown updLimit;
  ui::Timer SecCount;
  int seconds = 0;

 protected:
  void Form_Load() override { updLimit.SetValue(171); }  // runs updLimit_Change

 private:
  void updLimit_Change() { lblLimit.SetCaption(std::to_string(updLimit.value())); }
  void SecCount_Timer() { ++seconds; }
};

TEST(FormSlotTest, TheDocumentedExampleBehavesAsDescribed) {
  platform::FakePlatform fake;
  HeadlessRuntime runtime(fake);
  FormSlot<HostForm> host(runtime);
  host.Get();
  ui::FormSlot<frmLimits> limits(runtime);
  EXPECT_FALSE(limits.Loaded());
  limits.Get().Show();
  EXPECT_EQ(limits->lblLimit.caption(), "171");
  limits->updLimit.ArrowUp();
  EXPECT_EQ(limits->lblLimit.caption(), "172");
  runtime.Advance(3500);
  EXPECT_EQ(limits->seconds, 3);
  limits.Unload();
  EXPECT_EQ(limits.Get().seconds, 0);
  EXPECT_EQ(limits->lblLimit.caption(), "171") << "a fresh form ran its load again";
}

TEST(FormSlotTest, ReferenceArgumentsReachEveryNewForm) {
  // One dialog class, several slots differing only in the data they hand to their forms.
  class Dialog : public Form {
   public:
    Dialog(Runtime& runtime, const std::string& title, Log& log)
        : Form(runtime, FormArgs("frmWarning", title)), log_(log) {}
    ~Dialog() override { Discard(); }

   protected:
    void Form_Load() override { log_.push_back("load " + caption()); }

   private:
    Log& log_;
  };
  platform::FakePlatform fake;
  HeadlessRuntime runtime(fake);
  Log log;
  const std::string fan = "CPU FAN", temp = "CPU Temp.";
  FormSlot<Dialog, const std::string&, Log&> frmFan2(runtime, fan, log);
  FormSlot<Dialog, const std::string&, Log&> frmTemp2(runtime, temp, log);
  frmTemp2.Get();
  frmFan2.Get();
  frmFan2.Unload();
  frmFan2.Get();
  EXPECT_EQ(log, (Log{"load CPU Temp.", "load CPU FAN", "load CPU FAN"}));
}

TEST_F(FormsTest, QueryUnloadSeesTheModeAndMayCancel) {
  struct Case {
    UnloadMode mode;
    bool refuse;
    Log expected;
  };
  const Case cases[] = {
      {UnloadMode::ControlMenu, true, {"query 0"}},
      {UnloadMode::AppWindows, false, {"query 2", "unload"}},
      {UnloadMode::Code, false, {"query 1", "unload"}},
  };
  for (const Case& c : cases) {
    DialogForm& form = dialog.Get();
    form.refuseClose = c.refuse;
    log.clear();
    EXPECT_EQ(form.RequestClose(c.mode), !c.refuse);
    EXPECT_EQ(log, c.expected);
    EXPECT_EQ(dialog.Loaded(), c.refuse);
  }
}

TEST_F(FormsTest, UnloadFromItsOwnHandlerReturnsIntoLiveMemory) {
  dialog.Get().Show();
  log.clear();
  dialog.Get().cmdOk.Click();  // AddressSanitizer watches the handler's tail
  EXPECT_EQ(log, (Log{"ok", "query 1", "unload", "after unload 1"}));
  EXPECT_FALSE(dialog.Loaded());
}

TEST_F(FormsTest, TornDownFormRaisesNothing) {
  DialogForm& form = dialog.Get();
  form.tmrTick.onTimer = [&] {
    form.Unload();
    // Still running on the unloaded form: its controls take values but raise nothing.
    form.chkBox.SetValue(0);
    form.cmdClose.Click();
  };
  form.cmdClose.onClick = [&] { log.push_back("close"); };
  log.clear();
  runtime.Advance(100);
  EXPECT_EQ(log, (Log{"query 1", "unload"}));
  runtime.Advance(1000);
  EXPECT_EQ(log.size(), 2u) << "its timer stopped with it";
}

TEST_F(FormsTest, IconsAreOwnedByTheForm) {
  fake.files = {"eye.ico", "eye0.ico"};
  DialogForm& form = dialog.Get();
  const platform::IconHandle a = fake.LoadIconFile("eye.ico");
  const platform::IconHandle b = fake.LoadIconFile("eye0.ico");
  form.SetIcon(a);
  form.SetIcon(a);  // the same handle stays
  EXPECT_EQ(fake.liveIcons.count(a), 1u);
  form.SetIcon(b);
  EXPECT_EQ(form.icon(), b);
  EXPECT_EQ(fake.liveIcons.count(a), 0u) << "the replaced icon is destroyed";
  dialog.Unload();
  EXPECT_TRUE(fake.liveIcons.empty()) << "and the last one with the form";
}

TEST_F(FormsTest, SharedIconsAreLoadedOnceAndOutliveTheFormsShowingThem) {
  fake.files = {"eye.ico", "eye0.ico"};
  std::optional<platform::IconFiles> icons(std::in_place, fake);
  const platform::IconHandle a = icons->Get("\\eye.ico");
  const platform::IconHandle b = icons->Get("\\eye0.ico");
  EXPECT_EQ(icons->Get("\\eye.ico"), a);
  EXPECT_EQ(icons->Get("\\eye1.ico"), 0u);
  EXPECT_EQ(icons->Get("\\eye1.ico"), 0u);
  EXPECT_EQ(fake.iconLoads, (Log{"\\eye.ico", "\\eye0.ico", "\\eye1.ico"})) << "each file once";

  DialogForm& form = dialog.Get();
  form.SetSharedIcon(a);
  form.SetSharedIcon(b);
  form.SetIcon(fake.LoadIconFile("eye.ico"));  // its own, over a shared one
  form.SetSharedIcon(a);
  EXPECT_EQ(form.icon(), a);
  EXPECT_EQ(fake.liveIcons.size(), 2u) << "only the form's own icon went when replaced";
  dialog.Unload();
  EXPECT_EQ(fake.liveIcons.size(), 2u) << "a shared icon outlives the form";
  icons.reset();
  EXPECT_TRUE(fake.liveIcons.empty());
}

TEST(FormDesignTest, ValuesGivenWhileBuildingAreDesignValuesAndIconIsThereFromTheLoad) {
  // Assignments in the constructor are the designer's values: no handler runs for them, and
  // the form's own load is the first event.
  class Designed : public Form {
   public:
    Designed(Runtime& runtime, Log& log)
        : Form(runtime, FormArgs("frmDesigned", "Designed").Icon("\\eye.ico")), log_(log) {
      Create({{updLimit, Args("updLimit")}, {chkBox, Args("chkBox")}});
      updLimit.onChange = [this] { log_.push_back("upd " + std::to_string(updLimit.value())); };
      chkBox.onClick = [this] { log_.push_back("chk " + std::to_string(chkBox.value())); };
      updLimit.SetMax(255);
      updLimit.SetValue(171);
      chkBox.SetValue(1);
    }
    ~Designed() override { Discard(); }
    UpDown updLimit;
    CheckBox chkBox;

   protected:
    void Form_Load() override {
      log_.push_back(icon() != 0 ? "load, icon 1" : "load, icon 0");
      chkBox.SetValue(0);
    }

   private:
    Log& log_;
  };
  platform::FakePlatform fake;
  fake.files = {"EYE.ICO"};
  HeadlessRuntime runtime(fake);
  Log log;
  FormSlot<Designed, Log&> form(runtime, log);
  form.Get();
  EXPECT_EQ(log, (Log{"load, icon 1", "chk 0"}));
  EXPECT_EQ(form->updLimit.value(), 171) << "the design value itself is kept";
  form->updLimit.ArrowUp();
  EXPECT_EQ(log.back(), "upd 172");
  EXPECT_EQ(fake.liveIcons.size(), 1u);
  form.Unload();
  EXPECT_TRUE(fake.liveIcons.empty());
}

TEST(FakePlatformTest, ProgramFolderNamesWithOrWithoutSeparatorFindTheSameFile) {
  platform::FakePlatform fake;
  fake.files = {"Debug for TALV.TAG", "eye2.ico"};
  EXPECT_TRUE(fake.FileExistsInProgramFolder("\\debug for talv.tag"));
  EXPECT_TRUE(fake.FileExistsInProgramFolder("/eye2.ico"));
  EXPECT_TRUE(fake.FileExistsInProgramFolder("EYE2.ICO"));
  EXPECT_FALSE(fake.FileExistsInProgramFolder("\\eye1.ico"));
  EXPECT_NE(fake.LoadIconFile("\\eye2.ico"), 0u);
  EXPECT_EQ(fake.LoadIconFile("\\eye1.ico"), 0u);
}

TEST_F(FormsTest, CaptionPointerRefreshAndHandle) {
  DialogForm& form = dialog.Get();
  EXPECT_EQ(form.caption(), "Dialog");
  form.SetCaption("Dialog ....... Initializing !!");
  form.SetMousePointer(MousePointer::Hourglass);
  form.Refresh();
  EXPECT_EQ(form.caption(), "Dialog ....... Initializing !!");
  EXPECT_EQ(form.mousePointer(), MousePointer::Hourglass);
  EXPECT_EQ(form.refreshCount(), 1u);
  EXPECT_NE(form.hWnd(), 0u);
  const uint32_t handle = form.hWnd();
  dialog.Unload();
  EXPECT_NE(dialog.Get().hWnd(), handle) << "a fresh form is a fresh window";
}

TEST_F(FormsTest, HelpRequestGoesToThePlatform) {
  class HelpForm : public Form {
   public:
    explicit HelpForm(Runtime& runtime) : Form(runtime, FormArgs("frmHelp", "")) {
      Create(cdgHelp, Args("cdgHelp"));
    }
    ~HelpForm() override { Discard(); }
    CommonDialog cdgHelp;
  };
  FormSlot<HelpForm> slot(runtime);
  CommonDialog& cdg = slot.Get().cdgHelp;
  cdg.helpFile = "/vigilon/vwarn.hlp";
  cdg.helpCommand = 1;
  cdg.helpContext = 10;
  cdg.ShowHelp();
  ASSERT_EQ(fake.helpCalls.size(), 1u);
  EXPECT_EQ(fake.helpCalls[0].file, "/vigilon/vwarn.hlp");
  EXPECT_EQ(fake.helpCalls[0].command, 1u);
  EXPECT_EQ(fake.helpCalls[0].context, 10u);
  EXPECT_FALSE(cdg.visible()) << "an invisible control";
}

// ---- Timers ----

class ClockForm : public Form {
 public:
  ClockForm(Runtime& runtime, Log* log) : Form(runtime, FormArgs("frmClock", "")), log_(*log) {
    Create({{tmrA, Args("tmrA")}, {tmrB, Args("tmrB")}, {tmrC, Args("tmrC")}});
    tmrA.onTimer = [this] { Tick("A"); };
    tmrB.onTimer = [this] { Tick("B"); };
    tmrC.onTimer = [this] { Tick("C"); };
  }
  ~ClockForm() override { Discard(); }
  void Tick(const std::string& which) {
    log_.push_back(which + "@" + std::to_string(static_cast<HeadlessRuntime&>(runtime()).now()));
  }
  Timer tmrA, tmrB, tmrC;

 private:
  Log& log_;
};

class TimersTest : public ::testing::Test {
 protected:
  platform::FakePlatform fake;
  HeadlessRuntime runtime{fake};
  Log log;
  FormSlot<ClockForm, Log*> slot{runtime, &log};
};

TEST_F(TimersTest, DueTimersFireInOrder) {
  ClockForm& form = slot.Get();
  form.tmrA.SetInterval(1000);
  form.tmrB.SetInterval(300);
  form.tmrC.SetInterval(0);  // never
  runtime.Advance(999);
  EXPECT_EQ(log, (Log{"B@300", "B@600", "B@900"}));
  runtime.Advance(1);
  runtime.Advance(200);
  EXPECT_EQ(log, (Log{"B@300", "B@600", "B@900", "A@1000", "B@1200"}));
}

TEST_F(TimersTest, DisabledOrZeroIntervalNeverFires) {
  ClockForm& form = slot.Get();
  form.tmrA.SetInterval(10);
  form.tmrA.SetEnabled(false);
  form.tmrB.SetEnabled(false);
  form.tmrB.SetInterval(10);  // an interval alone does not enable it
  runtime.Advance(100);
  EXPECT_TRUE(log.empty());
  form.tmrA.SetEnabled(true);
  runtime.Advance(25);
  EXPECT_EQ(log, (Log{"A@110", "A@120"}));
  form.tmrA.SetInterval(0);
  runtime.Advance(100);
  EXPECT_EQ(log.size(), 2u);
}

TEST_F(TimersTest, SettingTheIntervalRestartsTheCount) {
  // The resume handling sets the same 10000 ms again on a second resume: the count restarts.
  ClockForm& form = slot.Get();
  form.tmrA.SetInterval(10000);
  runtime.Advance(3000);
  form.tmrA.SetInterval(10000);
  runtime.Advance(9999);
  EXPECT_TRUE(log.empty());
  runtime.Advance(1);
  EXPECT_EQ(log, (Log{"A@13000"}));
  form.tmrA.SetEnabled(true);  // already enabled: no restart
  runtime.Advance(10000);
  EXPECT_EQ(log, (Log{"A@13000", "A@23000"}));
}

TEST_F(TimersTest, HandlersChangeTimersWhileTheyRun) {
  ClockForm& form = slot.Get();
  // A one-shot (stops itself) that starts another, which restarts the first at a new interval.
  form.tmrA.onTimer = [&] {
    form.Tick("A");
    form.tmrA.SetInterval(0);
    form.tmrA.SetEnabled(false);
    form.tmrB.SetEnabled(true);
    form.tmrB.SetInterval(50);
  };
  form.tmrB.onTimer = [&] {
    form.Tick("B");
    form.tmrB.SetEnabled(false);
    form.tmrA.SetEnabled(true);
    form.tmrA.SetInterval(20);
  };
  form.tmrA.SetInterval(100);
  runtime.Advance(300);
  EXPECT_EQ(log, (Log{"A@100", "B@150", "A@170", "B@220", "A@240", "B@290"}));
}

TEST_F(TimersTest, TimersOfSeparateSystemsAreIndependent) {
  platform::FakePlatform otherFake;
  HeadlessRuntime other(otherFake);
  Log otherLog;
  FormSlot<ClockForm, Log*> otherSlot(other, &otherLog);
  slot.Get().tmrA.SetInterval(10);
  otherSlot.Get().tmrA.SetInterval(10);
  runtime.Advance(30);
  EXPECT_EQ(log.size(), 3u);
  EXPECT_TRUE(otherLog.empty());
  other.Advance(10);
  EXPECT_EQ(otherLog, (Log{"A@10"}));
}

TEST_F(TimersTest, EndStopsEverything) {
  ClockForm& form = slot.Get();
  form.tmrA.SetInterval(10);
  form.tmrA.onTimer = [&] {
    form.Tick("A");
    runtime.End();
  };
  runtime.Advance(100);
  EXPECT_EQ(log, (Log{"A@10"}));
  EXPECT_TRUE(runtime.ended());
}

// ---- Menus and the tray callback ----

class TrayForm : public Form {
 public:
  TrayForm(Runtime& runtime, Log* log) : Form(runtime, FormArgs("frmTray", "")), log_(*log) {
    Create({
        {mFile, Args("mFile").Caption("&File")},
        {mExit, Args("mExit").Caption("&Exit").In("mFile")},
        {iconMenu, Args("iconMenu").Caption("Test").Hidden()},
        {IconMenuRestore, Args("IconMenuRestore").Caption("&Restore").In("iconMenu")},
        {IconMenuExit, Args("IconMenuExit").Caption("E&xit").In("iconMenu")},
    });
    IconMenuRestore.onClick = [this] { log_.push_back("restore"); };
    IconMenuExit.onClick = [this] { log_.push_back("exit"); };
    mExit.onClick = [this] { log_.push_back("mExit"); };
  }
  ~TrayForm() override { Discard(); }
  Menu mFile, mExit, iconMenu, IconMenuRestore, IconMenuExit;

 protected:
  void Form_MouseMove(int, int, int x, int) override {
    log_.push_back("move " + std::to_string(x));
    if (x == 0x205 && !visible()) {
      iconMenu.SetVisible(true);
      PopupMenu(iconMenu);
    }
  }
  void Form_TaskbarCreated() override { log_.push_back("taskbar"); }

 private:
  Log& log_;
};

TEST(MenusTest, PopupRunsThePickedEntryBeforeReturning) {
  platform::FakePlatform fake;
  HeadlessRuntime runtime(fake);
  Log log;
  FormSlot<TrayForm, Log*> slot(runtime, &log);
  TrayForm& form = slot.Get();
  EXPECT_EQ(form.iconMenu.Entries(),
            (std::vector<Menu*>{&form.IconMenuRestore, &form.IconMenuExit}));
  EXPECT_TRUE(form.HasMenuBar());

  runtime.popupPicks = {"IconMenuExit"};
  form.DeliverMouseMove(0, 0, 0x205, 0);
  EXPECT_EQ(log, (Log{"move 517", "exit"}));
  EXPECT_EQ(runtime.popups, (std::vector<std::string>{"iconMenu"}));

  log.clear();
  form.IconMenuRestore.SetEnabled(false);
  runtime.popupPicks = {"IconMenuRestore"};  // a disabled entry cannot be picked
  form.PopupMenu(form.iconMenu);
  runtime.popupPicks = {};  // dismissed without a pick
  form.PopupMenu(form.iconMenu);
  EXPECT_TRUE(log.empty());

  form.mFile.SetVisible(false);
  form.iconMenu.SetVisible(false);
  EXPECT_FALSE(form.HasMenuBar());
}

TEST(MenusTest, TaskbarCreatedReachesOnlyHiddenForms) {
  platform::FakePlatform fake;
  HeadlessRuntime runtime(fake);
  Log log;
  FormSlot<TrayForm, Log*> slot(runtime, &log);
  slot.Get().Show();
  runtime.BroadcastTaskbarCreated();
  EXPECT_TRUE(log.empty());
  slot.Get().Hide();
  runtime.BroadcastTaskbarCreated();
  EXPECT_EQ(log, (Log{"taskbar"}));
}

// ---- Power moments ----

class PowerForm : public Form {
 public:
  PowerForm(Runtime& runtime, Log* log) : Form(runtime, FormArgs("frmPower", "")), log_(*log) {
    Create(SysInfo1, Args("SysInfo1"));
    SysInfo1.onQuerySuspend = [this](bool& cancel) {
      log_.push_back("query");
      cancel = refuse;
    };
    SysInfo1.onResume = [this] { log_.push_back("resume"); };
  }
  ~PowerForm() override { Discard(); }
  SysInfo SysInfo1;
  bool refuse = false;

 private:
  Log& log_;
};

TEST(PowerTest, NoticesBecomeOneEventPerMoment) {
  using N = PowerNotice;
  struct Case {
    const char* what;
    std::vector<N> notices;
    Log expected;
  };
  const std::vector<Case> cases = {
      {"old system: query then suspend", {N::QuerySuspend, N::Suspend}, {"query"}},
      {"new system: suspend only", {N::Suspend}, {"query"}},
      {"resume with a user present",
       {N::Suspend, N::ResumeAutomatic, N::ResumeSuspend},
       {"query", "resume"}},
      {"resume, user-present notice first",
       {N::Suspend, N::ResumeSuspend, N::ResumeAutomatic},
       {"query", "resume"}},
      {"two suspends",
       {N::Suspend, N::ResumeAutomatic, N::Suspend, N::ResumeAutomatic},
       {"query", "resume", "query", "resume"}},
      {"resume without a query", {N::ResumeAutomatic, N::ResumeSuspend}, {"resume"}},
      {"two wakes without a suspend notice",
       {N::ResumeAutomatic, N::ResumeSuspend, N::ResumeAutomatic, N::ResumeSuspend},
       {"resume", "resume"}},
      {"a second wake while settling",
       {N::Suspend, N::ResumeAutomatic, N::ResumeAutomatic},
       {"query", "resume", "resume"}},
      {"a system that only sends the user's notice",
       {N::ResumeSuspend, N::ResumeSuspend},
       {"resume", "resume"}},
      {"critical resumes", {N::ResumeCritical, N::ResumeCritical}, {"resume", "resume"}},
      {"refused by another program: it ends as a resume",
       {N::QuerySuspend, N::QuerySuspendFailed, N::QuerySuspend},
       {"query", "resume", "query"}},
      {"a failure notice with no query before it", {N::QuerySuspendFailed}, {}},
      {"query, no suspend, no resume", {N::QuerySuspend}, {"query"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    platform::FakePlatform fake;
    HeadlessRuntime runtime(fake);
    Log log;
    FormSlot<PowerForm, Log*> slot(runtime, &log);
    for (N notice : c.notices) EXPECT_FALSE(slot.Get().DeliverPowerNotice(notice));
    EXPECT_EQ(log, c.expected);
  }
}

TEST(PowerTest, CancelIsHandedBackAndARefusedQueryMayComeAgain) {
  platform::FakePlatform fake;
  HeadlessRuntime runtime(fake);
  Log log;
  FormSlot<PowerForm, Log*> slot(runtime, &log);
  slot.Get().refuse = true;
  EXPECT_TRUE(slot.Get().DeliverPowerNotice(PowerNotice::QuerySuspend));
  EXPECT_TRUE(slot.Get().DeliverPowerNotice(PowerNotice::QuerySuspend));
  EXPECT_EQ(log, (Log{"query", "query"}));
}

// ---- Control identifiers ----

static_assert(ControlIdForName("lblStatusV(2)") == ControlIdForName("lblStatusV(2)"));

TEST(ControlIdTest, InRangeAndDistinctForTheMainWindowsNames) {
  // The control and menu names of the program's windows (the last list holds those of the
  // warning dialogs and the About window together): within one
  // window no two may share an identifier, or the harness would find the wrong control.
  const std::vector<std::pair<const char*, int>> mainWindow = {
      {"FraVoltage", 0},      {"Label1", 0},         {"Label2", 0},
      {"Label3", 0},          {"lblItemName", 9},    {"lblStatusV", 9},
      {"SldVoltage", 9},      {"updLoLimit", 9},     {"LblLoLimit", 9},
      {"lblLoBound", 9},      {"lblHiBound", 9},     {"LblHiLimit", 9},
      {"updHiLimit", 9},      {"lblV", 0},           {"fraFanSpeed", 0},
      {"Label5", 0},          {"lblFanLimit", 0},    {"lblFanItem", 3},
      {"lblFanSpeed", 3},     {"prbFanSpeed", 3},    {"updFanLoLimit", 3},
      {"lblFanLoLimit", 3},   {"fraTemperature", 0}, {"Label4", 0},
      {"Label7", 0},          {"Label6", 0},         {"lblTempItem", 3},
      {"lblStatusT", 3},      {"sldTemp", 3},        {"lblTempLoBound", 3},
      {"lblTempHiBound", 3},  {"dfTempLoBound", 3},  {"dfTempHiBound", 3},
      {"lblTempLoLimit", 3},  {"lblTempHiLimit", 3}, {"updTempHiLimit", 3},
      {"updTempLoLimit", 3},  {"Image1", 0},         {"Image2", 0},
      {"Image3", 0},          {"Image4", 0},         {"lblCaseOpen", 0},
      {"Label10", 0},         {"HScroll1", 0},       {"Text1", 0},
      {"Label11", 0},         {"Option1", 0},        {"Option2", 0},
      {"Command1", 0},        {"Command2", 0},       {"Command3", 0},
      {"Command4", 0},        {"Command5", 0},       {"Command6", 0},
      {"Command7", 0},        {"Text2", 0},          {"SecCount", 0},
      {"ActiveTimer", 0},     {"DelayForSTR", 0},    {"DelayFanBeepForSTR", 0},
      {"SysInfo1", 0},        {"cdgHelp", 0},        {"mFile", 0},
      {"mDefault", 0},        {"mSave", 0},          {"mExit", 0},
      {"mConfigure", 0},      {"mAbout", 0},         {"iconMenu", 0},
      {"IconMenuRestore", 0}, {"IconMenuExit", 0},
  };
  const std::vector<std::pair<const char*, int>> configDialog = {
      {"TabStrip1", 0},  {"Frame2", 0},   {"ColumeName", 5}, {"Frame1", 4},    {"lblItemName", 16},
      {"chkEnable", 16}, {"chkBeep", 16}, {"chkWErr1", 16},  {"chkWErr3", 16}, {"cmdSelect", 3},
  };
  const std::vector<std::pair<const char*, int>> warningDialog = {
      {"Label1", 0}, {"Label2", 0}, {"lblWarning", 0}, {"Command", 4}, {"Tip", 4}, {"cmdOk", 0}};
  for (const auto* window : {&mainWindow, &configDialog, &warningDialog}) {
    std::map<uint16_t, std::string> seen;
    for (const auto& [base, members] : *window) {
      std::vector<std::string> names;
      if (members == 0) names.push_back(base);
      for (int i = 0; i < members; ++i) names.push_back(ArrayName(base, static_cast<size_t>(i)));
      for (const std::string& name : names) {
        const uint16_t id = ControlIdForName(name);
        EXPECT_GE(id, kFirstControlId);
        EXPECT_LE(id, kLastControlId);
        auto [it, fresh] = seen.emplace(id, name);
        EXPECT_TRUE(fresh) << name << " meets " << it->second;
      }
    }
  }
}

TEST(ControlIdTest, FormReportsCollisions) {
  // Search a pair of names that collide, and check the form names them.
  std::map<uint16_t, std::string> seen;
  std::string a, b;
  for (int i = 0; a.empty(); ++i) {
    std::string name = std::string("n").append(std::to_string(i));
    auto [it, fresh] = seen.emplace(ControlIdForName(name), name);
    if (!fresh) a = it->second, b = name;
  }
  platform::FakePlatform fake;
  HeadlessRuntime runtime(fake);
  class TwoLabels : public Form {
   public:
    TwoLabels(Runtime& rt, const std::string& a, const std::string& b)
        : Form(rt, FormArgs("f", "")) {
      Create({{x, Args(a)}, {y, Args(b)}});
    }
    ~TwoLabels() override { Discard(); }
    Label x, y;
  } form(runtime, a, b);
  EXPECT_EQ(form.ControlIdCollisions(), (std::vector<std::pair<std::string, std::string>>{{a, b}}));
}

}  // namespace
}  // namespace vigilon::ui
