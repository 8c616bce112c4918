// The real program where it is attacked: started from a folder whose name the system's code page
// cannot spell, or whose files' paths are longer than MAX_PATH, beside a folder of that name's
// best-fit spelling; and sent messages that name another program's window, or pointers into
// nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"
#include "platform/win32/wide_text.h"

namespace {

using namespace std::chrono_literals;
using e2e::kMainTitle;
using e2e::Process;
using e2e::ProgramFolder;

constexpr const char* kHealthy = "model = ZR420\nsuperio = 0x2E\n";

std::string ParentOf(const std::string& path) {
  return path.substr(0, path.find_last_of('\\'));
}

std::size_t Length(const std::string& utf8) {
  return vigilon::platform::Widen(utf8).size();
}

// "VigilonŁ" spelt in the code page is "VigilonL": the program once ran the driver found there.
// Wine starts no program whose path is longer than MAX_PATH, so the long folder leaves the
// program's own path at 259 characters and the files it writes beyond 260.
TEST(AttacksE2E, AFolderTheCodePageCannotSpellOrLongerThanMaxPathIsTheOneUsed) {
  ProgramFolder decoy("VigilonL", "model = ZR430\nsuperio = 0x2E\n");
  const std::string root = ParentOf(decoy.path());
  const std::string prefix = "Ωmega Łódź 日本語 ";
  const std::size_t fill = 259 - Length(root + "\\" + prefix + "\\vigilon.exe");
  const std::string longName = prefix + std::string(fill, 'a');
  for (const std::string& name : {std::string("VigilonŁ"), longName}) {
    SCOPED_TRACE(name);
    ProgramFolder folder(name, kHealthy);
    if (name == longName) {
      ASSERT_EQ(Length(folder.File("vigilon.exe")), 259u);
      ASSERT_GT(Length(folder.File("zr420.dat.damaged")), 260u);
    }
    folder.Write("zr420.dat", std::string(100, 'x'));  // told at start: the path read is named
    const std::vector<std::string> around = ProgramFolder::Entries(ParentOf(decoy.path()));
    const std::vector<std::string> inDecoy = ProgramFolder::Entries(decoy.path());

    Process program = Process::Start(folder);
    ASSERT_NE(program.pid(), 0u);
    HWND box = e2e::WaitForMessageBox(program);
    ASSERT_NE(box, nullptr);
    const std::string told = e2e::MessageBoxText(box);
    EXPECT_NE(told.find(folder.File("zr420.dat") + "\n"), std::string::npos) << told;
    e2e::PressButton(box, "OK");
    HWND main = e2e::WaitForWindow(program, kMainTitle);
    ASSERT_NE(main, nullptr);
    HWND vcore = e2e::FindControl(main, "lblStatusV(0)");
    EXPECT_TRUE(e2e::WaitUntil([&] { return !e2e::WindowText(vcore).empty(); }, 20s));
    EXPECT_EQ(folder.ChipState()["model"], "ZR420") << "the driver of this folder answers";

    ASSERT_TRUE(e2e::PressButton(main, "&Save Data"));
    EXPECT_TRUE(e2e::WaitUntil([&] { return folder.Read("zr420.dat").size() == 326; }));
    EXPECT_EQ(folder.Read("zr420.dat.damaged"), std::string(100, 'x'));
    ASSERT_TRUE(e2e::PressButton(main, "E&xit"));
    EXPECT_TRUE(program.WaitForExit(20s));

    // The saved file loads cleanly: no message before the main window.
    Process again = Process::Start(folder);
    ASSERT_NE(e2e::WaitForWindow(again, kMainTitle), nullptr);
    EXPECT_EQ(e2e::WaitForMessageBox(again, 0ms), nullptr);
    again.Kill();

    EXPECT_EQ(ProgramFolder::Entries(ParentOf(decoy.path())), around);
    EXPECT_EQ(ProgramFolder::Entries(decoy.path()), inDecoy) << "the sibling was touched";
  }
}

// Another program names its own window, carrying the property the program's controls carry, or
// a pointer into nothing, in messages it posts or sends: the program goes on monitoring.
TEST(AttacksE2E, AnotherProgramsWindowOrPointerIsNeverTakenForTheProgramsOwn) {
  ProgramFolder folder("foreign", kHealthy);
  Process program = Process::Start(folder);
  HWND main = e2e::WaitForWindow(program, kMainTitle);
  ASSERT_NE(main, nullptr);
  HWND vcore = e2e::FindControl(main, "lblStatusV(0)");
  ASSERT_TRUE(e2e::WaitUntil([&] { return !e2e::WindowText(vcore).empty(); }, 20s));
  const std::string before = e2e::WindowText(vcore);

  HWND planted = CreateWindowExW(0, L"STATIC", L"planted", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
  ASSERT_NE(planted, nullptr);
  SetPropW(planted, L"VigilonPeer", reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1234)));
  const auto nowhere = static_cast<LPARAM>(0x1234);
  PostMessageW(main, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), reinterpret_cast<LPARAM>(planted));
  PostMessageW(main, WM_HSCROLL, SB_THUMBPOSITION, reinterpret_cast<LPARAM>(planted));
  PostMessageW(main, WM_NOTIFY, 1, nowhere);
  PostMessageW(main, WM_DPICHANGED, MAKEWPARAM(192, 192), nowhere);
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(main, WM_NOTIFY, 1, nowhere, SMTO_ABORTIFHUNG, 5000, &answer);

  // Still running, and still reading the chip.
  folder.Write("kestrel.ini", std::string(kHealthy) + "vcore = 1.9\n");
  EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowText(vcore) != before; }, 20s));
  EXPECT_TRUE(program.Running());
  DestroyWindow(planted);
}

}  // namespace
