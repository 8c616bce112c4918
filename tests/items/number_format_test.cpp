// Display formats, including rounding on the decimal text and independence from the C locale.
#include "items/number_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>

namespace vigilon::items {
namespace {

TEST(FormatFixed, TwoDecimals) {
  struct Case {
    double value;
    const char* text;
  };
  for (const Case& c : {Case{5.0017, "5.00"},
                        {-12.0256, "-12.03"},
                        {3.312, "3.31"},
                        {0, "0.00"},
                        {0.005, "0.01"},
                        {1.005, "1.01"},
                        {-1.005, "-1.01"},
                        {2.675, "2.68"},
                        {9.995, "10.00"},
                        {-0.001, "0.00"},
                        {-0.004999, "0.00"},
                        {77.9, "77.90"},
                        {1234567.891, "1234567.89"},
                        {0.1, "0.10"}}) {
    EXPECT_EQ(FormatFixed(c.value, 2), c.text) << c.value;
  }
}

TEST(FormatFixed, OtherDecimalCounts) {
  EXPECT_EQ(FormatFixed(149.0, 1), "149.0");
  EXPECT_EQ(FormatFixed(85.55, 1), "85.6");
  EXPECT_EQ(FormatFixed(2.5, 0), "3");
  EXPECT_EQ(FormatFixed(-2.5, 0), "-3");
}

TEST(FormatFixed, SinglesUseSevenDigits) {
  // 2.975f is 2.97499990...: as a single it reads 2.975000 and rounds up.
  EXPECT_EQ(FormatFixed(2.975f, 2), "2.98");
  EXPECT_EQ(FormatFixed(static_cast<double>(2.975f), 2), "2.97");
  EXPECT_EQ(FormatFixed(-13.51f, 2), "-13.51");
  EXPECT_EQ(FormatFixed(4.375f, 2), "4.38");
}

TEST(FormatThousands, GroupsOfThree) {
  struct Case {
    double value;
    const char* text;
  };
  for (const Case& c : {Case{2008.93, "2,009"},
                        {168750, "168,750"},
                        {1350000, "1,350,000"},
                        {999.5, "1,000"},
                        {662.0, "662"},
                        {0.4, ""},
                        {0, ""},
                        {-1234.4, "-1,234"},
                        {100, "100"},
                        {1000, "1,000"}}) {
    EXPECT_EQ(FormatThousands(c.value), c.text) << c.value;
  }
}

TEST(FormatWithSign, LeadingSpaceForNonNegative) {
  EXPECT_EQ(FormatWithSign(2009), " 2009");
  EXPECT_EQ(FormatWithSign(0), " 0");
  EXPECT_EQ(FormatWithSign(-5), "-5");
}

TEST(FormatGeneral, ShortestText) {
  EXPECT_EQ(FormatGeneral(-40), "-40");
  EXPECT_EQ(FormatGeneral(260.6), "260.6");
  EXPECT_EQ(FormatGeneral(0.1 + 0.2), "0.3");
  EXPECT_EQ(FormatGeneral(4), "4");
}

TEST(Formats, DoNotDependOnTheCLocale) {
  // A locale with a decimal comma, where one is installed; the C locale otherwise proves less.
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  const bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr ||
                        std::setlocale(LC_NUMERIC, "German_Germany.1252") != nullptr;
  EXPECT_EQ(FormatFixed(5.0017, 2), "5.00");
  EXPECT_EQ(FormatThousands(2008.93), "2,009");
  EXPECT_EQ(FormatGeneral(260.6), "260.6");
  std::setlocale(LC_ALL, saved.c_str());
  if (!switched) GTEST_SKIP() << "no decimal-comma locale installed";
}

}  // namespace
}  // namespace vigilon::items
