// The icon files of the program folder that windows show again and again: each is loaded once,
// at its first use, and destroyed once, when the run ends.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace vigilon::platform {

class IconFiles {
 public:
  explicit IconFiles(Platform& platform) : platform_(platform) {}
  ~IconFiles();
  IconFiles(const IconFiles&) = delete;
  IconFiles& operator=(const IconFiles&) = delete;

  // The icon of a file of the program folder ("\eye2.ico"), for windows to show without owning
  // it (Form::SetSharedIcon). 0 when the file could not be loaded at its first use; it is not
  // asked for again.
  IconHandle Get(std::string_view name);

 private:
  struct Loaded {
    std::string name;
    IconHandle icon;
  };
  Platform& platform_;
  std::vector<Loaded> loaded_;
};

}  // namespace vigilon::platform
