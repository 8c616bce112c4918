// The soak: one program instance at a time over one simulated chip and one set of settings
// files, as a user's machine has them. A run is a sequence of cycles; each cycle may start with
// a few scheduled actions, then lets one polling interval pass and checks the invariants.
#include "soak/soak.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>

#include "chip/chip_model.h"
#include "chip/chip_registers.h"
#include "chip/sim_port_io.h"
#include "items/conversions.h"
#include "items/settings_fields.h"
#include "items/settings_file.h"
#include "items/settings_record.h"
#include "monitor/frmvigilon.h"
#include "platform/fake_platform.h"
#include "records/records.h"
#include "soak/fan_model.h"
#include "soak/record_folder.h"
#include "startup/startup.h"
#include "support/memory_files.h"
#include "ui/headless_runtime.h"

namespace vigilon::soak {

namespace reg = chip::reg;
using items::kItemCount;
using platform::MsgBoxAnswer;
using ui::PowerNotice;

namespace {

constexpr const char* kActionNames[] = {
    "fan stops",
    "fan runs",
    "temperature",
    "voltage out",
    "voltage back",
    "chassis opens",
    "chassis closes",
    "chip vanishes",
    "chip returns",
    "suspend storm",
    "query refused",
    "lone resume",
    "query alone",
    "suspend while settling",
    "warning Ignore",
    "warning Disable",
    "warning Shut Down",
    "warning Help",
    "config opens",
    "config click",
    "config OK",
    "config Cancel",
    "config close box",
    "Load Default",
    "unit",
    "interval",
    "limit change",
    "save",
    "save fails",
    "hide/restore",
    "About",
    "restart",
    "hard kill",
    "damaged file",
};
static_assert(std::size(kActionNames) == static_cast<size_t>(Action::kCount));

sim::Config ChipConfig(sim::Model model) {
  sim::Config config;
  config.model = model;
  if (model == sim::Model::ZR410) config.superIoPort = 0;  // no Super-I/O device
  return config;
}

// The fake platform, with the moment each full monitoring cycle pauses: its smart-fan step has
// run, and nothing of the cycle touches the chip after it.
struct SoakPlatform : platform::FakePlatform {
  std::function<void()> atPause;
  void Sleep(uint32_t milliseconds) override {
    FakePlatform::Sleep(milliseconds);
    if (atPause) atPause();
  }
};

// The records' options: the log, the events log and the metrics file on, and so few days kept
// that a week deletes some.
constexpr int kKeepDays = 3;
constexpr const char* kRecordOptions =
    "[Log]\nEnabled=1\nFolder=logs\nKeepDays=3\n[Metrics]\nEnabled=1\nFolder=metrics\n";
// The machine's wall clock at the soak's start, local 23:00 an hour east of UTC: the first
// midnight comes within the first hour of cycles.
constexpr int64_t kWallStartMs = 1'796'853'600'000;
constexpr int32_t kUtcOffsetMinutes = 60;
// From this cycle on, for 75 minutes of the wall clock, the records' folder cannot be written.
constexpr int64_t kUnwritableFrom = 1000;
constexpr int64_t kUnwritableMs = 75 * 60 * 1000;

// Counts the cycles a run tells its observers, the records' among them.
struct CycleTally final : CycleObserver {
  void CycleEnded(const CycleReadings& cycle) override {
    ++cycles;
    lastUnixMs = cycle.unixMs;
  }
  int64_t cycles = 0;
  int64_t lastUnixMs = 0;
};

// One run of the program: what a process holds, created at start and gone at exit. The wall
// clock goes on from where the last run left it, with the virtual time.
struct Instance {
  Instance(sim::ChipSim& chip, items::MemoryFiles& files, RecordFolder& folder, int64_t wallMs)
      : io(chip),
        run(io, platform, files),
        records(folder, files,
                {platform.folder, '/', "2.5.0", [this] { return platform.UnixTimeMs(); },
                 [this](int64_t ms) { return platform.UtcOffsetMinutes(ms); }}) {
    platform.files = {"eye.ico", "eye0.ico", "eye1.ico", "eye2.ico"};
    platform.elapsedMs = [this] { return runtime.now(); };
    platform.unixMsBase = wallMs;
    platform.utcOffsetMinutes = kUtcOffsetMinutes;
    run.events.observers.push_back(&records);
  }
  chip::SimPortIo io;
  SoakPlatform platform;
  RunState run;
  records::Records records;
  CycleTally tally;
  ui::HeadlessRuntime runtime{platform};
  std::optional<ui::FormSlot<frmvigilon, RunState&>> main;
};

// What the sensitivity rule says of one item, followed from the readings the program showed.
struct WarningModel {
  int16_t count = 0;
  bool open = false;
};

// What the power notices promise, followed from the notices the soak delivers: a pause that a
// query or suspend notice starts ends by a resume, a refusal or, nothing following, by itself a
// minute after a query or half a minute after an announcement; the settling after a resume
// ends ten seconds after the last one.
struct PowerModel {
  enum class State : uint8_t { Running, Paused, Settling };
  State state = State::Running;
  bool suspended = false;    // settling after a pause; a lone resume only blinks
  uint64_t pausedAt = 0;     // by the question, or the announcement that came last
  uint64_t firstResume = 0;  // of this settling: it ends no sooner than ten seconds after this
  uint64_t lastResume = 0;   // ... and no later than ten seconds after this
  uint64_t lapseMs = 0;      // a pause no notice ends lasts this long from pausedAt
};
constexpr uint64_t kQueryLapseMs = 60000;
constexpr uint64_t kNoticeLapseMs = 30000;
constexpr uint64_t kSettleMs = 10000;

// Whether a user could reach the control now: it and every frame around it shown and enabled,
// on a shown window.
bool Reachable(const ui::Control& control) {
  const ui::Control* at = &control;
  while (true) {
    if (!at->visible() || !at->enabled()) return false;
    if (at->parentName().empty()) break;
    at = at->form()->FindControl(at->parentName());
    if (at == nullptr) return false;
  }
  return control.form()->visible();
}

class Soak {
 public:
  explicit Soak(const Options& options)
      : o_(options),
        rng_(options.seed),
        healthy_(ChipConfig(options.model)),
        chip_(healthy_),
        fans_(options.model) {}

  Report Run();

 private:
  // ---- Randomness: one generator, so that a seed is the whole schedule ----
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<uint64_t>(n)); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  double Between(double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng_);
  }

  // ---- The program ----
  frmvigilon& window() { return p_->main->Get(); }
  RunState& run() { return p_->run; }
  bool Start();
  void EndAndRestart(bool powerCycle);
  void DamageFile();

