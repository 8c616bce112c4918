// Byte images of settings files shared by the settings tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vigilon::items::test_data {

// The defaults of the second model (every item present) as the file holds them.
inline const char* const kDefaultsZr420Hex =
    "0000803F0000803F333313400000804000002041000060C10000C0C000008040"
    "0000C03F000000003333834033338340000080400000C04000006041000020C1"
    "000080C00000C0400000C040000000007B14EE3F666646407B143E4000009040"
    "00002841F62858C10AD7B3C000008C400000304000000000D7A3104033337340"
    "EC5168400000B04000005841EC5128C11F858BC00000B4400000804000000000"
    "6F12833C6F12833C6F12833C014ADC3CB22F793D3359643DC865C53C0C98C63C"
    "6F12833C000000000800080008000000A800540054000000000070420000A042"
    "0000704200000000000082420000AA4200008242000000002020202020202020"
    "0101010101010001010001000101000101010101010101010101010101010100"
    "0000000000000000000000000000000101010101010100010100010001010001"
    "FFFFFFFF0400";

inline std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

inline void PutU16(std::vector<uint8_t>& b, std::size_t offset, uint16_t v) {
  b[offset] = static_cast<uint8_t>(v & 0xFF);
  b[offset + 1] = static_cast<uint8_t>(v >> 8);
}

inline void PutU32(std::vector<uint8_t>& b, std::size_t offset, uint32_t v) {
  PutU16(b, offset, static_cast<uint16_t>(v & 0xFFFF));
  PutU16(b, offset + 2, static_cast<uint16_t>(v >> 16));
}

// Field offsets in the record.
inline constexpr std::size_t kOffVoltSliderMin = 0;
inline constexpr std::size_t kOffVoltSliderMax = 40;
inline constexpr std::size_t kOffVoltLowLimit = 80;
inline constexpr std::size_t kOffVoltHighLimit = 120;
inline constexpr std::size_t kOffVoltFactor = 160;
inline constexpr std::size_t kOffFanDivisor = 200;
inline constexpr std::size_t kOffFanLimitCount = 208;
inline constexpr std::size_t kOffTempHyst = 216;
inline constexpr std::size_t kOffTempLimit = 232;
inline constexpr std::size_t kOffPassword = 248;
inline constexpr std::size_t kOffItemEnabled = 256;
inline constexpr std::size_t kOffItemWErr1 = 272;
inline constexpr std::size_t kOffItemWErr3 = 288;
inline constexpr std::size_t kOffItemBeep = 304;
inline constexpr std::size_t kOffVidDefaultsPending = 320;
inline constexpr std::size_t kOffTempInCelsius = 322;
inline constexpr std::size_t kOffPollInterval = 324;

}  // namespace vigilon::items::test_data
