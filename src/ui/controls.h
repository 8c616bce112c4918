// The controls the windows are written against, the Form base class and FormSlot, the
// create-on-first-use holder of a form. Plain objects: a native peer only mirrors them.
//
// A window in short (the control layer's tests build this one):
//
//   class frmLimits : public ui::Form {
//    public:
//     explicit frmLimits(ui::Runtime& runtime)
//         : Form(runtime, ui::FormArgs("frmLimits", "Limits", 3000, 1200)) {
//       Create({
//           {lblLimit, ui::Args("lblLimit").Caption("0").At(120, 120, 900, 255)},
//           {updLimit, ui::Args("updLimit").At(1080, 90, 255, 330)},
//           {SecCount, ui::Args("SecCount")},
//       });
//       updLimit.SetMax(255);
//       SecCount.SetInterval(1000);
//       updLimit.onChange = [this] { updLimit_Change(); };
//       SecCount.onTimer = [this] { SecCount_Timer(); };
//     }
//     ui::Label lblLimit;
//     ui::UpDown updLimit;
//     ui::Timer SecCount;
//     int seconds = 0;
//
//    protected:
//     void Form_Load() override { updLimit.SetValue(171); }  // runs updLimit_Change
//
//    private:
//     void updLimit_Change() { lblLimit.SetCaption(std::to_string(updLimit.value())); }
//     void SecCount_Timer() { ++seconds; }
//   };
//
//   ui::FormSlot<frmLimits> limits(runtime);  // nothing created yet
//   limits.Get().Show();                      // created, Form_Load run, shown modeless
//   limits.Unload();                          // the next Get() builds a fresh form
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "ui/runtime.h"

namespace vigilon::ui {

// Colours as 0xBBGGRR; values with the top bit set name a system colour by its index in the low
// byte, as the form designer's defaults do.
using Color = uint32_t;
inline constexpr Color kButtonFace = 0x8000000F;
inline constexpr Color kButtonText = 0x80000012;
inline constexpr Color kWindowBackground = 0x80000005;
inline constexpr Color kWindowText = 0x80000008;
constexpr bool IsSystemColor(Color c) {
  return (c & 0x80000000u) != 0;
}

// A rectangle in twips, relative to the container (the form's client area or a frame).
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

struct Font {
  Font() = default;
  Font(std::string faceName, double points, bool isBold = false)
      : name(std::move(faceName)), size(points), bold(isBold) {}
  std::string name = "MS Sans Serif";
  double size = 8.25;  // points
  bool bold = false;
  bool operator==(const Font&) const = default;
};

enum class Align : uint8_t { Left, Right, Center };

// Why a form is closing; the numbers are the ones the windows compare against.
enum class UnloadMode : int {
  ControlMenu = 0,  // close box or the window menu's Close
  Code = 1,         // Unload from the program
  AppWindows = 2,   // Windows shutting down or the user logging off
  TaskManager = 3,
  Owner = 5,
};

enum class MousePointer : uint8_t { Default, Hourglass };

// What the operating system tells about power, before it is reduced to the two moments a
// SysInfo control reports.
enum class PowerNotice : uint8_t {
  QuerySuspend,
  QuerySuspendFailed,
  Suspend,
  ResumeSuspend,
  ResumeAutomatic,
  ResumeCritical,
};

enum class Kind : uint8_t {
  Label,
  CommandButton,
  CheckBox,
  OptionButton,
  UpDown,
  Slider,
  ProgressBar,
  HScrollBar,
  TextBox,
  Frame,
  TabStrip,
  Image,
  Timer,
  Menu,
  SysInfo,
  CommonDialog,
  Chart,
};
std::string_view KindName(Kind kind);

// The creation arguments of one control, named as a chain:
//   Args("lblStatusV(2)").Caption("0.00").At(4320, 585, 900, 210).In("FraVoltage")
// What a field means depends on the kind: caption is a text box's text and a menu entry's
// caption; parent names a frame, or a menu for a sub-entry.
struct ControlArgs {
  explicit ControlArgs(std::string controlName) : name(std::move(controlName)) {}
  ControlArgs& Caption(std::string text) {
    caption = std::move(text);
    return *this;
  }
  ControlArgs& At(int left, int top, int width, int height) {
    rect = {left, top, width, height};
    return *this;
  }
  ControlArgs& At(const Rect& r) {
    rect = r;
    return *this;
  }
  ControlArgs& In(std::string container) {
    parent = std::move(container);
    return *this;
  }
  ControlArgs& WithFont(Font f) {
    font = std::move(f);
    return *this;
  }
  ControlArgs& Back(Color c) {
    backColor = c;
    return *this;
  }
  ControlArgs& Fore(Color c) {
    foreColor = c;
    return *this;
  }
  ControlArgs& Picture(std::string p) {
    picture = std::move(p);
    return *this;
  }
  ControlArgs& Aligned(Align a) {
    align = a;
    return *this;
  }
  ControlArgs& MultiLine() {
    multiLine = true;
    return *this;
  }
  ControlArgs& Hidden() {
    visible = false;
    return *this;
  }
  ControlArgs& Disabled() {
    enabled = false;
    return *this;
  }
  // A command button that Enter presses wherever the focus is not on another button.
  ControlArgs& DefaultButton() {
    isDefault = true;
    return *this;
  }
  // A command button that Escape presses.
  ControlArgs& CancelButton() {
    isCancel = true;
    return *this;
  }

