// The controls' setters and events, and the form's lifetime.
#include "ui/controls.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "ui/control_id.h"

namespace vigilon::ui {
namespace {

// Keeps v between the two ends of a range, whichever of them is the larger: a range whose Min
// lies above its Max runs backwards but still bounds the value.
int ClampInto(long long v, int a, int b) {
  const long long lo = std::min(a, b);
  const long long hi = std::max(a, b);
  return static_cast<int>(std::clamp(v, lo, hi));
}

const Font& DefaultFont() {
  static const Font font;
  return font;
}

}  // namespace

std::string_view KindName(Kind kind) {
  switch (kind) {
    case Kind::Label:
      return "Label";
    case Kind::CommandButton:
      return "CommandButton";
    case Kind::CheckBox:
      return "CheckBox";
    case Kind::OptionButton:
      return "OptionButton";
    case Kind::UpDown:
      return "UpDown";
    case Kind::Slider:
      return "Slider";
    case Kind::ProgressBar:
      return "ProgressBar";
    case Kind::HScrollBar:
      return "HScrollBar";
    case Kind::TextBox:
      return "TextBox";
    case Kind::Frame:
      return "Frame";
    case Kind::TabStrip:
      return "TabStrip";
    case Kind::Image:
      return "Image";
    case Kind::Timer:
      return "Timer";
    case Kind::Menu:
      return "Menu";
    case Kind::SysInfo:
      return "SysInfo";
    case Kind::CommonDialog:
      return "CommonDialog";
    case Kind::Chart:
      return "Chart";
  }
  return "?";
}

std::string ArrayName(std::string_view base, size_t index) {
  return std::string(base) + "(" + std::to_string(index) + ")";
}

// ---- Control ----

Control::~Control() {
  peer_.reset();
  if (form_ != nullptr) form_->Forget(this);
}

uint16_t Control::controlId() const {
  return ControlIdForName(name_);
}

void Control::SetLeft(int twips) {
  Move({twips, rect_.top, rect_.width, rect_.height});
}
void Control::SetTop(int twips) {
  Move({rect_.left, twips, rect_.width, rect_.height});
}
void Control::SetWidth(int twips) {
  Move({rect_.left, rect_.top, twips, rect_.height});
}
void Control::SetHeight(int twips) {
  Move({rect_.left, rect_.top, rect_.width, twips});
}

void Control::Move(const Rect& rect) {
  if (rect == rect_) return;
  rect_ = rect;
  Changed(Prop::Position);
}

void Control::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed(Prop::Visible);
}

void Control::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Changed(Prop::Enabled);
}

const Font& Control::font() const {
  if (font_) return *font_;
  return form_ != nullptr ? form_->args().font : DefaultFont();
}

void Control::SetFont(const Font& font) {
  if (font_ && *font_ == font) return;
  font_ = font;
  Changed(Prop::Font);
}

void Control::Changed(Prop prop) {
  if (peer_) peer_->Sync(prop);
  OnChanged(prop);
}

bool Control::EventsLive() const {
  // Values given while the form is being built are design values: events start with the load.
  return form_ == nullptr || (form_->eventsLive() && !form_->runtime().ended());
}

// ---- Label ----

void Label::Configure(const ControlArgs& args) {
  caption_ = args.caption;
  align_ = args.align;
  if (args.backColor) backColor_ = *args.backColor;
  if (args.foreColor) foreColor_ = *args.foreColor;
}

void Label::SetCaption(std::string_view caption) {
  // Compared before anything is copied: the polling cycle rewrites captions every few seconds
  // and mostly with the text they already show.
  if (caption == caption_) return;
  caption_.assign(caption);
  Changed(Prop::Caption);
  Raise(onChange);
}

void Label::SetBackColor(Color color) {
  if (color == backColor_) return;
  backColor_ = color;
  Changed(Prop::Colors);
}

void Label::SetForeColor(Color color) {
  if (color == foreColor_) return;
  foreColor_ = color;
  Changed(Prop::Colors);
}

void Label::DblClick() {
  if (!enabled()) return;
  Raise(onDblClick);
}

// ---- Buttons ----

void CommandButton::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Changed(Prop::Caption);
}

void CommandButton::Click() {
  if (!enabled()) return;
  Raise(onClick);
}

void CheckBox::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Changed(Prop::Caption);
}

void CheckBox::SetValue(int value) {
  value = std::clamp(value, 0, 2);
  if (value == value_) return;
  value_ = value;
  Changed(Prop::Value);
  Raise(onClick);
}

