// The runtime of the Windows program: native windows for the forms, the message loop and
// window timers. Includes no Windows header, so start-up code can hold one.
#pragma once

#include <memory>

#include "ui/controls.h"

namespace vigilon::ui {

class Win32Runtime final : public Runtime {
 public:
  // Registers the window classes and initialises the common controls (v6 with the program's
  // manifest). One per program; build it before the first form is loaded.
  explicit Win32Runtime(platform::Platform& platform);
  ~Win32Runtime() override;

  // Runs the message loop until End() or until the last form has unloaded; returns the code
  // for the process's exit.
  int Run();
  void DoEvents() override;

  std::unique_ptr<FormPeer> CreateFormPeer(Form& form) override;
  void TimerChanged(Timer& timer) override;
  void TimerGone(Timer& timer) override;
  Menu* TrackPopup(Form& form, Menu& menu) override;

  struct Impl;
  Impl& impl() { return *impl_; }

 protected:
  void OnEnd() override;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace vigilon::ui
