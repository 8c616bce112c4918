// The Win32 peers in-process (Windows build, under Wine): model changes reach the native
// windows without raising events, native input reaches the model's setters, and unloading
// takes the windows away.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first
#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/fake_platform.h"
#include "ui/controls.h"
#include "ui/win32/win32_runtime.h"

namespace vigilon::ui {
namespace {

using Log = std::vector<std::string>;

class PeerForm : public Form {
 public:
  PeerForm(Runtime& runtime, Log* log)
      : Form(runtime, FormArgs("frmPeers", "Peers", 6000, 4000)), log_(*log) {
    Create({
        {fra, Args("fra").Caption("Frame").At(120, 120, 3000, 2000)},
        {fraBack, Args("fraBack").Caption("Other page").At(120, 120, 3000, 2000)},
        {lbl, Args("lbl").Caption("0.00").At(120, 300, 1200, 255).In("fra").Back(0xFF00)},
        {chk, Args("chk").Caption("Enable").At(120, 700, 1500, 255).In("fra")},
        {opt[0], Args("opt(0)").Caption("C").At(120, 1100, 900, 255).In("fra")},
        {opt[1], Args("opt(1)").Caption("F").At(1200, 1100, 900, 255).In("fra")},
        {upd, Args("upd").At(3300, 120, 255, 330)},
        {sld, Args("sld").At(3300, 600, 2400, 400)},
        {prb, Args("prb").At(3300, 1100, 2400, 255)},
        {scr, Args("scr").At(3300, 1500, 2400, 255)},
        {txt, Args("txt").At(3300, 1900, 1200, 300)},
        {tabs, Args("tabs").At(120, 2300, 3000, 1000)},
        {cmd, Args("cmd").Caption("&Go").At(3300, 2400, 1185, 345)},
        {tmr, Args("tmr")},
        {tmr2, Args("tmr2")},
        {mFile, Args("mFile").Caption("&File")},
        {mGo, Args("mGo").Caption("&Go").In("mFile")},
    });
    tabs.SetTabs({"Voltage", "Fan"});
    upd.onChange = [this] { log_.push_back("upd=" + std::to_string(upd.value())); };
    chk.onClick = [this] { log_.push_back("chk=" + std::to_string(chk.value())); };
    opt[0].onClick = [this] { log_.push_back("opt0"); };
    opt[1].onClick = [this] { log_.push_back("opt1"); };
    scr.onChange = [this] { log_.push_back("scr=" + std::to_string(scr.value())); };
    txt.onChange = [this] { log_.push_back("txt=" + txt.text()); };
    tabs.onClick = [this] { log_.push_back("tab=" + tabs.SelectedCaption()); };
    cmd.onClick = [this] { log_.push_back("cmd"); };
    tmr.onTimer = [this] { log_.push_back("tick"); };
    tmr2.onTimer = [this] { log_.push_back("tock"); };
    mGo.onClick = [this] { log_.push_back("mGo"); };
  }

  HWND Native(const Control& control) const {
    return GetDlgItem(control.parentName().empty() ? Window() : Native(*FindControl("fra")),
                      control.controlId());
  }
  HWND Window() const { return reinterpret_cast<HWND>(static_cast<uintptr_t>(hWnd())); }

  Frame fra, fraBack;
  Label lbl;
  CheckBox chk;
  std::array<OptionButton, 2> opt;
  UpDown upd;
  Slider sld;
  ProgressBar prb;
  HScrollBar scr;
  TextBox txt;
  TabStrip tabs;
  CommandButton cmd;
  Timer tmr, tmr2;
  Menu mFile, mGo;
  bool refuseClose = false;

 protected:
  void Form_QueryUnload(bool& cancel, UnloadMode mode) override {
    log_.push_back("query " + std::to_string(static_cast<int>(mode)));
    cancel = refuseClose;
  }

