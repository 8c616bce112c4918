// The settings files over Win32: whole-file reads, and replacement through a flushed file
// beside the old one that is moved into its place in one step.
#include <windows.h>

#include <memory>
#include <string>

#include "items/settings_file.h"

namespace vigilon::items {

namespace {

std::string LastErrorText(DWORD code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = n != 0 && text != nullptr ? std::string(text, n) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  if (message.empty()) message = "error " + std::to_string(code);
  return message;
}

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Close(); }
  bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  bool Close() {
    if (!Valid()) return true;
    const BOOL ok = CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return ok != 0;
  }

 private:
  HANDLE h_;
};

class Win32SettingsFiles : public SettingsFiles {
 public:
  FileReadResult ReadWholeFile(const std::string& path) override {
    FileReadResult result;
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
      const DWORD code = GetLastError();
      if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
        result.status = FileReadResult::Status::Missing;
      } else {
        result.error = LastErrorText(code);
      }
      return result;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
      result.error = LastErrorText(GetLastError());
      return result;
    }
    // A settings file is a few hundred bytes; anything near the address space is not one.
    if (size.QuadPart > 0x10000000) {
      result.error = "the file is too large";
      return result;
    }
    result.bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < result.bytes.size()) {
      DWORD got = 0;
      if (!ReadFile(file.get(), result.bytes.data() + done,
                    static_cast<DWORD>(result.bytes.size() - done), &got, nullptr)) {
        result.bytes.clear();
        result.error = LastErrorText(GetLastError());
        return result;
      }
      if (got == 0) break;  // the file shrank while being read
      done += got;
    }
    result.bytes.resize(done);
    result.status = FileReadResult::Status::Ok;
    return result;
  }

  std::optional<std::string> ReplaceFileContents(const std::string& path,
                                                 std::span<const uint8_t> contents) override {
    const std::string temp = path + ".new";
    Handle file(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return "cannot create " + temp + " (" + LastErrorText(GetLastError()) + ")";

    std::size_t done = 0;
    while (done < contents.size()) {
      DWORD wrote = 0;
      if (!WriteFile(file.get(), contents.data() + done, static_cast<DWORD>(contents.size() - done),
                     &wrote, nullptr) ||
          wrote == 0) {
        return Abandon(file, temp, "cannot write " + temp);
      }
      done += wrote;
    }
    if (!FlushFileBuffers(file.get())) return Abandon(file, temp, "cannot write " + temp);
    if (!file.Close()) return Abandon(file, temp, "cannot write " + temp);
    if (!MoveFileExA(temp.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      const DWORD code = GetLastError();
      DeleteFileA(temp.c_str());
      return "cannot replace the file (" + LastErrorText(code) + ")";
    }
    return std::nullopt;
  }

 private:
  static std::string Abandon(Handle& file, const std::string& temp, const std::string& what) {
    const DWORD code = GetLastError();
    file.Close();
    DeleteFileA(temp.c_str());
    return what + " (" + LastErrorText(code) + ")";
  }
};

}  // namespace

std::unique_ptr<SettingsFiles> NewWin32SettingsFiles() {
  return std::make_unique<Win32SettingsFiles>();
}

}  // namespace vigilon::items
