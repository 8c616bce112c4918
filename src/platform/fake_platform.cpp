// The platform for native tests.
#include "platform/fake_platform.h"

#include <algorithm>
#include <cctype>

namespace vigilon::platform {

namespace {
std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}
}  // namespace

MsgBoxAnswer FakePlatform::MsgBox(const std::string& text, const std::string& caption,
                                  MsgBoxButtons buttons) {
  msgBoxes.push_back({text, caption, buttons});
  if (!msgBoxAnswers.empty()) {
    const MsgBoxAnswer answer = msgBoxAnswers.front();
    msgBoxAnswers.pop_front();
    return answer;
  }
  return buttons == MsgBoxButtons::YesNo ? MsgBoxAnswer::Yes : MsgBoxAnswer::Ok;
}

bool FakePlatform::FileExistsInProgramFolder(const std::string& name) {
  const std::string wanted = Lower(name);
  return std::any_of(files.begin(), files.end(),
                     [&](const std::string& f) { return Lower(f) == wanted; });
}

bool FakePlatform::ExitWindowsEx(uint32_t flags, uint32_t reserved) {
  exitWindowsCalls.emplace_back(flags, reserved);
  return exitWindowsResult;
}

bool FakePlatform::ShellNotifyIcon(NotifyOp op, const NotifyIconRecord& record) {
  notifyCalls.push_back({op, record});
  return true;
}

IconHandle FakePlatform::LoadIconFile(const std::string& name) {
  iconLoads.push_back(name);
  if (!FileExistsInProgramFolder(name)) return 0;
  const IconHandle icon = nextIcon_++;
  liveIcons[icon] = name;
  return icon;
}

void FakePlatform::ShowHelp(const std::string& helpFile, uint32_t command, uint32_t context) {
  helpCalls.push_back({helpFile, command, context});
}

}  // namespace vigilon::platform
