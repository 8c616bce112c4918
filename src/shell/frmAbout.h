// The About window: the product, its version and its build.
#pragma once

#include "ui/controls.h"

namespace vigilon::shell {

class frmAbout : public ui::Form {
 public:
  explicit frmAbout(ui::Runtime& runtime);
  ~frmAbout() override;

  ui::Frame Frame1;
  ui::Label Label2, Label4, Label5;
  ui::CommandButton cmdOk;
};

}  // namespace vigilon::shell