void CheckBox::UserClick() {
  if (!enabled()) return;
  SetValue(value_ == 1 ? 0 : 1);
}

void OptionButton::Configure(const ControlArgs& args) {
  caption_ = args.caption;
  picture_ = args.picture;
}

void OptionButton::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Changed(Prop::Caption);
}

void OptionButton::SetPicture(std::string picture) {
  if (picture == picture_) return;
  picture_ = std::move(picture);
  Changed(Prop::Picture);
}

void OptionButton::SetValue(bool value) {
  if (value == value_) return;
  value_ = value;
  if (value && form() != nullptr) {
    for (Control* other : form()->controls()) {
      auto* option = dynamic_cast<OptionButton*>(other);
      if (option == nullptr || option == this || !option->value_) continue;
      if (option->parentName() != parentName()) continue;
      option->value_ = false;
      option->Changed(Prop::Value);
    }
  }
  Changed(Prop::Value);
  if (value) Raise(onClick);
}

// ---- Ranged controls ----

void RangedControl::SetValue(int value) {
  if (clamps_) value = ClampInto(value, min_, max_);
  if (value == value_) return;
  value_ = value;
  Changed(Prop::Value);
  ValueChanged();
}

void RangedControl::KeepInRange() {
  if (clamps_) SetValue(value_);
}

void RangedControl::SetMin(int min) {
  if (min == min_) return;
  min_ = min;
  Changed(Prop::Range);
  KeepInRange();
}

void RangedControl::SetMax(int max) {
  if (max == max_) return;
  max_ = max;
  Changed(Prop::Range);
  KeepInRange();
}

void UpDown::SetIncrement(int increment) {
  if (increment == increment_) return;
  increment_ = increment;
  Changed(Prop::Range);
}

void UpDown::ArrowUp() {
  if (!enabled()) return;
  const long long step = max() >= min() ? increment_ : -increment_;
  SetValue(ClampInto(static_cast<long long>(value()) + step, min(), max()));
}

void UpDown::ArrowDown() {
  if (!enabled()) return;
  const long long step = max() >= min() ? increment_ : -increment_;
  SetValue(ClampInto(static_cast<long long>(value()) - step, min(), max()));
}

void Slider::SetSelStart(int start) {
  if (start == selStart_) return;
  selStart_ = start;
  Changed(Prop::Selection);
}

void Slider::SetSelLength(int length) {
  if (length == selLength_) return;
  selLength_ = length;
  Changed(Prop::Selection);
}

int Slider::ThumbPosition() const {
  return ClampInto(value(), min(), max());
}

void HScrollBar::SetSmallChange(int step) {
  if (step == smallChange_) return;
  smallChange_ = step;
  Changed(Prop::Range);
}

void HScrollBar::SetLargeChange(int step) {
  if (step == largeChange_) return;
  largeChange_ = step;
  Changed(Prop::Range);
}

void HScrollBar::SmallStep(int direction) {
  if (!enabled()) return;
  SetValue(ClampInto(static_cast<long long>(value()) + direction * smallChange_, min(), max()));
}

void HScrollBar::LargeStep(int direction) {
  if (!enabled()) return;
  SetValue(ClampInto(static_cast<long long>(value()) + direction * largeChange_, min(), max()));
}

// ---- Text, frames, tabs, images ----

void TextBox::Configure(const ControlArgs& args) {
  text_ = args.caption;
  multiLine_ = args.multiLine;
}

void TextBox::SetText(std::string_view text) {
  if (text == text_) return;
  text_.assign(text);
  Changed(Prop::Caption);
  Raise(onChange);
}

void Frame::Configure(const ControlArgs& args) {
  caption_ = args.caption;
  // A frame created later lies on top of the earlier ones, as in the designer.
  zStamp_ = form()->NextZStamp();
}

void Frame::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Changed(Prop::Caption);
}

void Frame::ZOrder() {
  zStamp_ = form() != nullptr ? form()->NextZStamp() : zStamp_ + 1;
  Changed(Prop::ZOrder);
}

void TabStrip::SetTabs(std::vector<std::string> captions) {
  tabs_ = std::move(captions);
  selected_ = tabs_.empty() ? -1 : 0;
  Changed(Prop::Caption);
  Changed(Prop::Value);
}

std::string TabStrip::SelectedCaption() const {
  if (selected_ < 0 || selected_ >= static_cast<int>(tabs_.size())) return {};
  return tabs_[static_cast<size_t>(selected_)];
}

