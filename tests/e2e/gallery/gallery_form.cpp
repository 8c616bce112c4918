// The control gallery's layout and reactions.
#include "gallery_form.h"

#include <cstdio>
#include <sstream>

namespace vigilon::gallery {

using ui::Align;
using ui::Args;

GalleryForm::GalleryForm(ui::Runtime& runtime)
    : Form(runtime, ui::FormArgs("frmGallery", kGalleryTitle, 8100, 4900)) {
  Create({
      {lblTitle, Args("lblTitle")
                     .Caption("Control gallery")
                     .At(120, 60, 4000, 360)
                     .WithFont(ui::Font("Times New Roman", 14.25))},
      {lblRed, Args("lblRed")
                   .Caption("Out of limits")
                   .At(120, 480, 1400, 255)
                   .Back(0xFF)
                   .Aligned(Align::Center)},
      {lblGreen, Args("lblGreen")
                     .Caption("In limits")
                     .At(1640, 480, 1400, 255)
                     .Back(0xFF00)
                     .Aligned(Align::Center)},
      {lblGrey, Args("lblGrey").Caption("Not monitored").At(3160, 480, 1500, 255).Disabled()},
      {sldGauge, Args("sldGauge").At(120, 840, 3600, 420).Disabled()},
      {lblGaugeValue, Args("lblGaugeValue").Caption("130").At(3840, 900, 900, 255)},
      {updLimit, Args("updLimit").At(120, 1380, 255, 330)},
      {lblLimit, Args("lblLimit").Caption("5").At(420, 1420, 600, 255)},
      {prbSpeed, Args("prbSpeed").At(1200, 1420, 2520, 255)},
      {chkBeep, Args("chkBeep").Caption("&Beep").At(120, 1860, 1400, 255)},
      {fraUnits, Args("fraUnits").Caption("Unit").At(120, 2220, 2400, 1000)},
      {optCelsius, Args("optCelsius").Caption("Celsius").At(240, 300, 1800, 255).In("fraUnits")},
      {optFahrenheit,
       Args("optFahrenheit").Caption("Fahrenheit").At(240, 620, 1800, 255).In("fraUnits")},
      {imgMark, Args("imgMark")
                    .Picture("°C")
                    .At(2640, 2400, 480, 480)
                    .WithFont(ui::Font("Arial", 12, true))},
      {scrInterval, Args("scrInterval").At(3240, 2460, 1080, 285)},
      {txtInterval, Args("txtInterval").Caption("4").At(4440, 2445, 360, 300)},
      {tabPages, Args("tabPages").At(4920, 120, 3000, 1700)},
      {lblPage, Args("lblPage").Caption("Voltage").At(5100, 700, 2600, 255)},
      {cmdClear, Args("cmdClear").Caption("&Clear log").At(4920, 1920, 1185, 345)},
      {txtLog, Args("txtLog").At(4920, 2340, 3000, 2400).MultiLine()},
      {tmrTick, Args("tmrTick")},
      {SysInfo1, Args("SysInfo1")},
      {mFile, Args("mFile").Caption("&File")},
      {mHide, Args("mHide").Caption("&Hide").In("mFile")},
      {mExit, Args("mExit").Caption("E&xit").In("mFile")},
      {iconMenu, Args("iconMenu").Caption("Tray").Hidden()},
      {IconMenuRestore, Args("IconMenuRestore").Caption("&Restore").In("iconMenu")},
      {IconMenuLog, Args("IconMenuLog").Caption("&Log").In("iconMenu")},
  });
  // A gauge: the reading 130 lies beyond the track and stays 130; the band is the limits.
  sldGauge.SetMax(100);
  sldGauge.SetSelStart(30);
  sldGauge.SetSelLength(40);
  sldGauge.SetValue(130);
  updLimit.SetValue(5);
  prbSpeed.SetMax(100);
  scrInterval.SetMin(1);
  scrInterval.SetMax(120);
  scrInterval.SetValue(4);
  tabPages.SetTabs({"Voltage", "Fan", "Temperature"});
  tmrTick.SetInterval(200);

  updLimit.onChange = [this] {
    lblLimit.SetCaption(std::to_string(updLimit.value()));
    Log("upd=" + std::to_string(updLimit.value()));
  };
  chkBeep.onClick = [this] { Log("chk=" + std::to_string(chkBeep.value())); };
  optCelsius.onClick = [this] {
    imgMark.SetPicture("°C");
    Log("unit=Celsius");
  };
  optFahrenheit.onClick = [this] {
    imgMark.SetPicture("°F");
    Log("unit=Fahrenheit");
  };
  imgMark.onClick = [this] {
    if (optCelsius.value()) {
      optFahrenheit.SetValue(true);
    } else {
      optCelsius.SetValue(true);
    }
  };
  scrInterval.onChange = [this] {
    txtInterval.SetText(std::to_string(scrInterval.value()));
    Log("scroll=" + std::to_string(scrInterval.value()));
  };
  tabPages.onClick = [this] {
    lblPage.SetCaption(tabPages.SelectedCaption());
    Log("tab=" + tabPages.SelectedCaption());
  };
  cmdClear.onClick = [this] { txtLog.SetText(""); };
  // The timer moves the bar without logging, so the log holds only what a test did.
  tmrTick.onTimer = [this] { prbSpeed.SetValue((prbSpeed.value() + 5) % 105); };
  SysInfo1.onQuerySuspend = [this](bool&) { Log("power=suspend"); };
  SysInfo1.onResume = [this] { Log("power=resume"); };
  // Hidden as the main window hides to the notification area; the tray's double-click code
  // brings it back.
  mHide.onClick = [this] {
    Hide();
    Log("hidden");
  };
  mExit.onClick = [this] { Unload(); };
  IconMenuRestore.onClick = [this] {
    Show();
    Log("restore");
  };
  IconMenuLog.onClick = [this] { Log("menu log"); };
}

void GalleryForm::Form_Load() {
  Log("load");
  optCelsius.SetValue(true);
}

void GalleryForm::Form_QueryUnload(bool&, ui::UnloadMode mode) {
  Log("close mode " + std::to_string(static_cast<int>(mode)));
}

void GalleryForm::Form_MouseMove(int, int, int x, int) {
  // Only the notification-area codes: real mouse moves would flood the log.
  if (x != 0x203 && x != 0x205) return;
  char code[16];
  std::snprintf(code, sizeof code, "0x%X", static_cast<unsigned>(x));
  Log(std::string("tray=") + code);
  if (x == 0x203) Show();
  // The tray's menu, popped up (from a hidden menu) only while the form is hidden.
  if (x == 0x205 && !visible()) PopupMenu(iconMenu);
}

void GalleryForm::Form_TaskbarCreated() {
  Log("taskbar");
}

void GalleryForm::Log(const std::string& line) {
  txtLog.SetText(txtLog.text() + line + "\n");
}

std::vector<std::string> GalleryForm::Events() const {
  std::vector<std::string> lines;
  std::istringstream in(txtLog.text());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace vigilon::gallery
