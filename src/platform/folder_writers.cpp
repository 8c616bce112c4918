// The decision whether others may change the program's files, and its warning.
#include "platform/folder_writers.h"

#include <algorithm>

namespace vigilon::platform {

std::vector<std::string> OtherWriters(std::span<const AccessEntry> entries) {
  std::vector<std::string> writers;
  for (const AccessEntry& entry : entries) {
    if (!entry.allows || entry.inheritOnly || (entry.rights & kChangeRights) == 0) continue;
    if (entry.trustee != AccessEntry::Trustee::Other) continue;
    if (std::find(writers.begin(), writers.end(), entry.name) == writers.end())
      writers.push_back(entry.name);
  }
  return writers;
}

std::string OtherWritersMessage(std::span<const WritableFile> files) {
  std::string list;
  for (const WritableFile& file : files) {
    if (file.writers.empty()) continue;
    list += "    " + file.path + ": ";
    for (std::size_t i = 0; i < file.writers.size(); ++i)
      list += (i == 0 ? "" : ", ") + file.writers[i];
    list += "\n";
  }
  if (list.empty()) return {};
  return "Other users of this computer may change Vigilon's program files:\n" + list +
         "\nWhat they put there runs with your rights, or an administrator's, the next time "
         "Vigilon starts. Move the program folder to your own programs folder "
         "(%LOCALAPPDATA%\\Programs\\Vigilon), where only you may change it.";
}

}  // namespace vigilon::platform