 private:
  Log& log_;
};

std::string Text(HWND hwnd) {
  char buffer[256] = {};
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

class Win32PeersTest : public ::testing::Test {
 protected:
  platform::FakePlatform fake;
  Win32Runtime runtime{fake};
  Log log;
  FormSlot<PeerForm, Log*> slot{runtime, &log};
};

TEST_F(Win32PeersTest, ModelChangesReachTheWindowsWithoutEvents) {
  PeerForm& form = slot.Get();
  form.Show();
  // Every visible control has its window, found by the identifier of its name.
  for (Control* control : {static_cast<Control*>(&form.lbl), static_cast<Control*>(&form.chk),
                           static_cast<Control*>(&form.upd), static_cast<Control*>(&form.sld),
                           static_cast<Control*>(&form.tabs)}) {
    EXPECT_NE(form.Native(*control), nullptr) << control->name();
  }
  log.clear();

  form.lbl.SetCaption("3.31");
  form.sld.SetMax(100);
  form.sld.SetValue(130);
  form.prb.SetValue(40);
  form.upd.SetValue(7);  // raises the model's change (from code), not a native one
  form.txt.SetText("12");
  form.chk.SetValue(2);
  form.tabs.SetSelectedIndex(1);
  EXPECT_EQ(Text(form.Native(form.lbl)), "3.31");
  EXPECT_EQ(SendMessageA(form.Native(form.sld), TBM_GETPOS, 0, 0), 100) << "thumb on the track";
  EXPECT_EQ(SendMessageA(form.Native(form.prb), PBM_GETPOS, 0, 0), 40);
  EXPECT_EQ(SendMessageA(form.Native(form.upd), UDM_GETPOS32, 0, 0), 7);
  EXPECT_EQ(Text(form.Native(form.txt)), "12");
  EXPECT_EQ(SendMessageA(form.Native(form.chk), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
  EXPECT_EQ(SendMessageA(form.Native(form.tabs), TCM_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(log, (Log{"upd=7", "txt=12", "chk=2", "tab=Fan"})) << "each event once";

  form.lbl.SetVisible(false);
  form.chk.SetEnabled(false);
  form.lbl.Move({240, 600, 1000, 300});
  EXPECT_FALSE(IsWindowVisible(form.Native(form.lbl)));
  EXPECT_FALSE(IsWindowEnabled(form.Native(form.chk)));
  RECT rect;
  GetWindowRect(form.Native(form.lbl), &rect);
  // 1000 twips at 96 dots per inch: 15 twips to the pixel.
  EXPECT_EQ(rect.right - rect.left, MulDiv(1000, GetDeviceCaps(GetDC(nullptr), LOGPIXELSX), 1440));

  form.SetCaption("Peers ....... Initializing !!");
  EXPECT_EQ(Text(form.Window()), "Peers ....... Initializing !!");
}

TEST_F(Win32PeersTest, NativeInputRunsTheModelsSetters) {
  PeerForm& form = slot.Get();
  form.Show();
  log.clear();
  SendMessageA(form.Native(form.chk), BM_CLICK, 0, 0);
  SendMessageA(form.Native(form.opt[1]), BM_CLICK, 0, 0);
  SendMessageA(form.Native(form.opt[1]), BM_CLICK, 0, 0);  // already selected: nothing
  SendMessageA(form.Native(form.cmd), BM_CLICK, 0, 0);
  SendMessageA(form.Native(form.tabs), TCM_SETCURFOCUS, 1, 0);
  SendMessageA(form.Window(), WM_HSCROLL, SB_LINERIGHT,
               reinterpret_cast<LPARAM>(form.Native(form.scr)));
  SetWindowTextA(form.Native(form.txt), "typed");
  SendMessageA(form.Window(), WM_COMMAND, MAKEWPARAM(form.mGo.controlId(), 0), 0);
  EXPECT_EQ(log, (Log{"chk=1", "opt1", "cmd", "tab=Fan", "scr=1", "txt=typed", "mGo"}));
  EXPECT_EQ(form.chk.value(), 1);
  EXPECT_TRUE(form.opt[1].value());
  EXPECT_EQ(SendMessageA(form.Native(form.chk), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageA(form.Native(form.opt[1]), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(form.txt.text(), "typed");
}

TEST_F(Win32PeersTest, ColoursPointerIconAndFrontFrame) {
  PeerForm& form = slot.Get();
  form.Show();
  HWND frame = form.Native(form.fra);
  HWND label = form.Native(form.lbl);
  HDC dc = CreateCompatibleDC(nullptr);
  // The label's parent (its frame) reflects the colour question back to the label's peer.
  const LRESULT brush = SendMessageA(frame, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(label));
  EXPECT_NE(brush, 0);
  EXPECT_EQ(GetBkColor(dc), COLORREF{0xFF00});
  form.lbl.SetBackColor(0xFF);
  form.lbl.SetEnabled(false);
  SendMessageA(frame, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(label));
  EXPECT_EQ(GetBkColor(dc), COLORREF{0xFF});
  EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_GRAYTEXT)) << "greyed when disabled";
  DeleteDC(dc);

  form.SetMousePointer(MousePointer::Hourglass);
  EXPECT_TRUE(SendMessageA(form.Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(label),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_WAIT));
  form.SetMousePointer(MousePointer::Default);
  EXPECT_FALSE(SendMessageA(form.Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(label),
                            MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));

  HICON icon = CopyIcon(LoadIcon(nullptr, IDI_APPLICATION));
  form.SetIcon(static_cast<platform::IconHandle>(reinterpret_cast<uintptr_t>(icon)));
  // The caption's icon; the task switcher keeps the program's own at its larger size.
  EXPECT_EQ(SendMessageA(form.Window(), WM_GETICON, ICON_SMALL, 0),
            reinterpret_cast<LRESULT>(icon));
  EXPECT_EQ(SendMessageA(form.Window(), WM_GETICON, ICON_BIG, 0), 0);
  // Hidden, the window takes another icon only when the one it holds is the form's own, which
  // goes with the change; shown again, it shows the form's icon of the moment.
  const auto handle = [](HICON i) {
    return static_cast<platform::IconHandle>(reinterpret_cast<uintptr_t>(i));
  };
  const auto shown = [&] {
    return reinterpret_cast<HICON>(SendMessageA(form.Window(), WM_GETICON, ICON_SMALL, 0));
  };
  HICON shared[2] = {CopyIcon(LoadIcon(nullptr, IDI_INFORMATION)),
                     CopyIcon(LoadIcon(nullptr, IDI_WARNING))};
  form.Hide();
  form.SetSharedIcon(handle(shared[0]));
  EXPECT_EQ(shown(), shared[0]);
  form.SetSharedIcon(handle(shared[1]));
  EXPECT_EQ(shown(), shared[0]) << "a shared icon waits while the window is hidden";
  form.Show();
  EXPECT_EQ(shown(), shared[1]);

  // Stacked pages: the frame brought to the front lies above the other.
  auto frontOf = [&] {
    for (HWND w = GetTopWindow(form.Window()); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
      if (w == frame || w == form.Native(form.fraBack)) return w;
    }
    return HWND{nullptr};
  };
  EXPECT_EQ(frontOf(), form.Native(form.fraBack)) << "created later";
  form.fra.ZOrder();
  EXPECT_EQ(frontOf(), frame);
  slot.Unload();
  for (HICON i : shared) DestroyIcon(i);
}

// A monitor of another DPI: the window, its controls and their fonts again from their twips.
TEST_F(Win32PeersTest, ANewDpiLaysTheWindowOutAgain) {
  PeerForm& form = slot.Get();
  form.Show();
  RECT suggested{40, 30, 1000, 800};
  SendMessageA(form.Window(), WM_DPICHANGED, MAKEWPARAM(192, 192),
               reinterpret_cast<LPARAM>(&suggested));
  RECT client{};
  GetClientRect(form.Window(), &client);
  // Its height depends on the menu bar, which only a real monitor of that DPI scales.
  EXPECT_EQ(client.right, 800) << "6000 twips at 192 DPI";
  RECT frame{};
  GetWindowRect(form.Window(), &frame);
  EXPECT_EQ(frame.left, 40);
  EXPECT_EQ(frame.top, 30);
  RECT button{};
  GetWindowRect(form.Native(form.cmd), &button);
  MapWindowPoints(nullptr, form.Window(), reinterpret_cast<POINT*>(&button), 2);
  EXPECT_EQ(button.left, 3300 * 192 / 1440);
  EXPECT_EQ(button.right - button.left, 1185 * 192 / 1440);
  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(form.Native(form.lbl), WM_GETFONT, 0, 0)),
             sizeof font, &font);
  EXPECT_EQ(font.lfHeight, -22) << "8.25 points at 192 DPI";
  // Controls inside a frame follow too.
  RECT box{};
  GetWindowRect(form.Native(form.chk), &box);
  EXPECT_EQ(box.bottom - box.top, 255 * 192 / 1440);
}

// Tab and Shift+Tab walk the controls in reading order, past controls on a page that another
// lies over; the arrow keys move a focused up-down; Enter and the access key press a button.
TEST_F(Win32PeersTest, TheKeyboardReachesEveryControlInReadingOrder) {
  PeerForm& form = slot.Get();
  form.Show();
  SetFocus(form.Window());
  auto press = [&](UINT message, WPARAM key) {
    HWND focus = GetFocus();
    PostMessageA(focus != nullptr ? focus : form.Window(), message, key, 0);
    runtime.DoEvents();
    return GetFocus();
  };
  auto walk = [&](size_t steps) {
    std::vector<HWND> seen;
    for (size_t i = 0; i < steps; ++i) seen.push_back(press(WM_KEYDOWN, VK_TAB));
    return seen;
  };
  // The page in front holds no control: the other page's boxes are not reached.
  const std::vector<HWND> front{form.Native(form.upd), form.Native(form.scr), form.Native(form.txt),
                                form.Native(form.tabs), form.Native(form.cmd)};
  std::vector<HWND> twice = front;
  twice.insert(twice.end(), front.begin(), front.end());
  EXPECT_EQ(walk(10), twice);

  form.fra.ZOrder();
  SetFocus(form.Window());
  // Of the options, one stop: the first while none is selected.
  std::vector<HWND> reading{form.Native(form.chk), form.Native(form.opt[0])};
  reading.insert(reading.end(), front.begin(), front.end());
  EXPECT_EQ(walk(7), reading);

  // The arrows select within the group, round its end; then Tab leaves from the selected one.
  SetFocus(form.Native(form.opt[0]));
  log.clear();
  EXPECT_EQ(press(WM_KEYDOWN, VK_DOWN), form.Native(form.opt[1]));
  EXPECT_EQ(press(WM_KEYDOWN, VK_RIGHT), form.Native(form.opt[0]));
  EXPECT_EQ(press(WM_KEYDOWN, VK_UP), form.Native(form.opt[1]));
  EXPECT_EQ(log, (Log{"opt1", "opt0", "opt1"}));
  SetFocus(form.Native(form.chk));
  EXPECT_EQ(press(WM_KEYDOWN, VK_TAB), form.Native(form.opt[1]));

  // Shift+Tab goes back: from the first control round to the last.
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = 0x80;
  SetKeyboardState(keys);
  SetFocus(form.Native(form.opt[1]));
  EXPECT_EQ(press(WM_KEYDOWN, VK_TAB), form.Native(form.chk));
  EXPECT_EQ(press(WM_KEYDOWN, VK_TAB), form.Native(form.cmd));
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);

  SetFocus(form.Native(form.upd));
  log.clear();
  press(WM_KEYDOWN, VK_UP);
  press(WM_KEYDOWN, VK_UP);
  press(WM_KEYDOWN, VK_DOWN);
  EXPECT_EQ(log, (Log{"upd=1", "upd=2", "upd=1"}));
  EXPECT_EQ(GetFocus(), form.Native(form.upd)) << "the arrows stay on the up-down";
  EXPECT_EQ(SendMessageA(form.Native(form.upd), UDM_GETPOS32, 0, 0), 1);

  SetFocus(form.Native(form.cmd));
  log.clear();
  press(WM_KEYDOWN, VK_RETURN);
  SetFocus(form.Native(form.txt));
  press(WM_SYSCHAR, 'g');  // Alt+G, the button's "&Go"
  EXPECT_EQ(log, (Log{"cmd", "cmd"}));
}

TEST_F(Win32PeersTest, TimersFireFromTheMessageLoop) {
  PeerForm& form = slot.Get();
  // Lets the loop run until `count` entries are logged or the deadline passes.
  auto runUntil = [&](size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (log.size() < count && std::chrono::steady_clock::now() < deadline) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
      runtime.DoEvents();
    }
  };
  form.tmr.SetInterval(20);
  runUntil(3);
  EXPECT_EQ(log, (Log{"tick", "tick", "tick"}));

  // Stopped, it stays silent while another timer ticks three times.
  form.tmr.SetEnabled(false);
  log.clear();
  form.tmr2.SetInterval(30);
  runUntil(3);
  EXPECT_EQ(log, (Log{"tock", "tock", "tock"}));
}

TEST_F(Win32PeersTest, ClosingAsksWithTheModeAndUnloadDestroysTheWindows) {
  struct Case {
    UINT message;
    WPARAM wParam;
    std::string query;
  };
  const Case cases[] = {
      {WM_SYSCOMMAND, SC_CLOSE, "query 0"},  // close box, window menu, Alt+F4
      {WM_CLOSE, 0, "query 3"},              // another program, such as the task manager
      {WM_QUERYENDSESSION, 0, "query 2"},    // Windows shutting down
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    PeerForm& form = slot.Get();
    form.Show();
    HWND window = form.Window();
    HWND label = form.Native(form.lbl);
    form.refuseClose = true;
    log.clear();
    const LRESULT answer = SendMessageA(window, c.message, c.wParam, 0);
    EXPECT_EQ(log, (Log{c.query}));
    EXPECT_TRUE(slot.Loaded());
    EXPECT_TRUE(IsWindowVisible(window));

    form.refuseClose = false;
    if (c.message == WM_QUERYENDSESSION) {
      EXPECT_EQ(answer, FALSE) << "the refusal reaches Windows";
      // Allowing the end is not the end: another program may still veto it.
      EXPECT_EQ(SendMessageA(window, WM_QUERYENDSESSION, 0, 0), TRUE);
      SendMessageA(window, WM_ENDSESSION, FALSE, 0);
      EXPECT_TRUE(slot.Loaded()) << "the session goes on";
      SendMessageA(window, WM_ENDSESSION, TRUE, 0);
    } else {
      SendMessageA(window, c.message, c.wParam, 0);
    }
    EXPECT_FALSE(slot.Loaded());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(IsWindow(label));
    EXPECT_TRUE(runtime.forms().empty());
  }
}

}  // namespace
}  // namespace vigilon::ui