  // ---- The schedule ----
  void Act();
  void Note(Action action, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void Note(Action action) { Note(action, "%s", ""); }
  void Sensors(const std::function<void(sim::Config&)>& edit);
  void SensorAction();
  void PowerAction();
  void WarningAction();
  void ConfigAction();
  void LimitAction();
  void SaveAction();
  void Advance(uint64_t ms) { p_->runtime.Advance(ms); }
  void Quiet();
  // Every power notice goes through here, so that the power model follows it.
  void Deliver(PowerNotice notice);
  void PowerTimePasses();

  // ---- The checks ----
  void Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void CheckCycle(bool warningsComparable, int polls);
  void CheckLimitRegisters();
  void CheckBeepRegisters();
  void CheckRows();
  void CheckWarnings(bool comparable, int polls);
  void CheckSettingsFile();
  void CheckToldAtStart();
  void CheckKeptAtSave();
  std::map<std::string, std::vector<uint8_t>> KeptCopies() const;
  void CheckFansRun(const char* path);
  // The smart fan against its model: at each cycle's pause right after its step (`step` then
  // says how the first model's step left the outputs), and at the end of each soak cycle.
  void AtPause();
  // Each change of the flags lets the program give back the fans it no longer steers at once,
  // where the chip hears it; else the next monitoring cycle that reaches the chip does.
  void FlagsChanged() {
    if (ChipAnswers()) fans_.Release(run().items.ItemEnabled);
  }
  void CheckSmartFan(FanModel::Outputs step);
  std::array<double, 3> ChipDegrees() const;
  void CheckPower(bool advanceSuspendedThroughout, size_t logBefore);
  bool ChipAnswers() const { return !chip_.config().noChip; }
  uint8_t Reg(int bank, uint8_t index) const { return chip_.Reg(bank, index); }
  void ClearRecords();
  // The rows, the days kept and the metrics file against the cycles the runs told.
  void CheckRecords();
  // What a run leaves behind when it ends: the wall clock, the rows it could not write.
  void EndInstance();

  Options o_;
  std::mt19937_64 rng_;
  sim::Config healthy_;
  sim::ChipSim chip_;
  items::MemoryFiles files_;
  RecordFolder records_{"/vigilon", kUtcOffsetMinutes};
  int64_t wallMs_ = kWallStartMs;
  int64_t unwritableUntilMs_ = 0;
  // Cycles the ended runs told, and the rows still waiting for the folder when each ended.
  int64_t cyclesBefore_ = 0;
  int64_t rowsLostAtExits_ = 0;
  std::unique_ptr<Instance> p_;
  Report report_;
  int64_t cycle_ = 0;

  // Scheduled follow-ups.
  int64_t chipReturnsAt_ = -1;
  int64_t configClosesAt_ = -1;
  int64_t intervalBackAt_ = -1;
  // The chip missed writes while it did not answer; the registers are compared again once the
  // program has had a cycle to notice it is back.
  bool chipWasAway_ = false;

  // The file as last seen: it may change only by a save that reports success.
  std::vector<uint8_t> file_;
  std::string filePath_;
  // Damage done between runs. The file holds bytes that do not load as they are until a save
  // replaces it; locked and folder last for one start only.
  bool fileDamaged_ = false;
  bool lockedAtStart_ = false;
  bool folderAtStart_ = false;
  // What the start told about the file, and what a save owes the user: the old bytes that must
  // be kept at the run's first save, or (the file was gone) the word that nothing was kept.
  size_t boxesAtStart_ = 0;
  size_t boxesNamingTheFile_ = 0;
  std::optional<std::vector<uint8_t>> owedCopy_;
  bool owedNote_ = false;
  // The kept copies beside the file as last seen: none ever changes or goes, but by the user.
  std::map<std::string, std::vector<uint8_t>> kept_;

  std::array<WarningModel, kItemCount> model_{};
  FanModel fans_;
  bool chipPoweredUp_ = true;  // the next start finds the chip as the firmware left it
  PowerModel power_;
  std::array<int16_t, kItemCount> enabledAtStart_{};
  bool warningsDisturbed_ = false;  // an action this cycle moved the warnings in ways not followed

  // The last actions, for a failure's message; fixed buffers, so the soak's own heap stays flat.
  static constexpr int kRecent = 24;
  std::array<std::array<char, 112>, kRecent> recent_{};
  int64_t recentCount_ = 0;
  bool failed_ = false;
  std::string failure_;
};

const char* ActionNameOf(Action a) {
  return kActionNames[static_cast<size_t>(a)];
}

// ---------------------------------------------------------------------------------------------
// The program's life

bool Soak::Start() {
  p_ = std::make_unique<Instance>(chip_, files_, records_, wallMs_);
  fans_.Started(chipPoweredUp_);
  chipPoweredUp_ = false;
  power_ = {};
  p_->platform.atPause = [this] { AtPause(); };
  const startup::StartupOutcome outcome = startup::Main(p_->run, [this](RunState& state) {
    // The problems of vigilon.ini, of which there are none, would be one message box.
    if (!p_->records.Start(state.traits()).empty()) Fail("vigilon.ini was not read");
    state.observers.push_back(&p_->records);
    p_->main.emplace(p_->runtime, state);
    state.observers.push_back(&p_->tally);
    p_->main->Get().Show();
  });
  if (outcome != startup::StartupOutcome::MainWindowShown) {
    Fail("the program did not start (outcome %d)", static_cast<int>(outcome));
    return false;
  }
  filePath_ = items::SettingsFilePath(p_->run.SettingsLocation()).value_or("");
  for (int k = 0; k < kItemCount; ++k) model_[k] = {run().ItemWarnCount[k], false};
  boxesAtStart_ = p_->platform.msgBoxes.size();
  boxesNamingTheFile_ = 0;
  for (const auto& box : p_->platform.msgBoxes)
    if (box.text.find(filePath_) != std::string::npos) ++boxesNamingTheFile_;
  ClearRecords();
  return true;
}

// Leaves by one of the ways a user or Windows ends the program, or by a hard kill (End task on
// a program hidden in the tray, a crash the program cannot see), checks the fans, and starts
// the program again (after a power cycle of the machine when it was shut down).
void Soak::EndAndRestart(bool powerCycle) {
  static constexpr const char* kPaths[] = {"Exit", "tray Exit", "end of the session",
                                           "task manager", "hard kill"};
  const int path = powerCycle ? 2 : Pick(5);
  const bool kill = path == 4;
  if (kill) {
    // Sometimes in the pause of a suspend that has not come yet.
    const bool suspending = Chance(0.3);
    Note(Action::HardKill, "%s", suspending ? "while suspending" : "");
    if (suspending) Deliver(Chance(0.5) ? PowerNotice::QuerySuspend : PowerNotice::Suspend);
  } else {
    Note(Action::Restart, "%s%s", kPaths[path], powerCycle ? ", machine off and on" : "");
  }
  frmvigilon& w = window();
  switch (path) {
    case 0:
      w.Command1.Click();
      break;
    case 1:
      if (w.visible()) w.Command2.Click();
      p_->runtime.popupPicks.push_back("IconMenuExit");
      w.DeliverMouseMove(0, 0, 0x205, 0);
      break;
    case 2:
      if (w.QueryClose(ui::UnloadMode::AppWindows)) w.RequestClose(ui::UnloadMode::AppWindows);
      break;
    case 3:
      w.RequestClose(ui::UnloadMode::TaskManager);
      break;
    default:
      break;
  }
  if (kill) {
    // Nothing of the program runs: the process is simply gone.
    const size_t accesses = chip_.Log().size();
    EndInstance();
    if (chip_.Log().size() != accesses) {
      Fail("a hard kill ran some of the program: %zu chip accesses", chip_.Log().size() - accesses);
      return;
    }
  } else {
    if (!p_->runtime.ended()) {
      Fail("the program did not end by \"%s\"", kPaths[path]);
      return;
    }
    // A chip that does not answer missed the fail-safe too; the power cycle below resets it.
    if (ChipAnswers()) CheckFansRun(kPaths[path]);
    EndInstance();
  }
  if (powerCycle) {
    sim::Config config = chip_.config();
    config.noChip = false;
    chipReturnsAt_ = -1;
    chip_ = sim::ChipSim(config);
    chipPoweredUp_ = true;
  }
  configClosesAt_ = -1;
  intervalBackAt_ = -1;
  warningsDisturbed_ = true;
  if (Chance(0.5)) DamageFile();
  // What this run owes the user at its first save.
  owedCopy_.reset();
  if (fileDamaged_ || lockedAtStart_) owedCopy_ = file_;
  owedNote_ = folderAtStart_;
  if (!Start()) return;
  // Whatever the last run left, every fan the smart fan may drive runs before the first cycle
  // decides; the model follows the first cycle from there.
  if (ChipAnswers()) CheckFansRun(kill ? "the start after a hard kill" : "the start");
  CheckToldAtStart();
  files_.unreadable.erase(filePath_);
  files_.folders.erase(filePath_);
  lockedAtStart_ = folderAtStart_ = false;
}

// Between two runs: a crash in the middle of a write, an edit by hand, another program holding
// the file, a folder made in its place.
void Soak::DamageFile() {
  std::optional<items::SettingsRecord> record = items::DecodeSettingsRecord(file_);
  // Without a whole record: cut it or lock it; without a file: leave a piece of one.
  const bool there = files_.files.count(filePath_) > 0;
  const int how = record ? Pick(5) : there ? Pick(2) * 3 : 0;
  switch (how) {
    case 0: {
      const size_t keep = static_cast<size_t>(Pick(static_cast<int>(items::kSettingsRecordSize)));
      if (file_.size() < keep) file_.resize(keep, 0xAB);
      file_.resize(keep);
      Note(Action::DamagedFile, "%zu bytes long", keep);
      break;
    }
    case 1: {
      const size_t f = static_cast<size_t>(Pick(3));
      record->FanDivisor[f] = static_cast<int16_t>(1 << Pick(3));
      Note(Action::DamagedFile, "fan %zu divisor %d", f + 1, record->FanDivisor[f]);
      break;
    }
    case 2: {
      // The user never moves a slider's ends: a saved range is the default one, never empty.
      const int what = Pick(3);
      const size_t i = static_cast<size_t>(Pick(3));
      if (what == 0) {
        // Reversed whatever an earlier damage left (a second swap would mend the first).
        const float a = items::SingleFromBits(record->VoltSliderMin[i]);
        const float b = items::SingleFromBits(record->VoltSliderMax[i]);
        record->VoltSliderMin[i] = items::BitsFromSingle(std::max(a, b));
        record->VoltSliderMax[i] = items::BitsFromSingle(std::min(a, b));
        Note(Action::DamagedFile, "rail %zu slider range reversed", i);
      } else if (what == 1) {
        record->TempHyst[i] = record->TempLimit[i];
        Note(Action::DamagedFile, "sensor %zu hysteresis at its limit", i + 1);
      } else {
        record->PollInterval = 0;
        Note(Action::DamagedFile, "interval 0");
      }
      break;
    }
    case 3:
      Note(Action::DamagedFile, "locked while the program starts");
      files_.unreadable.insert(filePath_);
      lockedAtStart_ = true;
      return;
    default:
      Note(Action::DamagedFile, "a folder in its place");
      files_.files.erase(filePath_);
      files_.folders.insert(filePath_);
      file_.clear();
      folderAtStart_ = true;
      fileDamaged_ = false;
      return;
  }
  if (how == 1 || how == 2) {
    const items::SettingsBytes bytes = items::EncodeSettingsRecord(*record);
    file_.assign(bytes.begin(), bytes.end());
  }
  files_.files[filePath_] = file_;
  fileDamaged_ = true;
}

// ---------------------------------------------------------------------------------------------
// The schedule

void Soak::Note(Action action, const char* format, ...) {
  ++report_.actions[static_cast<size_t>(action)];
  char detail[80];
  va_list args;
  va_start(args, format);
  std::vsnprintf(detail, sizeof detail, format, args);
  va_end(args);
  std::array<char, 112>& line = recent_[static_cast<size_t>(recentCount_++ % kRecent)];
  std::snprintf(line.data(), line.size(), "cycle %lld: %s: %s", static_cast<long long>(cycle_),
                ActionNameOf(action), detail);
  if (o_.trace) *o_.trace << line.data() << '\n';
}

void Soak::Sensors(const std::function<void(sim::Config&)>& edit) {
  sim::Config config = chip_.config();
  edit(config);
  chip_.Reconfigure(config);
  const std::array<double, 3>& rpm = config.sensors.rpm;
  fans_.FansStopped({rpm[0] == 0, rpm[1] == 0, rpm[2] == 0});
}

void Soak::Act() {
  // Follow-ups first: they were promised by earlier actions.
  if (cycle_ == chipReturnsAt_) {
    chipReturnsAt_ = -1;
    Note(Action::ChipReturns, "reads answer again");
    Sensors([](sim::Config& c) { c.noChip = false; });
  }
  if (cycle_ == configClosesAt_) {
    configClosesAt_ = -1;
    if (config::frmConfig* f = window().configDialog().IfLoaded(); f && f->visible()) {
      const int how = Pick(3);
      warningsDisturbed_ = true;
      if (how == 0) {
        Note(Action::ConfigOk);
        f->cmdSelect[0].Click();
      } else if (how == 1) {
        Note(Action::ConfigCancel);
        f->cmdSelect[1].Click();
      } else {
        Note(Action::ConfigCloseBox);
        f->RequestClose(ui::UnloadMode::ControlMenu);
      }
      FlagsChanged();
    }
  }
  if (cycle_ == intervalBackAt_) {
    intervalBackAt_ = -1;
    if (window().visible()) {
      Note(Action::Interval, "back to 4 s");
      window().HScroll1.SetValue(4);
    } else {
      intervalBackAt_ = cycle_ + 1;
    }
  }

  // Most cycles nothing happens; a few see one or two things.
  int events = Chance(0.12) ? 1 + (Chance(0.2) ? 1 : 0) : 0;
  while (events-- > 0 && !failed_) {
    const int kind = Pick(100);
    if (kind < 34) {
      SensorAction();
    } else if (kind < 40) {
      PowerAction();
    } else if (kind < 56) {
      WarningAction();
    } else if (kind < 66) {
      ConfigAction();
    } else if (kind < 80) {
      LimitAction();
    } else if (kind < 86) {
      SaveAction();
    } else if (kind < 88) {
      warningsDisturbed_ = true;
      Note(Action::LoadDefault);
      if (window().visible()) window().Command3.Click();
      FlagsChanged();
    } else if (kind < 92) {
      frmvigilon& w = window();
      if (!w.visible()) continue;
      const bool celsius = Chance(0.5);
      Note(Action::Unit, "%s", celsius ? "Celsius" : "Fahrenheit");
      warningsDisturbed_ = true;  // the switch runs the temperature step at once
      (celsius ? w.Option1 : w.Option2).UserClick();
    } else if (kind < 94) {
      frmvigilon& w = window();
      if (!w.visible() || intervalBackAt_ >= 0) continue;
      const int seconds = 1 + Pick(10);
      Note(Action::Interval, "%d s", seconds);
      w.HScroll1.SetValue(seconds);
      intervalBackAt_ = cycle_ + 1 + Pick(30);
    } else if (kind < 97) {
      frmvigilon& w = window();
      Note(Action::HideRestore, "%s", w.visible() ? "hide" : "restore");
      if (w.visible()) {
        w.Command2.Click();
      } else {
        w.DeliverMouseMove(0, 0, 0x203, 0);
      }
    } else if (kind < 98) {
      frmvigilon& w = window();
      if (!w.visible()) continue;
      Note(Action::About);
      w.Command6.Click();
      if (shell::frmAbout* about = w.about().IfLoaded()) about->cmdOk.Click();
    } else if (ChipAnswers() && !run().MonitorSuspended) {
      EndAndRestart(false);
    }
  }
}

void Soak::SensorAction() {
  const sim::Sensors& nominal = healthy_.sensors;
  const int what = Pick(9);
  if (what < 2) {
    const int f = Pick(3);
    const bool stop = chip_.config().sensors.rpm[f] > 0 && Chance(0.6);
    const double rpm = stop ? 0 : std::round(Between(1500, 6500));
    Note(stop ? Action::FanStops : Action::FanRuns, "fan %d at %.0f rpm", f + 1, rpm);
    Sensors([&](sim::Config& c) { c.sensors.rpm[f] = rpm; });
  } else if (what < 4) {
    // Across the smart-fan thresholds and the limits, up and down.
    const int t = Pick(3);
    const double celsius = std::round(Between(-5, 110) * 2) / 2;
    Note(Action::Temperature, "sensor %d at %.1f", t + 1, celsius);
    Sensors([&](sim::Config& c) { c.sensors.celsius[t] = celsius; });
  } else if (what < 6) {
    const int i = Pick(9);
    const bool out = Chance(0.6);
    const double volts = out ? nominal.volts[i] * Between(0.7, 1.3) : nominal.volts[i];
    Note(out ? Action::VoltageOut : Action::VoltageBack, "rail %d at %.2f V", i, volts);
    Sensors([&](sim::Config& c) { c.sensors.volts[i] = volts; });
  } else if (what < 8) {
    const bool open = !chip_.config().sensors.chassisOpen;
    Note(open ? Action::ChassisOpens : Action::ChassisCloses);
    Sensors([&](sim::Config& c) { c.sensors.chassisOpen = open; });
  } else if (ChipAnswers()) {
    const int cycles = 1 + Pick(20);
    Note(Action::ChipVanishes, "for %d cycles", cycles);
    Sensors([](sim::Config& c) { c.noChip = true; });
    chipWasAway_ = true;
    chipReturnsAt_ = cycle_ + cycles;
  }
}

void Soak::PowerAction() {
  warningsDisturbed_ = true;
  static constexpr PowerNotice kResumes[] = {
      PowerNotice::ResumeAutomatic, PowerNotice::ResumeSuspend, PowerNotice::ResumeCritical};
  const int what = Pick(6);
  if (what < 2) {
    // A suspend, then resumes in quick succession, as some machines send them.
    const int resumes = 1 + Pick(3);
    Note(Action::SuspendStorm, "%d resumes", resumes);
    Deliver(PowerNotice::QuerySuspend);
    Deliver(PowerNotice::Suspend);
    for (int r = 0; r < resumes; ++r) {
      Advance(static_cast<uint64_t>(Pick(4000)));
      Deliver(kResumes[Pick(3)]);
    }
  } else if (what == 2) {
    Note(Action::QueryRefused);
    Deliver(PowerNotice::QuerySuspend);
    Deliver(PowerNotice::QuerySuspendFailed);
  } else if (what == 3) {
    Note(Action::LoneResume);
    Deliver(PowerNotice::ResumeAutomatic);
  } else if (what == 4) {
    // Nothing follows: the pause ends by itself once its minute has passed.
    Note(Action::QueryAlone);
    Deliver(PowerNotice::QuerySuspend);
  } else {
    // A new suspend inside the ten seconds after a resume, sometimes resumed again soon.
    const bool query = Chance(0.5);
    const uint64_t after = static_cast<uint64_t>(Pick(9500));
    Note(Action::SuspendWhileSettling, "%s %llu ms after the resume", query ? "query" : "notice",
         static_cast<unsigned long long>(after));
    Deliver(PowerNotice::Suspend);
    Deliver(kResumes[Pick(3)]);
    Advance(after);
    Deliver(query ? PowerNotice::QuerySuspend : PowerNotice::Suspend);
    if (Chance(0.5)) {
      Advance(static_cast<uint64_t>(Pick(4000)));
      Deliver(kResumes[Pick(3)]);
    }
  }
}

void Soak::Deliver(PowerNotice notice) {
  PowerTimePasses();
  const uint64_t now = p_->runtime.now();
  PowerModel& m = power_;
  switch (notice) {
    case PowerNotice::QuerySuspend:
    case PowerNotice::Suspend:
      // One that comes while the pause lasts is the same moment; an announcement starts its
      // shorter wait for the resume.
      if (m.state != PowerModel::State::Paused)
        m = {PowerModel::State::Paused, true, now, 0, 0, kQueryLapseMs};
      if (notice == PowerNotice::Suspend) {
        m.pausedAt = now;
        m.lapseMs = kNoticeLapseMs;
      }
      break;
    case PowerNotice::QuerySuspendFailed:
      if (m.state == PowerModel::State::Paused)
        m = {PowerModel::State::Settling, true, 0, now, now};
      break;
    default:
      if (m.state == PowerModel::State::Paused) {
        m = {PowerModel::State::Settling, true, 0, now, now};
      } else if (m.state == PowerModel::State::Settling) {
        m.lastResume = now;  // the program may take it for the same wake
      } else {
        m = {PowerModel::State::Settling, false, 0, now, now};
      }
      break;
  }
  window().DeliverPowerNotice(notice);
}

// The ends that need no notice: the lapse of a pause, the end of a settling.
void Soak::PowerTimePasses() {
  PowerModel& m = power_;
  const uint64_t now = p_->runtime.now();
  if (m.state == PowerModel::State::Paused && now >= m.pausedAt + m.lapseMs) {
    // Counted by the seconds timer: the wait ends within its last second.
    m = {PowerModel::State::Settling, true, 0, m.pausedAt + m.lapseMs - 1000,
         m.pausedAt + m.lapseMs};
  }
  if (m.state == PowerModel::State::Settling && now >= m.lastResume + kSettleMs) m = PowerModel{};
}

void Soak::WarningAction() {
  std::array<warnings::frmWarning*, kItemCount> open{};
  int n = 0;
  for (int k = 0; k < kItemCount; ++k)
    if (warnings::frmWarning* d = window().warnings().Dialog(k); d && d->visible()) open[n++] = d;
  if (n == 0) return;
  warnings::frmWarning& d = *open[static_cast<size_t>(Pick(n))];
  const int k = d.item();
  const int button = Pick(10);
  if (button < 5) {
    if (!Reachable(d.Command[warnings::kIgnore])) return;
    Note(Action::WarningIgnore, "item %d", k);
    d.Command[warnings::kIgnore].Click();
    model_[k] = {};
  } else if (button < 8) {
    if (!Reachable(d.Command[warnings::kDisable])) return;
    Note(Action::WarningDisable, "item %d", k);
    d.Command[warnings::kDisable].Click();
    FlagsChanged();
    // The chassis dialog stays open after its Disable; the others close.
    model_[k] = {0, k == items::kChassisItem};
  } else if (button < 9) {
    if (!Reachable(d.Command[warnings::kShutDown])) return;
    // No, yes and refused, yes and accepted: the last ends the session.
    const int answer = Pick(3);
    Note(Action::WarningShutDown, "item %d, %s", k,
         answer == 0   ? "no"
         : answer == 1 ? "yes, refused"
                       : "yes");
    p_->platform.msgBoxAnswers.push_back(answer == 0 ? MsgBoxAnswer::No : MsgBoxAnswer::Yes);
    Sensors([&](sim::Config& c) { c.shutdownRefused = answer == 1; });
    const size_t before = p_->platform.exitWindowsCalls.size();
    d.Command[warnings::kShutDown].Click();
    p_->platform.msgBoxAnswers.clear();
    Sensors([](sim::Config& c) { c.shutdownRefused = false; });
    const bool shutDown = p_->platform.exitWindowsCalls.size() > before;
    if (shutDown != (answer == 2)) {
      Fail("Shut Down answered \"%s\" %s the system", answer == 0 ? "no" : "yes",
           shutDown ? "shut down" : "did not shut down");
      return;
    }
    if (shutDown) EndAndRestart(true);
  } else {
    if (!Reachable(d.Command[warnings::kHelp])) return;
    Note(Action::WarningHelp, "item %d", k);
    d.Command[warnings::kHelp].Click();
  }
}

void Soak::ConfigAction() {
  frmvigilon& w = window();
  config::frmConfig* f = w.configDialog().IfLoaded();
  if (f == nullptr || !f->visible()) {
    if (!w.visible()) return;
    Note(Action::ConfigOpen);
    w.Command5.Click();
    f = w.configDialog().IfLoaded();
    if (f == nullptr || !f->visible()) {
      Fail("the configuration button opened no dialog");
      return;
    }
    configClosesAt_ = cycle_ + 1 + Pick(4);
  }
  warningsDisturbed_ = true;
  const int clicks = 1 + Pick(4);
  for (int c = 0; c < clicks; ++c) {
    f->TabStrip1.SetSelectedIndex(Pick(static_cast<int>(f->TabStrip1.tabs().size())));
    const int k = Pick(kItemCount);
    std::array<ui::CheckBox*, 4> boxes{&f->chkEnable[k], &f->chkBeep[k], &f->chkWErr1[k],
                                       &f->chkWErr3[k]};
    const int which = Pick(4);
    ui::CheckBox& box = *boxes[static_cast<size_t>(which)];
    if (!Reachable(box)) continue;
    static constexpr const char* kBoxes[] = {"Enable", "Beep", "High", "Low"};
    Note(Action::ConfigClick, "item %d %s", k, kBoxes[which]);
    box.UserClick();
    FlagsChanged();
  }
}

void Soak::LimitAction() {
  frmvigilon& w = window();
  if (!w.visible()) return;
  limits::LimitPanel& panel = w.panel();
  std::array<ui::UpDown*, 2 * limits::kVolts + limits::kFans + limits::kTemps> all{};
  size_t n = 0;
  for (int i = 0; i < limits::kVolts; ++i) {
    all[n++] = &panel.updLoLimit[i];
    all[n++] = &panel.updHiLimit[i];
  }
  for (auto& u : panel.updFanLoLimit) all[n++] = &u;
  for (auto& u : panel.updTempHiLimit) all[n++] = &u;
  ui::UpDown& u = *all[static_cast<size_t>(Pick(static_cast<int>(n)))];
  if (!Reachable(u)) return;
  const int steps = 1 + Pick(12);
  const bool up = Chance(0.5);
  Note(Action::LimitChange, "%s %s %d", u.name().c_str(), up ? "up" : "down", steps);
  for (int s = 0; s < steps; ++s) up ? u.ArrowUp() : u.ArrowDown();
}

void Soak::SaveAction() {
  frmvigilon& w = window();
  if (!w.visible()) return;
  // Where the write breaks, if it does: before the new file exists, while writing or flushing
  // it, when putting it in place; or the old file cannot be read to keep its tail.
  const int fault = Pick(8);
  using Step = items::MemoryFiles::WriteStep;
  static constexpr const char* kFaults[] = {"open", "write", "flush", "replace", "read"};
  if (fault < 4) {
    files_.failNextWriteAt = static_cast<Step>(fault);
  } else if (fault == 4) {
    files_.unreadable.insert(filePath_);
  }
  const bool fails = fault < 5;
  if (fails) {
    Note(Action::SaveFails, "at %s", kFaults[fault]);
  } else {
    Note(Action::Save);
  }
  const size_t boxes = p_->platform.msgBoxes.size();
  w.Command4.Click();
  files_.unreadable.clear();
  files_.failNextWriteAt.reset();
  const bool told = p_->platform.msgBoxes.size() > boxes;
  if (told != (fails || owedNote_)) {
    Fail("a save that %s %s the user", fails ? "failed" : "succeeded",
         told ? "told" : "did not tell");
    return;
  }
  if (owedNote_ && !fails &&
      p_->platform.msgBoxes.back().text.find("Nothing of the old settings file was kept") ==
          std::string::npos) {
    Fail("a save after a folder in the file's place did not say that nothing was kept");
    return;
  }
  if (fails) {
    // It may have kept the old bytes already, then failed to replace the file.
    kept_ = KeptCopies();
    return;  // the file must be as before: the cycle's check compares it
  }
  CheckKeptAtSave();
  if (failed_) return;
  // Saved: the file loads, untouched by any repair, as what the program holds.
  const auto it = files_.files.find(filePath_);
  if (it == files_.files.end()) {
    Fail("a save that reported success left no file");
    return;
  }
  file_ = it->second;
  items::ItemTables loaded;
  loaded.ItemPresent = run().items.ItemPresent;
  loaded.ItemBeepCapable = run().items.ItemBeepCapable;
  const items::SettingsLoadReport r =
      items::LoadSettingsFile(loaded, files_, run().SettingsLocation());
  const items::ItemTables& t = run().items;
  if (r.source != items::SettingsLoadReport::Source::File || !r.repairs.empty()) {
    Fail("the saved file does not load as it was written (%s)",
         r.repairs.empty() ? "not read" : r.repairs.front().c_str());
    return;
  }
  // Every field the file carries, compared whole (the unused entries are 0 on both sides).
  const char* differs = nullptr;
  items::ForEachSettingsField([&](const auto& f) {
    if (differs == nullptr && !(loaded.*f.table == t.*f.table)) differs = f.name;
  });
  if (differs) Fail("the saved file loads another %s than the program held", differs);
}

// The kept copies beside the settings file.
std::map<std::string, std::vector<uint8_t>> Soak::KeptCopies() const {
  std::map<std::string, std::vector<uint8_t>> kept;
  const std::string prefix = items::KeptCopyName(filePath_, 0);
  for (const auto& [name, bytes] : files_.files)
    if (name.compare(0, prefix.size(), prefix) == 0) kept[name] = bytes;
  return kept;
}

// A start tells of a file that does not load as it is, in one box that names it, and of nothing
// else: a file the program saved itself loads without a word.
void Soak::CheckToldAtStart() {
  const bool owed = fileDamaged_ || lockedAtStart_ || folderAtStart_;
  if (boxesAtStart_ != (owed ? 1u : 0u) || boxesNamingTheFile_ != boxesAtStart_)
    Fail("the start showed %zu message(s), %zu naming the settings file; it owed %d", boxesAtStart_,
         boxesNamingTheFile_, owed ? 1 : 0);
}

// After a successful save: the old bytes it owed are kept beside the file, and no kept copy was
// changed or lost. Then the user tidies up now and then.
void Soak::CheckKeptAtSave() {
  std::map<std::string, std::vector<uint8_t>> now = KeptCopies();
  for (const auto& [name, bytes] : kept_) {
    const auto it = now.find(name);
    if (it == now.end() || it->second != bytes) {
      Fail("the kept copy %s was %s by a save", name.c_str(), it == now.end() ? "lost" : "changed");
      return;
    }
  }
  if (owedCopy_) {
    const bool found = std::any_of(now.begin(), now.end(),
                                   [&](const auto& entry) { return entry.second == *owedCopy_; });
    if (!found) {
      Fail("the first save after a damaged start kept no copy of the old %zu bytes",
           owedCopy_->size());
      return;
    }
  } else if (now.size() != kept_.size()) {
    Fail("a save kept a copy of a file that had loaded cleanly");
    return;
  }
  owedCopy_.reset();
  owedNote_ = false;
  fileDamaged_ = false;
  if (now.size() >= 4) {
    for (const auto& entry : now) files_.files.erase(entry.first);
    now.clear();
  }
  kept_ = std::move(now);
}

// A calm machine and a user who tidied up: the chip answers with healthy readings, monitoring
// runs, the defaults are loaded, no dialog is open, the window is shown at the default interval.
void Soak::Quiet() {
  Sensors([this](sim::Config& c) {
    c.sensors = healthy_.sensors;
    c.noChip = false;
  });
  chipReturnsAt_ = configClosesAt_ = intervalBackAt_ = -1;
  frmvigilon& w = window();
  if (run().MonitorSuspended) Deliver(PowerNotice::ResumeAutomatic);
  if (config::frmConfig* f = w.configDialog().IfLoaded()) f->RequestClose(ui::UnloadMode::Code);
  if (!w.visible()) w.DeliverMouseMove(0, 0, 0x203, 0);
  w.Command3.Click();
  FlagsChanged();
  Advance(15000);  // past a resume's settling time
  for (int k = 0; k < kItemCount; ++k)
    if (warnings::frmWarning* d = w.warnings().Dialog(k)) d->Command[warnings::kIgnore].Click();
  Advance(3 * static_cast<uint64_t>(run().items.PollInterval) * 1000);
  warningsDisturbed_ = true;
  // What the fake platform and the simulator recorded is the soak's memory, not the program's.
  p_->platform.ClearRecords(/*release=*/true, p_->runtime.popups);
  chip_.ReleaseLog();
}

// ---------------------------------------------------------------------------------------------
// The checks

void Soak::Fail(const char* format, ...) {
  if (failed_) return;
  failed_ = true;
  char what[400];
  va_list args;
  va_start(args, format);
  std::vsnprintf(what, sizeof what, format, args);
  va_end(args);
  std::ostringstream s;
  s << "soak of the " << sim::ModelName(o_.model) << ", seed " << o_.seed << ", cycle " << cycle_
    << ": " << what << "\nthe last actions:\n";
  const int64_t first = std::max<int64_t>(0, recentCount_ - kRecent);
  for (int64_t i = first; i < recentCount_; ++i)
    s << "  " << recent_[static_cast<size_t>(i % kRecent)].data() << '\n';
  s << "replay: scripts/soak --model " << sim::ModelName(o_.model) << " --seed " << o_.seed
    << " --cycles " << cycle_ + 1 << " --trace\n";
  failure_ = s.str();
}

void Soak::EndInstance() {
  wallMs_ = p_->platform.UnixTimeMs();
  cyclesBefore_ += p_->tally.cycles;
  if (const records::ReadingsLog* log = p_->records.readings())
    rowsLostAtExits_ += static_cast<int64_t>(log->file().waitingLines());
  p_.reset();
}

void Soak::CheckRecords() {
  const records::ReadingsLog* log = p_->records.readings();
  if (log == nullptr) return Fail("the readings log is off");
  const records::DailyCsv& file = log->file();
  if (!records_.fault().empty()) return Fail("%s", records_.fault().c_str());
  const int64_t told = cyclesBefore_ + p_->tally.cycles;
  const int64_t waiting = static_cast<int64_t>(file.waitingLines());
  report_.mostRowsWaiting = std::max(report_.mostRowsWaiting, waiting);
  report_.rowsWritten = records_.readingRows();
  if (records_.readingRows() + waiting + rowsLostAtExits_ != told || file.lostLines() != 0)
    return Fail("%lld cycles told, %lld rows written, %lld waiting, %lld lost",
                static_cast<long long>(told), static_cast<long long>(records_.readingRows()),
                static_cast<long long>(waiting),
                static_cast<long long>(rowsLostAtExits_ + file.lostLines()));
  if (records_.unwritable) return;
  if (waiting != 0) return Fail("%lld rows still wait in a writable folder", (long long)waiting);
  // One replacement of the metrics file per cycle, failed ones included.
  if (records_.metricsReplaces() != told)
    return Fail("%lld cycles told, the metrics file replaced %lld times",
                static_cast<long long>(told), static_cast<long long>(records_.metricsReplaces()));
  // Time, Unix time, a column per item the chip has, State.
  std::ptrdiff_t columns = 3;
  for (int k = 0; k < kItemCount; ++k) columns += run().items.ItemPresent[k] ? 1 : 0;
  if (std::count(file.header().begin(), file.header().end(), ',') + 1 != columns)
    return Fail("the log's header has no column per item: %s", file.header().c_str());
  if (p_->tally.cycles > 0) records_.CheckKept(kKeepDays, p_->tally.lastUnixMs);
  if (!records_.fault().empty()) return Fail("%s", records_.fault().c_str());
}

void Soak::ClearRecords() {
  // The fake platform records every call; only this cycle's are of interest.
  p_->platform.ClearRecords(/*release=*/false, p_->runtime.popups);
  chip_.ClearLog();
}

// The chip's limit registers hold what the rows show, and the tables agree with the rows.
void Soak::CheckLimitRegisters() {
  const RunState& r = run();
  const items::ItemTables& t = r.items;
  limits::LimitPanel& panel = window().panel();
  for (int i = 0; i < limits::kVolts; ++i) {
    if (t.ItemPresent[i] != 1) continue;
    const reg::VoltRegs& regs = reg::kVolt[static_cast<size_t>(i)];
    const items::VoltScale scale = items::VoltScaleFor(r.traits(), i);
    const int lo = panel.updLoLimit[i].value();
    const int hi = panel.updHiLimit[i].value();
    const bool negated = scale == items::VoltScale::Negated;
    const int wantLow = std::clamp(negated ? -hi : lo, 0, 255);
    const int wantHigh = std::clamp(negated ? -lo : hi, 0, 255);
    const int low = Reg(regs.low.bank, regs.low.index);
    const int high = Reg(regs.high.bank, regs.high.index);
    if (low != wantLow || high != wantHigh) {
      Fail("rail %d: limit registers %d..%d, its row shows %d..%d", i, low, high, wantLow,
           wantHigh);
      return;
    }
    const float factor = t.VoltFactor[i];
    if (items::VoltsToScale(scale, i, t.VoltLowLimit[i], factor) != lo ||
        items::VoltsToScale(scale, i, t.VoltHighLimit[i], factor) != hi) {
      Fail("rail %d: limit table %.3f..%.3f V, its row %d..%d", i, t.VoltLowLimit[i],
           t.VoltHighLimit[i], lo, hi);
      return;
    }
  }
  for (int f = 0; f < limits::kFans; ++f) {
    if (t.ItemPresent[items::kFirstFanItem + f] != 1) continue;
    const ui::UpDown& u = panel.updFanLoLimit[f];
    const int limit = Reg(0, reg::kFanLimit[static_cast<size_t>(f)]);
    if (!u.enabled()) {
      // A fan found or switched off: the row accepts it, and so does the chip.
      if (u.value() != 1 || limit != items::kFanCountStopped) {
        Fail("fan %d off: row %d, limit register %d", f + 1, u.value(), limit);
        return;
      }
    } else if (limit != 255 - u.value() || t.FanLimitCount[f] != limit) {
      Fail("fan %d: limit register %d, its row %d, its table %d", f + 1, limit, 255 - u.value(),
           t.FanLimitCount[f]);
      return;
    }
  }
  for (int s = 0; s < limits::kTemps; ++s) {
    if (t.ItemPresent[items::kFirstTempItem + s] != 1) continue;
    const reg::TempRegs& regs = reg::kTemp[static_cast<size_t>(s)];
    const int k = limits::TempScaleStep(s);
    const int offset = limits::TempScaleOffset(s);
    const int limit = panel.updTempHiLimit[s].value() - offset;
    const int hyst = panel.sldTemp[s].selStart() - offset;
    auto holds = [&](uint8_t whole, uint8_t half, int count) {
      if (!regs.halfDegrees) return Reg(regs.bank, whole) == static_cast<uint8_t>(count & 0xFF);
      // Bits 8-1 of the nine-bit two's complement count, and the half degree as bit 7.
      return Reg(regs.bank, whole) == static_cast<uint8_t>((count & 0x1FE) >> 1) &&
             Reg(regs.bank, half) == ((count & 1) != 0 ? 0x80 : 0);
    };
    if (!holds(regs.limit, regs.limitHalf, limit) || !holds(regs.hyst, regs.hystHalf, hyst)) {
      Fail("sensor %d: limit registers differ from the row's %d, hysteresis %d (in steps of 1/%d)",
           s + 1, limit, hyst, k);
      return;
    }
    if (items::Nearest(k * static_cast<double>(t.TempLimit[s])) != limit ||
        items::Nearest(k * static_cast<double>(t.TempHyst[s])) != hyst) {
      Fail("sensor %d: table %.1f / %.1f, row %d / %d", s + 1, t.TempLimit[s], t.TempHyst[s], limit,
           hyst);
      return;
    }
  }
}

// The beeper sounds for exactly the monitored items whose beep is on.
void Soak::CheckBeepRegisters() {
  const RunState& r = run();
  const items::ItemTables& t = r.items;
  std::array<uint8_t, 3> want{0, reg::kBeepGlobal, 0};  // 0x56, 0x57, bank 4 0x53
  std::array<uint8_t, 3> mask{0xFF, 0xFF, 0x03};
  for (int k = 0; k < kItemCount; ++k) {
    const reg::BitReg& bit = reg::kBeepBit[static_cast<size_t>(k)];
    const size_t which = bit.index == reg::kBeep1 ? 0 : bit.index == reg::kBeep2 ? 1 : 2;
    if (t.ItemEnabled[k] == 1 && t.ItemBeep[k] == 1) want[which] |= bit.mask;
  }
  // The chassis dialog holds a bit of the first register for itself while it is open.
  if (window().warnings().Dialog(items::kChassisItem)) mask[0] &= static_cast<uint8_t>(~0x10);
  const std::array<uint8_t, 3> have{
      Reg(0, reg::kBeep1), Reg(0, reg::kBeep2),
      r.traits().extraBeepBits ? Reg(reg::kBankExtraBeep, reg::kExtraBeep) : uint8_t{0}};
  for (size_t i = 0; i < 3; ++i) {
    if ((have[i] & mask[i]) != (want[i] & mask[i])) {
      static constexpr const char* kNames[] = {"0x56", "0x57", "bank 4 0x53"};
      Fail("beep register %s holds 0x%02X, the flags say 0x%02X", kNames[i], have[i] & mask[i],
           want[i] & mask[i]);
      return;
    }
  }
}

// Absent items show no row at all; unmonitored ones show their name only.
void Soak::CheckRows() {
  const items::ItemTables& t = run().items;
  limits::LimitPanel& panel = window().panel();
  for (int k = 0; k < kItemCount; ++k) {
    const bool present = t.ItemPresent[k] == 1;
    const bool on = t.ItemEnabled[k] == 1;
    if (on && !present) {
      Fail("item %d is monitored but the chip does not have it", k);
      return;
    }
    const ui::Control* name = nullptr;
    const ui::Control* value = nullptr;
    if (k < items::kFirstFanItem) {
      name = &panel.lblItemName[k];
      value = &panel.lblStatusV[k];
    } else if (k < items::kFirstTempItem) {
      name = &panel.lblFanItem[k - items::kFirstFanItem];
      value = &panel.lblFanSpeed[k - items::kFirstFanItem];
    } else if (k < items::kChassisItem) {
      name = &panel.lblTempItem[k - items::kFirstTempItem];
      value = &panel.lblStatusT[k - items::kFirstTempItem];
    } else {
      value = &panel.lblCaseOpen;
    }
    if ((name && name->visible() != present) || value->visible() != on) {
      Fail("item %d (present %d, monitored %d): its name %s, its reading %s", k, present, on,
           name && name->visible() ? "shown" : "hidden", value->visible() ? "shown" : "hidden");
      return;
    }
  }
}

// Each item's dialog and count follow the sensitivity rule from the readings the program
// showed. Where an action this cycle moved the warnings in a way not followed here (a
// configuration change, defaults, a power storm, a restart), or more than one monitoring cycle
// ran, the model takes the program's state and the cycle is only checked for the rules that
// hold at every moment.
void Soak::CheckWarnings(bool comparable, int polls) {
  const RunState& r = run();
  const items::ItemTables& t = r.items;
  limits::LimitPanel& panel = window().panel();
  for (int k = 0; k < kItemCount; ++k) {
    const bool open = window().warnings().Dialog(k) != nullptr;
    const int16_t count = r.ItemWarnCount[k];
    const bool high = t.ItemWErr1[k] == 1;
    if (t.ItemEnabled[k] != 1) {
      // The chassis dialog outlives its own Disable.
      const bool held = k == items::kChassisItem && model_[k].open && open;
      if ((open && !held) || count != 0) {
        Fail("item %d is not monitored, yet its dialog is %s and its count %d", k,
             open ? "open" : "closed", count);
        return;
      }
      model_[k] = {count, open};
      continue;
    }
    // High Sensitive restarts the count at every bad reading; one left from Low Sensitive
    // stands until then.
    if (count < 0 || count > 2) {
      Fail("item %d (%s Sensitive) counts %d bad readings", k, high ? "High" : "Low", count);
      return;
    }
    if (!comparable || enabledAtStart_[k] != 1 || polls > 1) {
      model_[k] = {count, open};
      continue;
    }
    const ui::Label& shown = k < items::kFirstFanItem ? panel.lblStatusV[k]
                             : k < items::kFirstTempItem
                                 ? panel.lblFanSpeed[k - items::kFirstFanItem]
                             : k < items::kChassisItem ? panel.lblStatusT[k - items::kFirstTempItem]
                                                       : panel.lblCaseOpen;
    const bool bad = k == items::kChassisItem ? shown.caption() == "Chassis is opened"
                                              : shown.backColor() == limits::kOutOfLimits;
    if (polls == 1) {
      WarningModel& m = model_[k];
      if (!bad) {
        m = {};
      } else if (high || ++m.count >= 3) {
        m.count = 0;
        m.open = true;
      }
    }
    if (model_[k].open != open || model_[k].count != count) {
      Fail("item %d (%s Sensitive) reading \"%s\" %s%s: dialog %s, count %d; the rule says %s, %d",
           k, high ? "High" : "Low", shown.caption().c_str(), bad ? "bad" : "good",
           r.MonitorSuspended ? " (suspended)" : "", open ? "open" : "closed", count,
           model_[k].open ? "open" : "closed", model_[k].count);
      return;
    }
  }
}

// The file changes only by a save that said it succeeded; otherwise it holds the last record.
void Soak::CheckSettingsFile() {
  const auto it = files_.files.find(filePath_);
  const bool same = it == files_.files.end() ? file_.empty() : it->second == file_;
  if (!same) Fail("the settings file changed without a successful save");
  // Beside it only the kept copies as the last save left them: no temporary file stays.
  const size_t expected = kept_.size() + (it == files_.files.end() ? 0 : 1);
  if (files_.files.size() != expected || KeptCopies() != kept_)
    Fail("files beside the settings file changed: %zu there, %zu expected", files_.files.size(),
         expected);
}

// No fan the program stopped is left stopped when it has gone, and every fan the smart fan
// may drive runs when a start has set up its window.
void Soak::CheckFansRun(const char* path) {
  for (const FanModel::Channel& c : fans_.channels()) {
    if (c.duty != 0 && Reg(0, c.duty) == 0) {
      Fail("after \"%s\", fan %d is left stopped (duty register 0x%02X is 0)", path, c.fan, c.duty);
      return;
    }
  }
  if (fans_.outputBits() && (Reg(0, reg::kFanControl) & 0x30) == 0)
    Fail("after \"%s\", fan 3's outputs are left off", path);
}

// The three sensors as the chip holds them: whole degrees, or with the half degree in bit 7 of
// a second register.
std::array<double, 3> Soak::ChipDegrees() const {
  std::array<double, 3> degrees{};
  for (size_t s = 0; s < degrees.size(); ++s) {
    const reg::TempRegs& r = reg::kTemp[s];
    degrees[s] = static_cast<int8_t>(Reg(r.bank, r.reading));
    if (r.halfDegrees && (Reg(r.bank, r.readingHalf) & 0x80) != 0) degrees[s] += 0.5;
  }
  return degrees;
}

void Soak::AtPause() {
  if (failed_) return;
  const items::ItemFlags& enabled = run().items.ItemEnabled;
  fans_.Release(enabled);
  const reg::TempRegs& first = reg::kTemp[0];
  const double low = static_cast<int8_t>(Reg(first.bank, first.hyst));
  CheckSmartFan(fans_.Step(enabled, ChipDegrees(), low));
}

void Soak::CheckSmartFan(FanModel::Outputs step) {
  // Registers only where the chip heard everything the program wrote: the program programs it
  // anew, fans included, once it sees it answer again (or once a pause it fell silent in ends),
  // and a cycle has run with it answering.
  if (!ChipAnswers() || run().ChipSilent || chipWasAway_) return;
  ++report_.checks;
  const items::ItemTables& t = run().items;
  limits::LimitPanel& panel = window().panel();
  auto accepts = [&](int row) { return !panel.updFanLoLimit[row].enabled(); };
  for (const FanModel::Channel& c : fans_.channels()) {
    if (c.duty == 0 || t.ItemPresent[static_cast<size_t>(8 + c.fan)] != 1) continue;
    const int duty = Reg(0, c.duty);
    if (duty != fans_.Duty(c)) {
      Fail(
          "fan %d: duty register 0x%02X holds %d; the smart fan (state %d, sensor %d at %.1f) "
          "says %d",
          c.fan, c.duty, duty, fans_.State(c.fan), c.sensor + 1,
          ChipDegrees()[static_cast<size_t>(c.sensor)], fans_.Duty(c));
      return;
    }
    const int row = c.fan - 1;
    if (fans_.Off(c.fan) && !accepts(row)) {
      Fail("fan %d is switched off, yet its row holds a limit that warns", c.fan);
      return;
    }
    if (!fans_.Off(c.fan) && fans_.State(c.fan) != 5 && accepts(row) && !fans_.RowMayAccept(row)) {
      Fail(
          "fan %d runs (state %d) and has not stood still since its limit came back, yet its "
          "row accepts a stopped fan",
          c.fan, fans_.State(c.fan));
      return;
    }
  }
  if (!fans_.outputBits()) return;
  using Outputs = FanModel::Outputs;
  const int bits = Reg(0, reg::kFanControl) & 0x30;
  const Outputs want = fans_.outputs();
  if ((want == Outputs::Off && bits != 0) || (want == Outputs::On && bits != 0x20) ||
      (want == Outputs::AsStarted && bits == 0)) {
    Fail("fan 3's output bits 0x%02X; the first sensor's limits say %s", bits,
         want == Outputs::Off ? "off" : "on");
    return;
  }
  const int row = FanModel::kOutputsRow;
  if (step == Outputs::Off && !accepts(row)) {
    Fail("fan 3 switched off, yet the CPU fan's row holds a limit that warns");
  } else if (step == Outputs::On && accepts(row)) {
    Fail("fan 3 switched on, yet the CPU fan's row accepts a stopped fan");
  } else if (want != Outputs::Off && accepts(row) && !fans_.RowMayAccept(row)) {
    Fail("the CPU fan's row accepts a stopped fan that has not stood still since");
  }
}

// Every pause a power notice starts ends, and while it lasts the chip stays stopped and
// untouched by the cycles: whatever follows the notice, or nothing at all.
void Soak::CheckPower(bool advanceSuspendedThroughout, size_t logBefore) {
  PowerTimePasses();
  ++report_.checks;
  const frmvigilon& w = window();
  const PowerModel& m = power_;
  const bool chipHeard = ChipAnswers() && !chipWasAway_;
  const bool monitoring = (Reg(0, reg::kConfig) & reg::kConfigStart) != 0;
  const bool settleTimers = w.DelayFanBeepForSTR.Running() || w.DelayForSTR.Running();
  const bool blinking = w.caption().find("Initializing") != std::string::npos;
  const uint64_t now = p_->runtime.now();
  if (advanceSuspendedThroughout && chip_.Log().size() != logBefore) {
    Fail("a cycle of a suspended program made %zu chip accesses", chip_.Log().size() - logBefore);
    return;
  }
  switch (m.state) {
    case PowerModel::State::Paused:
      if (!run().MonitorSuspended || (chipHeard && monitoring) || settleTimers || blinking) {
        Fail("%llu ms into a pause: suspended %d, monitoring %d, settle timers %d, blinking %d",
             static_cast<unsigned long long>(now - m.pausedAt), run().MonitorSuspended, monitoring,
             settleTimers, blinking);
      }
      break;
    case PowerModel::State::Settling:
      if (m.suspended && now < m.firstResume + kSettleMs &&
          (!run().MonitorSuspended || (chipHeard && monitoring))) {
        Fail("%llu ms into the settling: suspended %d, monitoring %d",
             static_cast<unsigned long long>(now - m.firstResume), run().MonitorSuspended,
             monitoring);
      }
      break;
    case PowerModel::State::Running:
      if (run().MonitorSuspended || (chipHeard && !monitoring) || settleTimers || blinking) {
        Fail(
            "the pause should have ended: suspended %d, monitoring %d, settle timers %d, "
            "blinking %d",
            run().MonitorSuspended, monitoring, settleTimers, blinking);
      }
      break;
  }
}

void Soak::CheckCycle(bool warningsComparable, int polls) {
  ++report_.checks;
  if (ChipAnswers() && !chipWasAway_) {
    CheckLimitRegisters();
    if (!run().MonitorSuspended) CheckBeepRegisters();
  }
  CheckRows();
  CheckWarnings(warningsComparable, polls);
  CheckSettingsFile();
  CheckSmartFan(FanModel::Outputs::AsStarted);
  CheckRecords();
}

Report Soak::Run() {
  report_ = {};
  records_.options = kRecordOptions;
  if (!Start()) {
    report_.failedCycle = 0;
    report_.failure = failure_;
    return report_;
  }
  file_ = files_.files.count(filePath_) ? files_.files[filePath_] : std::vector<uint8_t>{};
  for (cycle_ = 0; cycle_ < o_.cycles && !failed_; ++cycle_) {
    warningsDisturbed_ = false;
    for (int k = 0; k < kItemCount; ++k) enabledAtStart_[k] = run().items.ItemEnabled[k];
    if (cycle_ == kUnwritableFrom) unwritableUntilMs_ = p_->platform.UnixTimeMs() + kUnwritableMs;
    records_.unwritable = p_->platform.UnixTimeMs() < unwritableUntilMs_;
    Act();
    if (failed_) break;
    // Polls made inside the actions (a power storm lets time pass) are not followed one by one.
    const bool comparable = !warningsDisturbed_ && p_->platform.sleeps.empty();
    for (int k = 0; k < kItemCount; ++k)
      enabledAtStart_[k] = enabledAtStart_[k] == 1 && run().items.ItemEnabled[k] == 1;
    const bool wasAway = !ChipAnswers();
    p_->platform.sleeps.clear();
    // A cycle that starts in a pause or a settling and cannot see its end touches no register.
    PowerTimePasses();
    const uint64_t ends =
        p_->runtime.now() + static_cast<uint64_t>(run().items.PollInterval) * 1000;
    const bool suspendedThroughout = (power_.state == PowerModel::State::Paused &&
                                      ends < power_.pausedAt + power_.lapseMs - 1000) ||
                                     (power_.state == PowerModel::State::Settling &&
                                      power_.suspended && ends < power_.firstResume + kSettleMs);
    const size_t logBefore = chip_.Log().size();
    Advance(static_cast<uint64_t>(run().items.PollInterval) * 1000);
    const int polls = static_cast<int>(p_->platform.sleeps.size());
    report_.pollCycles += polls;
    if (o_.sabotageAt == cycle_ && o_.sabotage) o_.sabotage(chip_, files_);
    // Registers are compared again once a cycle has run with the chip answering throughout.
    if (!wasAway && ChipAnswers() && polls > 0) chipWasAway_ = false;
    for (int k = 0; k < kItemCount; ++k)
      if (window().warnings().Dialog(k) && !model_[k].open) ++report_.dialogsOpened;
    CheckCycle(comparable, polls);
    CheckPower(suspendedThroughout, logBefore);
    if (failed_) break;
    ClearRecords();
    // After its checks, so that a replay up to a failing cycle runs that cycle as it ran.
    const bool quiet = cycle_ + 1 == kCyclesPerHour || cycle_ + 1 == o_.cycles;
    if (quiet) {
      Quiet();
      CheckCycle(false, 0);
      CheckPower(false, 0);
      if (failed_) break;
    }
    if (o_.afterCycle) o_.afterCycle(cycle_, quiet);
  }
  report_.cycles = failed_ ? cycle_ + 1 : cycle_;
  if (failed_) {
    report_.failedCycle = cycle_;
    report_.failure = failure_;
  }
  // The last way out, with its fan check.
  if (!failed_ && ChipAnswers()) {
    EndAndRestart(false);
    if (failed_) {
      report_.failedCycle = cycle_;
      report_.failure = failure_;
    }
  }
  return report_;
}

}  // namespace

const char* ActionName(Action action) {
  return ActionNameOf(action);
}

std::string Report::Summary() const {
  std::ostringstream s;
  s << cycles << " cycles, " << pollCycles << " monitoring cycles, " << checks << " checks, "
    << dialogsOpened << " dialogs opened, " << rowsWritten << " rows logged (at most "
    << mostRowsWaiting << " waiting at once)\n";
  for (size_t a = 0; a < actions.size(); ++a)
    if (actions[a] > 0) s << "  " << kActionNames[a] << ": " << actions[a] << '\n';
  return s.str();
}

Report RunSoak(const Options& options) {
  Soak soak(options);
  return soak.Run();
}

}  // namespace vigilon::soak