  std::string name;          // "lblStatusV(2)" for member 2 of the array lblStatusV
  std::string caption;       // '&' marks the access key where the kind has one
  Rect rect;                 // twips
  std::optional<Font> font;  // none: the form's font
  std::string parent;        // containing frame or parent menu; empty: the form
  std::optional<Color> backColor;
  std::optional<Color> foreColor;
  std::string picture;  // image and option button: an icon file in the program folder, or a
                        // short text drawn as the picture (for example "°C")
  Align align = Align::Left;
  bool multiLine = false;  // text box
  bool visible = true;
  bool enabled = true;
  bool isDefault = false;  // command button
  bool isCancel = false;   // command button
};
inline ControlArgs Args(std::string name) {
  return ControlArgs(std::move(name));
}

// "lblStatusV(2)": the name of member 2 of the control array lblStatusV.
std::string ArrayName(std::string_view base, size_t index);

class Control {
 public:
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control();

  virtual Kind kind() const = 0;
  const std::string& name() const { return name_; }
  const std::string& parentName() const { return parent_; }
  Form* form() const { return form_; }
  uint16_t controlId() const;

  int left() const { return rect_.left; }
  int top() const { return rect_.top; }
  int width() const { return rect_.width; }
  int height() const { return rect_.height; }
  const Rect& rect() const { return rect_; }
  void SetLeft(int twips);
  void SetTop(int twips);
  void SetWidth(int twips);
  void SetHeight(int twips);
  void Move(const Rect& rect);

  bool visible() const { return visible_; }
  void SetVisible(bool visible);
  // A disabled control takes no input and is drawn greyed.
  bool enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  const Font& font() const;
  void SetFont(const Font& font);

  // The native side attaches its peer here; the model only ever calls Sync on it.
  ControlPeer* peer() const { return peer_.get(); }
  void SetPeer(std::unique_ptr<ControlPeer> peer) { peer_ = std::move(peer); }

 protected:
  Control() = default;
  void Changed(Prop prop);
  virtual void OnChanged(Prop) {}
  virtual void Configure(const ControlArgs&) {}
  // Runs a handler as an event: inside an event scope, on a copy of the handler (it may be
  // replaced while it runs), and not at all once the form is torn down.
  template <class... Args, class... Passed>
  void Raise(const std::function<void(Args...)>& handler, Passed&&... args);
  bool EventsLive() const;

 private:
  friend class Form;
  Form* form_ = nullptr;
  std::string name_;
  std::string parent_;
  Rect rect_;
  bool visible_ = true;
  bool enabled_ = true;
  std::optional<Font> font_;
  std::unique_ptr<ControlPeer> peer_;
};

class Label : public Control {
 public:
  Kind kind() const override { return Kind::Label; }
  const std::string& caption() const { return caption_; }
  void SetCaption(std::string_view caption);
  Color backColor() const { return backColor_; }
  void SetBackColor(Color color);
  Color foreColor() const { return foreColor_; }
  void SetForeColor(Color color);
  Align alignment() const { return align_; }
  std::function<void()> onChange;  // the caption changed
  // The tip shown while the mouse rests on the label, asked for only then: a tip that follows the
  // readings costs nothing per cycle. Unset: no tip.
  std::function<std::string()> toolTip;
  std::string ToolTipText() const { return toolTip ? toolTip() : std::string(); }
  void DblClick();  // as the user's double-click: runs onDblClick
  std::function<void()> onDblClick;

