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
  std::set<std::string> folders;  // names taken by a folder
  std::set<std::string> unreadable;
  std::optional<std::string> createError;   // every new file fails with this
  bool folderRefused = false;               // the folder refuses every new file
  std::optional<std::string> replaceError;  // every move into place fails with this
  int createCalls = 0;
  int replaceCalls = 0;  // moves into place
  // The steps of a save, as a disk carries them out: the next new file (open, write, flush) or
  // move into place breaks at this step, once, and (as the real implementations promise) leaves
  // nothing of the new file behind.
  enum class WriteStep : uint8_t { Open, Write, Flush, Replace };
  std::optional<WriteStep> failNextWriteAt;

  int writes() const { return createCalls + replaceCalls; }

  FileReadResult ReadWholeFile(const std::string& path) override {
    FileReadResult r;
    if (unreadable.count(path)) {
      r.status = FileReadResult::Status::Failed;
      r.error = "sharing violation";
    } else if (folders.count(path)) {
      r.status = FileReadResult::Status::Folder;
      r.error = "a folder is in its place";
    } else if (auto it = files.find(path); it == files.end()) {
      r.status = FileReadResult::Status::Missing;
    } else {
      r.status = FileReadResult::Status::Ok;
      r.bytes = it->second;
    }
    return r;
  }

  CreateResult CreateNewFile(const std::string& path, std::span<const uint8_t> contents) override {
    ++createCalls;
    if (files.count(path) || folders.count(path)) return {CreateResult::Status::NameTaken, {}};
    if (createError) return {CreateResult::Status::Failed, *createError};
    if (folderRefused) return {CreateResult::Status::Failed, "cannot create " + path, true};
    if (failNextWriteAt && *failNextWriteAt != WriteStep::Replace) {
      const WriteStep step = *failNextWriteAt;
      failNextWriteAt.reset();
      if (step == WriteStep::Open) return {CreateResult::Status::Failed, "cannot create " + path};
      return {CreateResult::Status::Failed, "cannot write " + path + " (is the disk full?)"};
    }
    files[path].assign(contents.begin(), contents.end());
    return {CreateResult::Status::Created, {}};
  }

  std::optional<std::string> MoveOver(const std::string& from, const std::string& to) override {
    ++replaceCalls;
    if (replaceError) return replaceError;
    if (failNextWriteAt == WriteStep::Replace) {
      failNextWriteAt.reset();
      return "access denied";
    }
    if (folders.count(to)) return "a folder is in the way";
    files[to] = std::move(files[from]);
    files.erase(from);
    return std::nullopt;
  }

  void Remove(const std::string& path) override { files.erase(path); }
};

}  // namespace vigilon::items
