// The native control identifier of a control, derived from its name alone, so that the test
// harness in another process finds "lblStatusV(2)" without asking the program.
#pragma once

#include <cstdint>
#include <string_view>

namespace vigilon::ui {

inline constexpr uint16_t kFirstControlId = 0x1000;
inline constexpr uint16_t kLastControlId = 0x7FFF;

// FNV-1a over the name's bytes, mixed and folded into kFirstControlId..kLastControlId.
// Identifiers stay below 0x8000 so that WM_COMMAND's 16-bit word never reads as negative, and
// above the range the system uses for its own dialog items. The seed is chosen so that no two
// controls of one of the program's windows share an identifier (the control layer's tests
// check the windows' names); Form::ControlIdCollisions() reports a form that still has a pair.
inline constexpr uint32_t kControlIdSeed = 1;

constexpr uint16_t ControlIdForName(std::string_view name) {
  uint32_t hash = kControlIdSeed;
  for (char c : name) {
    hash ^= static_cast<uint8_t>(c);
    hash *= 16777619u;
  }
  hash ^= hash >> 16;
  hash *= 0x85EBCA6Bu;
  hash ^= hash >> 13;
  hash *= 0xC2B2AE35u;
  hash ^= hash >> 16;
  constexpr uint32_t span = kLastControlId - kFirstControlId + 1u;
  return static_cast<uint16_t>(kFirstControlId + hash % span);
}

}  // namespace vigilon::ui
