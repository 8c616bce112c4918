// The file implementations on a real disk: whole-file reads and atomic replacement, natively
// over the standard library and, in the Windows build, over Win32 as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include "items/settings_file.h"
#include "settings_test_support.h"

#ifdef _WIN32
#include "platform/win32/settings_files_win32.h"
#endif

namespace vigilon::items {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

struct Impl {
  const char* name;
  std::function<std::unique_ptr<SettingsFiles>()> make;
};

void PrintTo(const Impl& impl, std::ostream* os) {
  *os << impl.name;
}

std::string PrintImpl(const ::testing::TestParamInfo<Impl>& info) {
  return info.param.name;
}

class SettingsFilesOnDisk : public ::testing::TestWithParam<Impl> {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           (std::string("vigilon-items-") + info->name() + "-" + GetParam().name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    files_ = GetParam().make();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Folder() const { return dir_.string(); }
  std::string PathOf(const std::string& name) const { return Folder() + kSeparator + name; }
  static std::vector<uint8_t> Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  // Nothing but the named files is left in the folder: no temporary file survives.
  void ExpectOnlyFiles(std::vector<std::string> names) const {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir_))
      found.push_back(e.path().filename().string());
    std::sort(found.begin(), found.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(found, names);
  }

  fs::path dir_;
  std::unique_ptr<SettingsFiles> files_;
};

TEST_P(SettingsFilesOnDisk, ReadsWholeFilesAndTellsMissingFromBroken) {
  const std::string path = PathOf("zr420.dat");
  EXPECT_EQ(files_->ReadWholeFile(path).status, FileReadResult::Status::Missing);
  const std::vector<uint8_t> bytes{0, 1, 2, 0x1A, 0x0D, 0x0A, 0xFF};  // no text-mode translation
  Write(path, bytes);
  const FileReadResult read = files_->ReadWholeFile(path);
  EXPECT_EQ(read.status, FileReadResult::Status::Ok);
  EXPECT_EQ(read.bytes, bytes);
  // A folder in the file's place is neither missing nor readable, and says so.
  fs::create_directory(PathOf("zr430.dat"));
  const FileReadResult folder = files_->ReadWholeFile(PathOf("zr430.dat"));
  EXPECT_EQ(folder.status, FileReadResult::Status::Folder);
  EXPECT_FALSE(folder.error.empty());
}

TEST_P(SettingsFilesOnDisk, ReplaceCreatesAndReplacesLeavingNoTemporaryFile) {
  const std::string path = PathOf("zr420.dat");
  const std::vector<uint8_t> first(326, 0x11), second{1, 2, 3};
  EXPECT_EQ(files_->ReplaceFileContents(path, first), std::nullopt);
  EXPECT_EQ(Contents(path), first);
  EXPECT_EQ(files_->ReplaceFileContents(path, second), std::nullopt);
  EXPECT_EQ(Contents(path), second);
  ExpectOnlyFiles({"zr420.dat"});
}

TEST_P(SettingsFilesOnDisk, AFailedReplaceKeepsTheOldState) {
  // A non-empty folder where the file should be cannot be replaced.
  const std::string blocked = PathOf("ZR460.dat");
  fs::create_directory(blocked);
  Write(blocked + kSeparator + "inside", {42});
  const auto error = files_->ReplaceFileContents(blocked, std::vector<uint8_t>(326, 1));
  ASSERT_TRUE(error.has_value());
  EXPECT_FALSE(error->empty());
  EXPECT_TRUE(fs::is_directory(blocked));
  EXPECT_EQ(Contents(blocked + kSeparator + "inside"), std::vector<uint8_t>{42});
  ExpectOnlyFiles({"ZR460.dat"});

  // A folder that does not exist cannot take the file at all.
  const std::string nowhere = PathOf("absent") + kSeparator + "zr410.dat";
  EXPECT_TRUE(files_->ReplaceFileContents(nowhere, std::vector<uint8_t>(326, 1)).has_value());
  EXPECT_FALSE(fs::exists(PathOf("absent")));
}

// Makes `link` point at `target`; false where the system does not let this user make links.
bool MakeLink(const fs::path& target, const fs::path& link) {
  std::error_code ec;
  fs::create_symlink(target, link, ec);
  return !ec;
}

TEST_P(SettingsFilesOnDisk, ANewFileTakesNoNameThatExistsAndFollowsNoLink) {
  const std::vector<uint8_t> victim{'k', 'e', 'e', 'p'};
  const std::string outside = PathOf("elsewhere.ini");
  Write(outside, victim);
  Write(PathOf("taken"), {7});
  fs::create_directory(PathOf("folder"));
  const std::vector<uint8_t> bytes(326, 0x42);
  EXPECT_EQ(files_->CreateNewFile(PathOf("taken"), bytes).status, CreateResult::Status::NameTaken);
  EXPECT_EQ(Contents(PathOf("taken")), std::vector<uint8_t>{7});
  EXPECT_EQ(files_->CreateNewFile(PathOf("folder"), bytes).status, CreateResult::Status::NameTaken);
  EXPECT_EQ(files_->CreateNewFile(PathOf("fresh"), bytes).status, CreateResult::Status::Created);
  EXPECT_EQ(Contents(PathOf("fresh")), bytes);

  // A save passes over a temporary file a crash left, and over a link planted in its place,
  // and once it has succeeded removes them both: the link itself, not what it names.
  const std::string path = PathOf("zr420.dat");
  Write(path, {1, 2, 3});
  Write(SaveTemporaryName(path, 0), {9});
  const bool linked = MakeLink(outside, SaveTemporaryName(path, 1));
  if (linked) {
    // Nor does a new file of the link's own name write through it.
    EXPECT_EQ(files_->CreateNewFile(SaveTemporaryName(path, 1), bytes).status,
              CreateResult::Status::NameTaken);
  }
  EXPECT_EQ(files_->ReplaceFileContents(path, bytes), std::nullopt);
  EXPECT_EQ(Contents(path), bytes);
  EXPECT_EQ(Contents(outside), victim);
  EXPECT_FALSE(fs::exists(fs::symlink_status(SaveTemporaryName(path, 0))));
  EXPECT_FALSE(fs::exists(fs::symlink_status(SaveTemporaryName(path, 1))));

  // Every temporary name taken by crashes no longer blocks a save.
  for (int n = 0; n < kSaveTemporaryNames; ++n) Write(SaveTemporaryName(path, n), {9});
  const std::vector<uint8_t> later(326, 0x43);
  EXPECT_EQ(files_->ReplaceFileContents(path, later), std::nullopt);
  EXPECT_EQ(Contents(path), later);
  ExpectOnlyFiles({"elsewhere.ini", "folder", "fresh", "taken", "zr420.dat"});
}

// A file far larger than any settings file is refused unread, whatever it holds.
TEST_P(SettingsFilesOnDisk, AnInputFileLargerThanTheLimitIsNotRead) {
  const std::string path = PathOf("zr420.dat");
  Write(path, std::vector<uint8_t>(kInputFileLimit, 0x11));
  EXPECT_EQ(files_->ReadWholeFile(path).bytes.size(), kInputFileLimit);
  Write(path, std::vector<uint8_t>(kInputFileLimit + 1, 0x11));
  const FileReadResult large = files_->ReadWholeFile(path);
  EXPECT_EQ(large.status, FileReadResult::Status::Failed);
  EXPECT_TRUE(large.bytes.empty());
  EXPECT_EQ(large.error, kInputFileTooLarge);
}

TEST_P(SettingsFilesOnDisk, SaveAndLoadThroughTheRealFile) {
  const SettingsLocation where{Folder(), kSeparator, chip::ChipTraitsFor(0x21)};
  ItemTables t;
  const ItemAvailability a = ItemAvailabilityFor(*chip::ChipTraitsFor(0x21));
  t.ItemPresent = a.ItemPresent;
  t.ItemBeepCapable = a.ItemBeepCapable;
  EXPECT_EQ(LoadSettingsFile(t, *files_, where).source,
            SettingsLoadReport::Source::DefaultsMissing);
  t.TempLimit[1] = 70.5f;
  t.TempHyst[1] = 65.5f;
  t.Password = "pw";
  ASSERT_TRUE(SaveSettingsFile(t, *files_, where).saved);
  const std::string path = PathOf("ZR460.dat");
  std::vector<uint8_t> onDisk = Contents(path);
  ASSERT_EQ(onDisk.size(), kSettingsRecordSize);

  // Bytes after the record survive a save.
  onDisk.insert(onDisk.end(), {'t', 'a', 'i', 'l'});
  Write(path, onDisk);
  ItemTables again = t;
  EXPECT_EQ(LoadSettingsFile(again, *files_, where).source, SettingsLoadReport::Source::File);
  EXPECT_EQ(again.TempLimit[1], 70.5f);
  EXPECT_EQ(again.Password, "pw      ");
  ASSERT_TRUE(SaveSettingsFile(again, *files_, where).saved);
  EXPECT_EQ(Contents(path), onDisk);
  ExpectOnlyFiles({"ZR460.dat"});
}

std::vector<Impl> Implementations() {
  std::vector<Impl> impls{{"Std", [] { return std::make_unique<StdSettingsFiles>(); }}};
#ifdef _WIN32
  impls.push_back({"Win32", [] { return platform::NewWin32SettingsFiles(); }});
#endif
  return impls;
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsFilesOnDisk, ::testing::ValuesIn(Implementations()),
                         PrintImpl);

}  // namespace
}  // namespace vigilon::items
