// The About window: the product, its version and its build.
#pragma once

#include <cstdint>
#include <string>

#include "ui/controls.h"

namespace vigilon::shell {

class frmAbout : public ui::Form {
 public:
  explicit frmAbout(ui::Runtime& runtime);
  ~frmAbout() override;

  // How often another program kept the shared bus past the program's wait: a line for whoever
  // looks into a machine that misbehaves, shown only when it has happened.
  void ShowBusLockTimeouts(uint32_t count);
  // Why the log or the metrics file cannot be written ("the log cannot be written since
  // 14:02"), a line of its own while it lasts; empty hides it.
  void ShowRecordsTrouble(const std::string& trouble);

  ui::Frame Frame1;
  ui::Label Label2, Label4, Label5;
  ui::Label lblBusLockTimeouts, lblRecordsTrouble;
  ui::CommandButton cmdOk;
};

}  // namespace vigilon::shell
