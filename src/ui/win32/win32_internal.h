// Shared pieces of the Win32 peers: the one window procedure and its window objects, the peer
// base over a child window, and the runtime's private state.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first
#include <commctrl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "platform/single_instance.h"
#include "platform/win32/wide_text.h"
#include "ui/controls.h"
#include "ui/win32/win32_runtime.h"

namespace vigilon::ui::win32 {

// The forms' class is the one a second copy looks for.
inline constexpr const wchar_t* kFormClass = platform::kFormWindowClass;
inline constexpr wchar_t kFrameClass[] = L"VigilonFrame";
inline constexpr wchar_t kSinkClass[] = L"VigilonTimerSink";
// The window property that leads from a child control's window to its peer.
inline constexpr wchar_t kPeerProperty[] = L"VigilonPeer";
// The window property that names a form's window: a global atom of the form's name, so that
// another process tells apart windows that share a title.
inline constexpr wchar_t kFormNameProperty[] = L"VigilonFormName";

using platform::Narrow;
using platform::Widen;
using platform::WidePath;
COLORREF ResolveColor(Color color);
// Whether a window named in a message is one of this thread's own (of this process).
bool OwnWindow(HWND window);
// Whether `size` bytes at `start` are committed memory of this process that may be read: a
// pointer in a message another program posted is none of ours.
bool ReadableMemory(const void* start, std::size_t size);

// A window of our own classes. The static procedure attaches the object at WM_NCCREATE and
// hands it every later message, inside an event scope of the runtime.
class Window {
 public:
  explicit Window(Win32Runtime& runtime) : runtime_(runtime) {}
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND hwnd() const { return hwnd_; }
  Win32Runtime& runtime() const { return runtime_; }
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  HWND CreateNative(DWORD exStyle, const wchar_t* className, const std::wstring& text, DWORD style,
                    int x, int y, int width, int height, HWND parent, UINT_PTR id);
  virtual LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  // Hands WM_COMMAND, WM_NOTIFY, WM_HSCROLL, WM_VSCROLL and WM_CTLCOLOR* from a child control
  // back to the child's peer. True when the peer took it.
  static bool Reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void DestroyNative();

 private:
  Win32Runtime& runtime_;
  HWND hwnd_ = nullptr;
};

// An icon handle this side loaded: destroyed when replaced and with its owner, never before the
// window showing it has been given the next one.
class OwnedIcon {
 public:
  OwnedIcon() = default;
  explicit OwnedIcon(HICON icon) : icon_(icon) {}
  ~OwnedIcon() { Reset(); }
  OwnedIcon(OwnedIcon&& other) noexcept : icon_(std::exchange(other.icon_, nullptr)) {}
  OwnedIcon& operator=(OwnedIcon&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.icon_, nullptr));
    return *this;
  }
  OwnedIcon(const OwnedIcon&) = delete;
  OwnedIcon& operator=(const OwnedIcon&) = delete;

  HICON get() const { return icon_; }
  void Reset(HICON icon = nullptr) {
    if (icon_ != nullptr && icon_ != icon) DestroyIcon(icon_);
    icon_ = icon;
  }

 private:
  HICON icon_ = nullptr;
};

class FormWindow;

// A peer over one native child window.
class NativePeer : public ControlPeer {
 public:
  NativePeer(FormWindow& form, Control& model) : form_(form), model_(model) {}
  ~NativePeer() override;
  NativePeer(const NativePeer&) = delete;
  NativePeer& operator=(const NativePeer&) = delete;

  // Creates the native window and copies every property to it.
  void Build();
  HWND native() const { return native_; }
  Control& model() const { return model_; }
  void Sync(Prop prop) final;
  // The window's DPI changed: position, font and pictures again from the model.
  void Rescale();
  // A notification of this control, reflected by its parent.
  virtual bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 protected:
  virtual HWND CreateChild(HWND parent, const RECT& rect) = 0;
  virtual void SyncOwn(Prop) {}
  HWND MakeChild(DWORD exStyle, const wchar_t* className, const std::wstring& text, DWORD style,
                 HWND parent, const RECT& rect);
  FormWindow& form() const { return form_; }
  // True while the peer itself writes to the native window: notifications that causes are not
  // user input.
  bool syncing() const { return syncing_ > 0; }
  struct Syncing {
    explicit Syncing(NativePeer& peer) : peer_(peer) { ++peer_.syncing_; }
    ~Syncing() { --peer_.syncing_; }
    NativePeer& peer_;
  };
  void SetNative(HWND hwnd) { native_ = hwnd; }

