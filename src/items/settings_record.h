// The settings record as it lies on disk: 326 bytes, little-endian, fields one after another,
// encoded and decoded by walking the field list of settings_fields.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vigilon::items {

inline constexpr std::size_t kSettingsRecordSize = 326;
using SettingsBytes = std::array<uint8_t, kSettingsRecordSize>;

// Singles are kept as their stored bit patterns: the entries the program never uses must go
// back to disk exactly as read, and a float passing through x87 registers on 32-bit Windows
// could lose a signalling NaN's payload.
struct SettingsRecord {
  std::array<uint32_t, 10> VoltSliderMin{};
  std::array<uint32_t, 10> VoltSliderMax{};
  std::array<uint32_t, 10> VoltLowLimit{};
  std::array<uint32_t, 10> VoltHighLimit{};
  std::array<uint32_t, 10> VoltFactor{};
  std::array<int16_t, 4> FanDivisor{};
  std::array<int16_t, 4> FanLimitCount{};
  std::array<uint32_t, 4> TempHyst{};
  std::array<uint32_t, 4> TempLimit{};
  std::array<char, 8> Password{' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  std::array<uint8_t, 16> ItemEnabled{};
  std::array<uint8_t, 16> ItemWErr1{};
  std::array<uint8_t, 16> ItemWErr3{};
  std::array<uint8_t, 16> ItemBeep{};
  int16_t VidDefaultsPending = 0;
  int16_t TempInCelsius = 0;
  int16_t PollInterval = 0;

  bool operator==(const SettingsRecord&) const = default;
};

SettingsBytes EncodeSettingsRecord(const SettingsRecord& record);
// Nothing when fewer than 326 bytes are given; bytes beyond the record are not looked at.
std::optional<SettingsRecord> DecodeSettingsRecord(std::span<const uint8_t> bytes);

float SingleFromBits(uint32_t bits);
uint32_t BitsFromSingle(float value);

}  // namespace vigilon::items