 private:
  void Configure(const ControlArgs& args) override;
  std::string caption_;
  Color backColor_ = kButtonFace;
  Color foreColor_ = kButtonText;
  Align align_ = Align::Left;
};

class CommandButton : public Control {
 public:
  Kind kind() const override { return Kind::CommandButton; }
  const std::string& caption() const { return caption_; }
  void SetCaption(std::string caption);
  void Click();  // as a user's click: runs onClick
  std::function<void()> onClick;
  bool isDefault() const { return default_; }
  bool isCancel() const { return cancel_; }

 private:
  void Configure(const ControlArgs& args) override {
    caption_ = args.caption;
    default_ = args.isDefault;
    cancel_ = args.isCancel;
  }
  std::string caption_;
  bool default_ = false;
  bool cancel_ = false;
};

class CheckBox : public Control {
 public:
  Kind kind() const override { return Kind::CheckBox; }
  const std::string& caption() const { return caption_; }
  void SetCaption(std::string caption);
  int value() const { return value_; }
  // 0 clear, 1 ticked (2, greyed, is kept and drawn but never produced by a click). A value
  // that differs runs onClick, nested inside the assignment.
  void SetValue(int value);
  void UserClick();  // ticked becomes clear, anything else ticked
  std::function<void()> onClick;

 private:
  void Configure(const ControlArgs& args) override { caption_ = args.caption; }
  std::string caption_;
  int value_ = 0;
};

// Exclusive within its container (the form or one frame).
class OptionButton : public Control {
 public:
  Kind kind() const override { return Kind::OptionButton; }
  const std::string& caption() const { return caption_; }
  void SetCaption(std::string caption);
  const std::string& picture() const { return picture_; }
  void SetPicture(std::string picture);
  bool value() const { return value_; }
  // Selecting clears the others of the group (without their events) and runs onClick; a
  // button already selected does nothing. Clearing raises nothing.
  void SetValue(bool value);
  void UserClick() { SetValue(true); }
  std::function<void()> onClick;

 private:
  void Configure(const ControlArgs& args) override;
  std::string caption_;
  std::string picture_;
  bool value_ = false;
};

// What the four ranged controls share: a value and its range. A control that clamps keeps its
// value inside the range, and a range change takes the value along (raising the change of a
// control that has one); a slider, used as a gauge, keeps its value as given.
class RangedControl : public Control {
 public:
  int value() const { return value_; }
  int min() const { return min_; }
  int max() const { return max_; }
  void SetValue(int value);
  void SetMin(int min);
  void SetMax(int max);

 protected:
  RangedControl(int max, bool clamps) : max_(max), clamps_(clamps) {}
  // The value changed, by code or by the user.
  virtual void ValueChanged() {}

 private:
  void KeepInRange();
  int value_ = 0;
  int min_ = 0;
  int max_;
  bool clamps_;
};

// A spin control without a buddy: the windows show its value in a label of their own. A change
// of the value raises onChange.
class UpDown : public RangedControl {
 public:
  UpDown() : RangedControl(10, /*clamps=*/true) {}
  Kind kind() const override { return Kind::UpDown; }
  int increment() const { return increment_; }
  void SetIncrement(int increment);
  void ArrowUp();  // the user's arrows: one increment towards Max, stopping at the end
  void ArrowDown();
  std::function<void()> onChange;

 private:
  void ValueChanged() override { Raise(onChange); }
  int increment_ = 1;
};

// Used as a gauge: the value and the selection band are kept as given, even outside the
// range, because the readings and limits are read back from it; only the thumb is drawn
// on the track.
class Slider : public RangedControl {
 public:
  Slider() : RangedControl(10, /*clamps=*/false) {}
  Kind kind() const override { return Kind::Slider; }
  int selStart() const { return selStart_; }
  int selLength() const { return selLength_; }
  void SetSelStart(int start);
  void SetSelLength(int length);
  int ThumbPosition() const;  // the value clamped onto the track

