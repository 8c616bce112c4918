// The About window: the product, its version and its build.
#pragma once

#include <cstdint>

#include "ui/controls.h"

namespace vigilon::shell {

class frmAbout : public ui::Form {
 public:
  explicit frmAbout(ui::Runtime& runtime);
  ~frmAbout() override;

  // How often another program kept the shared bus past the program's wait: a line for whoever
  // looks into a machine that misbehaves, shown only when it has happened.
  void ShowBusLockTimeouts(uint32_t count);

  ui::Frame Frame1;
  ui::Label Label2, Label4, Label5;
  ui::Label lblBusLockTimeouts;
  ui::CommandButton cmdOk;
};

}  // namespace vigilon::shell
