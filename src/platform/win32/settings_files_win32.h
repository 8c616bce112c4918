// The settings files over Win32, for the product.
#pragma once

#include <memory>

#include "items/settings_file.h"

namespace vigilon::platform {

// Whole-file reads, exclusive creation (CREATE_NEW) flushed to the disk, and replacement by a
// move in one step.
std::unique_ptr<items::SettingsFiles> NewWin32SettingsFiles();

}  // namespace vigilon::platform
