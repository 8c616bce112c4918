// The settings record's byte layout.
#include "items/settings_record.h"

#include <gtest/gtest.h>

#include <cmath>

#include "items/items.h"
#include "items/settings_file.h"
#include "settings_test_support.h"

namespace vigilon::items {
namespace {

using namespace test_data;

TEST(SettingsRecord, DefaultsEncodeToTheKnownImage) {
  ItemTables t;
  const ItemAvailability a = ItemAvailabilityFor(*chip::ChipTraitsFor(0x30));
  t.ItemPresent = a.ItemPresent;
  t.ItemBeepCapable = a.ItemBeepCapable;
  LoadDefaultLimits(t);
  SettingsRecord r;
  StoreSettingsRecord(t, r);
  const SettingsBytes bytes = EncodeSettingsRecord(r);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), FromHex(kDefaultsZr420Hex));
}

TEST(SettingsRecord, FieldsDecodeFromTheirOffsets) {
  std::vector<uint8_t> b(kSettingsRecordSize, 0);
  PutU32(b, kOffVoltSliderMin + 4 * 8, 0x3FC00000);  // 1.5
  PutU32(b, kOffVoltSliderMax + 4 * 9, 0x7FA00001);  // signalling NaN in the unused entry
  PutU32(b, kOffVoltLowLimit, 0x40000000);           // 2
  PutU32(b, kOffVoltHighLimit + 4, 0xC0400000);      // -3
  PutU32(b, kOffVoltFactor + 4 * 3, 0x3C83126F);     // 0.016
  PutU16(b, kOffFanDivisor + 2 * 2, 0xFFFE);         // -2
  PutU16(b, kOffFanLimitCount + 2 * 3, 0x1234);
  PutU32(b, kOffTempHyst + 4, 0x42A00000);       // 80
  PutU32(b, kOffTempLimit + 4 * 2, 0xC2200000);  // -40
  b[kOffPassword] = 'p';
  b[kOffPassword + 7] = '!';
  b[kOffItemEnabled + 15] = 1;
  b[kOffItemWErr1] = 2;
  b[kOffItemWErr3 + 3] = 1;
  b[kOffItemBeep + 9] = 0xFF;
  PutU16(b, kOffVidDefaultsPending, 0xFFFF);
  PutU16(b, kOffTempInCelsius, 0);
  PutU16(b, kOffPollInterval, 0x0078);

  const auto r = DecodeSettingsRecord(b);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(SingleFromBits(r->VoltSliderMin[8]), 1.5f);
  EXPECT_EQ(r->VoltSliderMax[9], 0x7FA00001u);
  EXPECT_EQ(SingleFromBits(r->VoltLowLimit[0]), 2.0f);
  EXPECT_EQ(SingleFromBits(r->VoltHighLimit[1]), -3.0f);
  EXPECT_EQ(SingleFromBits(r->VoltFactor[3]), 0.016f);
  EXPECT_EQ(r->FanDivisor[2], -2);
  EXPECT_EQ(r->FanLimitCount[3], 0x1234);
  EXPECT_EQ(SingleFromBits(r->TempHyst[1]), 80.0f);
  EXPECT_EQ(SingleFromBits(r->TempLimit[2]), -40.0f);
  EXPECT_EQ(r->Password[0], 'p');
  EXPECT_EQ(r->Password[7], '!');
  EXPECT_EQ(r->ItemEnabled[15], 1);
  EXPECT_EQ(r->ItemWErr1[0], 2);
  EXPECT_EQ(r->ItemWErr3[3], 1);
  EXPECT_EQ(r->ItemBeep[9], 0xFF);
  EXPECT_EQ(r->VidDefaultsPending, -1);
  EXPECT_EQ(r->TempInCelsius, 0);
  EXPECT_EQ(r->PollInterval, 120);

  const SettingsBytes again = EncodeSettingsRecord(*r);
  EXPECT_EQ(std::vector<uint8_t>(again.begin(), again.end()), b);
}

TEST(SettingsRecord, AnyBytesRoundTripExactly) {
  std::vector<uint8_t> b(kSettingsRecordSize + 10);
  uint32_t x = 12345;
  for (uint8_t& v : b) {
    x = x * 1103515245u + 12345u;
    v = static_cast<uint8_t>(x >> 16);
  }
  const auto r = DecodeSettingsRecord(b);
  ASSERT_TRUE(r.has_value());
  const SettingsBytes again = EncodeSettingsRecord(*r);
  EXPECT_TRUE(std::equal(again.begin(), again.end(), b.begin()));
}

TEST(SettingsRecord, ShortInputIsRejected) {
  for (std::size_t n :
       {std::size_t{0}, std::size_t{1}, std::size_t{200}, kSettingsRecordSize - 1}) {
    const std::vector<uint8_t> b(n, 0);
    EXPECT_FALSE(DecodeSettingsRecord(b).has_value()) << n;
  }
  EXPECT_TRUE(DecodeSettingsRecord(std::vector<uint8_t>(kSettingsRecordSize, 0)).has_value());
}

}  // namespace
}  // namespace vigilon::items
