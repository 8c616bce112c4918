// The settings record's fields in file order, each beside the working table it fills: the one
// list that encoding, decoding, loading and saving walk.
#pragma once

#include <cstddef>
#include <type_traits>

#include "items/items.h"
#include "items/settings_record.h"

namespace vigilon::items {

template <class Stored, class Table>
struct SettingsField {
  using StoredType = Stored;
  const char* name;
  Stored SettingsRecord::*stored;
  Table ItemTables::*table;
  // The entries the program uses; the others go back to the file as the last load read them.
  int used;
};
template <class Stored, class Table>
SettingsField(const char*, Stored SettingsRecord::*, Table ItemTables::*, int)
    -> SettingsField<Stored, Table>;

template <class Visit>
constexpr void ForEachSettingsField(Visit&& visit) {
  using R = SettingsRecord;
  using T = ItemTables;
  visit(SettingsField{"VoltSliderMin", &R::VoltSliderMin, &T::VoltSliderMin, kVoltItemCount});
  visit(SettingsField{"VoltSliderMax", &R::VoltSliderMax, &T::VoltSliderMax, kVoltItemCount});
  visit(SettingsField{"VoltLowLimit", &R::VoltLowLimit, &T::VoltLowLimit, kVoltItemCount});
  visit(SettingsField{"VoltHighLimit", &R::VoltHighLimit, &T::VoltHighLimit, kVoltItemCount});
  visit(SettingsField{"VoltFactor", &R::VoltFactor, &T::VoltFactor, kVoltItemCount});
  visit(SettingsField{"FanDivisor", &R::FanDivisor, &T::FanDivisor, kFanCount});
  visit(SettingsField{"FanLimitCount", &R::FanLimitCount, &T::FanLimitCount, kFanCount});
  visit(SettingsField{"TempHyst", &R::TempHyst, &T::TempHyst, kTempCount});
  visit(SettingsField{"TempLimit", &R::TempLimit, &T::TempLimit, kTempCount});
  visit(SettingsField{"Password", &R::Password, &T::Password, 8});
  visit(SettingsField{"ItemEnabled", &R::ItemEnabled, &T::ItemEnabled, kItemCount});
  visit(SettingsField{"ItemWErr1", &R::ItemWErr1, &T::ItemWErr1, kItemCount});
  visit(SettingsField{"ItemWErr3", &R::ItemWErr3, &T::ItemWErr3, kItemCount});
  visit(SettingsField{"ItemBeep", &R::ItemBeep, &T::ItemBeep, kItemCount});
  visit(SettingsField{"VidDefaultsPending", &R::VidDefaultsPending, &T::VidDefaultsPending, 1});
  visit(SettingsField{"TempInCelsius", &R::TempInCelsius, &T::TempInCelsius, 1});
  visit(SettingsField{"PollInterval", &R::PollInterval, &T::PollInterval, 1});
}

// The fields laid end to end: a field left out of the list would shorten the record.
constexpr std::size_t SettingsFieldBytes() {
  std::size_t n = 0;
  ForEachSettingsField(
      [&](const auto& f) { n += sizeof(typename std::remove_cvref_t<decltype(f)>::StoredType); });
  return n;
}
static_assert(SettingsFieldBytes() == kSettingsRecordSize);

}  // namespace vigilon::items