 private:
  int selStart_ = 0;
  int selLength_ = 0;
};

class ProgressBar : public RangedControl {
 public:
  ProgressBar() : RangedControl(100, /*clamps=*/true) {}
  Kind kind() const override { return Kind::ProgressBar; }
};

// A change of the value raises onChange.
class HScrollBar : public RangedControl {
 public:
  HScrollBar() : RangedControl(32767, /*clamps=*/true) {}
  Kind kind() const override { return Kind::HScrollBar; }
  int smallChange() const { return smallChange_; }
  int largeChange() const { return largeChange_; }
  void SetSmallChange(int step);
  void SetLargeChange(int step);
  // The user's arrows (small) and clicks beside the thumb (large); direction -1 or +1.
  void SmallStep(int direction);
  void LargeStep(int direction);
  std::function<void()> onChange;

 private:
  void ValueChanged() override { Raise(onChange); }
  int smallChange_ = 1;
  int largeChange_ = 1;
};

class TextBox : public Control {
 public:
  Kind kind() const override { return Kind::TextBox; }
  const std::string& text() const { return text_; }
  void SetText(std::string_view text);  // a change raises onChange; typing arrives here too
  bool multiLine() const { return multiLine_; }
  std::function<void()> onChange;

 private:
  void Configure(const ControlArgs& args) override;
  std::string text_;
  bool multiLine_ = false;
};

// A container with a caption; the controls naming it as parent move, show and hide with it.
class Frame : public Control {
 public:
  Kind kind() const override { return Kind::Frame; }
  const std::string& caption() const { return caption_; }
  void SetCaption(std::string caption);
  void ZOrder();  // bring to the front of its siblings
  uint32_t zOrderStamp() const { return zStamp_; }
  bool IsInFrontOf(const Frame& other) const { return zStamp_ > other.zStamp_; }

 private:
  void Configure(const ControlArgs& args) override;
  std::string caption_;
  uint32_t zStamp_ = 0;
};

class TabStrip : public Control {
 public:
  Kind kind() const override { return Kind::TabStrip; }
  const std::vector<std::string>& tabs() const { return tabs_; }
  void SetTabs(std::vector<std::string> captions);  // selects the first tab, raising nothing
  int selectedIndex() const { return selected_; }
  std::string SelectedCaption() const;
  void SetSelectedIndex(int index);  // a change raises onClick, as the user's click on a tab
  std::function<void()> onClick;

 private:
  std::vector<std::string> tabs_;
  int selected_ = -1;
};

class Image : public Control {
 public:
  Kind kind() const override { return Kind::Image; }
  const std::string& picture() const { return picture_; }
  void SetPicture(std::string picture);
  void Click();
  std::function<void()> onClick;

 private:
  void Configure(const ControlArgs& args) override { picture_ = args.picture; }
  std::string picture_;
};

// Fires every `interval` ms while enabled. Interval 0 or disabled never fires; setting the
// interval (even to the same number) restarts the count.
class Timer : public Control {
 public:
  Timer();
  ~Timer() override;
  Kind kind() const override { return Kind::Timer; }
  uint32_t interval() const { return interval_; }
  void SetInterval(uint32_t milliseconds);
  bool Running() const { return enabled() && interval_ > 0 && EventsLive(); }
  void Fire();  // the runtime's tick; does nothing unless Running and not already firing
  std::function<void()> onTimer;

 private:
  void OnChanged(Prop prop) override;
  uint32_t interval_ = 0;
  bool firing_ = false;
};

// A menu entry; entries naming another entry as parent are its sub-entries.
class Menu : public Control {
 public:
  Kind kind() const override { return Kind::Menu; }
  const std::string& caption() const { return caption_; }
  void SetCaption(std::string caption);
  std::vector<Menu*> Entries() const;  // sub-entries in creation order
  void Click();                        // as a pick by the user
  std::function<void()> onClick;

