// The peers of the visible controls: each creates its native child window, copies the model's
// properties to it without raising events, and turns the user's input into the model's setters.
#include <windowsx.h>

#include <algorithm>
#include <cwctype>

#include "ui/win32/win32_internal.h"

namespace vigilon::ui::win32 {
namespace {

bool IsIconFile(const std::string& picture) {
  if (picture.size() < 4) return false;
  std::string tail = picture.substr(picture.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return tail == ".ico";
}

// Multi-line edit controls break lines with CR LF; the model keeps plain LF.
std::wstring ToNativeLines(const std::string& text) {
  std::wstring wide = Widen(text);
  std::wstring out;
  out.reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == L'\n' && (i == 0 || wide[i - 1] != L'\r')) out += L'\r';
    out += wide[i];
  }
  return out;
}

std::string FromNativeLines(const std::wstring& wide) {
  std::wstring out;
  out.reserve(wide.size());
  for (wchar_t c : wide) {
    if (c != L'\r') out += c;
  }
  return Narrow(out);
}

std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  return text;
}

// An icon file from the program's folder, or nullptr.
HICON LoadPictureIcon(Form& form, const std::string& picture, int size) {
  if (!IsIconFile(picture)) return nullptr;
  platform::Platform& platform = form.platform();
  const std::string path = platform.ProgramFolder() + platform.PathSeparator() + picture;
  return static_cast<HICON>(
      LoadImageW(nullptr, WidePath(path).c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
}

}  // namespace

// ---- NativePeer ----

NativePeer::~NativePeer() {
  if (native_ == nullptr) return;
  RemovePropW(native_, kPeerProperty);
  DestroyWindow(native_);
  native_ = nullptr;
}

HWND NativePeer::MakeChild(DWORD exStyle, const wchar_t* className, const std::wstring& text,
                           DWORD style, HWND parent, const RECT& rect) {
  const DWORD visible = model_.visible() ? WS_VISIBLE : 0;
  // Each control a group of its own: the arrow keys never hop between controls (in the order
  // the windows lie on each other, not the reading order of Tab); they go to the controls that
  // use them.
  return CreateWindowExW(exStyle, className, text.c_str(),
                         WS_CHILD | WS_CLIPSIBLINGS | WS_GROUP | visible | style, rect.left,
                         rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                         reinterpret_cast<HMENU>(static_cast<UINT_PTR>(model_.controlId())),
                         form_.runtime().impl().instance, nullptr);
}

void NativePeer::Build() {
  native_ = CreateChild(form_.ContainerOf(model_), form_.PixelRect(model_.rect()));
  if (native_ == nullptr) return;
  SetPropW(native_, kPeerProperty, this);
  for (Prop prop : {Prop::Font, Prop::Range, Prop::Value, Prop::Selection, Prop::Caption,
                    Prop::Colors, Prop::Picture, Prop::Enabled}) {
    Sync(prop);
  }
}

void NativePeer::Sync(Prop prop) {
  if (native_ == nullptr) return;
  Syncing guard(*this);
  switch (prop) {
    case Prop::Visible:
      ShowWindow(native_, model_.visible() ? SW_SHOWNA : SW_HIDE);
      break;
    case Prop::Enabled:
      EnableWindow(native_, model_.enabled() ? TRUE : FALSE);
      InvalidateRect(native_, nullptr, TRUE);
      break;
    case Prop::Position: {
      const RECT rect = form_.PixelRect(model_.rect());
      SetWindowPos(native_, nullptr, rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    }
    case Prop::Font:
      SendMessageW(native_, WM_SETFONT, reinterpret_cast<WPARAM>(form_.FontFor(model_.font())),
                   TRUE);
      break;
    default:
      break;
  }
  SyncOwn(prop);
}

void NativePeer::Rescale() {
  for (Prop prop : {Prop::Position, Prop::Font, Prop::Picture}) Sync(prop);
}

bool NativePeer::OnReflected(UINT, WPARAM, LPARAM, LRESULT&) {
  return false;
}

namespace {

// ---- Label ----

class LabelPeer final : public NativePeer {
 public:
  LabelPeer(FormWindow& form, Label& label) : NativePeer(form, label), label_(label) {}
  ~LabelPeer() override {
    if (brush_ != nullptr) DeleteObject(brush_);
  }

 protected:
  HWND CreateChild(HWND parent, const RECT& rect) override {
    DWORD align = SS_LEFT;
    if (label_.alignment() == Align::Center) align = SS_CENTER;
    if (label_.alignment() == Align::Right) align = SS_RIGHT;
    // Only a label that listens gets the mouse: the others stay transparent to it.
    const bool listens = label_.toolTip || label_.onDblClick;
    HWND hwnd = MakeChild(0, L"STATIC", Widen(label_.caption()), align | (listens ? SS_NOTIFY : 0),
                          parent, rect);
    if (hwnd != nullptr && label_.toolTip) {
      TOOLINFOW tool{};
      tool.cbSize = sizeof(tool);
      tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
      tool.hwnd = parent;
      tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
      tool.lpszText = LPSTR_TEXTCALLBACKW;  // asked for when it shows
      SendMessageW(form().ToolTips(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    return hwnd;
  }
  void SyncOwn(Prop prop) override {
    if (prop == Prop::Caption) SetWindowTextW(native(), Widen(label_.caption()).c_str());
    if (prop == Prop::Colors) {
      if (brush_ != nullptr) DeleteObject(brush_);
      brush_ = CreateSolidBrush(ResolveColor(label_.backColor()));
      InvalidateRect(native(), nullptr, TRUE);
    }
  }
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->code == TTN_GETDISPINFOW) {
      tip_ = Widen(label_.ToolTipText());
      reinterpret_cast<NMTTDISPINFOW*>(lParam)->lpszText = tip_.data();
      result = 0;
      return true;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == STN_DBLCLK) {
      label_.DblClick();
      result = 0;
      return true;
    }
    if (message != WM_CTLCOLORSTATIC) return false;
    HDC dc = reinterpret_cast<HDC>(wParam);
    // A disabled label is drawn greyed whatever its fore colour.
    SetTextColor(dc,
                 label_.enabled() ? ResolveColor(label_.foreColor()) : GetSysColor(COLOR_GRAYTEXT));
    SetBkColor(dc, ResolveColor(label_.backColor()));
    SetBkMode(dc, OPAQUE);
    result = reinterpret_cast<LRESULT>(brush_);
    return true;
  }

 private:
  Label& label_;
  HBRUSH brush_ = nullptr;
  std::wstring tip_;  // the tip's text while it shows
};

// ---- Buttons ----

class CommandPeer final : public NativePeer {
 public:
  CommandPeer(FormWindow& form, CommandButton& button)
      : NativePeer(form, button), button_(button) {}

 protected:
  HWND CreateChild(HWND parent, const RECT& rect) override {
    const DWORD kind = button_.isDefault() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    return MakeChild(0, L"BUTTON", Widen(button_.caption()), kind | WS_TABSTOP, parent, rect);
  }
  void SyncOwn(Prop prop) override {
    if (prop == Prop::Caption) SetWindowTextW(native(), Widen(button_.caption()).c_str());
  }
  bool OnReflected(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED || syncing()) return false;
    button_.Click();
    result = 0;
    return true;
  }

 private:
  CommandButton& button_;
};

class CheckPeer final : public NativePeer {
 public:
  CheckPeer(FormWindow& form, CheckBox& box) : NativePeer(form, box), box_(box) {}

 protected:
  HWND CreateChild(HWND parent, const RECT& rect) override {
    // Not an automatic box: the model decides the state, the window only shows it.
    return MakeChild(0, L"BUTTON", Widen(box_.caption()), BS_3STATE | WS_TABSTOP, parent, rect);
  }
  void SyncOwn(Prop prop) override {
    if (prop == Prop::Caption) SetWindowTextW(native(), Widen(box_.caption()).c_str());
    if (prop == Prop::Value) {
      const WPARAM state = box_.value() == 1   ? BST_CHECKED
                           : box_.value() == 2 ? BST_INDETERMINATE
                                               : BST_UNCHECKED;
      SendMessageW(native(), BM_SETCHECK, state, 0);
    }
  }
  bool OnReflected(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED || syncing()) return false;
    box_.UserClick();
    result = 0;
    return true;
  }

 private:
  CheckBox& box_;
};

class OptionPeer final : public NativePeer {
 public:
  OptionPeer(FormWindow& form, OptionButton& option) : NativePeer(form, option), option_(option) {}

 protected:
  HWND CreateChild(HWND parent, const RECT& rect) override {
    return MakeChild(0, L"BUTTON", Text(), BS_RADIOBUTTON | WS_TABSTOP, parent, rect);
  }
  void SyncOwn(Prop prop) override {
    if (prop == Prop::Value) {
      SendMessageW(native(), BM_SETCHECK, option_.value() ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    if (prop == Prop::Caption || prop == Prop::Picture) {
      OwnedIcon icon(
          LoadPictureIcon(form().model(), option_.picture(), form().Metric(SM_CXSMICON)));
      const LONG_PTR style = GetWindowLongPtrW(native(), GWL_STYLE);
      SetWindowLongPtrW(native(), GWL_STYLE,
                        icon.get() != nullptr ? (style | BS_ICON) : (style & ~LONG_PTR{BS_ICON}));
      SendMessageW(native(), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon.get()));
      icon_ = std::move(icon);
      SetWindowTextW(native(), Text().c_str());
    }
  }
  bool OnReflected(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED || syncing()) return false;
    option_.UserClick();
    result = 0;
    return true;
  }

 private:
  // A picture that is not an icon file is a short text drawn in the caption's place.
  std::wstring Text() const {
    if (!option_.caption().empty() || IsIconFile(option_.picture())) {
      return Widen(option_.caption());
    }
    return Widen(option_.picture());
  }
  OptionButton& option_;
  OwnedIcon icon_;
};

// ---- Up-down, slider, progress bar, scroll bar ----

// A spin control without a buddy takes the focus itself: Tab reaches it, the arrow keys move it
// as its arrows do, and it shows the focus, which the native control alone does not draw.
class UpDownPeer final : public NativePeer {
 public:
  UpDownPeer(FormWindow& form, UpDown& upDown) : NativePeer(form, upDown), upDown_(upDown) {}
  ~UpDownPeer() override {
    if (native() != nullptr) RemoveWindowSubclass(native(), &KeyboardProc, 0);
  }

 protected:
  HWND CreateChild(HWND parent, const RECT& rect) override {
    HWND hwnd = MakeChild(0, UPDOWN_CLASSW, L"", UDS_ARROWKEYS | WS_TABSTOP, parent, rect);
    if (hwnd != nullptr)
      SetWindowSubclass(hwnd, &KeyboardProc, 0, reinterpret_cast<DWORD_PTR>(this));
    return hwnd;
  }
  void SyncOwn(Prop prop) override {
    if (prop == Prop::Range) {
      SendMessageW(native(), UDM_SETRANGE32, static_cast<WPARAM>(upDown_.min()),
                   static_cast<LPARAM>(upDown_.max()));
    }
    if (prop == Prop::Range || prop == Prop::Value) {
      SendMessageW(native(), UDM_SETPOS32, 0, static_cast<LPARAM>(upDown_.value()));
    }
  }
  bool OnReflected(UINT message, WPARAM, LPARAM lParam, LRESULT& result) override {
    if (message != WM_NOTIFY) return false;
    auto* notify = reinterpret_cast<NMUPDOWN*>(lParam);
    if (notify->hdr.code != UDN_DELTAPOS) return false;
    // The native control proposes a move in the direction of its range: the upper arrow's
    // towards Max. The model makes it (and refuses it at the ends), and the position comes back
    // through Sync.
    Press(/*upper=*/(notify->iDelta > 0) == (upDown_.max() >= upDown_.min()));
    result = TRUE;  // cancel the native change
    return true;
  }

 private:
  void Press(bool upper) {
    if (upper) {
      upDown_.ArrowUp();
    } else {
      upDown_.ArrowDown();
    }
  }
  static LRESULT CALLBACK KeyboardProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR self) {
    auto& peer = *reinterpret_cast<UpDownPeer*>(self);
    switch (message) {
      case WM_GETDLGCODE:
        return DefSubclassProc(hwnd, message, wParam, lParam) | DLGC_WANTARROWS;
      case WM_KEYDOWN:
        // The keys press the arrows, the way a click does.
        if (wParam == VK_UP || wParam == VK_DOWN) {
          if (IsWindowEnabled(hwnd)) peer.Press(wParam == VK_UP);
          return 0;
        }
        break;
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
      case WM_UPDATEUISTATE:
        InvalidateRect(hwnd, nullptr, TRUE);
        break;
      case WM_PAINT: {
        const LRESULT painted = DefSubclassProc(hwnd, message, wParam, lParam);
        const bool cuesHidden = (SendMessageW(hwnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
        if (GetFocus() == hwnd && !cuesHidden) {
          RECT client{};
          GetClientRect(hwnd, &client);
          HDC dc = GetDC(hwnd);
          DrawFocusRect(dc, &client);
          ReleaseDC(hwnd, dc);
        }
        return painted;
      }
      default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
  }
  UpDown& upDown_;
};

class SliderPeer final : public NativePeer {
 public:
  SliderPeer(FormWindow& form, Slider& slider) : NativePeer(form, slider), slider_(slider) {}

 protected:
  HWND CreateChild(HWND parent, const RECT& rect) override {
    return MakeChild(0, TRACKBAR_CLASSW, L"", TBS_HORZ | TBS_NOTICKS | TBS_ENABLESELRANGE, parent,
                     rect);
  }
  void SyncOwn(Prop prop) override {
    if (prop == Prop::Range) {
      SendMessageW(native(), TBM_SETRANGEMIN, FALSE, slider_.min());
      SendMessageW(native(), TBM_SETRANGEMAX, TRUE, slider_.max());
    }
    if (prop == Prop::Range || prop == Prop::Value) {
      SendMessageW(native(), TBM_SETPOS, TRUE, slider_.ThumbPosition());
    }
    if (prop == Prop::Range || prop == Prop::Selection) {
      // The band is drawn below; the control's own selection holds the same ends, so that a
      // screen reader or another program reading the control finds what the user sees.
      const Band band = DrawnBand();
      SendMessageW(native(), TBM_SETSELSTART, FALSE, band.start);
      SendMessageW(native(), TBM_SETSELEND, FALSE, band.end);
      InvalidateRect(native(), nullptr, TRUE);
    }
  }
  bool OnReflected(UINT message, WPARAM, LPARAM lParam, LRESULT& result) override {
    if (message == WM_HSCROLL && !syncing()) {
      // Only an enabled slider moves under the user's hand.
      slider_.SetValue(static_cast<int>(SendMessageW(native(), TBM_GETPOS, 0, 0)));
      result = 0;
      return true;
    }
    if (message != WM_NOTIFY) return false;
    auto* draw = reinterpret_cast<NMCUSTOMDRAW*>(lParam);
    if (draw->hdr.code != NM_CUSTOMDRAW) return false;
    if (draw->dwDrawStage == CDDS_PREPAINT) {
      result = CDRF_NOTIFYITEMDRAW;
      return true;
    }
    if (draw->dwDrawStage == CDDS_ITEMPREPAINT && draw->dwItemSpec == TBCD_CHANNEL) {
      // The band is drawn here: Wine draws no native selection, enabled or not.
      DrawChannel(draw->hdc, draw->rc);
      result = CDRF_SKIPDEFAULT;
      return true;
    }
    result = CDRF_DODEFAULT;
    return true;
  }

 private:
  void DrawChannel(HDC dc, RECT channel) {
    // A track of at least a few pixels, so that the band reads as a band.
    const int middle = (channel.top + channel.bottom) / 2;
    channel.top = std::min<LONG>(channel.top, middle - 3);
    channel.bottom = std::max<LONG>(channel.bottom, middle + 3);
    DrawEdge(dc, &channel, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    FillRect(dc, &channel, GetSysColorBrush(COLOR_WINDOW));
    const int lo = std::min(slider_.min(), slider_.max());
    const int hi = std::max(slider_.min(), slider_.max());
    if (hi == lo) return;
    RECT thumb{};
    SendMessageW(native(), TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    const int half = (thumb.right - thumb.left) / 2;
    const int x0 = channel.left + half;
    const int span = std::max<int>(1, (channel.right - channel.left) - 2 * half);
    auto pixel = [&](int value) {
      return x0 + static_cast<int>(static_cast<long long>(value - lo) * span / (hi - lo));
    };
    const Band drawn = DrawnBand();
    RECT band{pixel(drawn.start), channel.top, pixel(drawn.end), channel.bottom};
    if (band.right <= band.left) band.right = band.left + 1;
    FillRect(dc, &band, GetSysColorBrush(COLOR_HIGHLIGHT));
  }
  // The selection band as drawn: in order, and on the track.
  struct Band {
    int start;
    int end;
  };
  Band DrawnBand() const {
    const long long lo = std::min(slider_.min(), slider_.max());
    const long long hi = std::max(slider_.min(), slider_.max());
    const long long start = slider_.selStart();
    const long long end = start + slider_.selLength();
    return {static_cast<int>(std::clamp(std::min(start, end), lo, hi)),
            static_cast<int>(std::clamp(std::max(start, end), lo, hi))};
  }
  Slider& slider_;
};

class ProgressPeer final : public NativePeer {
 public:
  ProgressPeer(FormWindow& form, ProgressBar& bar) : NativePeer(form, bar), bar_(bar) {}

 protected:
  HWND CreateChild(HWND parent, const RECT& rect) override {
    return MakeChild(0, PROGRESS_CLASSW, L"", 0, parent, rect);
  }
  void SyncOwn(Prop prop) override {
    if (prop == Prop::Range) {
      SendMessageW(native(), PBM_SETRANGE32, static_cast<WPARAM>(std::min(bar_.min(), bar_.max())),
                   static_cast<LPARAM>(std::max(bar_.min(), bar_.max())));
    }
    if (prop == Prop::Range || prop == Prop::Value) {
      SendMessageW(native(), PBM_SETPOS, static_cast<WPARAM>(bar_.value()), 0);
    }
  }

 private:
  ProgressBar& bar_;
};

class ScrollPeer final : public NativePeer {
 public:
  ScrollPeer(FormWindow& form, HScrollBar& bar) : NativePeer(form, bar), bar_(bar) {}

 protected:
  HWND CreateChild(HWND parent, const RECT& rect) override {
    return MakeChild(0, L"SCROLLBAR", L"", SBS_HORZ | WS_TABSTOP, parent, rect);
  }
  void SyncOwn(Prop prop) override {
    if (prop != Prop::Range && prop != Prop::Value) return;
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_POS | SIF_PAGE | SIF_DISABLENOSCROLL;
    info.nMin = std::min(bar_.min(), bar_.max());
    info.nMax = std::max(bar_.min(), bar_.max());
    info.nPage = 0;
    info.nPos = bar_.value();
    SetScrollInfo(native(), SB_CTL, &info, TRUE);
  }
  bool OnReflected(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
    if (message != WM_HSCROLL || syncing()) return false;
    switch (LOWORD(wParam)) {
      case SB_LINELEFT:
        bar_.SmallStep(-1);
        break;
      case SB_LINERIGHT:
        bar_.SmallStep(+1);
        break;
      case SB_PAGELEFT:
        bar_.LargeStep(-1);
        break;
      case SB_PAGERIGHT:
        bar_.LargeStep(+1);
        break;
      case SB_LEFT:
        bar_.SetValue(std::min(bar_.min(), bar_.max()));
        break;
      case SB_RIGHT:
        bar_.SetValue(std::max(bar_.min(), bar_.max()));
        break;
      case SB_THUMBPOSITION: {
        // The value arrives where the user lets go of the thumb, not while it is dragged.
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(native(), SB_CTL, &info);
        bar_.SetValue(info.nTrackPos);
        break;
      }
      default:
        break;
    }
    result = 0;
    return true;
  }

 private:
  HScrollBar& bar_;
};

// ---- Text box ----

class TextPeer final : public NativePeer {
 public:
  TextPeer(FormWindow& form, TextBox& text) : NativePeer(form, text), text_(text) {}

 protected:
  HWND CreateChild(HWND parent, const RECT& rect) override {
    DWORD style = WS_TABSTOP | ES_AUTOHSCROLL;
    if (text_.multiLine()) style = WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
    return MakeChild(WS_EX_CLIENTEDGE, L"EDIT", L"", style, parent, rect);
  }
  void SyncOwn(Prop prop) override {
    if (prop != Prop::Caption) return;
    const std::wstring wanted = ToNativeLines(text_.text());
    // Rewriting the same text would move the caret under the user's typing.
    if (WindowText(native()) == wanted) return;
    SetWindowTextW(native(), wanted.c_str());
    if (text_.multiLine()) {
      const auto end = static_cast<WPARAM>(wanted.size());
      SendMessageW(native(), EM_SETSEL, end, static_cast<LPARAM>(end));
      SendMessageW(native(), EM_SCROLLCARET, 0, 0);
    }
  }
  bool OnReflected(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
    if (message != WM_COMMAND || HIWORD(wParam) != EN_CHANGE || syncing()) return false;
    text_.SetText(FromNativeLines(WindowText(native())));
    result = 0;
    return true;
  }

 private:
  TextBox& text_;
};

// ---- Controls that are windows of our own class, which they draw themselves ----

class OwnWindowPeer : public NativePeer, public Window {
 public:
  OwnWindowPeer(FormWindow& form, Control& control)
      : NativePeer(form, control), Window(form.runtime()) {}
  ~OwnWindowPeer() override {
    if (native() != nullptr) RemovePropW(native(), kPeerProperty);
    DestroyNative();
    SetNative(nullptr);
  }

 protected:
  HWND CreateOwn(DWORD exStyle, DWORD style, HWND parent, const RECT& rect) {
    const DWORD visible = model().visible() ? WS_VISIBLE : 0;
    return CreateNative(exStyle, kFrameClass, L"", WS_CHILD | WS_CLIPSIBLINGS | style | visible,
                        rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                        model().controlId());
  }
};

// ---- Frame: a container drawn as a group box ----

class FramePeer final : public OwnWindowPeer {
 public:
  FramePeer(FormWindow& form, Frame& frame) : OwnWindowPeer(form, frame), frame_(frame) {}

 protected:
  HWND CreateChild(HWND parent, const RECT& rect) override {
    return CreateOwn(WS_EX_CONTROLPARENT, WS_CLIPCHILDREN, parent, rect);
  }
  void SyncOwn(Prop prop) override {
    if (prop == Prop::ZOrder) {
      SetWindowPos(native(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    // The caption is drawn by the frame itself; as the window's text it is there for screen
    // readers and other programs too.
    if (prop == Prop::Caption) SetWindowTextW(native(), Widen(frame_.caption()).c_str());
    if (prop == Prop::Caption || prop == Prop::Font || prop == Prop::Enabled) {
      InvalidateRect(native(), nullptr, TRUE);
    }
  }
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_PAINT) {
      Paint();
      return 0;
    }
    // The caption's font, as a group box tells it, for tools that read the window from outside.
    if (message == WM_GETFONT) return reinterpret_cast<LRESULT>(form().FontFor(frame_.font()));
    return Window::Handle(message, wParam, lParam);
  }

 private:
  void Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    RECT client;
    GetClientRect(hwnd(), &client);
    HGDIOBJ oldFont = SelectObject(dc, form().FontFor(frame_.font()));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    RECT edge = client;
    edge.top += metrics.tmHeight / 2;
    DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
    const std::wstring caption = Widen(frame_.caption());
    if (!caption.empty()) {
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      SetBkMode(dc, OPAQUE);
      SetTextColor(dc, GetSysColor(frame_.enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
      // A group box's indent, 8 pixels at 96 DPI.
      const int indent = form().Px(120);
      RECT text{indent, 0, client.right - indent, metrics.tmHeight};
      DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
                DT_LEFT | DT_SINGLELINE | DT_NOCLIP);
    }
    SelectObject(dc, oldFont);
    EndPaint(hwnd(), &paint);
  }
  Frame& frame_;
};

// ---- Tab strip ----

class TabPeer final : public NativePeer {
 public:
  TabPeer(FormWindow& form, TabStrip& tabs) : NativePeer(form, tabs), tabs_(tabs) {}

 protected:
  HWND CreateChild(HWND parent, const RECT& rect) override {
    return MakeChild(0, WC_TABCONTROLW, L"", WS_TABSTOP, parent, rect);
  }
  void SyncOwn(Prop prop) override {
    if (prop == Prop::Caption) {
      SendMessageW(native(), TCM_DELETEALLITEMS, 0, 0);
      int index = 0;
      for (const std::string& caption : tabs_.tabs()) {
        std::wstring text = Widen(caption);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text.data();
        SendMessageW(native(), TCM_INSERTITEMW, static_cast<WPARAM>(index++),
                     reinterpret_cast<LPARAM>(&item));
      }
    }
    if (prop == Prop::Caption || prop == Prop::Value) {
      SendMessageW(native(), TCM_SETCURSEL, static_cast<WPARAM>(tabs_.selectedIndex()), 0);
    }
  }
  bool OnReflected(UINT message, WPARAM, LPARAM lParam, LRESULT& result) override {
    if (message != WM_NOTIFY || syncing()) return false;
    if (reinterpret_cast<NMHDR*>(lParam)->code != TCN_SELCHANGE) return false;
    tabs_.SetSelectedIndex(static_cast<int>(SendMessageW(native(), TCM_GETCURSEL, 0, 0)));
    result = 0;
    return true;
  }

 private:
  TabStrip& tabs_;
};

// ---- Image ----

class ImagePeer final : public NativePeer {
 public:
  ImagePeer(FormWindow& form, Image& image) : NativePeer(form, image), image_(image) {}

 protected:
  HWND CreateChild(HWND parent, const RECT& rect) override {
    return MakeChild(0, L"STATIC", L"", SS_NOTIFY | SS_CENTER | SS_CENTERIMAGE, parent, rect);
  }
  void SyncOwn(Prop prop) override {
    if (prop != Prop::Picture) return;
    RECT client;
    GetClientRect(native(), &client);
    OwnedIcon icon(
        LoadPictureIcon(form().model(), image_.picture(), std::min(client.right, client.bottom)));
    LONG_PTR style = GetWindowLongPtrW(native(), GWL_STYLE) & ~LONG_PTR{SS_TYPEMASK};
    style |= icon.get() != nullptr ? SS_ICON : SS_CENTER;
    SetWindowLongPtrW(native(), GWL_STYLE, style);
    if (icon.get() != nullptr) {
      SendMessageW(native(), STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon.get()));
    } else {
      // A picture that is not an icon file is a short text drawn as the picture.
      SetWindowTextW(native(), Widen(image_.picture()).c_str());
    }
    icon_ = std::move(icon);
    InvalidateRect(native(), nullptr, TRUE);
  }
  bool OnReflected(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
    if (message != WM_COMMAND || HIWORD(wParam) != STN_CLICKED) return false;
    image_.Click();
    result = 0;
    return true;
  }

 private:
  Image& image_;
  OwnedIcon icon_;
};

// ---- Chart: a window of our own class that its form draws, through a bitmap ----

// The canvas over a memory bitmap for one drawing; pens are made once per colour and width.
class BitmapCanvas final : public Canvas {
 public:
  BitmapCanvas(HDC dc, int width, int height, int dpi) : dc_(dc), w_(width), h_(height), dpi_(dpi) {
    SetBkMode(dc_, TRANSPARENT);
    GetTextMetricsW(dc_, &metrics_);
  }
  ~BitmapCanvas() {
    SelectObject(dc_, GetStockObject(BLACK_PEN));
    for (const auto& [key, pen] : pens_) DeleteObject(pen);
  }
  BitmapCanvas(const BitmapCanvas&) = delete;
  BitmapCanvas& operator=(const BitmapCanvas&) = delete;
  int width() const override { return w_; }
  int height() const override { return h_; }
  int dpi() const override { return dpi_; }
  void Fill(int left, int top, int right, int bottom, Color color) override {
    if (right <= left || bottom <= top) return;
    const RECT rect{left, top, right, bottom};
    SetBkColor(dc_, ResolveColor(color));
    ExtTextOutW(dc_, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);  // a fill without a brush
  }
  void Lines(std::span<const Point> points, Color color, int thickness) override {
    if (points.size() < 2) return;
    SelectObject(dc_, Pen(ResolveColor(color), std::max(thickness, 1)));
    MoveToEx(dc_, points[0].x, points[0].y, nullptr);
    for (size_t i = 1; i < points.size(); ++i) LineTo(dc_, points[i].x, points[i].y);
  }
  void Text(int x, int y, std::string_view text, Color color, Align align) override {
    const std::wstring wide = Widen(text);
    SetTextColor(dc_, ResolveColor(color));
    UINT how = TA_TOP | TA_NOUPDATECP;
    how |= align == Align::Right ? TA_RIGHT : align == Align::Center ? TA_CENTER : TA_LEFT;
    SetTextAlign(dc_, how);
    TextOutW(dc_, x, y, wide.c_str(), static_cast<int>(wide.size()));
  }
  int TextWidth(std::string_view text) override {
    const std::wstring wide = Widen(text);
    SIZE size{};
    GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx;
  }
  int TextHeight() override { return metrics_.tmHeight; }

 private:
  HPEN Pen(COLORREF color, int thickness) {
    const auto key = std::make_pair(color, thickness);
    auto it = pens_.find(key);
    if (it == pens_.end()) it = pens_.emplace(key, CreatePen(PS_SOLID, thickness, color)).first;
    return it->second;
  }
  HDC dc_;
  int w_, h_, dpi_;
  TEXTMETRICW metrics_{};
  std::map<std::pair<COLORREF, int>, HPEN> pens_;
};

class ChartPeer final : public OwnWindowPeer {
 public:
  ChartPeer(FormWindow& form, Chart& chart) : OwnWindowPeer(form, chart), chart_(chart) {}

 protected:
  HWND CreateChild(HWND parent, const RECT& rect) override {
    return CreateOwn(WS_EX_CLIENTEDGE, 0, parent, rect);
  }
  void SyncOwn(Prop prop) override {
    // Drawn when the system next paints: never while the window is hidden or covered.
    if (prop == Prop::Value || prop == Prop::Position) InvalidateRect(native(), nullptr, FALSE);
  }
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_ERASEBKGND) return 1;  // the bitmap covers every pixel: no flicker
    if (message == WM_PAINT) {
      Paint();
      return 0;
    }
    return Window::Handle(message, wParam, lParam);
  }

 private:
  void Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    RECT client;
    GetClientRect(hwnd(), &client);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max<LONG>(client.right, 1),
                                            std::max<LONG>(client.bottom, 1));
    if (memory != nullptr && bitmap != nullptr) {
      HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
      HGDIOBJ oldFont = SelectObject(memory, form().FontFor(chart_.font()));
      {
        BitmapCanvas canvas(memory, client.right, client.bottom, form().dpi());
        canvas.Fill(0, 0, client.right, client.bottom, kWindowBackground);
        chart_.Paint(canvas);
      }
      BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
      SelectObject(memory, oldFont);
      SelectObject(memory, oldBitmap);
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (memory != nullptr) DeleteDC(memory);
    EndPaint(hwnd(), &paint);
  }
  Chart& chart_;
};

}  // namespace

std::unique_ptr<NativePeer> MakePeer(FormWindow& form, Control& control) {
  switch (control.kind()) {
    case Kind::Label:
      return std::make_unique<LabelPeer>(form, static_cast<Label&>(control));
    case Kind::CommandButton:
      return std::make_unique<CommandPeer>(form, static_cast<CommandButton&>(control));
    case Kind::CheckBox:
      return std::make_unique<CheckPeer>(form, static_cast<CheckBox&>(control));
    case Kind::OptionButton:
      return std::make_unique<OptionPeer>(form, static_cast<OptionButton&>(control));
    case Kind::UpDown:
      return std::make_unique<UpDownPeer>(form, static_cast<UpDown&>(control));
    case Kind::Slider:
      return std::make_unique<SliderPeer>(form, static_cast<Slider&>(control));
    case Kind::ProgressBar:
      return std::make_unique<ProgressPeer>(form, static_cast<ProgressBar&>(control));
    case Kind::HScrollBar:
      return std::make_unique<ScrollPeer>(form, static_cast<HScrollBar&>(control));
    case Kind::TextBox:
      return std::make_unique<TextPeer>(form, static_cast<TextBox&>(control));
    case Kind::Frame:
      return std::make_unique<FramePeer>(form, static_cast<Frame&>(control));
    case Kind::TabStrip:
      return std::make_unique<TabPeer>(form, static_cast<TabStrip&>(control));
    case Kind::Image:
      return std::make_unique<ImagePeer>(form, static_cast<Image&>(control));
    case Kind::Chart:
      return std::make_unique<ChartPeer>(form, static_cast<Chart&>(control));
    case Kind::Timer:
    case Kind::Menu:
    case Kind::SysInfo:
    case Kind::CommonDialog:
      return nullptr;  // nothing to show; the runtime or the form window serves them
  }
  return nullptr;
}

}  // namespace vigilon::ui::win32
