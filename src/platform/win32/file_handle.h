// An owned Win32 file handle, for the files the program reads and writes itself: closed once,
// by whoever needs the close's own result, or at the end of its scope.
#pragma once

#include <windows.h>

namespace vigilon::platform {

class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Close(); }
  bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  // False when the system reported the close failed: a write it still held may be lost.
  bool Close() {
    if (!Valid()) return true;
    const BOOL ok = CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return ok != 0;
  }

 private:
  HANDLE h_;
};

}  // namespace vigilon::platform