 private:
  void Configure(const ControlArgs& args) override { caption_ = args.caption; }
  void OnChanged(Prop prop) override;
  std::string caption_;
};

// The power moments: the system asks to suspend (the handler may set cancel), the system
// announces the suspend itself, and the system has resumed. Notice() turns the system's
// several notices into one event per moment; a suspend that someone refused after the question
// ends as a resume does.
class SysInfo : public Control {
 public:
  Kind kind() const override { return Kind::SysInfo; }
  std::function<void(bool& cancel)> onQuerySuspend;
  std::function<void()> onSuspend;  // after the question, at each announcement
  std::function<void()> onResume;
  bool RaiseQuerySuspend();  // returns cancel
  void RaiseResume();
  // Returns the cancel answer for a suspend query, false otherwise.
  bool Notice(PowerNotice notice);

 private:
  enum class PowerState : uint8_t { Running, Suspending, Resumed };
  PowerState powerState_ = PowerState::Running;
  uint8_t wakeNotices_ = 0;  // the resume notices seen of the current wake: 1 automatic, 2 user
};

// The common dialog's help request.
class CommonDialog : public Control {
 public:
  Kind kind() const override { return Kind::CommonDialog; }
  std::string helpFile;
  uint32_t helpCommand = 0;
  uint32_t helpContext = 0;
  bool ShowHelp();  // Platform::ShowHelp with the three properties; false: no viewer took it
};

// What a chart draws on: its own area in pixels at the window's DPI, the origin at the top left.
// Colours as the controls take them; text in the control's font.
class Canvas {
 public:
  struct Point {
    int x, y;
  };
  virtual int width() const = 0;
  virtual int height() const = 0;
  virtual int dpi() const = 0;
  int Px(int twips) const { return twips * dpi() / 1440; }
  virtual void Fill(int left, int top, int right, int bottom, Color color) = 0;
  // A line through the points, `thickness` pixels wide.
  virtual void Lines(std::span<const Point> points, Color color, int thickness = 1) = 0;
  // `x` is the text's left, right or centre as `align` says; `y` its top.
  virtual void Text(int x, int y, std::string_view text, Color color, Align align) = 0;
  virtual int TextWidth(std::string_view text) = 0;
  virtual int TextHeight() = 0;

 protected:
  ~Canvas() = default;
};

// A surface its form draws itself, whenever the system shows it. Invalidate asks for a drawing;
// one that is not visible is never drawn.
class Chart : public Control {
 public:
  Kind kind() const override { return Kind::Chart; }
  void Invalidate() { Changed(Prop::Value); }
  void Paint(Canvas& canvas) { Raise(onPaint, canvas); }
  std::function<void(Canvas&)> onPaint;
};

// Where a form's window first appears.
enum class Placement : uint8_t {
  Default,       // where the system puts new windows
  CenterScreen,  // centred on the screen's work area, `cascade` steps down and to the right
};

struct FormArgs {
  FormArgs(std::string formName, std::string title, int width = 4800, int height = 3600)
      : name(std::move(formName)),
        caption(std::move(title)),
        clientWidth(width),
        clientHeight(height) {}
  FormArgs& Icon(std::string file) {
    icon = std::move(file);
    return *this;
  }
  FormArgs& Centered(int cascadeSteps = 0) {
    placement = Placement::CenterScreen;
    cascade = cascadeSteps;
    return *this;
  }
  FormArgs& AsDialog() {
    dialog = true;
    return *this;
  }
  FormArgs& Resizable() {
    resizable = true;
    return *this;
  }
  std::string name;        // "frmvigilon"
  std::string caption;     // title bar
  int clientWidth = 4800;  // twips
  int clientHeight = 3600;
  Font font;
  std::string icon;  // the design icon, a file of the program folder; empty: the program's own
  Placement placement = Placement::Default;
  int cascade = 0;
  // A dialog: a fixed border without a minimise box, and brought in front of other programs'
  // windows when it is shown, so that a warning is seen.
  bool dialog = false;
  // A sizing border and a maximise box; the client area never gets smaller than designed.
  bool resizable = false;
};

// One control and its creation arguments: a row of a form's creation table.
struct ControlSpec {
  Control& control;
  ControlArgs args;
};

class Form;
// What owns a form's memory; told when the form has unloaded.
class FormOwner {
 public:
  virtual void Release(Form& form) = 0;

 protected:
  ~FormOwner() = default;
};

// Windows derive from Form, declare their controls as members (arrays as std::array), create
// them from tables in the constructor and override the Form_ handlers they need.
class Form {
 public:
  Form(Runtime& runtime, FormArgs args);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  Runtime& runtime() const { return runtime_; }
  platform::Platform& platform() const { return runtime_.platform(); }
  const std::string& name() const { return args_.name; }
  const FormArgs& args() const { return args_; }

