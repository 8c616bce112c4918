// The About window.
#include "shell/frmAbout.h"

#include <string>

#include "vigilon_version.h"

namespace vigilon::shell {

frmAbout::frmAbout(ui::Runtime& runtime)
    : ui::Form(runtime,
               ui::FormArgs("frmAbout", "About Vigilon", 4980, 3090).AsDialog().Centered()) {
  using ui::Align;
  using ui::Args;
  Create({
      {Frame1,
       Args("Frame1").Caption("Norvane Hardware Monitor Product Utility").At(240, 150, 4500, 1860)},
      {Label2, Args("Label2")
                   .Caption("Vigilon for Windows ")
                   .At(240, 480, 4020, 480)
                   .In("Frame1")
                   .WithFont(ui::Font("Times New Roman", 14.25))
                   .Aligned(Align::Center)},
      {Label4, Args("Label4")
                   .Caption("Version " VIGILON_VERSION_TEXT)
                   .At(240, 1200, 4020, 255)
                   .In("Frame1")
                   .Aligned(Align::Center)},
      // Between the name and the version, where the frame has room for one line.
      {lblRecordsTrouble, Args("lblRecordsTrouble")
                              .At(120, 960, 4260, 240)
                              .In("Frame1")
                              .Aligned(Align::Center)
                              .Hidden()},
      {lblBusLockTimeouts, Args("lblBusLockTimeouts")
                               .At(240, 1560, 4020, 255)
                               .In("Frame1")
                               .Aligned(Align::Center)
                               .Hidden()},
      {Label5, Args("Label5")
                   .Caption("Build: " VIGILON_BUILD_TEXT)
                   .At(240, 2085, 4500, 240)
                   .WithFont(ui::Font("Arial", 8.25))
                   .Aligned(Align::Center)},
      {cmdOk, Args("cmdOk").Caption("OK").At(1695, 2445, 1572, 492)},
  });
  cmdOk.onClick = [this] { Unload(); };
}

void frmAbout::ShowBusLockTimeouts(uint32_t count) {
  lblBusLockTimeouts.SetCaption("Bus lock time-outs: " + std::to_string(count));
  lblBusLockTimeouts.SetVisible(count > 0);
}

void frmAbout::ShowRecordsTrouble(const std::string& trouble) {
  std::string line = trouble;
  if (!line.empty() && line[0] >= 'a' && line[0] <= 'z') line[0] = static_cast<char>(line[0] - 32);
  lblRecordsTrouble.SetCaption(line);
  lblRecordsTrouble.SetVisible(!line.empty());
}

frmAbout::~frmAbout() {
  Discard();
}

}  // namespace vigilon::shell
