// kestrel.ini parsing: every key, comments and line ends, each kind of error with its line
// number, and the missing file.
#include "kestrel/kestrel_ini.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace kestrel {
namespace {

sim::Config ParseOk(std::string_view text) {
  auto result = ParseKestrelIni(text);
  if (const IniError* error = std::get_if<IniError>(&result)) {
    ADD_FAILURE() << "line " << error->line << ": " << error->problem;
    return {};
  }
  return std::get<sim::Config>(result);
}

TEST(KestrelIni, EveryKeyIsRead) {
  const sim::Config c = ParseOk(
      "\xEF\xBB\xBF; a ZR460 with everything set\r\n"
      "Model = zr460\r\n"
      "SUPERIO=0x4e\r\n"
      "base = 0x0A35   ; low bits are the chip's business\r\n"
      "active = 0\n"
      "vendor_id = 0xA35C\n"
      "chip_id = 17\n"
      "superio_id = 0x61\n"
      "superio_revision = 0x02\n"
      "\n"
      "# rails\n"
      "vid = 31\n"
      "vcore = 1.75\n"
      "vcoreb = +3.5\n"
      "v3_3 = 3.31\n"
      "v5 = 4.9\n"
      "v12 = 12.5\n"
      "vn12 = -11.5\n"
      "vn5 = -5.1\n"
      "v5sb = 5.05\n"
      "vbat = 2.9\n"
      "fan1 = 0\n"
      "fan2 = 2500.5\n"
      "fan3 = 100000\n"
      "temp1 = -40\n"
      "temp2 = 25.5\n"
      "temp3 = 127\n"
      "chassis = OPEN\n"
      "fault_load = 1\n"
      "fault_bus = 1\n"
      "fault_no_chip = 1\n"
      "fault_shutdown_refused = 1");
  EXPECT_EQ(c.model, sim::Model::ZR460);
  EXPECT_EQ(c.superIoPort, 0x4E);
  EXPECT_EQ(c.monitorBase, 0x0A35);
  EXPECT_FALSE(c.monitorActive);
  EXPECT_EQ(c.vendorId, uint16_t{0xA35C});
  EXPECT_EQ(c.chipId, uint8_t{17});
  EXPECT_EQ(c.superIoId, 0x61);
  EXPECT_EQ(c.superIoRevision, 0x02);
  EXPECT_EQ(c.vid, 31);
  const std::array<double, 9> volts{1.75, 3.5, 3.31, 4.9, 12.5, -11.5, -5.1, 5.05, 2.9};
  EXPECT_EQ(c.sensors.volts, volts);
  const std::array<double, 3> rpm{0, 2500.5, 100000};
  EXPECT_EQ(c.sensors.rpm, rpm);
  const std::array<double, 3> celsius{-40, 25.5, 127};
  EXPECT_EQ(c.sensors.celsius, celsius);
  EXPECT_TRUE(c.sensors.chassisOpen);
  EXPECT_TRUE(c.loadFails);
  EXPECT_TRUE(c.busInitFails);
  EXPECT_TRUE(c.noChip);
  EXPECT_TRUE(c.shutdownRefused);
}

TEST(KestrelIni, UnsetKeysKeepTheHealthyDefaults) {
  const sim::Config defaults = DefaultKestrelConfig();
  EXPECT_EQ(defaults.model, sim::Model::ZR420);
  EXPECT_EQ(defaults.superIoPort, 0x2E);
  EXPECT_EQ(defaults.monitorBase, 0x290);
  EXPECT_TRUE(defaults.monitorActive);
  EXPECT_FALSE(defaults.loadFails || defaults.busInitFails || defaults.noChip ||
               defaults.shutdownRefused || defaults.sensors.chassisOpen);

  for (std::string_view text : {"", "\n\n", "; only a comment\n# and another", "   \r\n"}) {
    const sim::Config c = ParseOk(text);
    EXPECT_EQ(c.model, defaults.model);
    EXPECT_EQ(c.sensors.volts, defaults.sensors.volts);
    EXPECT_EQ(c.superIoPort, defaults.superIoPort);
  }
  const sim::Config partial = ParseOk("model = ZR410\nsuperio = none\n");
  EXPECT_EQ(partial.model, sim::Model::ZR410);
  EXPECT_EQ(partial.superIoPort, 0);
  EXPECT_EQ(partial.monitorBase, 0x290);
  EXPECT_FALSE(partial.vendorId.has_value());
  EXPECT_FALSE(partial.chipId.has_value());
}

TEST(KestrelIni, DecimalAndHexNumbers) {
  EXPECT_EQ(ParseOk("base = 656").monitorBase, 0x290);
  EXPECT_EQ(ParseOk("base = 0X290").monitorBase, 0x290);
  EXPECT_EQ(ParseOk("base = 0x100").monitorBase, 0x100);
  EXPECT_EQ(ParseOk("superio = 78").superIoPort, 0x4E);
  EXPECT_EQ(ParseOk("chip_id = 0x11").chipId, uint8_t{0x11});
}

TEST(KestrelIni, ErrorsNameTheLineAndTheProblem) {
  struct Case {
    const char* text;
    int line;
    const char* problem;  // a part of the message
  };
  const Case cases[] = {
      {"model = ZR420\n\nfan4 = 3000\n", 3, "unknown key 'fan4'"},
      {"; header\nvcore 2.0\n", 2, "'vcore 2.0' is not of the form key = value"},
      {"v5 = five\n", 1, "'five' is not a number (v5)"},
      {"v5 = 5.0.1\n", 1, "not a number"},
      {"fan1 = 3000rpm\n", 1, "'3000rpm' is not a number (fan1)"},
      {"base = 0x\n", 1, "not a number"},
      {"base = 0x2G0\n", 1, "not a number"},
      {"vcore = nan\n", 1, "not a number"},
      {"vid = 32\n", 1, "vid = 32 is out of range 0..31"},
      {"base = 0x10000\n", 1, "out of range 0x0..0xFFFF"},
      {"base = 0\n", 1, "base = 0 is below 0x100"},
      {"; the pair would be 0x65/0x66\nbase = 0x0060\n", 2, "base = 0x0060 is below 0x100"},
      {"base = 0x2A\n", 1, "below 0x100"},
      {"base = 255\n", 1, "below 0x100"},
      {"chip_id = 256\n", 1, "out of range 0..255"},
      {"superio_revision = -1\n", 1, "out of range"},
      {"vendor_id = 99999999999999999999\n", 1, "out of range"},
      {"fan2 = -5\n", 1, "fan2 = -5 is out of range 0..100000"},
      {"\n\n\n\ntemp3 = 130\n", 5, "temp3 = 130 is out of range -128..127"},
      {"v12 = 25\n", 1, "v12 = 25 is out of range -20..20"},
      {"model = ZR999\n", 1, "model must be ZR410, ZR420, ZR430 or ZR460, not 'ZR999'"},
      {"superio = 0x3E\n", 1, "superio must be 0x2E, 0x4E or none, not '0x3E'"},
      {"superio = maybe\n", 1, "superio must be"},
      {"chassis = ajar\n", 1, "chassis must be open or closed, not 'ajar'"},
      {"fault_load = 2\n", 1, "fault_load must be 0 or 1, not '2'"},
      {"active = yes\n", 1, "active must be 0 or 1, not 'yes'"},
      {"model = ZR420\r\nMODEL = ZR410\r\n", 2, "'model' is already set on line 1"},
      {"v5 =\n", 1, "missing value for 'v5'"},
      {"v5 = ; nothing left\n", 1, "missing value for 'v5'"},
      {" = 5\n", 1, "missing key before '='"},
  };
  for (const Case& c : cases) {
    auto result = ParseKestrelIni(c.text);
    const IniError* error = std::get_if<IniError>(&result);
    ASSERT_NE(error, nullptr) << c.text;
    EXPECT_EQ(error->line, c.line) << c.text;
    EXPECT_NE(error->problem.find(c.problem), std::string::npos)
        << c.text << " gave: " << error->problem;
  }
}

// A value of any length is repeated only in part: no line makes a message of its own size.
TEST(KestrelIni, AnErrorRepeatsAtMostEightyCharactersOfAValue) {
  const std::string huge(100000, '7');
  for (const std::string& text :
       {"fan1 = x" + huge, "model = " + huge, huge, "k" + huge + " = 1", "base = " + huge}) {
    const auto result = ParseKestrelIni(text);
    const IniError* error = std::get_if<IniError>(&result);
    ASSERT_NE(error, nullptr);
    EXPECT_LT(error->problem.size(), kEchoLimit + 80) << error->problem.substr(0, 200);
    EXPECT_NE(error->problem.find(std::string(kEchoLimit - 3 - 1, '7') + "..."), std::string::npos)
        << error->problem.substr(0, 200);
  }
}

TEST(KestrelIni, ErrorDescriptionNamesFileAndLine) {
  EXPECT_EQ(DescribeIniError("C:\\vigilon\\kestrel.ini", IniError{4, "unknown key 'x'"}),
            "C:\\vigilon\\kestrel.ini, line 4: unknown key 'x'");
  EXPECT_EQ(DescribeIniError("kestrel.ini", IniError{0, "cannot be read"}),
            "kestrel.ini: cannot be read");
}

class KestrelIniFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("kestrel_ini_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(KestrelIniFile, MissingFileMeansTheDefaultChip) {
  auto result = LoadKestrelIni(dir_ / "kestrel.ini");
  ASSERT_TRUE(std::holds_alternative<sim::Config>(result));
  const sim::Config& c = std::get<sim::Config>(result);
  EXPECT_EQ(c.model, sim::Model::ZR420);
  EXPECT_EQ(c.superIoPort, 0x2E);
  EXPECT_EQ(c.monitorBase, 0x290);
}

TEST_F(KestrelIniFile, FileIsReadAndErrorsKeepTheirLine) {
  const auto file = dir_ / "kestrel.ini";
  std::ofstream(file) << "model = ZR430\r\ntemp1 = 55\r\n";
  auto good = LoadKestrelIni(file);
  ASSERT_TRUE(std::holds_alternative<sim::Config>(good));
  EXPECT_EQ(std::get<sim::Config>(good).model, sim::Model::ZR430);
  EXPECT_EQ(std::get<sim::Config>(good).sensors.celsius[0], 55);

  std::ofstream(file) << "model = ZR430\r\ntemp1 = hot\r\n";
  auto bad = LoadKestrelIni(file);
  ASSERT_TRUE(std::holds_alternative<IniError>(bad));
  EXPECT_EQ(std::get<IniError>(bad).line, 2);

  // A file longer than any configuration is refused whole, unread.
  std::ofstream(file) << "model = ZR430\n;" << std::string(kIniFileLimit, 'x');
  auto large = LoadKestrelIni(file);
  ASSERT_TRUE(std::holds_alternative<IniError>(large));
  EXPECT_EQ(std::get<IniError>(large).line, 0);
  EXPECT_NE(std::get<IniError>(large).problem.find("64 KiB"), std::string::npos);
}

#ifdef KESTREL_SOURCE_DIR
TEST(KestrelIni, ShippedFilesAreValid) {
  struct Case {
    const char* file;
    sim::Model model;
    uint16_t superIo;
  };
  const std::filesystem::path dir = KESTREL_SOURCE_DIR;
  for (const Case& c : {Case{"kestrel.ini", sim::Model::ZR420, 0x2E},
                        Case{"examples/zr410.ini", sim::Model::ZR410, 0},
                        Case{"examples/zr420.ini", sim::Model::ZR420, 0x2E},
                        Case{"examples/zr430.ini", sim::Model::ZR430, 0x2E},
                        Case{"examples/zr460.ini", sim::Model::ZR460, 0x4E}}) {
    ASSERT_TRUE(std::filesystem::exists(dir / c.file)) << c.file;
    auto result = LoadKestrelIni(dir / c.file);
    if (const IniError* error = std::get_if<IniError>(&result)) {
      ADD_FAILURE() << DescribeIniError(c.file, *error);
      continue;
    }
    const sim::Config& config = std::get<sim::Config>(result);
    EXPECT_EQ(config.model, c.model) << c.file;
    EXPECT_EQ(config.superIoPort, c.superIo) << c.file;
    EXPECT_FALSE(config.loadFails || config.busInitFails || config.noChip ||
                 config.shutdownRefused || config.sensors.chassisOpen)
        << c.file << " should be healthy";
  }
}
#endif

}  // namespace
}  // namespace kestrel