void TabStrip::SetSelectedIndex(int index) {
  if (index < 0 || index >= static_cast<int>(tabs_.size())) return;
  if (index == selected_) return;
  selected_ = index;
  Changed(Prop::Value);
  Raise(onClick);
}

void Image::SetPicture(std::string picture) {
  if (picture == picture_) return;
  picture_ = std::move(picture);
  Changed(Prop::Picture);
}

void Image::Click() {
  if (!enabled()) return;
  Raise(onClick);
}

// ---- Timer ----

Timer::Timer() {
  SetVisible(false);
}

Timer::~Timer() {
  if (form() != nullptr) form()->runtime().TimerGone(*this);
}

void Timer::SetInterval(uint32_t milliseconds) {
  interval_ = milliseconds;
  OnChanged(Prop::Range);
}

void Timer::OnChanged(Prop prop) {
  if (prop != Prop::Enabled && prop != Prop::Range) return;
  if (form() != nullptr && form()->loaded()) form()->runtime().TimerChanged(*this);
}

void Timer::Fire() {
  if (!Running() || firing_) return;
  Runtime::EventScope scope(form()->runtime());
  firing_ = true;
  Raise(onTimer);
  firing_ = false;
}

// ---- Menus ----

void Menu::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Changed(Prop::Caption);
}

std::vector<Menu*> Menu::Entries() const {
  std::vector<Menu*> entries;
  if (form() == nullptr) return entries;
  for (Control* control : form()->controls()) {
    auto* menu = dynamic_cast<Menu*>(control);
    if (menu != nullptr && menu->parentName() == name()) entries.push_back(menu);
  }
  return entries;
}

void Menu::Click() {
  if (!enabled()) return;
  Raise(onClick);
}

void Menu::OnChanged(Prop) {
  if (form() != nullptr) form()->MenusChanged();
}

// ---- SysInfo, CommonDialog ----

bool SysInfo::RaiseQuerySuspend() {
  bool cancel = false;
  Raise(onQuerySuspend, cancel);
  return cancel;
}

void SysInfo::RaiseResume() {
  Raise(onResume);
}

bool SysInfo::Notice(PowerNotice notice) {
  std::optional<Runtime::EventScope> scope;
  if (form() != nullptr) scope.emplace(form()->runtime());
  switch (notice) {
    case PowerNotice::QuerySuspend:
    case PowerNotice::Suspend: {
      // Older systems ask first and then announce; newer ones only announce. Either is the one
      // moment the system asks to suspend.
      bool cancel = false;
      if (powerState_ != PowerState::Suspending) {
        powerState_ = PowerState::Suspending;
        wakeNotices_ = 0;
        cancel = RaiseQuerySuspend();
        if (cancel) powerState_ = PowerState::Running;
      }
      if (notice == PowerNotice::Suspend && powerState_ == PowerState::Suspending) Raise(onSuspend);
      return cancel;
    }
    case PowerNotice::QuerySuspendFailed:
      // Someone refused: no suspend follows. What the query stopped starts again as after a
      // resume, and a later query is a new moment.
      if (powerState_ != PowerState::Suspending) return false;
      powerState_ = PowerState::Running;
      RaiseResume();
      return false;
    case PowerNotice::ResumeSuspend:
    case PowerNotice::ResumeAutomatic: {
      // One wake brings the automatic notice and, with a user present, the user's one too, in
      // either order: the second kind belongs to the same wake. A kind seen again is a new wake,
      // suspend notice or not.
      const uint8_t kind = notice == PowerNotice::ResumeAutomatic ? 1 : 2;
      if (powerState_ == PowerState::Resumed && (wakeNotices_ & kind) == 0) {
        wakeNotices_ |= kind;
        return false;
      }
      powerState_ = PowerState::Resumed;
      wakeNotices_ = kind;
      RaiseResume();
      return false;
    }
    case PowerNotice::ResumeCritical:
      // A critical suspend announces nothing beforehand, so this is always a new resume.
      powerState_ = PowerState::Resumed;
      wakeNotices_ = 3;
      RaiseResume();
      return false;
  }
  return false;
}

bool CommonDialog::ShowHelp() {
  if (form() == nullptr || !EventsLive()) return false;
  return form()->platform().ShowHelp(helpFile, helpCommand, helpContext);
}

// ---- Form ----

