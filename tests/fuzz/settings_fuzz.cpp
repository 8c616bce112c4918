// libFuzzer target: arbitrary bytes as a settings file. The loader must neither crash nor trip a
// sanitizer, every loaded table must survive the conversions the windows apply to it, and an
// accepted file must save back to a record that loads again unchanged and without repairs, and
// one that needed repairs is kept beside it as it was.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "../support/memory_files.h"
#include "items/conversions.h"
#include "items/number_format.h"
#include "items/settings_file.h"

namespace {

using namespace vigilon::items;

void Require(bool ok) {
  if (!ok) std::abort();
}

ItemTables TablesFor(uint8_t chipId) {
  ItemTables t;
  const ItemAvailability a = ItemAvailabilityFor(*vigilon::chip::ChipTraitsFor(chipId));
  t.ItemPresent = a.ItemPresent;
  t.ItemBeepCapable = a.ItemBeepCapable;
  return t;
}

// What the limit rows and readings do with the tables.
void UseTables(const ItemTables& t, uint8_t chipId) {
  for (int i = 0; i < kVoltItemCount; ++i) {
    const VoltScale scale = VoltScaleFor(*vigilon::chip::ChipTraitsFor(chipId), i);
    const ScaleRange range = RegisterScaleRange(scale);
    for (float v : {t.VoltSliderMin[i], t.VoltSliderMax[i]}) {
      const int32_t s = VoltsToScale(scale, i, v, t.VoltFactor[i]);
      FormatFixed(VoltsFromScale(scale, i, s, t.VoltFactor[i]), 2);
      FormatFixed(v, 2);
    }
    for (float v : {t.VoltLowLimit[i], t.VoltHighLimit[i]}) {
      const int32_t s = VoltsToScale(scale, i, v, t.VoltFactor[i]);
      Require(s >= range.min && s <= range.max);
      FormatFixed(VoltsFromScale(scale, i, s, t.VoltFactor[i]), 2);
    }
    // The limit rows take the band as it is: ordered, and inside the slider range wherever the
    // chip's registers reach it.
    auto toScale = [&](float v) { return VoltsToScale(scale, i, v, t.VoltFactor[i]); };
    const int32_t bottom = toScale(t.VoltSliderMin[i]), top = toScale(t.VoltSliderMax[i]);
    const int32_t lo = toScale(t.VoltLowLimit[i]), hi = toScale(t.VoltHighLimit[i]);
    Require(bottom <= top && lo <= hi);
    const int32_t from = std::max(bottom, range.min), to = std::min(top, range.max);
    if (from <= to) Require(lo >= from && hi <= to);
  }
  for (int f = 0; f < kFanCount; ++f) {
    Require(t.FanDivisor[f] == kFanCountDivisor);
    Require(t.FanLimitCount[f] >= kFanLimitCountLowest &&
            t.FanLimitCount[f] <= kFanLimitCountHighest);
    FormatWithSign(FanLimitRpm(t.FanLimitCount[f], t.FanDivisor[f]));
    if (auto rpm = FanRpm(static_cast<uint8_t>(t.FanLimitCount[f]), t.FanDivisor[f]))
      FormatThousands(*rpm);
  }
  for (int s = 0; s < kTempCount; ++s) {
    FormatFixed(CelsiusToFahrenheit(t.TempLimit[s]), 2);
    Require(t.TempHyst[s] < t.TempLimit[s]);
  }
  Require(t.PollInterval >= 1 && t.PollInterval <= 120);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  constexpr uint8_t kChipIds[] = {0x10, 0x11, 0x30, 0x40, 0x21};
  const uint8_t chipId = kChipIds[data[0] % sizeof kChipIds];
  const SettingsLocation where{"C:\\Vigilon", '\\', vigilon::chip::ChipTraitsFor(chipId)};
  const std::string path = *SettingsFilePath(where);

  MemoryFiles files;
  files.files[path].assign(data + 1, data + size);
  const std::vector<uint8_t> original = files.files[path];

  ItemTables t = TablesFor(chipId);
  const SettingsLoadReport first = LoadSettingsFile(t, files, where);
  Require(files.writes() == 0);
  UseTables(t, chipId);

  Require(SaveSettingsFile(t, files, where).saved);
  // A file that did not load cleanly is kept, byte for byte, beside the new one.
  const auto kept = files.files.find(KeptCopyName(path, 0));
  Require(first.Clean() == (kept == files.files.end()));
  Require(first.Clean() || kept->second == original);
  const std::vector<uint8_t>& saved = files.files[path];
  Require(saved.size() >= kSettingsRecordSize);
  if (original.size() > kSettingsRecordSize) {
    Require(saved.size() == original.size());
    Require(std::equal(saved.begin() + kSettingsRecordSize, saved.end(),
                       original.begin() + kSettingsRecordSize));
  } else {
    Require(saved.size() == kSettingsRecordSize);
  }
  // Nothing to repair in a valid file: it goes back byte for byte, flags that respected the
  // model's availability included.
  if (first.source == SettingsLoadReport::Source::File && first.repairs.empty()) {
    const auto record = DecodeSettingsRecord(original);
    SettingsRecord withInvariants = *record;
    for (int i = 0; i < kItemCount; ++i) {
      if (t.ItemPresent[i] == 0) withInvariants.ItemEnabled[i] = 0;
      if (t.ItemBeepCapable[i] == 0) withInvariants.ItemBeep[i] = 0;
    }
    const SettingsBytes expected = EncodeSettingsRecord(withInvariants);
    Require(std::equal(expected.begin(), expected.end(), saved.begin()));
  }

  ItemTables again = TablesFor(chipId);
  const SettingsLoadReport second = LoadSettingsFile(again, files, where);
  Require(second.source == SettingsLoadReport::Source::File);
  Require(second.repairs.empty());
  Require(again.settingsRecord == t.settingsRecord);
  return 0;
}
