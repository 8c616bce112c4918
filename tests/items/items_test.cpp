// Item availability per chip model and the default limits.
#include "items/items.h"

#include <gtest/gtest.h>

#include <set>

namespace vigilon::items {
namespace {

ItemFlags FlagsOf(std::initializer_list<int> on) {
  ItemFlags f{};
  for (int i : on) f[i] = 1;
  return f;
}

ItemFlags AllBut(std::set<int> off) {
  ItemFlags f{};
  for (int i = 0; i < kItemCount; ++i) f[i] = off.count(i) ? 0 : 1;
  return f;
}

TEST(ItemAvailability, PerModel) {
  struct Case {
    uint8_t chipId;
    ItemFlags present, beepCapable;
  };
  const Case cases[] = {
      {0x10, AllBut({7, 8}), AllBut({7, 8, 12, 13, 14})},
      {0x11, AllBut({7, 8}), AllBut({7, 8, 12, 13, 14})},
      {0x30, AllBut({}), AllBut({})},
      {0x40, AllBut({1, 6, 7, 8, 11, 14, 15}), AllBut({1, 6, 7, 8, 11, 14, 15})},
      {0x21, AllBut({1, 6}), AllBut({1})},
  };
  for (const Case& c : cases) {
    const ItemAvailability a = ItemAvailabilityFor(*chip::ChipTraitsFor(c.chipId));
    EXPECT_EQ(a.ItemPresent, c.present) << std::hex << int(c.chipId);
    EXPECT_EQ(a.ItemBeepCapable, c.beepCapable) << std::hex << int(c.chipId);
  }
}

TEST(ItemTable, IndexAndCaptions) {
  const auto& table = ItemTable();
  for (int i = 0; i < kItemCount; ++i) EXPECT_EQ(table[i].index, i);
  // The spellings differ between the main window and the configuration dialog.
  EXPECT_STREQ(table[2].mainCaption, "+3.3V");
  EXPECT_STREQ(table[2].configCaption, "+  3.3");
  EXPECT_STREQ(table[1].configCaption, "VCoreB");
  EXPECT_STREQ(table[15].configCaption, "Chassis Open");
  EXPECT_STREQ(table[10].warningWindow, "frmFan2");
}

ItemTables DefaultsFor(uint8_t chipId) {
  ItemTables t;
  const ItemAvailability a = ItemAvailabilityFor(*chip::ChipTraitsFor(chipId));
  t.ItemPresent = a.ItemPresent;
  t.ItemBeepCapable = a.ItemBeepCapable;
  LoadDefaultLimits(t);
  return t;
}

TEST(LoadDefaultLimits, FlagsBeforeAvailability) {
  const ItemTables t = DefaultsFor(0x30);  // every item present and beep-capable
  EXPECT_EQ(t.ItemEnabled, FlagsOf({0, 1, 2, 3, 4, 5, 7, 8, 10, 12, 13, 15}));
  EXPECT_EQ(t.ItemBeep, t.ItemEnabled);
  EXPECT_EQ(t.ItemWErr1, AllBut({15}));
  EXPECT_EQ(t.ItemWErr3, FlagsOf({15}));
}

TEST(LoadDefaultLimits, FlagsFollowTheModel) {
  // First model: 5Vsb and Vbat off, temperatures without beep.
  const ItemTables zr410 = DefaultsFor(0x10);
  EXPECT_EQ(zr410.ItemEnabled, FlagsOf({0, 1, 2, 3, 4, 5, 10, 12, 13, 15}));
  EXPECT_EQ(zr410.ItemBeep, FlagsOf({0, 1, 2, 3, 4, 5, 10, 15}));
  // Third model: items 1, 6, 7, 8, 11, 14 and 15 off and silent.
  const ItemTables zr430 = DefaultsFor(0x40);
  EXPECT_EQ(zr430.ItemEnabled, FlagsOf({0, 2, 3, 4, 5, 10, 12, 13}));
  EXPECT_EQ(zr430.ItemBeep, zr430.ItemEnabled);
  const ItemTables zr460 = DefaultsFor(0x21);
  EXPECT_EQ(zr460.ItemEnabled, FlagsOf({0, 2, 3, 4, 5, 7, 8, 10, 12, 13, 15}));
}

TEST(LoadDefaultLimits, LimitTables) {
  const ItemTables t = DefaultsFor(0x30);
  const std::array<float, 10> sliderMin{1, 1, 2.3f, 4, 10, -14, -6, 4, 1.5f, 0};
  const std::array<float, 10> sliderMax{4.1f, 4.1f, 4, 6, 14, -10, -4, 6, 6, 0};
  const std::array<float, 10> low{1.86f,   3.1f,   2.97f,  4.5f,  10.5f,
                                  -13.51f, -5.62f, 4.375f, 2.75f, 0};
  const std::array<float, 10> high{2.26f, 3.8f, 3.63f, 5.5f, 13.5f, -10.52f, -4.36f, 5.625f, 4, 0};
  EXPECT_EQ(t.VoltSliderMin, sliderMin);
  EXPECT_EQ(t.VoltSliderMax, sliderMax);
  EXPECT_EQ(t.VoltLowLimit, low);
  EXPECT_EQ(t.VoltHighLimit, high);
  // Quotients computed in double, then rounded once to single.
  const std::array<float, 10> factor{0.016f,
                                     0.016f,
                                     0.016f,
                                     static_cast<float>(0.016 / 0.595),
                                     static_cast<float>(0.016 / 0.263),
                                     static_cast<float>(0.016 / 0.287),
                                     static_cast<float>(0.016 / 0.664),
                                     static_cast<float>(0.016 / 0.66),
                                     0.016f,
                                     0};
  EXPECT_EQ(t.VoltFactor, factor);
  EXPECT_NEAR(t.VoltFactor[3], 0.0268908, 1e-7);
  EXPECT_NEAR(t.VoltFactor[7], 0.0242424, 1e-7);

  EXPECT_EQ(t.FanDivisor, (std::array<int16_t, 4>{8, 8, 8, 0}));
  EXPECT_EQ(t.FanLimitCount, (std::array<int16_t, 4>{168, 84, 84, 0}));
  EXPECT_EQ(t.TempLimit, (std::array<float, 4>{65, 85, 65, 0}));
  EXPECT_EQ(t.TempHyst, (std::array<float, 4>{60, 80, 60, 0}));
  EXPECT_EQ(t.Password, "        ");
  EXPECT_EQ(t.VidDefaultsPending, kTrue);
  EXPECT_EQ(t.TempInCelsius, kTrue);
  EXPECT_EQ(t.PollInterval, 4);
}

TEST(LoadDefaultLimits, ReplacesEveryEarlierValue) {
  ItemTables t = DefaultsFor(0x30);
  const ItemTables fresh = t;
  t.VoltLowLimit[3] = 1;
  t.FanLimitCount[1] = 3;
  t.TempHyst[2] = 7;
  t.ItemWErr3.fill(2);
  t.Password = "secret";
  t.VidDefaultsPending = kFalse;
  t.TempInCelsius = kFalse;
  t.PollInterval = 60;
  LoadDefaultLimits(t);
  EXPECT_EQ(t.VoltLowLimit, fresh.VoltLowLimit);
  EXPECT_EQ(t.FanLimitCount, fresh.FanLimitCount);
  EXPECT_EQ(t.TempHyst, fresh.TempHyst);
  EXPECT_EQ(t.ItemWErr3, fresh.ItemWErr3);
  EXPECT_EQ(t.Password, fresh.Password);
  EXPECT_EQ(t.VidDefaultsPending, kTrue);
  EXPECT_EQ(t.TempInCelsius, kTrue);
  EXPECT_EQ(t.PollInterval, 4);
}

}  // namespace
}  // namespace vigilon::items
