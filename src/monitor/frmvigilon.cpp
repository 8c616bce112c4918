// The main window.
#include "monitor/frmvigilon.h"

namespace vigilon {

namespace {
// The client area holds the three frames, the polling row beneath them and the command
// column at the right.
constexpr int kClientWidth = 9585;
constexpr int kClientHeight = 6045;
}  // namespace

frmvigilon::frmvigilon(ui::Runtime& runtime, RunState& run)
    : ui::Form(runtime, ui::FormArgs("frmvigilon", kMainWindowTitle, kClientWidth, kClientHeight)),
      run_(run) {
  // TODO(main window): the voltage, fan and temperature rows, the polling-interval row, the
  // unit buttons, the command buttons, the menus and the timers.
}

void frmvigilon::Form_Load() {
  // TODO(main window): stop monitoring, build the limit rows and program the chip's limits,
  // switch the fan inputs on, start the seconds timer, restart monitoring, program the beeps.
  (void)run_;
}

}  // namespace vigilon
