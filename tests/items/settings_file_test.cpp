// Loading and saving the settings file over in-memory files: byte images, model defaults,
// damaged and edited files, failed saves.
#include "items/settings_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "items/conversions.h"
#include "settings_test_support.h"
#include "support/memory_files.h"

namespace vigilon::items {
namespace {

using namespace test_data;

constexpr uint8_t kZr410 = 0x10;
constexpr uint8_t kZr420 = 0x30;
constexpr uint8_t kZr430 = 0x40;
constexpr uint8_t kZr460 = 0x21;

// A chip outside the model table has every item, as far as the tables go.
ItemTables TablesFor(uint8_t chipId) {
  ItemTables t;
  t.ItemPresent.fill(1);
  t.ItemBeepCapable.fill(1);
  if (const chip::ChipTraits* model = chip::ChipTraitsFor(chipId)) {
    const ItemAvailability a = ItemAvailabilityFor(*model);
    t.ItemPresent = a.ItemPresent;
    t.ItemBeepCapable = a.ItemBeepCapable;
  }
  return t;
}

SettingsLocation At(uint8_t chipId) {
  return {"C:\\Vigilon", '\\', chip::ChipTraitsFor(chipId)};
}

std::vector<uint8_t> DefaultsImage() {
  return FromHex(kDefaultsZr420Hex);
}

ItemTables DefaultsOf(uint8_t chipId) {
  ItemTables t = TablesFor(chipId);
  LoadDefaultLimits(t);
  return t;
}

// The parts of the tables a load fills, for comparing two loads.
void ExpectSameSettings(const ItemTables& a, const ItemTables& b) {
  EXPECT_EQ(a.VoltSliderMin, b.VoltSliderMin);
  EXPECT_EQ(a.VoltSliderMax, b.VoltSliderMax);
  EXPECT_EQ(a.VoltLowLimit, b.VoltLowLimit);
  EXPECT_EQ(a.VoltHighLimit, b.VoltHighLimit);
  EXPECT_EQ(a.VoltFactor, b.VoltFactor);
  EXPECT_EQ(a.FanDivisor, b.FanDivisor);
  EXPECT_EQ(a.FanLimitCount, b.FanLimitCount);
  EXPECT_EQ(a.TempLimit, b.TempLimit);
  EXPECT_EQ(a.TempHyst, b.TempHyst);
  EXPECT_EQ(a.ItemEnabled, b.ItemEnabled);
  EXPECT_EQ(a.ItemWErr1, b.ItemWErr1);
  EXPECT_EQ(a.ItemWErr3, b.ItemWErr3);
  EXPECT_EQ(a.ItemBeep, b.ItemBeep);
  EXPECT_EQ(a.Password, b.Password);
  EXPECT_EQ(a.VidDefaultsPending, b.VidDefaultsPending);
  EXPECT_EQ(a.TempInCelsius, b.TempInCelsius);
  EXPECT_EQ(a.PollInterval, b.PollInterval);
}

TEST(SettingsFilePath, PerModelAndSeparator) {
  struct Case {
    SettingsLocation where;
    const char* path;
  };
  const Case cases[] = {
      {{"C:\\Program Files\\Vigilon", '\\', chip::ChipTraitsFor(0x10)},
       "C:\\Program Files\\Vigilon\\zr410.dat"},
      {{"C:\\V", '\\', chip::ChipTraitsFor(0x11)}, "C:\\V\\zr410.dat"},
      {{"C:\\V", '\\', chip::ChipTraitsFor(0x30)}, "C:\\V\\zr420.dat"},
      {{"C:\\V", '\\', chip::ChipTraitsFor(0x40)}, "C:\\V\\zr430.dat"},
      {{"C:\\V", '\\', chip::ChipTraitsFor(0x21)}, "C:\\V\\ZR460.dat"},
      {{"/opt/vigilon", '/', chip::ChipTraitsFor(0x30)}, "/opt/vigilon/zr420.dat"},
  };
  for (const Case& c : cases) EXPECT_EQ(SettingsFilePath(c.where), c.path);
  EXPECT_FALSE(SettingsFilePath({"C:\\V", '\\', nullptr}).has_value());
}

TEST(LoadSettingsFile, FallsBackToTheModelDefaults) {
  struct Case {
    const char* name;
    uint8_t chipId;
    std::optional<std::vector<uint8_t>> file;  // nothing: no file
    bool unreadable;
    SettingsLoadReport::Source source;
  };
  const Case cases[] = {
      {"missing", kZr410, std::nullopt, false, SettingsLoadReport::Source::DefaultsMissing},
      {"empty", kZr430, std::vector<uint8_t>{}, false, SettingsLoadReport::Source::DefaultsShort},
      {"short", kZr460, std::vector<uint8_t>(325, 0x41), false,
       SettingsLoadReport::Source::DefaultsShort},
      {"unreadable", kZr420, DefaultsImage(), true, SettingsLoadReport::Source::DefaultsUnreadable},
      {"a folder", kZr420, std::nullopt, false, SettingsLoadReport::Source::DefaultsFolder},
      {"no model", 0x99, std::nullopt, false, SettingsLoadReport::Source::DefaultsNoModel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFiles files;
    const std::string path = SettingsFilePath(At(c.chipId)).value_or("none");
    if (c.file) files.files[path] = *c.file;
    if (c.unreadable) files.unreadable.insert(path);
    if (c.source == SettingsLoadReport::Source::DefaultsFolder) files.folders.insert(path);
    ItemTables t = TablesFor(c.chipId);
    t.VoltLowLimit[2] = 99;  // whatever was there before is replaced
    const SettingsLoadReport report = LoadSettingsFile(t, files, At(c.chipId));
    EXPECT_EQ(report.source, c.source);
    EXPECT_TRUE(report.repairs.empty());
    EXPECT_EQ(report.readError.empty(), !c.unreadable);
    ExpectSameSettings(t, DefaultsOf(c.chipId));
    EXPECT_EQ(files.writes(), 0);  // loading never writes
  }
}

TEST(LoadSettingsFile, CopiesTheUsedEntries) {
  MemoryFiles files;
  std::vector<uint8_t> b = DefaultsImage();
  PutU32(b, kOffVoltLowLimit + 4 * 2, 0x403D70A4);  // 2.96
  PutU16(b, kOffFanLimitCount + 2, 83);
  PutU32(b, kOffTempLimit + 4, 0x42AB0000);  // 85.5
  PutU16(b, kOffTempInCelsius, 0);
  PutU16(b, kOffPollInterval, 17);
  PutU16(b, kOffVidDefaultsPending, 0);
  b[kOffItemBeep + 2] = 0;
  files.files["C:\\Vigilon\\zr420.dat"] = b;
  ItemTables t = TablesFor(kZr420);
  const SettingsLoadReport report = LoadSettingsFile(t, files, At(kZr420));
  EXPECT_EQ(report.source, SettingsLoadReport::Source::File);
  EXPECT_TRUE(report.repairs.empty());
  EXPECT_EQ(t.VoltLowLimit[2], 2.96f);
  EXPECT_EQ(t.FanLimitCount[1], 83);
  EXPECT_EQ(t.TempLimit[1], 85.5f);
  EXPECT_EQ(t.TempInCelsius, kFalse);
  EXPECT_EQ(t.PollInterval, 17);
  EXPECT_EQ(t.VidDefaultsPending, kFalse);
  EXPECT_EQ(t.ItemBeep[2], 0);
}

TEST(LoadSettingsFile, ItemsMissingOnTheModelStayOff) {
  // Every flag stored as 1: the third model still leaves its absent items unmonitored and silent.
  std::vector<uint8_t> b = DefaultsImage();
  for (int i = 0; i < kItemCount; ++i) b[kOffItemEnabled + i] = b[kOffItemBeep + i] = 1;
  MemoryFiles files;
  files.files["C:\\Vigilon\\zr430.dat"] = b;
  ItemTables t = TablesFor(kZr430);
  LoadSettingsFile(t, files, At(kZr430));
  for (int i : {1, 6, 7, 8, 11, 14, 15}) {
    EXPECT_EQ(t.ItemEnabled[i], 0) << i;
    EXPECT_EQ(t.ItemBeep[i], 0) << i;
  }
  for (int i : {0, 2, 3, 4, 5, 9, 10, 12, 13}) EXPECT_EQ(t.ItemEnabled[i], 1) << i;

  // The first model's temperatures can be monitored but never beep.
  files.files["C:\\Vigilon\\zr410.dat"] = b;
  ItemTables t410 = TablesFor(kZr410);
  LoadSettingsFile(t410, files, At(kZr410));
  for (int i : {12, 13, 14}) {
    EXPECT_EQ(t410.ItemEnabled[i], 1) << i;
    EXPECT_EQ(t410.ItemBeep[i], 0) << i;
  }
}

TEST(SaveSettingsFile, LoadThenSaveReproducesTheFile) {
  // Unused entries with odd contents, a password of arbitrary bytes and flag bytes other than
  // 0 and 1 all come back unchanged.
  std::vector<uint8_t> b = DefaultsImage();
  PutU32(b, kOffVoltSliderMin + 4 * 9, 0x7FA00001);  // signalling NaN
  PutU32(b, kOffVoltFactor + 4 * 9, 0xFFFFFFFF);
  PutU16(b, kOffFanDivisor + 2 * 3, 0x8000);
  PutU16(b, kOffFanLimitCount + 2 * 3, 0x7777);
  PutU32(b, kOffTempHyst + 4 * 3, 0x7F800000);  // infinity
  PutU32(b, kOffTempLimit + 4 * 3, 0x12345678);
  const char password[] = {'a', 0, '\xE9', ' ', 'Z', '\x7F', '1', '\xFF'};
  for (int i = 0; i < 8; ++i) b[kOffPassword + i] = static_cast<uint8_t>(password[i]);
  b[kOffItemWErr1 + 4] = 2;
  b[kOffItemWErr3 + 5] = 0xFF;
  b[kOffItemEnabled + 3] = 7;
  PutU16(b, kOffTempInCelsius, 1);  // a nonzero Boolean other than -1

  for (uint8_t chipId : {kZr420, kZr460}) {
    SCOPED_TRACE(int(chipId));
    std::vector<uint8_t> image = b;
    if (chipId == kZr460) image[kOffItemEnabled + 1] = image[kOffItemBeep + 1] = 0;
    if (chipId == kZr460) image[kOffItemEnabled + 6] = 0;
    MemoryFiles files;
    const std::string path = *SettingsFilePath(At(chipId));
    files.files[path] = image;
    ItemTables t = TablesFor(chipId);
    EXPECT_TRUE(LoadSettingsFile(t, files, At(chipId)).repairs.empty());
    EXPECT_FALSE(IsSet(t.ItemEnabled[3]));
    EXPECT_TRUE(SaveSettingsFile(t, files, At(chipId)).saved);
    EXPECT_EQ(files.files[path], image);
  }
}

TEST(SaveSettingsFile, ChangesReachTheirFieldsOnly) {
  MemoryFiles files;
  const std::string path = "C:\\Vigilon\\zr420.dat";
  files.files[path] = DefaultsImage();
  ItemTables t = TablesFor(kZr420);
  LoadSettingsFile(t, files, At(kZr420));
  t.VoltHighLimit[4] = 13.0f;
  t.FanLimitCount[0] = 100;
  t.ItemWErr1[15] = 1;
  t.VidDefaultsPending = kFalse;  // applied at start: the file learns it at the next save
  ASSERT_TRUE(SaveSettingsFile(t, files, At(kZr420)).saved);
  std::vector<uint8_t> expected = DefaultsImage();
  PutU32(expected, kOffVoltHighLimit + 4 * 4, 0x41500000);
  PutU16(expected, kOffFanLimitCount, 100);
  expected[kOffItemWErr1 + 15] = 1;
  PutU16(expected, kOffVidDefaultsPending, 0);
  EXPECT_EQ(files.files[path], expected);
}

TEST(SaveSettingsFile, PasswordIsPaddedWithSpaces) {
  MemoryFiles files;
  ItemTables t = TablesFor(kZr420);
  LoadSettingsFile(t, files, At(kZr420));
  struct Case {
    std::string password, stored;
  };
  for (const Case& c : {Case{"abc", "abc     "},
                        {"", "        "},
                        {"12345678", "12345678"},
                        {"123456789", "12345678"}}) {
    t.Password = c.password;
    ASSERT_TRUE(SaveSettingsFile(t, files, At(kZr420)).saved);
    const auto& f = files.files["C:\\Vigilon\\zr420.dat"];
    EXPECT_EQ(std::string(f.begin() + kOffPassword, f.begin() + kOffPassword + 8), c.stored);
    ItemTables again = TablesFor(kZr420);
    LoadSettingsFile(again, files, At(kZr420));
    EXPECT_EQ(again.Password, c.stored);
  }
}

TEST(SaveSettingsFile, KeepsTheTailOfALongerFile) {
  MemoryFiles files;
  const std::string path = "C:\\Vigilon\\zr420.dat";
  std::vector<uint8_t> b = DefaultsImage();
  const std::vector<uint8_t> tail{9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0xAA};
  b.insert(b.end(), tail.begin(), tail.end());
  files.files[path] = b;
  ItemTables t = TablesFor(kZr420);
  EXPECT_EQ(LoadSettingsFile(t, files, At(kZr420)).source, SettingsLoadReport::Source::File);
  EXPECT_TRUE(SaveSettingsFile(t, files, At(kZr420)).saved);
  EXPECT_EQ(files.files[path], b);
  // The tail is taken from the file as it is at the time of saving.
  files.files[path].push_back(0x55);
  t.PollInterval = 9;
  ASSERT_TRUE(SaveSettingsFile(t, files, At(kZr420)).saved);
  ASSERT_EQ(files.files[path].size(), b.size() + 1);
  EXPECT_EQ(files.files[path].back(), 0x55);
  EXPECT_EQ(files.files[path][kOffPollInterval], 9);
}

TEST(SaveSettingsFile, AFirstSaveWritesExactlyOneRecord) {
  for (uint8_t chipId : {kZr410, kZr420, kZr430, kZr460}) {
    MemoryFiles files;
    ItemTables t = TablesFor(chipId);
    LoadSettingsFile(t, files, At(chipId));
    ASSERT_TRUE(SaveSettingsFile(t, files, At(chipId)).saved);
    const auto& f = files.files[*SettingsFilePath(At(chipId))];
    EXPECT_EQ(f.size(), kSettingsRecordSize);
    if (chipId == kZr420) {
      EXPECT_EQ(f, DefaultsImage());
    }
  }
}

TEST(SaveSettingsFile, ShortFileIsReplacedByAWholeRecord) {
  MemoryFiles files;
  const std::string path = "C:\\Vigilon\\zr420.dat";
  files.files[path] = std::vector<uint8_t>(100, 0x33);
  ItemTables t = TablesFor(kZr420);
  LoadSettingsFile(t, files, At(kZr420));
  ASSERT_TRUE(SaveSettingsFile(t, files, At(kZr420)).saved);
  EXPECT_EQ(files.files[path], DefaultsImage());
}

TEST(MakeData, PreparesTheVidStart) {
  MemoryFiles files;
  const std::string path = "C:\\Vigilon\\zr420.dat";
  files.files[path] = DefaultsImage();
  ItemTables t = TablesFor(kZr420);
  LoadSettingsFile(t, files, At(kZr420));
  t.PollInterval = 30;
  t.VidDefaultsPending = kFalse;
  t.TempInCelsius = kFalse;
  ASSERT_TRUE(MakeData(t, files, At(kZr420)).saved);
  const auto& f = files.files[path];
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 320, f.end()),
            (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0x04, 0x00}));
  EXPECT_EQ(t.PollInterval, 4);
  EXPECT_EQ(t.VidDefaultsPending, kTrue);
  EXPECT_EQ(t.TempInCelsius, kTrue);
}

