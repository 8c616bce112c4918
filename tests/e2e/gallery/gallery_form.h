// The control gallery: one form with one of each control the windows use, every event written
// in order to a visible log, so tests (headless and under Wine) can read what ran.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "ui/controls.h"

namespace vigilon::gallery {

inline constexpr char kGalleryTitle[] = "Vigilon control gallery";

class GalleryForm : public ui::Form {
 public:
  explicit GalleryForm(ui::Runtime& runtime);
  ~GalleryForm() override { Discard(); }

  // The log's lines, oldest first.
  std::vector<std::string> Events() const;

  ui::Label lblTitle;
  ui::Label lblRed, lblGreen, lblGrey;
  ui::Slider sldGauge;
  ui::Label lblGaugeValue;
  ui::UpDown updLimit;
  ui::Label lblLimit;
  ui::ProgressBar prbSpeed;
  ui::CheckBox chkBeep;
  ui::Frame fraUnits;
  ui::OptionButton optCelsius, optFahrenheit;
  ui::Image imgMark;
  ui::HScrollBar scrInterval;
  ui::TextBox txtInterval;
  ui::TabStrip tabPages;
  ui::Label lblPage;
  ui::CommandButton cmdClear;
  ui::TextBox txtLog;
  ui::Timer tmrTick;
  ui::SysInfo SysInfo1;
  ui::Menu mFile, mHide, mExit;
  ui::Menu iconMenu, IconMenuRestore, IconMenuLog;

 protected:
  void Form_Load() override;
  void Form_QueryUnload(bool& cancel, ui::UnloadMode mode) override;
  void Form_MouseMove(int button, int shift, int x, int y) override;
  void Form_TaskbarCreated() override;

 private:
  void Log(const std::string& line);
};

}  // namespace vigilon::gallery
