// The commands that write the settings file.
#include "shell/settings_commands.h"

#include <optional>
#include <string>

namespace vigilon::shell {

namespace {
bool TellIfFailed(RunState& run, const std::optional<std::string>& error) {
  if (!error) return true;
  // The reason already names the file; the rest tells the user nothing was lost.
  run.platform.MsgBox(*error + "\n\nThe settings file was left as it was.", "",
                      platform::MsgBoxButtons::Ok);
  return false;
}
}  // namespace

bool SaveSettings(RunState& run) {
  return TellIfFailed(run, items::SaveSettingsFile(run.items, run.files, run.SettingsLocation()));
}

bool MakeData(RunState& run) {
  return TellIfFailed(run, items::MakeData(run.items, run.files, run.SettingsLocation()));
}

}  // namespace vigilon::shell
