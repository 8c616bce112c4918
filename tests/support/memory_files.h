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
  // The steps of a replace, as a disk carries them out: the next replace breaks at this one,
  // once, and (as the real implementations promise) leaves the old file as it was.
  enum class WriteStep : uint8_t { Open, Write, Flush, Replace };
  std::optional<WriteStep> failNextWriteAt;

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
    if (failNextWriteAt) {
      const WriteStep step = *failNextWriteAt;
      failNextWriteAt.reset();
      const std::string temp = path + ".new";
      if (step == WriteStep::Open) return "cannot create " + temp;
      if (step == WriteStep::Replace) return "cannot replace the file (access denied)";
      return "cannot write " + temp + " (is the disk full?)";
    }
    files[path].assign(contents.begin(), contents.end());
    return std::nullopt;
  }
};

}  // namespace vigilon::items
