// The Win32 platform services and the kestrel.dll binding, under Wine: the program folder,
// file lookup without regard to case, the single-instance marker, and loading the driver.
#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "platform/win32/kestrel_port_io.h"
#include "support/windows_path.h"

namespace vigilon::platform {
namespace {

using test::WindowsPath;

TEST(Win32Platform, ProgramFolderAndFilesInIt) {
  Win32Platform platform;
  const std::string folder = platform.ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_EQ(platform.PathSeparator(), '\\');

  const std::string marker = folder + "\\Debug for TALV.TAG";
  DeleteFileA(marker.c_str());
  EXPECT_FALSE(platform.FileExistsInProgramFolder("\\Debug for TALV.TAG"));
  { std::ofstream(marker) << ""; }
  EXPECT_TRUE(platform.FileExistsInProgramFolder("\\Debug for TALV.TAG"));
  EXPECT_TRUE(platform.FileExistsInProgramFolder("\\DEBUG FOR talv.tag"));
  EXPECT_TRUE(platform.FileExistsInProgramFolder("debug for talv.tag"));
  DeleteFileA(marker.c_str());
  // A folder of that name is not the marker file.
  CreateDirectoryA(marker.c_str(), nullptr);
  EXPECT_FALSE(platform.FileExistsInProgramFolder("\\Debug for TALV.TAG"));
  RemoveDirectoryA(marker.c_str());
}

TEST(Win32Platform, OnlyTheFirstCopyOwnsTheInstanceMarker) {
  Win32Platform first;
  EXPECT_FALSE(first.AnotherInstanceRunning());
  EXPECT_FALSE(first.AnotherInstanceRunning()) << "asking again does not change the answer";
  {
    Win32Platform second;
    EXPECT_TRUE(second.AnotherInstanceRunning());
  }
}

TEST(Win32Platform, IconFilesLoadFromTheProgramFolder) {
  Win32Platform platform;
  const std::string copy = platform.ProgramFolder() + "\\test-eye.ico";
  ASSERT_TRUE(CopyFileA(WindowsPath(VIGILON_TEST_ICON).c_str(), copy.c_str(), FALSE));
  const IconHandle icon = platform.LoadIconFile("\\test-eye.ico");
  ASSERT_NE(icon, 0u);
  ICONINFO info{};
  EXPECT_TRUE(GetIconInfo(reinterpret_cast<HICON>(static_cast<uintptr_t>(icon)), &info));
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  platform.DestroyIcon(icon);
  DeleteFileA(copy.c_str());

  EXPECT_EQ(platform.LoadIconFile("\\no such icon.ico"), 0u);
  platform.DestroyIcon(0);  // nothing to destroy: must not fail
}

TEST(KestrelBinding, MissingLibraryOrExportIsALoadFailure) {
  KestrelPortIo missing("Z:\\nowhere\\kestrel.dll");
  EXPECT_NE(missing.LoadKestrelVxD(), 0);
  // Every later call is harmless after a failed load.
  EXPECT_EQ(missing.InPortB(0x2F), 0xFF);
  missing.OutPortB(0x2E, 0x87);
  EXPECT_EQ(missing.EnablePri(), 0);

  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  KestrelPortIo wrongLibrary(std::string(system) + "\\kernel32.dll");
  EXPECT_NE(wrongLibrary.LoadKestrelVxD(), 0);
}

TEST(KestrelBinding, DriverInItsFolderAnswersThroughAllExports) {
  // A folder of its own, so the driver reads no kestrel.ini and simulates a healthy chip.
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "vigilon-binding-test";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string dll = folder + "\\kestrel.dll";
  ASSERT_TRUE(CopyFileA(WindowsPath(VIGILON_TEST_KESTREL_DLL).c_str(), dll.c_str(), FALSE));
  DeleteFileA((folder + "\\kestrel.ini").c_str());

  KestrelPortIo driver(dll);
  ASSERT_EQ(driver.LoadKestrelVxD(), 0);
  // The Super-I/O device answers its identifier after the entry key.
  driver.OutPortB(0x2E, 0x87);
  driver.OutPortB(0x2E, 0x87);
  driver.OutPortB(0x2E, 0x20);
  EXPECT_EQ(driver.InPortB(0x2F), 0x52);
  EXPECT_EQ(driver.InitialBus(1, 0x5A, 0x92, 0x90), 0);
}

}  // namespace
}  // namespace vigilon::platform