TEST(SaveSettingsFile, AFailedSaveLeavesTheFileAndSaysWhy) {
  MemoryFiles files;
  const std::string path = "C:\\Vigilon\\zr420.dat";
  files.files[path] = DefaultsImage();
  ItemTables t = TablesFor(kZr420);
  LoadSettingsFile(t, files, At(kZr420));
  t.PollInterval = 50;

  files.replaceError = "There is not enough space on the disk.";
  const SaveOutcome error = SaveSettingsFile(t, files, At(kZr420));
  EXPECT_FALSE(error.saved);
  EXPECT_NE(error.message.find("There is not enough space on the disk."), std::string::npos);
  EXPECT_NE(error.message.find(path), std::string::npos);
  EXPECT_EQ(files.files[path], DefaultsImage());
  EXPECT_EQ(files.files.size(), 1u) << "no temporary file is left";

  // A folder this user may not write: the remedy is another folder, not another name.
  files.replaceError.reset();
  files.folderRefused = true;
  const SaveOutcome refused = SaveSettingsFile(t, files, At(kZr420));
  EXPECT_FALSE(refused.saved);
  EXPECT_NE(refused.message.find("Move the program folder"), std::string::npos) << refused.message;
  EXPECT_EQ(refused.message.find(".new"), std::string::npos) << refused.message;
  files.folderRefused = false;

  // An old file that cannot be read is not overwritten: its tail could not be kept.
  files.replaceError.reset();
  const int writes = files.writes();
  files.unreadable.insert(path);
  const SaveOutcome unreadable = SaveSettingsFile(t, files, At(kZr420));
  EXPECT_FALSE(unreadable.saved);
  EXPECT_NE(unreadable.message.find("sharing violation"), std::string::npos);
  files.unreadable.clear();
  // Nor is a folder in its place.
  files.folders.insert(path);
  const SaveOutcome folder = SaveSettingsFile(t, files, At(kZr420));
  EXPECT_FALSE(folder.saved);
  EXPECT_NE(folder.message.find("a folder is in the place of " + path), std::string::npos);
  EXPECT_EQ(files.writes(), writes);
  EXPECT_EQ(files.files[path], DefaultsImage());

  // A chip without a settings file name has nowhere to save.
  const SaveOutcome noModel = SaveSettingsFile(t, files, At(0x99));
  EXPECT_FALSE(noModel.saved);
  EXPECT_NE(noModel.message.find("no settings file"), std::string::npos);
  EXPECT_EQ(files.writes(), writes);
}

