// Little-endian encoding of the settings record, walking the one field list.
#include "items/settings_record.h"

#include <bit>

#include "items/settings_fields.h"

namespace vigilon::items {

namespace {

class Writer {
 public:
  explicit Writer(SettingsBytes& out) : out_(out) {}
  void Put(uint8_t v) { out_[pos_++] = v; }
  void Put(char v) { Put(static_cast<uint8_t>(v)); }
  void Put(uint16_t v) {
    Put(static_cast<uint8_t>(v & 0xFF));
    Put(static_cast<uint8_t>(v >> 8));
  }
  void Put(int16_t v) { Put(static_cast<uint16_t>(v)); }
  void Put(uint32_t v) {
    Put(static_cast<uint16_t>(v & 0xFFFF));
    Put(static_cast<uint16_t>(v >> 16));
  }
  template <class T, std::size_t N>
  void Put(const std::array<T, N>& a) {
    for (const T& v : a) Put(v);
  }

 private:
  SettingsBytes& out_;
  std::size_t pos_ = 0;
};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> in) : in_(in) {}
  void Get(uint8_t& v) { v = in_[pos_++]; }
  void Get(char& v) { v = static_cast<char>(in_[pos_++]); }
  void Get(uint16_t& v) {
    uint8_t lo = 0, hi = 0;
    Get(lo);
    Get(hi);
    v = static_cast<uint16_t>(lo | (hi << 8));
  }
  void Get(int16_t& v) {
    uint16_t u = 0;
    Get(u);
    v = static_cast<int16_t>(u);
  }
  void Get(uint32_t& v) {
    uint16_t lo = 0, hi = 0;
    Get(lo);
    Get(hi);
    v = lo | (static_cast<uint32_t>(hi) << 16);
  }
  template <class T, std::size_t N>
  void Get(std::array<T, N>& a) {
    for (T& v : a) Get(v);
  }

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
  ForEachSettingsField([&](const auto& f) { w.Put(r.*f.stored); });
  return out;
}

std::optional<SettingsRecord> DecodeSettingsRecord(std::span<const uint8_t> bytes) {
  if (bytes.size() < kSettingsRecordSize) return std::nullopt;
  SettingsRecord r;
  Reader in(bytes.first(kSettingsRecordSize));
  ForEachSettingsField([&](const auto& f) { in.Get(r.*f.stored); });
  return r;
}

}  // namespace vigilon::items