  // Creates the native window (if the runtime has peers) and runs Form_Load. FormSlot calls it.
  void Load();
  bool loaded() const { return state_ == State::Loaded; }
  // Asks Form_QueryUnload, then runs Form_Unload and destroys the native window; the owner
  // (FormSlot) lets go of the form. Returns false when the query cancelled.
  bool Unload(UnloadMode mode = UnloadMode::Code);
  // True from the end of Form_Unload on: events are no longer delivered.
  bool tornDown() const { return state_ == State::TornDown; }
  // Events flow from the load until the form is torn down; never while it is being built.
  bool eventsLive() const { return state_ == State::Loaded || state_ == State::Unloading; }
  // Tears the form down without asking or telling its handlers (program end). A derived
  // form's members are gone by the time ~Form runs, so its owner calls this first.
  void Discard();

  // The width of `text` in the form's font, in twips, at the window's DPI: a font does not grow
  // exactly with the DPI. Without a window (headless), an average of 105 twips a character.
  int TextWidth(std::string_view text) const;

  // Modeless; a form shown already comes to the front.
  void Show();
  void Hide();
  // Which form was shown last: the largest is the front-most.
  uint32_t frontStamp() const { return frontStamp_; }
  bool visible() const { return visible_; }
  const std::string& caption() const { return caption_; }
  void SetCaption(std::string caption);
  // The window icon. SetIcon hands the form the handle: it destroys it once it is replaced or
  // the form goes. SetSharedIcon shows a handle someone else owns and destroys (one icon the
  // window and the notification area show again and again): the form never destroys it.
  platform::IconHandle icon() const { return icon_; }
  bool iconOwned() const { return iconOwned_; }
  void SetIcon(platform::IconHandle icon);
  void SetSharedIcon(platform::IconHandle icon);
  MousePointer mousePointer() const { return mousePointer_; }
  void SetMousePointer(MousePointer pointer);
  void Refresh();
  uint32_t refreshCount() const { return refreshCount_; }
  uint32_t hWnd() const;
  // Pops up `menu`'s entries at the cursor and runs the click of the entry picked, before
  // returning.
  void PopupMenu(Menu& menu);
  // Whether any top-level menu is visible (and so a menu bar is shown).
  bool HasMenuBar() const;

  Control* FindControl(std::string_view name) const;
  Control* FindControlById(uint16_t id) const;
  template <class T>
  T* Find(std::string_view name) const {
    return dynamic_cast<T*>(FindControl(name));
  }
  const std::vector<Control*>& controls() const { return controls_; }
  // Pairs of control names of this form that share a native control identifier.
  std::vector<std::pair<std::string, std::string>> ControlIdCollisions() const;
  FormPeer* peer() const { return peer_.get(); }

  // The owner is told when the form has unloaded.
  void SetOwner(FormOwner* owner) { owner_ = owner; }

  // Native side: user input. The close box asks with unload mode 0.
  bool RequestClose(UnloadMode mode) { return Unload(mode); }
  // Only asks (Form_QueryUnload): whether the form would let itself be closed now. The end of
  // a Windows session asks first and closes only when the session really ends.
  bool QueryClose(UnloadMode mode);
  void DeliverMouseMove(int button, int shift, int x, int y);
  void DeliverTaskbarCreated();  // the notification area was rebuilt
  // A second copy of the program asks this one to come forward; true when this form took it
  // (shown itself), and the native side then restores it and brings it to the foreground.
  bool DeliverComeForward();
  // The user resized the window: its client area in twips, never below the design's.
  void DeliverResize(int widthTwips, int heightTwips);
  int clientWidth() const { return clientWidth_; }
  int clientHeight() const { return clientHeight_; }
  // Hands a power notice to the form's SysInfo controls; returns the cancel answer.
  bool DeliverPowerNotice(PowerNotice notice);
  void MenusChanged();
  uint32_t NextZStamp() { return ++zCounter_; }

 protected:
  void Create(Control& control, ControlArgs args);
  void Create(std::initializer_list<ControlSpec> table);
  void Create(const std::vector<ControlSpec>& table);

