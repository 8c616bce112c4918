// The commands that write the settings file, and the start-up word about one that did not load.
#include "shell/settings_commands.h"

#include <optional>
#include <string>

namespace vigilon::shell {

namespace {
bool Tell(RunState& run, const items::SaveOutcome& outcome) {
  std::string text = outcome.message;
  // The reason already names the file; the rest tells the user nothing was lost.
  if (!outcome.saved) text += "\n\nThe settings file was left as it was.";
  if (!text.empty()) run.platform.MsgBox(text, "", platform::MsgBoxButtons::Ok);
  return outcome.saved;
}

bool Saved(RunState& run, const items::SaveOutcome& outcome) {
  if (outcome.saved) {
    const std::optional<std::string> path = items::SettingsFilePath(run.SettingsLocation());
    run.events.Tell({RunEventKind::SettingsSaved, -1, path ? *path : std::string()});
  }
  return Tell(run, outcome);
}
}  // namespace

bool SaveSettings(RunState& run) {
  return Saved(run, items::SaveSettingsFile(run.items, run.files, run.SettingsLocation()));
}

bool MakeData(RunState& run) {
  return Saved(run, items::MakeData(run.items, run.files, run.SettingsLocation()));
}

void TellSettingsLoad(RunState& run, const items::SettingsLoadReport& report) {
  if (const std::optional<std::string> text = items::SettingsLoadMessage(report)) {
    run.events.Tell({RunEventKind::SettingsDamaged, -1, report.path});
    run.platform.MsgBox(*text, "", platform::MsgBoxButtons::Ok);
  }
}

}  // namespace vigilon::shell
