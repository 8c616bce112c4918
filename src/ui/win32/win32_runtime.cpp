// The Win32 runtime: window classes, the one window procedure, the form windows, timers and
// the message loop.
#include "ui/win32/win32_runtime.h"

#include <windowsx.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cwchar>
#include <initializer_list>
#include <type_traits>
#include <vector>

#include "ui/control_id.h"
#include "ui/win32/win32_internal.h"

namespace vigilon::ui {
namespace win32 {

std::unique_ptr<NativePeer> MakePeer(FormWindow& form, Control& control);  // win32_controls.cpp

bool OwnWindow(HWND window) {
  DWORD process = 0;
  return window != nullptr && GetWindowThreadProcessId(window, &process) == GetCurrentThreadId() &&
         process == GetCurrentProcessId();
}

bool ReadableMemory(const void* start, std::size_t size) {
  constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                              PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  auto at = reinterpret_cast<uintptr_t>(start);
  if (at == 0 || at + size < at) return false;
  const uintptr_t end = at + size;
  // Region by region: a structure on the stack may straddle two of them.
  while (at < end) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) == 0) return false;
    if (region.State != MEM_COMMIT || (region.Protect & kReadable) == 0 ||
        (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0)
      return false;
    at = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
  }
  return true;
}

COLORREF ResolveColor(Color color) {
  if (IsSystemColor(color)) return GetSysColor(static_cast<int>(color & 0xFF));
  return static_cast<COLORREF>(color & 0xFFFFFF);
}

// ---- Window ----

Window::~Window() {
  DestroyNative();
}

HWND Window::CreateNative(DWORD exStyle, const wchar_t* className, const std::wstring& text,
                          DWORD style, int x, int y, int width, int height, HWND parent,
                          UINT_PTR id) {
  return CreateWindowExW(exStyle, className, text.c_str(), style, x, y, width, height, parent,
                         reinterpret_cast<HMENU>(id), runtime_.impl().instance, this);
}

void Window::DestroyNative() {
  if (hwnd_ == nullptr) return;
  // Detach first: messages sent while the window goes must not reach a half-destroyed object.
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  HWND hwnd = hwnd_;
  hwnd_ = nullptr;
  DestroyWindow(hwnd);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* window = static_cast<Window*>(create->lpCreateParams);
    window->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    window->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  // Forms unloaded by this message's handlers are freed when the outermost scope closes,
  // after the handler has returned.
  Runtime::EventScope scope(window->runtime_);
  return window->Handle(message, wParam, lParam);
}

LRESULT Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (Reflect(message, wParam, lParam, result)) return result;
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool Window::Reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  HWND child = nullptr;
  switch (message) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
      child = reinterpret_cast<HWND>(lParam);
      break;
    case WM_NOTIFY: {
      // The largest notice a peer reads. A tip asks for its text on behalf of the control it
      // belongs to.
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (!ReadableMemory(header, sizeof(NMCUSTOMDRAW))) return false;
      child = header->code == TTN_GETDISPINFOW ? reinterpret_cast<HWND>(header->idFrom)
                                               : header->hwndFrom;
      break;
    }
    default:
      return false;
  }
  // Another program can name its own window, with a property of this name on it, in a message
  // it posts here: only this thread's windows hold a peer.
  if (!OwnWindow(child)) return false;
  auto* peer = static_cast<NativePeer*>(GetPropW(child, kPeerProperty));
  if (peer == nullptr) return false;
  return peer->OnReflected(message, wParam, lParam, result);
}

// ---- The timer sink: a message-only window that receives the runtime's WM_TIMER ----

class TimerSink final : public Window {
 public:
  explicit TimerSink(Win32Runtime& runtime) : Window(runtime) {
    CreateNative(0, kSinkClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, 0);
  }

  // A tick of the runtime's timer `key`.
  void Tick(UINT_PTR key) {
    auto& byKey = runtime().impl().timersByKey;
    auto it = byKey.find(key);
    if (it != byKey.end()) it->second->Fire();
  }

 protected:
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != WM_TIMER) return DefWindowProcW(hwnd(), message, wParam, lParam);
    Tick(static_cast<UINT_PTR>(wParam));
    return 0;
  }
};

// ---- The dialogs' hidden owner ----

class DialogOwner final : public Window {
 public:
  explicit DialogOwner(Win32Runtime& runtime) : Window(runtime) {
    CreateNative(WS_EX_TOOLWINDOW, kSinkClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, 0);
  }
};

// ---- Form window ----

