// The record files held in memory, for native tests and the soak: a folder per path prefix,
// switches for a folder that cannot be written, and counts of the calls.
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/record_files.h"

namespace vigilon::platform {

class MemoryRecordFiles : public RecordFiles {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> folders;
  bool failWrites = false;  // every Append and Replace fails (read-only, full, held by others)
  int appends = 0;
  int replaces = 0;

  bool Append(const std::string& path, std::string_view bytes) override {
    ++appends;
    if (failWrites || !folders.count(Parent(path))) return false;
    files[path].append(bytes);
    return true;
  }
  bool Replace(const std::string& path, const std::string& temporary,
               std::string_view bytes) override {
    ++replaces;
    if (failWrites || !folders.count(Parent(path))) return false;
    files.erase(temporary);
    files[path].assign(bytes);
    return true;
  }
  FilePart Read(const std::string& path, std::size_t maxBytes, bool fromEnd) override {
    FilePart part;
    const auto it = files.find(path);
    if (it == files.end()) {
      part.status = FilePart::Status::Missing;
      return part;
    }
    const std::string& all = it->second;
    part.status = FilePart::Status::Ok;
    part.size = all.size();
    const std::size_t n = std::min(maxBytes, all.size());
    part.bytes = fromEnd ? all.substr(all.size() - n) : all.substr(0, n);
    return part;
  }
  FilePart ReadAt(const std::string& path, uint64_t offset, std::size_t maxBytes) override {
    FilePart part = Read(path, 0, false);
    if (part.status == FilePart::Status::Ok && offset < part.size)
      part.bytes = files[path].substr(static_cast<std::size_t>(offset), maxBytes);
    return part;
  }
  bool ListFolder(const std::string& folder, std::vector<std::string>& names) override {
    names.clear();
    if (!folders.count(folder)) return false;
    for (const auto& [path, bytes] : files)
      if (Parent(path) == folder) names.push_back(path.substr(folder.size() + 1));
    return true;
  }
  bool Delete(const std::string& path) override { return !failWrites && files.erase(path) == 1; }
  bool CreateFolder(const std::string& path) override {
    if (failWrites) return folders.count(path) != 0;
    folders.insert(path);
    return true;
  }

 private:
  static std::string Parent(const std::string& path) {
    const auto at = path.find_last_of("/\\");
    return at == std::string::npos ? std::string() : path.substr(0, at);
  }
};

}  // namespace vigilon::platform
