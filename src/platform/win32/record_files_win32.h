// The record files of the logs and the metrics over Win32, for the product.
#pragma once

#include <memory>

#include "platform/record_files.h"

namespace vigilon::platform {

// Wide paths, appends and replacements that never wait for a file another program holds.
std::unique_ptr<RecordFiles> NewWin32RecordFiles();

}  // namespace vigilon::platform