namespace {
constexpr DWORD kFormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CLIPCHILDREN;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME;

PowerNotice NoticeOf(WPARAM event, bool& known) {
  known = true;
  switch (event) {
    case PBT_APMQUERYSUSPEND:
      return PowerNotice::QuerySuspend;
    case PBT_APMQUERYSUSPENDFAILED:
      return PowerNotice::QuerySuspendFailed;
    case PBT_APMSUSPEND:
      return PowerNotice::Suspend;
    case PBT_APMRESUMESUSPEND:
      return PowerNotice::ResumeSuspend;
    case PBT_APMRESUMEAUTOMATIC:
      return PowerNotice::ResumeAutomatic;
    case PBT_APMRESUMECRITICAL:
      return PowerNotice::ResumeCritical;
    default:
      known = false;
      return PowerNotice::Suspend;
  }
}
}  // namespace

FormWindow::FormWindow(Win32Runtime& runtime, Form& form) : Window(runtime), form_(form) {
  HWND owner = form.args().dialog ? runtime.impl().dialogOwner->hwnd() : nullptr;
  CreateNative(ExStyle(), kFormClass, Widen(form.caption()), Style(), CW_USEDEFAULT, CW_USEDEFAULT,
               CW_USEDEFAULT, CW_USEDEFAULT, owner, 0);
  // Run elevated, the program hears the shell's TaskbarCreated only if it lets it through:
  // without it a restarted shell would lose the tray icon for good.
  constexpr DWORD kAllowMessage = 1;  // MSGFLT_ALLOW
  // A second copy started without elevation may still ask it to come forward.
  if (auto allow = runtime.impl().changeWindowMessageFilterEx; allow != nullptr) {
    allow(hwnd(), runtime.impl().taskbarCreated, kAllowMessage, nullptr);
    allow(hwnd(), runtime.impl().comeForward, kAllowMessage, nullptr);
  }
  // The size follows from the client area in twips, once the window's DPI is known.
  dpi_ = runtime.impl().WindowDpi(hwnd());
  FitClientArea();
  fitted_ = true;
  nameAtom_ = GlobalAddAtomW(Widen(form.name()).c_str());
  if (nameAtom_ != 0) {
    SetPropW(hwnd(), kFormNameProperty,
             reinterpret_cast<HANDLE>(static_cast<uintptr_t>(nameAtom_)));
  }
}

DWORD FormWindow::Style() const {
  if (form_.args().dialog) return kDialogStyle;
  return form_.args().resizable ? kFormStyle | WS_THICKFRAME | WS_MAXIMIZEBOX : kFormStyle;
}

DWORD FormWindow::ExStyle() const {
  return form_.args().dialog ? kDialogExStyle : 0;
}

