// The file service of the logs, the metrics file and the options: append a block, replace a file
// in one step, read part of a file, list, delete and create folders. None of it ever waits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vigilon::platform {

struct FilePart {
  enum class Status : uint8_t { Ok, Missing, Failed };
  Status status = Status::Failed;
  std::string bytes;  // at most the bytes asked for
  uint64_t size = 0;  // the whole file's size
};

// Paths are UTF-8 here; the Win32 side makes them wide. A file another program holds, a full
// disk or a missing folder is a failed call now, never a wait.
class RecordFiles {
 public:
  virtual ~RecordFiles() = default;
  // Adds `bytes` at the end of `path` (made if missing) with one write. False: nothing was
  // written, or (a full disk) the file may end in part of them.
  virtual bool Append(const std::string& path, std::string_view bytes) = 0;
  // Writes `bytes` to `temporary`, then moves it over `path` in one step; on failure `path`
  // is as it was and `temporary` is gone.
  virtual bool Replace(const std::string& path, const std::string& temporary,
                       std::string_view bytes) = 0;
  // The first `maxBytes` of the file, or its last ones with `fromEnd`.
  virtual FilePart Read(const std::string& path, std::size_t maxBytes, bool fromEnd) = 0;
  // At most `maxBytes` from `offset` on, so that a long file is read a bounded part at a time.
  virtual FilePart ReadAt(const std::string& path, uint64_t offset, std::size_t maxBytes) = 0;
  // The names of the plain files in `folder`, into `names` (cleared first). False: unreadable.
  virtual bool ListFolder(const std::string& folder, std::vector<std::string>& names) = 0;
  virtual bool Delete(const std::string& path) = 0;
  // Makes the folder and any missing folder above it; true when it exists afterwards.
  virtual bool CreateFolder(const std::string& path) = 0;
};

}  // namespace vigilon::platform