Form::Form(Runtime& runtime, FormArgs args)
    : runtime_(runtime),
      args_(std::move(args)),
      caption_(args_.caption),
      fakeHandle_(runtime.NextFakeHandle()),
      clientWidth_(args_.clientWidth),
      clientHeight_(args_.clientHeight) {}

Form::~Form() {
  Teardown(/*unloaded=*/false);
}

void Form::Create(Control& control, ControlArgs args) {
  if (state_ != State::Created) throw std::logic_error("controls are created before the load");
  if (control.form_ != nullptr) throw std::logic_error("control created twice: " + args.name);
  if (args.name.empty()) throw std::invalid_argument("a control needs a name");
  if (FindControl(args.name) != nullptr) {
    throw std::invalid_argument("two controls named " + args.name);
  }
  if (!args.parent.empty()) {
    Control* parent = FindControl(args.parent);
    const bool fits =
        parent != nullptr && (parent->kind() == Kind::Frame ||
                              (parent->kind() == Kind::Menu && control.kind() == Kind::Menu));
    if (!fits) throw std::invalid_argument("no container " + args.parent + " for " + args.name);
  }
  control.form_ = this;
  control.name_ = args.name;
  control.parent_ = args.parent;
  control.rect_ = args.rect;
  control.visible_ = args.visible && control.kind() != Kind::Timer &&
                     control.kind() != Kind::SysInfo && control.kind() != Kind::CommonDialog;
  control.enabled_ = args.enabled;
  control.font_ = args.font;
  control.Configure(args);
  controls_.push_back(&control);
}

void Form::Create(std::initializer_list<ControlSpec> table) {
  for (const ControlSpec& spec : table) Create(spec.control, spec.args);
}

void Form::Create(const std::vector<ControlSpec>& table) {
  for (const ControlSpec& spec : table) Create(spec.control, spec.args);
}

void Form::Forget(Control* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

void Form::Load() {
  if (state_ != State::Created) return;
  peer_ = runtime_.CreateFormPeer(*this);
  if (peer_) peer_->CreateControlPeers();
  state_ = State::Loaded;
  // The design icon, before anything can show the window or put it in the notification area.
  if (!args_.icon.empty()) {
    if (const platform::IconHandle icon = platform().LoadIconFile(args_.icon)) SetIcon(icon);
  }
  runtime_.FormLoaded(*this);
  for (Control* control : controls_) {
    if (auto* timer = dynamic_cast<Timer*>(control)) runtime_.TimerChanged(*timer);
  }
  Runtime::EventScope scope(runtime_);
  Form_Load();
}

bool Form::Unload(UnloadMode mode) {
  if (state_ != State::Loaded) return true;
  // Held to the end, so that the form outlives this call even when it unloads itself.
  Runtime::EventScope scope(runtime_);
  bool cancel = false;
  Form_QueryUnload(cancel, mode);
  if (cancel) return false;
  if (state_ != State::Loaded) return true;  // the query handler unloaded it already
  state_ = State::Unloading;
  Form_Unload();
  Teardown(/*unloaded=*/true);
  if (owner_ != nullptr) owner_->Release(*this);
  return true;
}

void Form::Discard() {
  Teardown(/*unloaded=*/false);
}

void Form::Teardown(bool unloaded) {
  if (state_ == State::TornDown) return;
  const bool wasLoaded = state_ != State::Created;
  state_ = State::TornDown;
  visible_ = false;
  for (Control* control : controls_) {
    if (auto* timer = dynamic_cast<Timer*>(control)) runtime_.TimerGone(*timer);
  }
  // Children before containers before the window, the reverse of their creation.
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) (*it)->SetPeer(nullptr);
  peer_.reset();
  if (icon_ != 0 && iconOwned_) platform().DestroyIcon(icon_);
  icon_ = 0;
  if (wasLoaded) runtime_.FormUnloaded(*this, unloaded);
}

int Form::TextWidth(std::string_view text) const {
  if (peer_) return peer_->TextWidth(text, args_.font);
  // UTF-8: count the characters, not their continuation bytes.
  const auto chars = std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  });
  return static_cast<int>(chars) * 105;
}

void Form::Show() {
  if (state_ != State::Loaded) return;
  frontStamp_ = runtime_.NextFrontStamp();
  if (visible_) {
    // Shown again while it is open (a second About, say): the user wants to see it.
    if (peer_) peer_->BringToFront();
    return;
  }
  visible_ = true;
  if (peer_) peer_->SyncVisible();
}