void FormWindow::PlaceFirstTime() {
  if (placed_) return;
  placed_ = true;
  if (form_.args().placement != Placement::CenterScreen) return;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT window{};
  GetWindowRect(hwnd(), &window);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  // Several warnings at once stand in a cascade rather than hide each other exactly.
  const int step = Metric(SM_CYCAPTION) + Metric(SM_CYFRAME);
  const int shift = step * (form_.args().cascade % 8);
  const int x = work.left + std::max<LONG>(0, (work.right - work.left - width) / 2) + shift;
  const int y = work.top + std::max<LONG>(0, (work.bottom - work.top - height) / 2) + shift;
  SetWindowPos(hwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

FormWindow::~FormWindow() {
  if (hwnd() != nullptr) RemovePropW(hwnd(), kFormNameProperty);
  if (nameAtom_ != 0) GlobalDeleteAtom(nameAtom_);
  HMENU bar = menuBar_;
  if (hwnd() != nullptr && bar != nullptr) SetMenu(hwnd(), nullptr);
  DestroyNative();
  if (bar != nullptr) DestroyMenu(bar);
}

int FormWindow::Px(int twips) const {
  return MulDiv(twips, dpi_, 1440);
}

RECT FormWindow::PixelRect(const Rect& twips) const {
  const int left = Px(twips.left);
  const int top = Px(twips.top);
  return RECT{left, top, left + Px(twips.width), top + Px(twips.height)};
}

int FormWindow::Metric(int index) const {
  auto forDpi = runtime().impl().getSystemMetricsForDpi;
  return forDpi != nullptr ? forDpi(index, static_cast<UINT>(dpi_)) : GetSystemMetrics(index);
}

HFONT FormWindow::FontFor(const Font& font) {
  const int height = -static_cast<int>(std::lround(font.size * dpi_ / 72.0));
  std::wstring face = Widen(font.name);
  // The old bitmap face comes in a few pixel sizes drawn for 96 DPI; its TrueType twin, where
  // the system has it, is the same design at every size.
  if (face == L"MS Sans Serif" && runtime().impl().trueTypeSansSerif)
    face = L"Microsoft Sans Serif";
  auto key = std::make_tuple(std::move(face), height, font.bold);
  auto& fonts = runtime().impl().fonts;
  auto it = fonts.find(key);
  if (it != fonts.end()) return it->second;
  // Asked by name; the system substitutes what it has for the old bitmap faces.
  HFONT handle =
      CreateFontW(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                  DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                  DEFAULT_PITCH | FF_DONTCARE, std::get<0>(key).c_str());
  fonts.emplace(std::move(key), handle);
  return handle;
}

int FormWindow::TextWidth(std::string_view text, const Font& font) {
  const std::wstring wide = Widen(text);
  HDC dc = GetDC(hwnd());
  const HGDIOBJ old = SelectObject(dc, FontFor(font));
  SIZE size{};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(hwnd(), dc);
  return MulDiv(size.cx, 1440, dpi_);
}

HWND FormWindow::ContainerOf(const Control& control) const {
  if (control.parentName().empty()) return hwnd();
  Control* parent = form_.FindControl(control.parentName());
  auto* peer = parent != nullptr ? dynamic_cast<NativePeer*>(parent->peer()) : nullptr;
  return peer != nullptr ? peer->native() : hwnd();
}

RECT FormWindow::FrameForClientArea() const {
  return FrameFor(form_.clientWidth(), form_.clientHeight());
}

RECT FormWindow::FrameFor(int widthTwips, int heightTwips) const {
  RECT rect{0, 0, Px(widthTwips), Px(heightTwips)};
  const BOOL menu = menuBar_ != nullptr ? TRUE : FALSE;
  // The frame and the menu bar are as wide as the window's DPI makes them, not the system's.
  if (auto forDpi = runtime().impl().adjustWindowRectExForDpi) {
    forDpi(&rect, Style(), menu, ExStyle(), static_cast<UINT>(dpi_));
  } else {
    AdjustWindowRectEx(&rect, Style(), menu, ExStyle());
  }
  return rect;
}

void FormWindow::FitClientArea() {
  const RECT rect = FrameForClientArea();
  SetWindowPos(hwnd(), nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::ChangeDpi(int dpi, const RECT& suggested) {
  dpi_ = dpi;
  for (Control* control : form_.controls()) {
    if (auto* peer = dynamic_cast<NativePeer*>(control->peer())) peer->Rescale();
  }
  // The suggested place keeps the window under the user's hand on the new monitor; the size is
  // the form's own at the new DPI, which the suggestion only approximates.
  const RECT frame = FrameForClientArea();
  SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top, frame.right - frame.left,
               frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
  Refresh();
}

void FormWindow::CreateControlPeers() {
  for (Control* control : form_.controls()) {
    std::unique_ptr<NativePeer> peer = MakePeer(*this, *control);
    if (!peer) continue;
    NativePeer* raw = peer.get();
    control->SetPeer(std::move(peer));
    raw->Build();
  }
  // Later controls lie above earlier ones, as in the form designer; frames then follow the
  // order their ZOrder calls gave them.
  for (Control* control : form_.controls()) {
    auto* peer = dynamic_cast<NativePeer*>(control->peer());
    if (peer != nullptr) {
      SetWindowPos(peer->native(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  std::vector<Frame*> frames;
  for (Control* control : form_.controls()) {
    if (auto* frame = dynamic_cast<Frame*>(control)) frames.push_back(frame);
  }
  std::stable_sort(frames.begin(), frames.end(),
                   [](const Frame* a, const Frame* b) { return b->IsInFrontOf(*a); });
  for (Frame* frame : frames) frame->peer()->Sync(Prop::ZOrder);
  SyncMenus();
}

void FormWindow::SyncCaption() {
  SetWindowTextW(hwnd(), Widen(form_.caption()).c_str());
}

void FormWindow::SyncIcon() {
  // A hidden window's icon shows nowhere, and under Wine each change rebuilds the X window's
  // icon: the change waits for the window to be shown. Not when the icon it holds is one the
  // form destroys once replaced: the window lets go of it at once.
  if (!form_.visible() && !nativeIconOwned_) return;
  SendIcon();
}

void FormWindow::SendIcon() {
  nativeIcon_ = form_.icon();
  nativeIconOwned_ = form_.iconOwned();
  // The form's icons are loaded at the small size the DPI asks for, the size of the caption and
  // the notification area. The large one (the task switcher's) stays the program's own from its
  // resources, which hold it at every size, rather than a small picture blown up.
  auto icon =
      reinterpret_cast<LPARAM>(reinterpret_cast<HICON>(static_cast<uintptr_t>(nativeIcon_)));
  SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, icon);
}

void FormWindow::BringToFront() {
  if (IsIconic(hwnd())) ShowWindow(hwnd(), SW_RESTORE);
  if (form_.args().dialog) {
    // The system may refuse the foreground to a program in the background; raised through the
    // topmost band and straight back, a warning still lies above the other programs' windows.
    SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  } else {
    SetWindowPos(hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
  SetForegroundWindow(hwnd());
}

void FormWindow::SyncVisible() {
  if (form_.visible()) {
    PlaceFirstTime();
    if (nativeIcon_ != form_.icon()) SendIcon();
    ShowWindow(hwnd(), SW_SHOWNORMAL);
    BringToFront();
  } else {
    ShowWindow(hwnd(), SW_HIDE);
  }
}

void FormWindow::SyncMousePointer() {
  POINT cursor;
  GetCursorPos(&cursor);
  HWND under = WindowFromPoint(cursor);
  if (under == hwnd() || IsChild(hwnd(), under)) {
    SetCursor(LoadCursorW(nullptr, form_.mousePointer() == MousePointer::Hourglass
                                       ? MAKEINTRESOURCEW(32514)     // IDC_WAIT
                                       : MAKEINTRESOURCEW(32512)));  // IDC_ARROW
  }
}

HWND FormWindow::ToolTips() {
  if (toolTips_ == nullptr) {
    // Owned by the form's window, which destroys it with itself.
    toolTips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                                runtime().impl().instance, nullptr);
    // Several lines, and long enough to read them.
    SendMessageW(toolTips_, TTM_SETMAXTIPWIDTH, 0, Px(6000));
    SendMessageW(toolTips_, TTM_SETDELAYTIME, TTDT_AUTOPOP, 30000);
  }
  return toolTips_;
}

HMENU FormWindow::BuildPopup(const Menu& menu) const {
  HMENU popup = CreatePopupMenu();
  for (Menu* entry : menu.Entries()) {
    if (!entry->visible()) continue;
    const UINT grey = entry->enabled() ? MF_ENABLED : MF_GRAYED;
    const std::wstring text = Widen(entry->caption());
    if (entry->Entries().empty()) {
      AppendMenuW(popup, MF_STRING | grey, entry->controlId(), text.c_str());
    } else {
      AppendMenuW(popup, MF_POPUP | grey, reinterpret_cast<UINT_PTR>(BuildPopup(*entry)),
                  text.c_str());
    }
  }
  return popup;
}

void FormWindow::SyncMenus() {
  HMENU old = menuBar_;
  HMENU bar = nullptr;
  if (form_.HasMenuBar()) {
    bar = CreateMenu();
    for (Control* control : form_.controls()) {
      auto* menu = dynamic_cast<Menu*>(control);
      if (menu == nullptr || !menu->parentName().empty() || !menu->visible()) continue;
      const UINT grey = menu->enabled() ? MF_ENABLED : MF_GRAYED;
      const std::wstring text = Widen(menu->caption());
      if (menu->Entries().empty()) {
        AppendMenuW(bar, MF_STRING | grey, menu->controlId(), text.c_str());
      } else {
        AppendMenuW(bar, MF_POPUP | grey, reinterpret_cast<UINT_PTR>(BuildPopup(*menu)),
                    text.c_str());
      }
    }
  }
  menuBar_ = bar;
  SetMenu(hwnd(), bar);
  if (old != nullptr) DestroyMenu(old);
  // Keep the client area the form was designed with, menu bar or not.
  if ((old == nullptr) != (bar == nullptr)) FitClientArea();
  DrawMenuBar(hwnd());
}

void FormWindow::Refresh() {
  RedrawWindow(hwnd(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

namespace {

struct TabItem {
  HWND window;
  RECT rect;       // in the container's client coordinates
  bool container;  // a frame: its own tab stops stand at its place
};

int HeightOf(const RECT& r) {
  return r.bottom - r.top;
}

// Reading order: lines from top to bottom, each from left to right. Two items are on one line
// when their tops lie closer than half the lower one's height.
void SortInReadingOrder(std::vector<TabItem>& items) {
  auto byTop = [](const TabItem& a, const TabItem& b) {
    return a.rect.top != b.rect.top ? a.rect.top < b.rect.top : a.rect.left < b.rect.left;
  };
  std::sort(items.begin(), items.end(), byTop);
  for (size_t first = 0; first < items.size();) {
    const RECT& head = items[first].rect;
    size_t end = first + 1;
    while (end < items.size() &&
           items[end].rect.top - head.top < std::min(HeightOf(head), HeightOf(items[end].rect)) / 2)
      ++end;
    std::sort(items.begin() + static_cast<std::ptrdiff_t>(first),
              items.begin() + static_cast<std::ptrdiff_t>(end),
              [](const TabItem& a, const TabItem& b) { return a.rect.left < b.rect.left; });
    first = end;
  }
}

bool IsButtonOfType(HWND window, std::initializer_list<DWORD> types) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (_wcsicmp(className, L"Button") != 0) return false;
  const auto type = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) & BS_TYPEMASK;
  return std::find(types.begin(), types.end(), type) != types.end();
}

bool IsPushButton(HWND window) {
  return IsButtonOfType(window, {BS_PUSHBUTTON, BS_DEFPUSHBUTTON});
}

bool IsOption(HWND window) {
  return IsButtonOfType(window, {BS_RADIOBUTTON, BS_AUTORADIOBUTTON});
}

// The visible, enabled children of `container` the keyboard can reach, in reading order: tab
// stops, option buttons, and frames that are not covered by another frame (the configuration
// dialog's pages lie on top of each other). Children wholly outside the container's client area
// are not seen, so not reached.
std::vector<TabItem> ReachableChildren(HWND container) {
  RECT client{};
  GetClientRect(container, &client);
  std::vector<TabItem> items;
  for (HWND child = GetWindow(container, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    const auto style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongW(child, GWL_EXSTYLE));
    const bool frame = (exStyle & WS_EX_CONTROLPARENT) != 0;
    const bool control = (style & WS_TABSTOP) != 0 || IsOption(child);
    if (!frame && (!control || !IsWindowEnabled(child))) continue;
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, container, reinterpret_cast<POINT*>(&rect), 2);
    RECT shown{};
    if (!IntersectRect(&shown, &rect, &client)) continue;
    if (frame) {
      const POINT middle{(shown.left + shown.right) / 2, (shown.top + shown.bottom) / 2};
      if (ChildWindowFromPointEx(container, middle, CWP_SKIPINVISIBLE) != child) continue;
    }
    items.push_back({child, rect, frame});
  }
  SortInReadingOrder(items);
  return items;
}

// The option buttons of one container, one group, in reading order.
std::vector<HWND> OptionGroup(HWND container) {
  std::vector<HWND> group;
  for (const TabItem& item : ReachableChildren(container)) {
    if (IsOption(item.window)) group.push_back(item.window);
  }
  return group;
}

// The controls Tab reaches inside `container`, in reading order. Of a group of option buttons
// only one is a stop, as in a dialog: the one selected, or the first when none is; the arrow
// keys move within the group.
void CollectTabStops(HWND container, std::vector<HWND>& stops) {
  const std::vector<TabItem> items = ReachableChildren(container);
  HWND optionStop = nullptr;
  for (const TabItem& item : items) {
    if (!IsOption(item.window)) continue;
    if (optionStop == nullptr) optionStop = item.window;
    if (SendMessageW(item.window, BM_GETCHECK, 0, 0) == BST_CHECKED) {
      optionStop = item.window;
      break;
    }
  }
  for (const TabItem& item : items) {
    if (item.container) {
      CollectTabStops(item.window, stops);
    } else if (!IsOption(item.window) || item.window == optionStop) {
      stops.push_back(item.window);
    }
  }
}

}  // namespace

HWND FormWindow::NextTabStop(HWND from, bool backwards) const {
  std::vector<HWND> stops;
  CollectTabStops(hwnd(), stops);
  if (stops.empty()) return nullptr;
  const auto at = std::find(stops.begin(), stops.end(), from);
  if (at == stops.end()) return backwards ? stops.back() : stops.front();
  const auto index = static_cast<size_t>(at - stops.begin());
  const size_t count = stops.size();
  return stops[backwards ? (index + count - 1) % count : (index + 1) % count];
}

bool FormWindow::TakeLabelAccessKey(WPARAM key) {
  // A label's access key leads to the control after it, as in a dialog; the buttons' own keys
  // are the dialog manager's.
  if (key > 0x7F) return false;
  const auto wanted = static_cast<char>(std::tolower(static_cast<int>(key)));
  const std::vector<Control*>& controls = form_.controls();
  for (auto it = controls.begin(); it != controls.end(); ++it) {
    auto* label = dynamic_cast<Label*>(*it);
    if (label == nullptr || !label->visible() || !label->enabled()) continue;
    const std::string& caption = label->caption();
    const auto at = caption.find('&');
    if (at == std::string::npos || at + 1 >= caption.size()) continue;
    if (std::tolower(static_cast<unsigned char>(caption[at + 1])) != wanted) continue;
    // The control made after it in the form's table, as a dialog's label leads to the next.
    std::vector<HWND> stops;
    CollectTabStops(hwnd(), stops);
    HWND next = nullptr;
    for (auto after = it + 1; after != controls.end() && next == nullptr; ++after) {
      auto* peer = dynamic_cast<NativePeer*>((*after)->peer());
      if (peer != nullptr && std::find(stops.begin(), stops.end(), peer->native()) != stops.end())
        next = peer->native();
    }
    if (next == nullptr) return false;
    SetFocus(next);
    if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
      SendMessageW(next, EM_SETSEL, 0, -1);
    return true;
  }
  return false;
}

bool FormWindow::TakeKey(const MSG& message) {
  if (message.message == WM_SYSCHAR) return TakeLabelAccessKey(message.wParam);
  if (message.message != WM_KEYDOWN) return false;
  if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
  HWND focus = GetFocus();
  if (message.wParam == VK_TAB) {
    // A control that takes Tab itself (a multi-line text) keeps it, as in a dialog.
    const auto wants =
        SendMessageW(focus, WM_GETDLGCODE, message.wParam, reinterpret_cast<LPARAM>(&message));
    if (IsChild(hwnd(), focus) && (wants & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) != 0) return false;
    HWND next = NextTabStop(IsChild(hwnd(), focus) ? focus : nullptr, GetKeyState(VK_SHIFT) < 0);
    if (next == nullptr) return true;
    SetFocus(next);
    if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
      SendMessageW(next, EM_SETSEL, 0, -1);
    }
    // The user moves by keyboard now: focus rectangles and access keys show from here on.
    SendMessageW(hwnd(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL),
                 0);
    return true;
  }
  // The arrows select the next option of a group, as in a dialog.
  const bool arrow = message.wParam == VK_UP || message.wParam == VK_DOWN ||
                     message.wParam == VK_LEFT || message.wParam == VK_RIGHT;
  if (arrow && IsChild(hwnd(), focus) && IsOption(focus)) {
    const std::vector<HWND> group = OptionGroup(GetParent(focus));
    const auto at = std::find(group.begin(), group.end(), focus);
    if (at == group.end()) return false;
    const bool back = message.wParam == VK_UP || message.wParam == VK_LEFT;
    const auto index = static_cast<size_t>(at - group.begin());
    HWND next =
        group[back ? (index + group.size() - 1) % group.size() : (index + 1) % group.size()];
    SetFocus(next);
    SendMessageW(next, BM_CLICK, 0, 0);
    return true;
  }
  // Enter presses the button that has the focus, as the space bar does; elsewhere the form's
  // default button, where it has one. Escape presses its cancel button.
  if (message.wParam == VK_RETURN && IsChild(hwnd(), focus) && IsPushButton(focus)) {
    SendMessageW(focus, BM_CLICK, 0, 0);
    return true;
  }
  if (message.wParam != VK_RETURN && message.wParam != VK_ESCAPE) return false;
  if (message.wParam == VK_RETURN && IsChild(hwnd(), focus) &&
      (SendMessageW(focus, WM_GETDLGCODE, VK_RETURN, 0) & DLGC_WANTALLKEYS) != 0)
    return false;  // a multi-line text takes its Enter
  for (Control* control : form_.controls()) {
    auto* button = dynamic_cast<CommandButton*>(control);
    if (button == nullptr || !button->visible() || !button->enabled()) continue;
    if (message.wParam == VK_RETURN ? button->isDefault() : button->isCancel()) {
      button->Click();
      return true;
    }
  }
  return false;
}

uint32_t FormWindow::NativeHandle() const {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hwnd()));
}

LRESULT FormWindow::ComeForward() {
  // The form shows itself as from its tray icon; a window minimised in the task bar comes back
  // too, and in front (the second copy allowed this process the foreground).
  if (!form_.DeliverComeForward()) return 0;
  if (IsIconic(hwnd())) ShowWindow(hwnd(), SW_RESTORE);
  SetForegroundWindow(hwnd());
  return platform::kCameForward;
}

LRESULT FormWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (Reflect(message, wParam, lParam, result)) return result;
  if (message != 0 && message == runtime().impl().taskbarCreated) {
    form_.DeliverTaskbarCreated();
    return 0;
  }
  if (message != 0 && message == runtime().impl().comeForward) return ComeForward();
  switch (message) {
    case WM_COMMAND:
      // A menu pick (a control's command came with its window and was reflected above).
      if (lParam == 0 && HIWORD(wParam) == 0) {
        auto* menu = dynamic_cast<Menu*>(form_.FindControlById(LOWORD(wParam)));
        if (menu != nullptr) menu->Click();
        return 0;
      }
      break;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) closeFromMenu_ = true;
      break;
    case WM_SIZE:
      // Only a resizable form follows its window; the first size is the form's own.
      if (form_.args().resizable && fitted_ && wParam != SIZE_MINIMIZED) {
        form_.DeliverResize(MulDiv(LOWORD(lParam), 1440, dpi_), MulDiv(HIWORD(lParam), 1440, dpi_));
      }
      break;
    case WM_GETMINMAXINFO:
      if (form_.args().resizable && fitted_) {
        // Never smaller than designed, so that nothing is clipped.
        const RECT least = FrameFor(form_.args().clientWidth, form_.args().clientHeight);
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = {least.right - least.left, least.bottom - least.top};
        return 0;
      }
      break;
    case WM_CLOSE: {
      // The close box and the window menu come through SC_CLOSE; a WM_CLOSE without it comes
      // from another program, such as the task manager.
      const UnloadMode mode = closeFromMenu_ ? UnloadMode::ControlMenu : UnloadMode::TaskManager;
      closeFromMenu_ = false;
      form_.RequestClose(mode);
      return 0;  // the form destroys its window itself when it unloads
    }
    case WM_QUERYENDSESSION:
      // Only a question: another program may still veto the end of the session.
      return form_.QueryClose(UnloadMode::AppWindows) ? TRUE : FALSE;
    case WM_ENDSESSION:
      if (wParam != FALSE) form_.RequestClose(UnloadMode::AppWindows);
      return 0;
    case WM_MOUSEMOVE: {
      // The notification-area callback arrives as this same message, its code in lParam.
      int button = 0;
      if (wParam & MK_LBUTTON) button |= 1;
      if (wParam & MK_RBUTTON) button |= 2;
      if (wParam & MK_MBUTTON) button |= 4;
      int shift = 0;
      if (wParam & MK_SHIFT) shift |= 1;
      if (wParam & MK_CONTROL) shift |= 2;
      form_.DeliverMouseMove(button, shift, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    }
    case WM_POWERBROADCAST: {
      bool known = false;
      const PowerNotice notice = NoticeOf(wParam, known);
      if (!known) break;
      const bool cancel = form_.DeliverPowerNotice(notice);
      return notice == PowerNotice::QuerySuspend && cancel ? BROADCAST_QUERY_DENY : TRUE;
    }
    case WM_DPICHANGED: {
      // Only where the program runs per monitor: the window moved to a monitor of another DPI,
      // or the user changed the scale. A notice whose rectangle is no memory of this process
      // came from another program.
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      if (LOWORD(wParam) == 0 || !ReadableMemory(suggested, sizeof *suggested)) return 0;
      ChangeDpi(LOWORD(wParam), *suggested);
      return 0;
    }
    case WM_ACTIVATE:
      // As a dialog does: the control the user left has the focus again when the user comes
      // back to the window.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        lastFocus_ = IsChild(hwnd(), focus) ? focus : nullptr;
      } else if (lastFocus_ != nullptr && IsChild(hwnd(), lastFocus_) && !HIWORD(wParam)) {
        SetFocus(lastFocus_);
        return 0;
      }
      break;
    case WM_SETCURSOR:
      if (form_.mousePointer() == MousePointer::Hourglass && LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
        return TRUE;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd(), message, wParam, lParam);
}

}  // namespace win32

using win32::FormWindow;
using win32::Window;

namespace {
int CALLBACK NoteFontFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool HasFontFace(const wchar_t* face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, &NoteFontFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}
}  // namespace

int Win32Runtime::Impl::WindowDpi(HWND hwnd) const {
  if (getDpiForWindow != nullptr && hwnd != nullptr) {
    const UINT dpi = getDpiForWindow(hwnd);
    if (dpi != 0) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

Win32Runtime::Win32Runtime(platform::Platform& platform)
    : Runtime(platform), impl_(std::make_unique<Impl>()) {
  impl_->instance = GetModuleHandleW(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS |
                                    ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  // Newer systems scale per window; older ones (and the 32-bit build's oldest targets) do not
  // have the functions, so they are looked up rather than linked.
  if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
    auto lookUp = [user32](auto& function, const char* name) {
      function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
          reinterpret_cast<void*>(GetProcAddress(user32, name)));
    };
    lookUp(impl_->getDpiForWindow, "GetDpiForWindow");
    lookUp(impl_->changeWindowMessageFilterEx, "ChangeWindowMessageFilterEx");
    lookUp(impl_->getSystemMetricsForDpi, "GetSystemMetricsForDpi");
    lookUp(impl_->adjustWindowRectExForDpi, "AdjustWindowRectExForDpi");
  }
  impl_->trueTypeSansSerif = HasFontFace(L"Microsoft Sans Serif");
  impl_->taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  impl_->comeForward = RegisterWindowMessageW(platform::kComeForwardMessage);

  WNDCLASSEXW form{};
  form.cbSize = sizeof(form);
  form.lpfnWndProc = &Window::Procedure;
  form.hInstance = impl_->instance;
  form.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  // The program's own icon (resource 1) until a form sets one; none means the system's default.
  form.hIcon = LoadIconW(impl_->instance, MAKEINTRESOURCEW(1));
  form.hIconSm = static_cast<HICON>(LoadImageW(impl_->instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  form.lpszClassName = win32::kFormClass;
  RegisterClassExW(&form);
  WNDCLASSEXW frame = form;
  frame.hIcon = frame.hIconSm = nullptr;
  frame.lpszClassName = win32::kFrameClass;
  RegisterClassExW(&frame);
  WNDCLASSEXW sink{};
  sink.cbSize = sizeof(sink);
  sink.lpfnWndProc = &Window::Procedure;
  sink.hInstance = impl_->instance;
  sink.lpszClassName = win32::kSinkClass;
  RegisterClassExW(&sink);
  impl_->timerSink = std::make_unique<win32::TimerSink>(*this);
  impl_->dialogOwner = std::make_unique<win32::DialogOwner>(*this);
}

Win32Runtime::~Win32Runtime() {
  // A quit this runtime posted and no loop took is its own: another system on this thread
  // (tests build several) must not find it.
  MSG quit;
  if (impl_->quitPosted) PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  for (const auto& [timer, key] : impl_->timerKeys) KillTimer(impl_->timerSink->hwnd(), key);
  impl_->timerSink.reset();
  impl_->dialogOwner.reset();
  for (const auto& [key, font] : impl_->fonts) DeleteObject(font);
}

namespace {
void Dispatch(MSG& message) {
  HWND root = GetAncestor(message.hwnd, GA_ROOT);
  wchar_t className[32] = {};
  if (root != nullptr) GetClassNameW(root, className, 32);
  // Tab between controls and access keys, as in a dialog.
  if (root != nullptr && wcscmp(className, win32::kFormClass) == 0) {
    auto* window = dynamic_cast<FormWindow*>(
        reinterpret_cast<Window*>(GetWindowLongPtrW(root, GWLP_USERDATA)));
    if (window != nullptr && window->TakeKey(message)) return;
    if (IsDialogMessageW(root, &message)) return;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
}
}  // namespace

int Win32Runtime::Run() {
  MSG message;
  while (!ended() && GetMessageW(&message, nullptr, 0, 0) > 0) {
    // The timers' ticks, a hundred a second while the program idles, go straight to their
    // handlers: under Wine each system call of the dispatch is a good part of an idle tick's
    // cost. Other loops (a message box's, a menu's) dispatch them to the sink.
    if (message.message == WM_TIMER && message.hwnd == impl_->timerSink->hwnd()) {
      static_cast<win32::TimerSink&>(*impl_->timerSink).Tick(message.wParam);
      continue;
    }
    Dispatch(message);
  }
  return impl_->exitCode;
}

void Win32Runtime::DoEvents() {
  MSG message;
  while (!ended() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the loop that owns it
      break;
    }
    Dispatch(message);
  }
  if (eventDepth() == 0) FlushGraveyard();
}

std::unique_ptr<FormPeer> Win32Runtime::CreateFormPeer(Form& form) {
  return std::make_unique<FormWindow>(*this, form);
}

void Win32Runtime::TimerChanged(Timer& timer) {
  auto it = impl_->timerKeys.find(&timer);
  UINT_PTR key = 0;
  if (it == impl_->timerKeys.end()) {
    key = impl_->nextTimerKey++;
    impl_->timerKeys.emplace(&timer, key);
    impl_->timersByKey.emplace(key, &timer);
  } else {
    key = it->second;
  }
  // SetTimer on a running key replaces it, which restarts the count.
  if (timer.Running()) {
    SetTimer(impl_->timerSink->hwnd(), key, timer.interval(), nullptr);
  } else {
    KillTimer(impl_->timerSink->hwnd(), key);
  }
}

void Win32Runtime::TimerGone(Timer& timer) {
  auto it = impl_->timerKeys.find(&timer);
  if (it == impl_->timerKeys.end()) return;
  KillTimer(impl_->timerSink->hwnd(), it->second);
  impl_->timersByKey.erase(it->second);
  impl_->timerKeys.erase(it);
}

Menu* Win32Runtime::TrackPopup(Form& form, Menu& menu) {
  auto* window = dynamic_cast<FormWindow*>(form.peer());
  if (window == nullptr) return nullptr;
  // The menu's own loop runs timers and other handlers; keep nothing of the peer past it.
  HWND owner = window->hwnd();
  HMENU popup = window->BuildPopup(menu);
  POINT cursor;
  GetCursorPos(&cursor);
  // Without the foreground the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(owner);
  const UINT pick = static_cast<UINT>(
      TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, cursor.x,
                     cursor.y, 0, owner, nullptr));
  // Lets the menu close properly the next time it is shown.
  PostMessageW(owner, WM_NULL, 0, 0);
  DestroyMenu(popup);
  if (pick == 0 || form.tornDown()) return nullptr;
  return dynamic_cast<Menu*>(form.FindControlById(static_cast<uint16_t>(pick)));
}

void Win32Runtime::OnEnd() {
  if (impl_->quitPosted) return;
  impl_->quitPosted = true;
  PostQuitMessage(impl_->exitCode);
}

}  // namespace vigilon::ui