  // The window's handlers.
  virtual void Form_Load() {}
  virtual void Form_QueryUnload(bool& /*cancel*/, UnloadMode /*mode*/) {}
  virtual void Form_Unload() {}
  // Mouse over the client area, x and y in pixels. The notification-area callback arrives
  // here too, with the mouse message code as x.
  virtual void Form_MouseMove(int /*button*/, int /*shift*/, int /*x*/, int /*y*/) {}
  // The notification area was rebuilt (the shell restarted) while this form is hidden: a form
  // with a tray icon adds it again.
  virtual void Form_TaskbarCreated() {}
  // A second copy was started: the program's main window shows itself and says true.
  virtual bool Form_ComeForward() { return false; }
  // The client area has a new size (clientWidth, clientHeight).
  virtual void Form_Resize() {}

 private:
  enum class State : uint8_t { Created, Loaded, Unloading, TornDown };
  // `unloaded`: by Unload, which may end the program; otherwise discarded at its end.
  void Teardown(bool unloaded);
  void ShowIcon(platform::IconHandle icon, bool owned);
  Runtime& runtime_;
  FormArgs args_;
  State state_ = State::Created;
  std::vector<Control*> controls_;
  std::unique_ptr<FormPeer> peer_;
  FormOwner* owner_ = nullptr;
  bool visible_ = false;
  std::string caption_;
  platform::IconHandle icon_ = 0;
  bool iconOwned_ = false;  // the form destroys icon_
  MousePointer mousePointer_ = MousePointer::Default;
  uint32_t refreshCount_ = 0;
  uint32_t fakeHandle_ = 0;
  uint32_t frontStamp_ = 0;
  uint32_t zCounter_ = 0;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  friend class Control;
  void Forget(Control* control);
};

// "Create on first use, destroy on unload": Get() creates and loads the form when it is not
// loaded; after Unload the next Get() builds a fresh form with fresh controls.
template <class T, class... CtorArgs>
class FormSlot final : public FormOwner {
 public:
  explicit FormSlot(Runtime& runtime, CtorArgs... args)
      : runtime_(runtime), ctorArgs_(std::forward<CtorArgs>(args)...) {}
  ~FormSlot() {
    if (!form_) return;
    form_->SetOwner(nullptr);
    form_->Discard();
  }
  FormSlot(const FormSlot&) = delete;
  FormSlot& operator=(const FormSlot&) = delete;

  T& Get() {
    if (!form_) {
      form_ =
          std::apply([this](auto&... a) { return std::make_unique<T>(runtime_, a...); }, ctorArgs_);
      form_->SetOwner(this);
      T& form = *form_;
      form.Load();
      return form;
    }
    return *form_;
  }
  T* operator->() { return &Get(); }
  bool Loaded() const { return form_ != nullptr; }
  T* IfLoaded() const { return form_.get(); }
  bool Unload(UnloadMode mode = UnloadMode::Code) { return form_ ? form_->Unload(mode) : true; }

  void Release(Form& form) override {
    if (form_.get() != &form) return;
    form.SetOwner(nullptr);
    runtime_.Bury(std::move(form_));
  }

 private:
  Runtime& runtime_;
  std::tuple<CtorArgs...> ctorArgs_;
  std::unique_ptr<T> form_;
};

template <class... Args, class... Passed>
void Control::Raise(const std::function<void(Args...)>& handler, Passed&&... args) {
  if (!handler || !EventsLive()) return;
  std::function<void(Args...)> copy = handler;
  if (form_ == nullptr) {
    copy(std::forward<Passed>(args)...);
    return;
  }
  Runtime::EventScope scope(form_->runtime());
  copy(std::forward<Passed>(args)...);
}

// Members `last` down to `first` of a form's rows of control arrays each take, control by
// control, the Left and then the Top of the member above, read before that member itself moves:
// hence the walk from the bottom. `columns` are the arrays of one row, in the order they move.
template <class... Columns>
void ShiftRowsUp(int first, int last, Columns&... columns) {
  const auto follow = [](Control& moved, const Control& above) {
    moved.SetLeft(above.left());
    moved.SetTop(above.top());
  };
  for (int a = last; a >= first; --a) (follow(columns[a], columns[a - 1]), ...);
}

}  // namespace vigilon::ui