bool Form::QueryClose(UnloadMode mode) {
  if (state_ != State::Loaded) return true;
  Runtime::EventScope scope(runtime_);
  bool cancel = false;
  Form_QueryUnload(cancel, mode);
  return !cancel;
}

void Form::Hide() {
  if (state_ != State::Loaded || !visible_) return;
  visible_ = false;
  if (peer_) peer_->SyncVisible();
}

void Form::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  if (peer_) peer_->SyncCaption();
}

void Form::SetIcon(platform::IconHandle icon) {
  ShowIcon(icon, /*owned=*/true);
}

void Form::SetSharedIcon(platform::IconHandle icon) {
  ShowIcon(icon, /*owned=*/false);
}

void Form::ShowIcon(platform::IconHandle icon, bool owned) {
  if (icon == icon_) return;
  const platform::IconHandle old = icon_;
  const bool oldOwned = iconOwned_;
  icon_ = icon;
  iconOwned_ = owned;
  if (peer_) peer_->SyncIcon();
  // Only after the window has let go of it.
  if (old != 0 && oldOwned) platform().DestroyIcon(old);
}

void Form::SetMousePointer(MousePointer pointer) {
  if (pointer == mousePointer_) return;
  mousePointer_ = pointer;
  if (peer_) peer_->SyncMousePointer();
}

void Form::Refresh() {
  ++refreshCount_;
  if (peer_) peer_->Refresh();
}

uint32_t Form::hWnd() const {
  return peer_ ? peer_->NativeHandle() : fakeHandle_;
}

void Form::PopupMenu(Menu& menu) {
  if (state_ != State::Loaded || menu.form() != this) return;
  Runtime::EventScope scope(runtime_);
  if (Menu* pick = runtime_.TrackPopup(*this, menu)) pick->Click();
}

bool Form::HasMenuBar() const {
  return std::any_of(controls_.begin(), controls_.end(), [](const Control* c) {
    return c->kind() == Kind::Menu && c->parentName().empty() && c->visible();
  });
}

Control* Form::FindControl(std::string_view name) const {
  for (Control* control : controls_) {
    if (control->name() == name) return control;
  }
  return nullptr;
}

Control* Form::FindControlById(uint16_t id) const {
  for (Control* control : controls_) {
    if (control->controlId() == id) return control;
  }
  return nullptr;
}

std::vector<std::pair<std::string, std::string>> Form::ControlIdCollisions() const {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::map<uint16_t, std::string> seen;
  for (const Control* control : controls_) {
    auto [it, fresh] = seen.emplace(control->controlId(), control->name());
    if (!fresh) pairs.emplace_back(it->second, control->name());
  }
  return pairs;
}

void Form::DeliverMouseMove(int button, int shift, int x, int y) {
  if (state_ != State::Loaded || runtime_.ended()) return;
  Runtime::EventScope scope(runtime_);
  Form_MouseMove(button, shift, x, y);
}

void Form::DeliverResize(int widthTwips, int heightTwips) {
  widthTwips = std::max(widthTwips, args_.clientWidth);
  heightTwips = std::max(heightTwips, args_.clientHeight);
  if (widthTwips == clientWidth_ && heightTwips == clientHeight_) return;
  clientWidth_ = widthTwips;
  clientHeight_ = heightTwips;
  if (state_ != State::Loaded || runtime_.ended()) return;
  Runtime::EventScope scope(runtime_);
  Form_Resize();
}

void Form::DeliverTaskbarCreated() {
  if (state_ != State::Loaded || visible_ || runtime_.ended()) return;
  Runtime::EventScope scope(runtime_);
  Form_TaskbarCreated();
}

bool Form::DeliverComeForward() {
  if (state_ != State::Loaded || runtime_.ended()) return false;
  Runtime::EventScope scope(runtime_);
  return Form_ComeForward();
}

bool Form::DeliverPowerNotice(PowerNotice notice) {
  if (state_ != State::Loaded) return false;
  Runtime::EventScope scope(runtime_);
  bool cancel = false;
  // Copied: a handler may unload the form, which empties the list.
  const std::vector<Control*> controls = controls_;
  for (Control* control : controls) {
    if (auto* info = dynamic_cast<SysInfo*>(control)) cancel = info->Notice(notice) || cancel;
  }
  return cancel;
}

void Form::MenusChanged() {
  if (peer_) peer_->SyncMenus();
}

}  // namespace vigilon::ui
