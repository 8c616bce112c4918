// The icon files windows share, each loaded once.
#include "platform/icon_files.h"

namespace vigilon::platform {

IconFiles::~IconFiles() {
  for (const Loaded& file : loaded_) platform_.DestroyIcon(file.icon);
}

IconHandle IconFiles::Get(std::string_view name) {
  // A handful of names: a look along them costs less than any map.
  for (const Loaded& file : loaded_)
    if (file.name == name) return file.icon;
  const std::string file(name);
  const IconHandle icon = platform_.LoadIconFile(file);
  loaded_.push_back({file, icon});
  return icon;
}

}  // namespace vigilon::platform
