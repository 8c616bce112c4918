// Settings files held in memory, with switches for the failures a disk can produce.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "items/settings_file.h"

namespace vigilon::items {

class MemoryFiles : public SettingsFiles {
 public:
  std::map<std::string, std::vector<uint8_t>> files;
  std::set<std::string> unreadable;
  std::optional<std::string> replaceError;  // every replace fails with this
  int replaceCalls = 0;

  FileReadResult ReadWholeFile(const std::string& path) override {
    FileReadResult r;
    if (unreadable.count(path)) {
      r.status = FileReadResult::Status::Failed;
      r.error = "sharing violation";
    } else if (auto it = files.find(path); it == files.end()) {
      r.status = FileReadResult::Status::Missing;
    } else {
      r.status = FileReadResult::Status::Ok;
      r.bytes = it->second;
    }
    return r;
  }

  std::optional<std::string> ReplaceFileContents(const std::string& path,
                                                 std::span<const uint8_t> contents) override {
    ++replaceCalls;
    if (replaceError) return replaceError;
    files[path].assign(contents.begin(), contents.end());
    return std::nullopt;
  }
};

}  // namespace vigilon::items