 private:
  FormWindow& form_;
  Control& model_;
  HWND native_ = nullptr;
  int syncing_ = 0;
};

class FormWindow final : public Window, public FormPeer {
 public:
  FormWindow(Win32Runtime& runtime, Form& form);
  ~FormWindow() override;

  void SyncCaption() override;
  void SyncIcon() override;
  void SyncVisible() override;
  void BringToFront() override;
  void SyncMousePointer() override;
  void SyncMenus() override;
  void Refresh() override;
  uint32_t NativeHandle() const override;
  int TextWidth(std::string_view text, const Font& font) override;
  void CreateControlPeers() override;

  Form& model() const { return form_; }
  int dpi() const { return dpi_; }
  int Px(int twips) const;
  RECT PixelRect(const Rect& twips) const;
  HFONT FontFor(const Font& font);
  // A system metric (SM_CXSMICON, ...) at this window's DPI.
  int Metric(int index) const;
  // The keys the form handles itself before the dialog manager sees them: Tab and Shift+Tab in
  // reading order, Enter on a button. True when the key was taken.
  bool TakeKey(const MSG& message);
  bool TakeLabelAccessKey(WPARAM key);
  // The next control Tab reaches from `from` (backwards for Shift+Tab), or nullptr.
  HWND NextTabStop(HWND from, bool backwards) const;
  // The native window a control is created in: its frame's, or the form's.
  HWND ContainerOf(const Control& control) const;
  HMENU BuildPopup(const Menu& menu) const;
  // The window's tooltips control, made when the first control with a tip asks for it.
  HWND ToolTips();

 protected:
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // A second copy's ask: kCameForward when this form took it, else 0 as for any message.
  LRESULT ComeForward();
  void FitClientArea();
  void PlaceFirstTime();
  // Lays the window out again at a new DPI, at the place the system suggests.
  void ChangeDpi(int dpi, const RECT& suggested);
  // The window rectangle whose client area is the form's in twips at this DPI.
  RECT FrameForClientArea() const;
  RECT FrameFor(int widthTwips, int heightTwips) const;
  void SendIcon();
  DWORD Style() const;
  DWORD ExStyle() const;
  Form& form_;
  // The icon the native window was last given, and whether the form owned it (and so may
  // destroy it once replaced); a later one waits while the window is hidden.
  platform::IconHandle nativeIcon_ = 0;
  bool nativeIconOwned_ = false;
  ATOM nameAtom_ = 0;
  bool placed_ = false;
  int dpi_ = 96;
  HMENU menuBar_ = nullptr;
  bool closeFromMenu_ = false;
  bool fitted_ = false;  // the first size, from the form's design, has been given
  HWND toolTips_ = nullptr;
  // The control that had the focus when the window was last deactivated.
  HWND lastFocus_ = nullptr;
};

}  // namespace vigilon::ui::win32

namespace vigilon::ui {

struct Win32Runtime::Impl {
  HINSTANCE instance = nullptr;
  UINT taskbarCreated = 0;
  UINT comeForward = 0;  // a second copy's ask
  std::unique_ptr<win32::Window> timerSink;
  // A hidden top-level window that owns the dialogs: owned, they get no task-bar button of
  // their own, and unlike windows owned by the main window they stay when it hides.
  std::unique_ptr<win32::Window> dialogOwner;
  std::map<Timer*, UINT_PTR> timerKeys;
  std::map<UINT_PTR, Timer*> timersByKey;
  UINT_PTR nextTimerKey = 1;
  std::map<std::tuple<std::wstring, int, bool>, HFONT> fonts;  // face, height, bold
  int exitCode = 0;
  bool quitPosted = false;
  // Whether the system has the TrueType twin of the old bitmap face "MS Sans Serif".
  bool trueTypeSansSerif = false;
  int WindowDpi(HWND hwnd) const;
  // The newer per-window DPI functions, looked up: the 32-bit program also runs on systems
  // that do not have them, where the system's DPI is every window's.
  UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
  // Lets a message of a less privileged program through to one window (older systems have no
  // such filter); its last argument is the optional CHANGEFILTERSTRUCT.
  BOOL(WINAPI* changeWindowMessageFilterEx)(HWND, UINT, DWORD, void*) = nullptr;
  int(WINAPI* getSystemMetricsForDpi)(int, UINT) = nullptr;
  BOOL(WINAPI* adjustWindowRectExForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
};

}  // namespace vigilon::ui
