// The runtime one system's windows live in: event nesting, deferred destruction of unloaded
// forms, timers and pop-up menus, with the peer interfaces a native side implements.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace vigilon::ui {

class Control;
class Form;
class Menu;
class Timer;
struct Font;

// What changed on a control, so a peer copies only that to its native window.
enum class Prop : uint8_t {
  Caption,    // caption, text, tab captions
  Value,      // value, check state, selection, thumb position
  Range,      // min, max, increments
  Selection,  // slider selection band
  Visible,
  Enabled,
  Position,  // left, top, width, height
  Colors,
  Font,
  Picture,
  ZOrder,
};

// A control's native counterpart. It copies model values to the native window and never
// raises an event while doing so.
class ControlPeer {
 public:
  virtual ~ControlPeer() = default;
  virtual void Sync(Prop prop) = 0;
};

// A form's native window.
class FormPeer {
 public:
  virtual ~FormPeer() = default;
  virtual void SyncCaption() = 0;
  virtual void SyncIcon() = 0;
  virtual void SyncVisible() = 0;
  virtual void BringToFront() = 0;
  virtual void SyncMousePointer() = 0;
  virtual void SyncMenus() = 0;
  virtual void Refresh() = 0;
  virtual uint32_t NativeHandle() const = 0;
  // The width of `text` in `font` at the window's DPI, in twips.
  virtual int TextWidth(std::string_view text, const Font& font) = 0;
  // Creates the peers of the form's controls, in creation order (containers first).
  virtual void CreateControlPeers() = 0;
};

class Runtime {
 public:
  explicit Runtime(platform::Platform& platform) : platform_(platform) {}
  virtual ~Runtime();
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  platform::Platform& platform() { return platform_; }

  // Lets pending user-interface events run (timers, clicks, paints) and returns.
  virtual void DoEvents() = 0;

  // Ends the program at once: no more events are delivered, and the message loop (if any)
  // returns. Forms are not asked; their unload handlers do not run.
  void End();
  bool ended() const { return ended_; }

  // Every event handler runs inside a scope; forms unloaded inside one are destroyed only when
  // the outermost scope closes, so a handler that unloads its own form returns into live memory.
  class EventScope {
   public:
    explicit EventScope(Runtime& runtime) : runtime_(runtime) { ++runtime_.eventDepth_; }
    ~EventScope();
    EventScope(const EventScope&) = delete;
    EventScope& operator=(const EventScope&) = delete;

   private:
    Runtime& runtime_;
  };
  int eventDepth() const { return eventDepth_; }

  // Forms loaded and not yet unloaded, in the order they were loaded.
  const std::vector<Form*>& forms() const { return forms_; }

  // ---- Called by the control layer itself ----
  virtual std::unique_ptr<FormPeer> CreateFormPeer(Form& form);
  virtual void TimerChanged(Timer& timer) = 0;  // start, restart or stop after a change
  virtual void TimerGone(Timer& timer) = 0;     // the timer is stopped for good
  // Shows `menu`'s entries at the cursor and returns the entry picked, or nullptr.
  virtual Menu* TrackPopup(Form& form, Menu& menu) = 0;
  // A stand-in window handle for forms without a native window.
  uint32_t NextFakeHandle() { return nextFakeHandle_ += 4; }
  // Orders the forms brought to the front: the largest stamp is the front-most.
  uint32_t NextFrontStamp() { return ++frontStamp_; }
  void FormLoaded(Form& form);
  // `unloaded` false: discarded at the program's end, which ends nothing further.
  void FormUnloaded(Form& form, bool unloaded);
  void Bury(std::unique_ptr<Form> form);

 protected:
  void FlushGraveyard();
  virtual void OnEnd() {}

 private:
  platform::Platform& platform_;
  bool ended_ = false;
  int eventDepth_ = 0;
  std::vector<Form*> forms_;
  uint32_t nextFakeHandle_ = 0x10000;
  uint32_t frontStamp_ = 0;
  std::vector<std::unique_ptr<Form>> graveyard_;
};

}  // namespace vigilon::ui
