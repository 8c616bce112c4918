// The platform for native tests.
#include "platform/fake_platform.h"

#include <algorithm>
#include <cctype>

namespace vigilon::platform {

namespace {
// As on Windows: names compare without regard to case, and a leading separator only says
// "in the program folder".
std::string Normalized(std::string s) {
  if (!s.empty() && (s.front() == '\\' || s.front() == '/')) s.erase(0, 1);
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}
}  // namespace

MsgBoxAnswer FakePlatform::MsgBox(const std::string& text, const std::string& caption,
                                  MsgBoxButtons buttons) {
  msgBoxes.push_back({text, caption, buttons});
  if (whileMsgBoxShown) {
    // Copied: the hook may replace itself.
    const auto hook = whileMsgBoxShown;
    hook(text);
  }
  if (!msgBoxAnswers.empty()) {
    const MsgBoxAnswer answer = msgBoxAnswers.front();
    msgBoxAnswers.pop_front();
    return answer;
  }
  return buttons == MsgBoxButtons::YesNo ? MsgBoxAnswer::Yes : MsgBoxAnswer::Ok;
}

bool FakePlatform::FileExistsInProgramFolder(const std::string& name) {
  const std::string wanted = Normalized(name);
  return std::any_of(files.begin(), files.end(),
                     [&](const std::string& f) { return Normalized(f) == wanted; });
}

bool FakePlatform::ExitWindowsEx(uint32_t flags, uint32_t reserved) {
  exitWindowsCalls.emplace_back(flags, reserved);
  return exitWindowsResult;
}

bool FakePlatform::ShellNotifyIcon(NotifyOp op, const NotifyIconRecord& record) {
  if (recordCalls) {
    const auto icon = liveIcons.find(record.hIcon);
    notifyCalls.push_back({op, record, icon != liveIcons.end() ? icon->second : std::string()});
  }
  if (whileTrayRequest) {
    const auto hook = whileTrayRequest;  // copied: the hook may replace itself
    hook();
  }
  if (op == NotifyOp::Add && trayAddsRefused > 0) {
    --trayAddsRefused;
    return false;
  }
  return true;
}

IconHandle FakePlatform::LoadIconFile(const std::string& name) {
  if (recordCalls) iconLoads.push_back(name);
  if (!FileExistsInProgramFolder(name)) return 0;
  const IconHandle icon = nextIcon_++;
  if (recordCalls) liveIcons[icon] = name;
  return icon;
}

bool FakePlatform::ShowHelp(const std::string& helpFile, uint32_t command, uint32_t context) {
  helpCalls.push_back({helpFile, command, context});
  return helpViewer;
}

}  // namespace vigilon::platform