// ---- Values only an edited file can hold ----

struct Edit {
  std::size_t offset;
  uint32_t bits;
  int width;  // 2 or 4 bytes
};
Edit Bits(std::size_t offset, uint32_t bits) {
  return {offset, bits, 4};
}
Edit Single(std::size_t offset, float value) {
  return {offset, BitsFromSingle(value), 4};
}
Edit Int16(std::size_t offset, int value) {
  return {offset, static_cast<uint16_t>(value), 2};
}

void Apply(std::vector<uint8_t>& b, const Edit& e) {
  if (e.width == 2) {
    PutU16(b, e.offset, static_cast<uint16_t>(e.bits));
  } else {
    PutU32(b, e.offset, e.bits);
  }
}

constexpr uint32_t kNaN = 0x7FC00000;
constexpr uint32_t kInf = 0x7F800000;
constexpr uint32_t kMinusInf = 0xFF800000;

TEST(LoadSettingsFile, BringsEditedValuesIntoRange) {
  struct Case {
    const char* name;
    std::vector<Edit> edits;
    uint8_t chipId;
    std::size_t lines;      // repair lines
    const char* firstLine;  // what the user reads, where the case is about it
    std::function<void(const ItemTables&)> check;
  };
  const ItemTables d = DefaultsOf(kZr420);
  const std::size_t V = 4;  // bytes per voltage entry
  const Case cases[] = {
      {"NaN factor",
       {Bits(kOffVoltFactor + V * 3, kNaN)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.VoltFactor[3], d.VoltFactor[3]); }},
      {"zero factor",
       {Bits(kOffVoltFactor, 0)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.VoltFactor[0], d.VoltFactor[0]); }},
      {"negative factor",
       {Single(kOffVoltFactor + V * 8, -1)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.VoltFactor[8], d.VoltFactor[8]); }},
      {"infinite slider bottom",
       {Bits(kOffVoltSliderMin + V, kMinusInf)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.VoltSliderMin[1], d.VoltSliderMin[1]); }},
      {"NaN slider top",
       {Bits(kOffVoltSliderMax + V * 7, kNaN)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.VoltSliderMax[7], d.VoltSliderMax[7]); }},
      {"NaN low limit",
       {Bits(kOffVoltLowLimit + V * 2, kNaN)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.VoltLowLimit[2], d.VoltLowLimit[2]); }},
      {"infinite high limit",
       {Bits(kOffVoltHighLimit + V * 4, kInf)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.VoltHighLimit[4], d.VoltHighLimit[4]); }},
      {"slider range with its ends reversed",
       {Single(kOffVoltSliderMin + V * 2, 4), Single(kOffVoltSliderMax + V * 2, 2.3f)},
       kZr420,
       2,
       "VoltSliderMin(2) was 4, now 2.3 (its ends were reversed)",
       [&](const ItemTables& t) {
         EXPECT_EQ(t.VoltSliderMin[2], 2.3f);
         EXPECT_EQ(t.VoltSliderMax[2], 4.0f);
       }},
      {"low limit below its slider range",
       {Single(kOffVoltLowLimit + V * 4, 9)},
       kZr420,
       1,
       "VoltLowLimit(4) was 9, now 10 (below its slider range)",
       [&](const ItemTables& t) { EXPECT_EQ(t.VoltLowLimit[4], 10.0f); }},
      {"high limit above its slider range",
       {Single(kOffVoltHighLimit + V * 2, 4.5f)},
       kZr420,
       1,
       "VoltHighLimit(2) was 4.5, now 4 (above its slider range)",
       [&](const ItemTables& t) { EXPECT_EQ(t.VoltHighLimit[2], 4.0f); }},
      {"high limit where the slider reaches beyond the register",
       {Single(kOffVoltHighLimit, 4.5f)},
       kZr420,
       1,
       "VoltHighLimit(0) was 4.5, now 4.08 (beyond what the chip's register holds)",
       [&](const ItemTables& t) { EXPECT_FLOAT_EQ(t.VoltHighLimit[0], 255 * 0.016f); }},
      {"reversed band",
       {Single(kOffVoltLowLimit + V * 2, 3.5f), Single(kOffVoltHighLimit + V * 2, 3)},
       kZr420,
       2,
       "VoltLowLimit(2) was 3.5, now 2.97 (the limits were reversed)",
       [&](const ItemTables& t) {
         EXPECT_EQ(t.VoltLowLimit[2], d.VoltLowLimit[2]);
         EXPECT_EQ(t.VoltHighLimit[2], d.VoltHighLimit[2]);
       }},
      {"reversed band in a range narrower than the defaults",
       {Single(kOffVoltSliderMin + V * 2, 3), Single(kOffVoltSliderMax + V * 2, 3.5f),
        Single(kOffVoltLowLimit + V * 2, 3.4f), Single(kOffVoltHighLimit + V * 2, 3.2f)},
       kZr420,
       2,
       "VoltLowLimit(2) was 3.4, now 3 (the limits were reversed)",
       [&](const ItemTables& t) {
         EXPECT_EQ(t.VoltLowLimit[2], 3.0f);
         EXPECT_EQ(t.VoltHighLimit[2], 3.5f);
       }},
      {"negative low limit on a positive rail, in a range reaching below 0",
       {Single(kOffVoltSliderMin + V * 3, -2), Single(kOffVoltLowLimit + V * 3, -1)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.VoltLowLimit[3], 0.0f); }},
      {"-12 V limit below the offset range",
       {Single(kOffVoltSliderMin + V * 5, -20), Single(kOffVoltLowLimit + V * 5, -20)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_FLOAT_EQ(t.VoltLowLimit[5], CalRealNegVoltage(5, 0)); }},
      {"-12 V limit above zero on the first model",
       {Single(kOffVoltSliderMax + V * 5, 2), Single(kOffVoltHighLimit + V * 5, 1)},
       kZr410,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.VoltHighLimit[5], 0.0f); }},
      {"-12 V limit beyond -255 counts on the first model",
       {Single(kOffVoltSliderMin + V * 5, -20), Single(kOffVoltLowLimit + V * 5, -20)},
       kZr410,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_FLOAT_EQ(t.VoltLowLimit[5], -255 * d.VoltFactor[5]); }},
      {"-5 V limit of the first model outside its range",
       {Single(kOffVoltLowLimit + V * 6, -7)},
       kZr410,
       1,
       "VoltLowLimit(6) was -7, now -6 (below its slider range)",
       [&](const ItemTables& t) { EXPECT_EQ(t.VoltLowLimit[6], -6.0f); }},
      {"divisor 1, which the chip does not count with",
       {Int16(kOffFanDivisor + 2, 1)},
       kZr420,
       1,
       "FanDivisor(1) was 1, now 8 (the chip counts every fan with divisor 8)",
       [&](const ItemTables& t) { EXPECT_EQ(t.FanDivisor[1], 8); }},
      {"divisor 4",
       {Int16(kOffFanDivisor, 4)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.FanDivisor[0], 8); }},
      {"zero divisor",
       {Int16(kOffFanDivisor + 2, 0)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.FanDivisor[1], 8); }},
      {"negative divisor",
       {Int16(kOffFanDivisor + 4, -8)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.FanDivisor[2], 8); }},
      {"fan limit 255",
       {Int16(kOffFanLimitCount, 255)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.FanLimitCount[0], 254); }},
      {"fan limit above a byte",
       {Int16(kOffFanLimitCount + 2, 1000)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.FanLimitCount[1], 254); }},
      {"negative fan limit",
       {Int16(kOffFanLimitCount + 4, -1)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.FanLimitCount[2], 1); }},
      {"fan limit 0 has no speed",
       {Int16(kOffFanLimitCount + 4, 0)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.FanLimitCount[2], 1); }},
      {"NaN temperature limit",
       {Bits(kOffTempLimit, kNaN)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.TempLimit[0], 65.0f); }},
      {"temperature limit too high",
       {Single(kOffTempLimit + 4, 200)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.TempLimit[1], 127.0f); }},
      {"temperature limit too low, below its hysteresis",
       {Single(kOffTempLimit + 8, -50)},
       kZr420,
       2,
       "TempLimit(2) was -50, now -35",
       [&](const ItemTables& t) {
         EXPECT_EQ(t.TempLimit[2], -35.0f);
         EXPECT_EQ(t.TempHyst[2], -40.0f);
       }},
      {"infinite hysteresis",
       {Bits(kOffTempHyst + 4, kMinusInf)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.TempHyst[1], 80.0f); }},
      {"hysteresis too low",
       {Single(kOffTempHyst, -100)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.TempHyst[0], -40.0f); }},
      {"hysteresis at its limit",
       {Single(kOffTempHyst, 65)},
       kZr420,
       1,
       "TempHyst(0) was 65, now 60 (at or above its limit)",
       [&](const ItemTables& t) { EXPECT_EQ(t.TempHyst[0], 60.0f); }},
      {"hysteresis above its limit",
       {Single(kOffTempHyst + 8, 70.5f)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.TempHyst[2], 60.0f); }},
      {"poll interval 0",
       {Int16(kOffPollInterval, 0)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.PollInterval, 1); }},
      {"negative poll interval",
       {Int16(kOffPollInterval, -32768)},
       kZr420,
       1,
       nullptr,
       [&](const ItemTables& t) { EXPECT_EQ(t.PollInterval, 1); }},
      {"poll interval 121",
       {Int16(kOffPollInterval, 121)},
       kZr420,
       1,
       "PollInterval was 121, now 120",
       [&](const ItemTables& t) { EXPECT_EQ(t.PollInterval, 120); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFiles files;
    const std::string path = *SettingsFilePath(At(c.chipId));
    std::vector<uint8_t> b = DefaultsImage();
    for (const Edit& e : c.edits) Apply(b, e);
    files.files[path] = b;
    ItemTables t = TablesFor(c.chipId);
    const SettingsLoadReport report = LoadSettingsFile(t, files, At(c.chipId));
    EXPECT_EQ(report.source, SettingsLoadReport::Source::File);
    ASSERT_EQ(report.repairs.size(), c.lines) << ::testing::PrintToString(report.repairs);
    if (c.firstLine) {
      EXPECT_EQ(report.repairs[0], c.firstLine);
    }
    c.check(t);
    // The repaired value is saved, and loads again without a repair.
    ASSERT_TRUE(SaveSettingsFile(t, files, At(c.chipId)).saved);
    ItemTables again = TablesFor(c.chipId);
    EXPECT_TRUE(LoadSettingsFile(again, files, At(c.chipId)).repairs.empty());
    ExpectSameSettings(again, t);
  }
}

