// The logs, the metrics file and vigilon.ini over an in-memory folder: formats, rotation,
// deletion, the torn-line repair, the failure queue and the options' round trip.
#include "records/records.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/memory_record_files.h"
#include "records/events_log.h"
#include "records/metrics_file.h"
#include "records/options.h"
#include "records/readings_log.h"
#include "support/memory_files.h"

namespace vigilon::records {
namespace {

using chip::Model;
using chip::TraitsOf;

constexpr int64_t kDay = 86'400'000;
// 2026-12-09 23:59:58 UTC.
constexpr int64_t kLateEvening = 1'796'860'798'000;

// Every item the model has, monitored, read and in limits, with values of each kind's format.
CycleReadings Cycle(const chip::ChipTraits& model, int64_t unixMs, int32_t offset = 60) {
  CycleReadings c;
  c.unixMs = unixMs;
  c.utcOffsetMinutes = offset;
  for (int i = 0; i < items::kItemCount; ++i) {
    ItemReading& r = c.items[i];
    r.present = r.monitored = r.read = model.ItemPresent(i);
    r.value = i < 9 ? 1.004 + i : i < 12 ? 2812.5 * (i - 8) : i < 15 ? 40.25 + i : 0;
    r.low = i < 12 ? 0.5 : kNoLimit;
    r.high = i < 9 || (i >= 12 && i < 15) ? 90 : kNoLimit;
  }
  return c;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

DailyCsvPlace Place(const char* prefix = "vigilon", int keepDays = 30) {
  return {"/logs", '/', prefix, keepDays};
}

struct Folder : platform::MemoryRecordFiles {
  Folder() { folders.insert("/logs"); }
};

TEST(ReadingsLog, HeaderAndRowsForEachModelAndOutcome) {
  EXPECT_EQ(ReadingsHeader(TraitsOf(Model::ZR420)),
            "Time,Unix time,CPU (V),VcoreB (V),+3.3V (V),+5V (V),+12V (V),-12V (V),-5V (V),"
            "5Vsb (V),Vbat (V),Chassis (rpm),CPU (rpm),Second (rpm),System (\xC2\xB0"
            "C),CPU (\xC2\xB0"
            "C),Other (\xC2\xB0"
            "C),Chassis open,State");
  // A model without some items has no columns for them, and names its core rail Vcore.
  EXPECT_EQ(ReadingsHeader(TraitsOf(Model::ZR430)),
            "Time,Unix time,Vcore (V),+3.3V (V),+5V (V),+12V (V),-12V (V),Chassis (rpm),"
            "CPU (rpm),System (\xC2\xB0"
            "C),CPU (\xC2\xB0"
            "C),State");

  const chip::ChipTraits& zr420 = TraitsOf(Model::ZR420);
  CycleReadings c = Cycle(zr420, kLateEvening);
  c.items[2].monitored = false;  // not watched: an empty cell
  c.items[5].value = -12.004;
  c.items[10].value = 0;  // a stopped fan
  c.items[15].value = 1;
  std::string row;
  AppendReadingsRow(row, c, zr420);
  // Local time one hour east of UTC, so the next day; two decimals, whole rpm, one decimal.
  EXPECT_EQ(row,
            "2026-12-10 00:59:58,1796860798,1.00,2.00,,4.00,5.00,-12.00,7.00,8.00,9.00,2812,0,"
            "8438,52.2,53.2,54.2,1,ok");

  c.outcome = CycleOutcome::ChipSilent;
  for (auto& r : c.items) r.read = false;
  row.clear();
  AppendReadingsRow(row, c, TraitsOf(Model::ZR430));
  EXPECT_EQ(row, "2026-12-10 00:59:58,1796860798,,,,,,,,,,chip not answering");

  // Cut short by a suspend: what was read before it stands.
  c.outcome = CycleOutcome::CutShort;
  c.items[0].read = true;
  row.clear();
  AppendReadingsRow(row, c, TraitsOf(Model::ZR430));
  EXPECT_EQ(row, "2026-12-10 00:59:58,1796860798,1.00,,,,,,,,,suspended");
}

TEST(ReadingsLog, NewFileAtLocalMidnightAndOnAnotherModelAndTornLineEnded) {
  Folder folder;
  const chip::ChipTraits& zr420 = TraitsOf(Model::ZR420);
  {
    ReadingsLog log(folder, Place(), zr420);
    log.CycleEnded(Cycle(zr420, kLateEvening - 3'600'000, 0));  // 22:59:58 UTC
    log.CycleEnded(Cycle(zr420, kLateEvening, 0));
    log.CycleEnded(Cycle(zr420, kLateEvening + 2000, 0));  // 00:00:00, the next day
  }
  EXPECT_EQ(Lines(folder.files["/logs/vigilon-2026-12-09.csv"]).size(), 3u);
  EXPECT_EQ(Lines(folder.files["/logs/vigilon-2026-12-10.csv"]).size(), 2u);
  EXPECT_EQ(folder.appends, 3);  // one write a cycle, the header with the first row

  // A run killed in the middle of a row; the next start ends the torn line first.
  folder.files["/logs/vigilon-2026-12-10.csv"] += "2026-12-10 00:00:01,17968";
  {
    ReadingsLog log(folder, Place(), zr420);
    log.CycleEnded(Cycle(zr420, kLateEvening + 4000, 0));
    // Another model the same day: its own file, never a change of columns inside one.
    ReadingsLog other(folder, Place(), TraitsOf(Model::ZR430));
    other.CycleEnded(Cycle(TraitsOf(Model::ZR430), kLateEvening + 6000, 0));
  }
  const auto day = Lines(folder.files["/logs/vigilon-2026-12-10.csv"]);
  ASSERT_EQ(day.size(), 4u);
  EXPECT_EQ(day[2], "2026-12-10 00:00:01,17968");
  EXPECT_EQ(day[3].substr(0, 19), "2026-12-10 00:00:02");
  const auto second = Lines(folder.files["/logs/vigilon-2026-12-10-2.csv"]);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[0], ReadingsHeader(TraitsOf(Model::ZR430)));
}

TEST(ReadingsLog, KeepsTheDaysItIsToldAndDeletesOnlyItsOwnFiles) {
  Folder folder;
  const std::vector<std::string> others = {"/logs/vigilon-2020-01-01.txt",
                                           "/logs/vigilon-2020-01-01.csv.bak",
                                           "/logs/myvigilon-2020-01-01.csv",
                                           "/logs/vigilon-2020-1-01.csv",
                                           "/logs/vigilon-2020-01-01-02.csv",
                                           "/logs/vigilon-2020-02-30.csv",
                                           "/logs/notes.csv"};
  for (const auto& name : others) folder.files[name] = "x";
  folder.files["/logs/vigilon-2026-12-01.csv"] = "old";    // seven days back: deleted
  folder.files["/logs/vigilon-2026-12-01-3.csv"] = "old";  // a second file of that day too
  folder.files["/logs/vigilon-2026-12-02.csv"] = "kept";
  folder.files["/logs/vigilon-events-2026-12-01.csv"] = "another log's";
  const chip::ChipTraits& zr420 = TraitsOf(Model::ZR420);
  ReadingsLog log(folder, Place("vigilon", 7), zr420);
  log.CycleEnded(Cycle(zr420, kLateEvening - kDay, 0));  // 2026-12-08
  EXPECT_FALSE(folder.files.count("/logs/vigilon-2026-12-01.csv"));
  EXPECT_FALSE(folder.files.count("/logs/vigilon-2026-12-01-3.csv"));
  EXPECT_TRUE(folder.files.count("/logs/vigilon-2026-12-02.csv"));
  EXPECT_TRUE(folder.files.count("/logs/vigilon-events-2026-12-01.csv"));
  for (const auto& name : others) EXPECT_TRUE(folder.files.count(name)) << name;
  // At each new day as well; a deletion the folder refused at midnight is tried again that day.
  const int64_t nextDay = kLateEvening - 3'600'000;  // 2026-12-09 22:59:58
  folder.failWrites = true;
  log.CycleEnded(Cycle(zr420, nextDay, 0));
  EXPECT_TRUE(folder.files.count("/logs/vigilon-2026-12-02.csv"));
  folder.failWrites = false;
  for (int s = 1; s <= 600; ++s) log.CycleEnded(Cycle(zr420, nextDay + s * 1000, 0));
  EXPECT_FALSE(folder.files.count("/logs/vigilon-2026-12-02.csv"));
  // The events log on a day of no event: its old days go at the day's first cycle all the same.
  EventsLog events(folder, Place("vigilon-events", 7), zr420);
  events.CycleEnded(Cycle(zr420, kLateEvening, 0));
  EXPECT_FALSE(folder.files.count("/logs/vigilon-events-2026-12-01.csv"));
  EXPECT_FALSE(folder.files.count("/logs/vigilon-events-2026-12-09.csv"));  // no event: no file
}

TEST(ReadingsLog, RowsWaitWhileTheFolderCannotBeWrittenAndFollowInOrder) {
  Folder folder;
  const chip::ChipTraits& zr420 = TraitsOf(Model::ZR420);
  ReadingsLog log(folder, Place(), zr420);
  log.CycleEnded(Cycle(zr420, kLateEvening - 4'000'000, 0));
  folder.failWrites = true;  // a spreadsheet holds today's file
  const int64_t from = kLateEvening - 3'999'000;
  for (int s = 0; s < 3600; ++s) log.CycleEnded(Cycle(zr420, from + s * 1000, 0));
  EXPECT_TRUE(log.file().failing());
  EXPECT_EQ(log.file().failingSinceMs(), from);
  folder.failWrites = false;
  for (int s = 3600; s < 3700; ++s) log.CycleEnded(Cycle(zr420, from + s * 1000, 0));
  EXPECT_FALSE(log.file().failing());
  EXPECT_EQ(log.file().lostLines(), 0u);
  EXPECT_EQ(log.file().waitingLines(), 0u);
  EXPECT_EQ(log.file().TakeRecovery(), from);
  const auto day = Lines(folder.files["/logs/vigilon-2026-12-09.csv"]);
  ASSERT_EQ(day.size(), 3702u);
  for (int s = 0; s < 3700; ++s)
    ASSERT_EQ(day[2 + s].substr(20, 10), std::to_string((from + s * 1000) / 1000)) << s;
}

TEST(EventsLog, LimitsCrossedChassisAndChipFoundFromTheCycles) {
  Folder folder;
  const chip::ChipTraits& zr420 = TraitsOf(Model::ZR420);
  EventsLog log(folder, Place("vigilon-events"), zr420);
  CycleReadings c = Cycle(zr420, kLateEvening - 10'000, 0);
  log.CycleEnded(c);
  c.items[10].value = 0;  // the CPU fan stops
  c.items[10].inLimits = false;
  c.items[15].value = 1;
  c.items[15].inLimits = false;
  log.CycleEnded(c);
  log.CycleEnded(c);  // still out: nothing new
  c.items[10].value = 2500;
  c.items[10].inLimits = true;
  log.CycleEnded(c);
  c.outcome = CycleOutcome::ChipSilent;
  log.CycleEnded(c);
  c.outcome = CycleOutcome::Complete;
  log.CycleEnded(c);
  log.Record(kLateEvening, 0, {}, "start, version 2.5.0");
  const auto lines = Lines(folder.files["/logs/vigilon-events-2026-12-09.csv"]);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "Time,Unix time,Item,Event,Reading,Limit");
  EXPECT_EQ(lines[1], "2026-12-09 23:59:48,1796860788,CPU (rpm),out of limits,0,0");
  EXPECT_EQ(lines[2], "2026-12-09 23:59:48,1796860788,Chassis open,chassis opened,1,");
  EXPECT_EQ(lines[3].substr(31), "CPU (rpm),back in limits,2500,");
  EXPECT_EQ(lines[4].substr(31), ",chip not answering,,");
  EXPECT_EQ(lines[5].substr(31), ",chip answering again,,");
  EXPECT_EQ(lines[6].substr(31), ",\"start, version 2.5.0\",,");
}

TEST(MetricsFile, ExpositionTextPerModelIsTheGoldenFile) {
  for (const chip::ChipTraits& model : chip::AllChipModels()) {
    CycleReadings c = Cycle(model, kLateEvening);
    c.items[0].inLimits = false;
    c.items[11].monitored = false;
    std::string text;
    FormatMetrics(text, c, model, "2.5.0");
    std::ifstream in(std::string(VIGILON_GOLDEN_DIR) + "/" + model.name + ".prom");
    const std::string golden((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text, golden) << model.name;
    // What came out instead, beside the build, for a reviewed change of the format.
    if (text != golden) std::ofstream(std::string(model.name) + ".prom.actual") << text;
  }
  // Not complete: alive, but no readings at all, so that they go stale.
  const chip::ChipTraits& zr420 = TraitsOf(Model::ZR420);
  CycleReadings silent = Cycle(zr420, kLateEvening);
  silent.outcome = CycleOutcome::Suspended;
  std::string text;
  FormatMetrics(text, silent, zr420, "2.5.0");
  EXPECT_NE(text.find("\nvigilon_up 0\n"), std::string::npos);
  EXPECT_EQ(text.find("vigilon_voltage"), std::string::npos);
  EXPECT_EQ(text.find("vigilon_out_of_limits"), std::string::npos);

  Folder folder;
  MetricsFile file(folder, "/logs", '/', zr420, "2.5.0");
  file.CycleEnded(silent);
  EXPECT_EQ(folder.files["/logs/vigilon.prom"], text);
  EXPECT_EQ(folder.files.count("/logs/vigilon.prom.tmp"), 0u);
  folder.failWrites = true;
  file.CycleEnded(Cycle(zr420, kLateEvening + 1000));
  EXPECT_TRUE(file.failing());
  EXPECT_EQ(folder.files["/logs/vigilon.prom"], text);
}

TEST(Options, RoundTripKeepsWhatItDoesNotKnow) {
  const std::string text =
      "; hand-made\r\n[Log]\r\nEnabled=1\r\nColour=blue\r\nkeepdays = 7\r\n[Other]\r\n"
      "Folder=elsewhere\r\n";
  OptionsLoad load = ParseOptions(text, "vigilon.ini");
  EXPECT_TRUE(load.problems.empty());
  EXPECT_TRUE(load.options.logEnabled);
  EXPECT_EQ(load.options.keepDays, 7);
  EXPECT_EQ(load.options.logFolder, "logs");  // [Other]'s Folder is someone else's
  EXPECT_FALSE(load.options.metricsEnabled);

  load.options.keepDays = 14;
  load.options.metricsEnabled = true;
  load.options.metricsFolder = "C:\\Metrics";
  const std::string written = WriteOptions(load.lines, load.options);
  EXPECT_EQ(written,
            "; hand-made\r\n[Log]\r\nEnabled=1\r\nColour=blue\r\nkeepdays =14\r\nFolder=logs\r\n"
            "[Other]\r\nFolder=elsewhere\r\n[Metrics]\r\nEnabled=1\r\nFolder=C:\\Metrics\r\n");
  const OptionsLoad again = ParseOptions(written, "vigilon.ini");
  EXPECT_EQ(again.options, load.options);
  EXPECT_EQ(WriteOptions(again.lines, again.options), written);
}

TEST(Options, ProblemsNameTheLineAndLeaveTheDefaults) {
  const OptionsLoad load = ParseOptions(
      "[Log]\nEnabled=yes\nKeepDays=0\n[Metrics]\nEnabled=1\nthis is not a line\nFolder=" +
          std::string(200, 'x') + "\n",
      "C:\\V\\vigilon.ini");
  EXPECT_EQ(load.options, (RecordOptions{false, "logs", 30, true, std::string(200, 'x')}));
  ASSERT_EQ(load.problems.size(), 3u);
  EXPECT_EQ(load.problems[0],
            "C:\\V\\vigilon.ini, line 2: Enabled=yes in [Log] is not 0 or 1; it stays off");
  EXPECT_EQ(load.problems[1].substr(0, 39), "C:\\V\\vigilon.ini, line 3: KeepDays=0 in");
  EXPECT_EQ(load.problems[2].substr(0, 27), "C:\\V\\vigilon.ini, line 6: \"");

  // A value echoed in a message is cut at 80 characters.
  const OptionsLoad bad = ParseOptions("[Log]\nKeepDays=" + std::string(5000, '9'), "v.ini");
  ASSERT_EQ(bad.problems.size(), 1u);
  EXPECT_LT(bad.problems[0].size(), 200u);
  // A file past 64 KiB is not read at all.
  const OptionsLoad huge =
      ParseOptions("[Log]\nEnabled=1\n;" + std::string(kOptionsFileLimit, 'x'), "v.ini");
  EXPECT_FALSE(huge.options.logEnabled);
  ASSERT_EQ(huge.problems.size(), 1u);
  EXPECT_NE(huge.problems[0].find("64 KiB"), std::string::npos);

  EXPECT_EQ(ResolveFolder("C:\\V", '\\', "logs"), "C:\\V\\logs");
  EXPECT_EQ(ResolveFolder("C:\\V", '\\', "D:\\logs"), "D:\\logs");
  EXPECT_EQ(ResolveFolder("C:\\V", '\\', "\\\\server\\logs"), "\\\\server\\logs");
}

TEST(Records, StartFromTheOptionsFileAndSaveAppliesAtOnce) {
  Folder folder;
  folder.folders.insert("/v");
  items::MemoryFiles optionsFile;
  const chip::ChipTraits& zr420 = TraitsOf(Model::ZR420);
  int64_t now = kLateEvening;
  const RecordsSetting setting{"/v", '/', "2.5.0", [&] { return now; }, [](int64_t) { return 0; }};
  Records records(folder, optionsFile, setting);
  // No file: nothing to say, nothing written.
  EXPECT_TRUE(records.Start(zr420).empty());
  records.CycleEnded(Cycle(zr420, kLateEvening));
  EXPECT_EQ(folder.files.size(), 0u);

  folder.files["/v/vigilon.ini"] = "[Log]\r\nEnabled=1\r\nFolder=/logs\r\nMine=1\r\n";
  Records started(folder, optionsFile, setting);
  started.RunEventHappened({RunEventKind::SettingsDamaged, -1, "/v/zr420.dat"});
  EXPECT_TRUE(started.Start(zr420).empty());
  started.CycleEnded(Cycle(zr420, kLateEvening, 0));
  EXPECT_EQ(Lines(folder.files["/logs/vigilon-2026-12-09.csv"]).size(), 2u);
  EXPECT_NE(
      folder.files["/logs/vigilon-events-2026-12-09.csv"].find("start, version 2.5.0, chip ZR420"),
      std::string::npos);
  EXPECT_FALSE(folder.files.count("/v/metrics/vigilon.prom"));

  RecordOptions options = started.options();
  options.metricsEnabled = true;
  started.RunEventHappened({RunEventKind::WarningButton, 10, "Disable"});
  EXPECT_NE(folder.files["/logs/vigilon-events-2026-12-09.csv"].find(
                ",CPU (rpm),warning: Disable pressed,,"),
            std::string::npos);
  EXPECT_FALSE(started.Save(options));
  const auto& saved = optionsFile.files["/v/vigilon.ini"];
  EXPECT_NE(std::string(saved.begin(), saved.end()).find("Mine=1"), std::string::npos);
  started.CycleEnded(Cycle(zr420, kLateEvening + 1000));
  EXPECT_TRUE(folder.files.count("/v/metrics/vigilon.prom"));
  EXPECT_EQ(started.Trouble(0), "");
  folder.failWrites = true;
  started.CycleEnded(Cycle(zr420, kLateEvening + 2000));
  EXPECT_EQ(started.Trouble(60), "the log cannot be written since 01:00");
}

}  // namespace
}  // namespace vigilon::records
