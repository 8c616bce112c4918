// The "Logging and Export" dialog.
#include "records/frmlogging.h"

#include <charconv>

namespace vigilon::records {

frmLogging::frmLogging(ui::Runtime& runtime, Records& records)
    : ui::Form(runtime,
               ui::FormArgs("frmLogging", "Logging and Export", 6000, 3120).AsDialog().Centered()),
      records_(records) {
  using ui::Args;
  Create({
      {chkLog,
       Args("chkLog").Caption("Write a &log of the readings and events").At(240, 180, 5400, 300)},
      {lblLogFolder, Args("lblLogFolder").Caption("Log &folder:").At(480, 600, 1500, 255)},
      {txtLogFolder, Args("txtLogFolder").At(2040, 560, 2580, 315)},
      {cmdBrowseLog, Args("cmdBrowseLog").Caption("&Browse...").At(4740, 540, 1020, 360)},
      {lblKeepDays, Args("lblKeepDays").Caption("&Days to keep:").At(480, 1020, 1500, 255)},
      {txtKeepDays, Args("txtKeepDays").At(2040, 980, 720, 315)},
      {chkMetrics,
       Args("chkMetrics").Caption("Write &metrics for Prometheus").At(240, 1500, 5400, 300)},
      {lblMetricsFolder,
       Args("lblMetricsFolder").Caption("Metrics f&older:").At(480, 1920, 1500, 255)},
      {txtMetricsFolder, Args("txtMetricsFolder").At(2040, 1880, 2580, 315)},
      {cmdBrowseMetrics, Args("cmdBrowseMetrics").Caption("B&rowse...").At(4740, 1860, 1020, 360)},
      {cmdOk, Args("cmdOk").Caption("OK").At(3060, 2520, 1260, 420).DefaultButton()},
      {cmdCancel, Args("cmdCancel").Caption("Cancel").At(4500, 2520, 1260, 420).CancelButton()},
  });
  const RecordOptions& o = records_.options();
  chkLog.SetValue(o.logEnabled ? 1 : 0);
  txtLogFolder.SetText(o.logFolder);
  txtKeepDays.SetText(std::to_string(o.keepDays));
  chkMetrics.SetValue(o.metricsEnabled ? 1 : 0);
  txtMetricsFolder.SetText(o.metricsFolder);
  cmdBrowseLog.onClick = [this] { Browse(txtLogFolder, "The folder of the log files"); };
  cmdBrowseMetrics.onClick = [this] { Browse(txtMetricsFolder, "The folder of vigilon.prom"); };
  cmdOk.onClick = [this] { cmdOk_Click(); };
  cmdCancel.onClick = [this] { Unload(); };
}

frmLogging::~frmLogging() {
  Discard();
}

void frmLogging::Browse(ui::TextBox& folder, const char* title) {
  if (auto chosen = platform().BrowseForFolder(title)) folder.SetText(*chosen);
}

void frmLogging::cmdOk_Click() {
  RecordOptions o = records_.options();
  o.logEnabled = chkLog.value() == 1;
  o.metricsEnabled = chkMetrics.value() == 1;
  o.logFolder = txtLogFolder.text();
  o.metricsFolder = txtMetricsFolder.text();
  const std::string& days = txtKeepDays.text();
  const auto parsed = std::from_chars(days.data(), days.data() + days.size(), o.keepDays);
  if (parsed.ec != std::errc() || parsed.ptr != days.data() + days.size() || o.keepDays < 1 ||
      o.keepDays > kKeepDaysMax) {
    platform().MsgBox(
        "Days to keep must be a whole number from 1 to " + std::to_string(kKeepDaysMax) + ".",
        "Logging and Export", platform::MsgBoxButtons::Ok);
    return;
  }
  if (o.logFolder.empty() || o.metricsFolder.empty()) {
    platform().MsgBox("Each folder needs a name.", "Logging and Export",
                      platform::MsgBoxButtons::Ok);
    return;
  }
  if (auto failure = records_.Save(o)) {
    platform().MsgBox("The options could not be saved, and nothing was changed: " + *failure,
                      "Logging and Export", platform::MsgBoxButtons::Ok);
    return;
  }
  Unload();
}

}  // namespace vigilon::records
