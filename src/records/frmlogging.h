// The "Logging and Export" dialog: the log and the metrics file switched on and off, their
// folders, the days of logs kept. OK writes vigilon.ini at once and applies it.
#pragma once

#include "records/records.h"
#include "ui/controls.h"

namespace vigilon::records {

class frmLogging : public ui::Form {
 public:
  frmLogging(ui::Runtime& runtime, Records& records);
  ~frmLogging() override;

  ui::CheckBox chkLog, chkMetrics;
  ui::Label lblLogFolder, lblKeepDays, lblMetricsFolder;
  ui::TextBox txtLogFolder, txtKeepDays, txtMetricsFolder;
  ui::CommandButton cmdBrowseLog, cmdBrowseMetrics, cmdOk, cmdCancel;

 private:
  void cmdOk_Click();
  void Browse(ui::TextBox& folder, const char* title);

  Records& records_;
};

}  // namespace vigilon::records