TEST(LoadSettingsFile, AnAllOnesFileIsUsable) {
  MemoryFiles files;
  files.files["C:\\Vigilon\\zr420.dat"] = std::vector<uint8_t>(kSettingsRecordSize, 0xFF);
  ItemTables t = TablesFor(kZr420);
  const SettingsLoadReport report = LoadSettingsFile(t, files, At(kZr420));
  EXPECT_EQ(report.source, SettingsLoadReport::Source::File);
  EXPECT_FALSE(report.repairs.empty());
  for (int i = 0; i < kVoltItemCount; ++i) {
    EXPECT_TRUE(std::isfinite(t.VoltFactor[i]) && t.VoltFactor[i] > 0) << i;
    EXPECT_TRUE(std::isfinite(t.VoltLowLimit[i])) << i;
  }
  for (int f = 0; f < kFanCount; ++f) EXPECT_EQ(t.FanDivisor[f], 8);
  EXPECT_EQ(t.PollInterval, 1);
  // Flag bytes of 0xFF mean "off" but are kept.
  EXPECT_EQ(t.ItemEnabled[0], 0xFF);
  EXPECT_FALSE(IsSet(t.ItemEnabled[0]));
}

}  // namespace
}  // namespace vigilon::items

namespace vigilon::items {
namespace {

// ---- A file that did not load cleanly is kept before a save replaces it ----

constexpr const char* kPath = "C:\\Vigilon\\zr420.dat";
constexpr const char* kKept = "C:\\Vigilon\\zr420.dat.damaged";

// The user's file with interval 17, one byte short, as a crash or a full disk leaves it.
std::vector<uint8_t> OneByteShort() {
  std::vector<uint8_t> b = DefaultsImage();
  PutU16(b, kOffPollInterval, 17);
  b.pop_back();
  return b;
}

TEST(KeepTheOldFile, EveryLoadThatWasNotCleanKeepsItsBytesAtTheFirstSaveOnly) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    bool lockedAtStart;
  };
  std::vector<uint8_t> repaired = DefaultsImage();
  PutU16(repaired, kOffFanDivisor + 2, 1);
  const Case cases[] = {
      {"one byte short", OneByteShort(), false},
      {"a value repaired", repaired, false},
      {"locked at start, readable at the save", DefaultsImage(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFiles files;
    files.files[kPath] = c.file;
    if (c.lockedAtStart) files.unreadable.insert(kPath);
    ItemTables t = TablesFor(kZr420);
    const SettingsLoadReport report = LoadSettingsFile(t, files, At(kZr420));
    EXPECT_FALSE(report.Clean());
    EXPECT_EQ(report.keptAs, "zr420.dat.damaged");
    EXPECT_EQ(files.writes(), 0) << "a start writes nothing";
    files.unreadable.clear();

    const SaveOutcome first = SaveSettingsFile(t, files, At(kZr420));
    EXPECT_TRUE(first.saved);
    EXPECT_EQ(first.message, "");
    EXPECT_EQ(files.files[kKept], c.file);
    const SettingsBytes held = EncodeSettingsRecord(t.settingsRecord);
    EXPECT_EQ(files.files[kPath], std::vector<uint8_t>(held.begin(), held.end()));

    // Saved cleanly: later saves of the run keep nothing more.
    t.PollInterval = 9;
    EXPECT_TRUE(SaveSettingsFile(t, files, At(kZr420)).saved);
    EXPECT_EQ(files.files.size(), 2u);
    EXPECT_EQ(files.files[kKept], c.file);
    EXPECT_EQ(files.files[kPath][kOffPollInterval], 9);
  }
}

TEST(KeepTheOldFile, AKeptCopyIsNeverOverwrittenAndTheSameBytesAreKeptOnce) {
  MemoryFiles files;
  const std::vector<uint8_t> earlier{1, 2, 3};
  files.files[kKept] = earlier;
  files.files[kPath] = OneByteShort();
  ItemTables t = TablesFor(kZr420);
  EXPECT_EQ(LoadSettingsFile(t, files, At(kZr420)).keptAs, "zr420.dat.damaged-2");

  // The copy is made, then the file cannot be replaced: the user is told both.
  files.replaceError = "access denied";
  const SaveOutcome failed = SaveSettingsFile(t, files, At(kZr420));
  EXPECT_FALSE(failed.saved);
  EXPECT_NE(failed.message.find("access denied"), std::string::npos) << failed.message;
  EXPECT_NE(failed.message.find("kept as C:\\Vigilon\\zr420.dat.damaged-2"), std::string::npos)
      << failed.message;
  EXPECT_EQ(files.files[kPath], OneByteShort());

  // The next bad start finds its bytes already kept, and a save makes no further copy.
  files.replaceError.reset();
  ItemTables next = TablesFor(kZr420);
  EXPECT_EQ(LoadSettingsFile(next, files, At(kZr420)).keptAs, "zr420.dat.damaged-2");
  EXPECT_TRUE(SaveSettingsFile(next, files, At(kZr420)).saved);
  EXPECT_EQ(files.files[kKept], earlier);
  EXPECT_EQ(files.files["C:\\Vigilon\\zr420.dat.damaged-2"], OneByteShort());
  EXPECT_EQ(files.files.size(), 3u);
}

TEST(KeepTheOldFile, WithoutTheCopyNothingIsReplaced) {
  MemoryFiles files;
  files.files[kPath] = OneByteShort();
  ItemTables t = TablesFor(kZr420);
  LoadSettingsFile(t, files, At(kZr420));
  files.createError = "cannot create C:\\Vigilon\\zr420.dat.damaged (access denied)";
  const SaveOutcome outcome = SaveSettingsFile(t, files, At(kZr420));
  EXPECT_FALSE(outcome.saved);
  EXPECT_NE(outcome.message.find("could not be kept"), std::string::npos) << outcome.message;
  EXPECT_NE(outcome.message.find("access denied"), std::string::npos) << outcome.message;
  EXPECT_EQ(files.replaceCalls, 0);
  EXPECT_EQ(files.files.size(), 1u);
  EXPECT_EQ(files.files[kPath], OneByteShort());
}

TEST(KeepTheOldFile, NoOldBytesNoCopyAndTheSaveSaysSo) {
  // A folder in the file's place at start, gone by the time of the save.
  MemoryFiles files;
  files.folders.insert(kPath);
  ItemTables t = TablesFor(kZr420);
  const SettingsLoadReport report = LoadSettingsFile(t, files, At(kZr420));
  EXPECT_EQ(report.source, SettingsLoadReport::Source::DefaultsFolder);
  EXPECT_EQ(report.keptAs, "");
  files.folders.clear();
  const SaveOutcome outcome = SaveSettingsFile(t, files, At(kZr420));
  EXPECT_TRUE(outcome.saved);
  EXPECT_NE(outcome.message.find("Nothing of the old settings file was kept"), std::string::npos)
      << outcome.message;
  EXPECT_EQ(files.files.count(kKept), 0u);
  EXPECT_EQ(files.files[kPath], DefaultsImage());
}

}  // namespace
}  // namespace vigilon::items
