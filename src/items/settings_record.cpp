// Field-by-field little-endian encoding of the settings record.
#include "items/settings_record.h"

#include <bit>

namespace vigilon::items {

namespace {

class Writer {
 public:
  explicit Writer(SettingsBytes& out) : out_(out) {}
  void U8(uint8_t v) { out_[pos_++] = v; }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v & 0xFF));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v & 0xFFFF));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
  template <std::size_t N>
  void U32s(const std::array<uint32_t, N>& a) {
    for (uint32_t v : a) U32(v);
  }
  template <std::size_t N>
  void I16s(const std::array<int16_t, N>& a) {
    for (int16_t v : a) I16(v);
  }
  template <std::size_t N>
  void Bytes(const std::array<uint8_t, N>& a) {
    for (uint8_t v : a) U8(v);
  }
  std::size_t pos() const { return pos_; }

 private:
  SettingsBytes& out_;
  std::size_t pos_ = 0;
};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> in) : in_(in) {}
  uint8_t U8() { return in_[pos_++]; }
  uint16_t U16() {
    const uint16_t lo = U8();
    return static_cast<uint16_t>(lo | (U8() << 8));
  }
  uint32_t U32() {
    const uint32_t lo = U16();
    return lo | (static_cast<uint32_t>(U16()) << 16);
  }
  int16_t I16() { return static_cast<int16_t>(U16()); }
  template <std::size_t N>
  void U32s(std::array<uint32_t, N>& a) {
    for (uint32_t& v : a) v = U32();
  }
  template <std::size_t N>
  void I16s(std::array<int16_t, N>& a) {
    for (int16_t& v : a) v = I16();
  }
  template <std::size_t N>
  void Bytes(std::array<uint8_t, N>& a) {
    for (uint8_t& v : a) v = U8();
  }
  std::size_t pos() const { return pos_; }

 private:
  std::span<const uint8_t> in_;
  std::size_t pos_ = 0;
};

}  // namespace

float SingleFromBits(uint32_t bits) {
  return std::bit_cast<float>(bits);
}
uint32_t BitsFromSingle(float value) {
  return std::bit_cast<uint32_t>(value);
}

SettingsBytes EncodeSettingsRecord(const SettingsRecord& r) {
  SettingsBytes out{};
  Writer w(out);
  w.U32s(r.VoltSliderMin);
  w.U32s(r.VoltSliderMax);
  w.U32s(r.VoltLowLimit);
  w.U32s(r.VoltHighLimit);
  w.U32s(r.VoltFactor);
  w.I16s(r.FanDivisor);
  w.I16s(r.FanLimitCount);
  w.U32s(r.TempHyst);
  w.U32s(r.TempLimit);
  for (char c : r.Password) w.U8(static_cast<uint8_t>(c));
  w.Bytes(r.ItemEnabled);
  w.Bytes(r.ItemWErr1);
  w.Bytes(r.ItemWErr3);
  w.Bytes(r.ItemBeep);
  w.I16(r.VidDefaultsPending);
  w.I16(r.TempInCelsius);
  w.I16(r.PollInterval);
  return out;
}

std::optional<SettingsRecord> DecodeSettingsRecord(std::span<const uint8_t> bytes) {
  if (bytes.size() < kSettingsRecordSize) return std::nullopt;
  SettingsRecord r;
  Reader in(bytes.first(kSettingsRecordSize));
  in.U32s(r.VoltSliderMin);
  in.U32s(r.VoltSliderMax);
  in.U32s(r.VoltLowLimit);
  in.U32s(r.VoltHighLimit);
  in.U32s(r.VoltFactor);
  in.I16s(r.FanDivisor);
  in.I16s(r.FanLimitCount);
  in.U32s(r.TempHyst);
  in.U32s(r.TempLimit);
  for (char& c : r.Password) c = static_cast<char>(in.U8());
  in.Bytes(r.ItemEnabled);
  in.Bytes(r.ItemWErr1);
  in.Bytes(r.ItemWErr3);
  in.Bytes(r.ItemBeep);
  r.VidDefaultsPending = in.I16();
  r.TempInCelsius = in.I16();
  r.PollInterval = in.I16();
  return r;
}

}  // namespace vigilon::items
