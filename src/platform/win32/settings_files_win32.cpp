// The settings files over Win32: whole-file reads, files created only where no name exists
// and flushed to the disk, and a move into place in one step.
#include "platform/win32/settings_files_win32.h"

#include <windows.h>

#include <string>

#include "platform/win32/file_handle.h"
#include "platform/win32/wide_text.h"

namespace vigilon::platform {

namespace {

std::string LastErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message =
      n != 0 && text != nullptr ? Narrow(std::wstring_view(text, n)) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  if (message.empty()) message = "error " + std::to_string(code);
  return message;
}

using Handle = FileHandle;

class Win32SettingsFiles : public items::SettingsFiles {
 public:
  items::FileReadResult ReadWholeFile(const std::string& path) override {
    using Status = items::FileReadResult::Status;
    items::FileReadResult result;
    Handle file(CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
      const DWORD code = GetLastError();
      if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
        result.status = Status::Missing;
      } else if (IsFolder(path)) {
        result.status = Status::Folder;
        result.error = "a folder is in its place";
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
    // A settings file is a few hundred bytes: a large one is not read at all.
    if (size.QuadPart > static_cast<LONGLONG>(items::kInputFileLimit)) {
      result.error = items::kInputFileTooLarge;
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
    result.status = Status::Ok;
    return result;
  }

  items::CreateResult CreateNewFile(const std::string& path,
                                    std::span<const uint8_t> contents) override {
    using Status = items::CreateResult::Status;
    // CREATE_NEW fails on any existing name, a link included, rather than following it.
    Handle file(CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
      const DWORD code = GetLastError();
      if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS || IsFolder(path))
        return {Status::NameTaken, {}};
      return {Status::Failed, "cannot create " + path + " (" + LastErrorText(code) + ")",
              code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT};
    }
    std::size_t done = 0;
    while (done < contents.size()) {
      DWORD wrote = 0;
      if (!WriteFile(file.get(), contents.data() + done, static_cast<DWORD>(contents.size() - done),
                     &wrote, nullptr) ||
          wrote == 0) {
        return Abandon(file, path);
      }
      done += wrote;
    }
    if (!FlushFileBuffers(file.get())) return Abandon(file, path);
    if (!file.Close()) return Abandon(file, path);
    return {Status::Created, {}};
  }

  std::optional<std::string> MoveOver(const std::string& from, const std::string& to) override {
    if (MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return std::nullopt;
    return LastErrorText(GetLastError());
  }

  void Remove(const std::string& path) override { DeleteFileW(WidePath(path).c_str()); }

 private:
  static bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  static items::CreateResult Abandon(Handle& file, const std::string& path) {
    const DWORD code = GetLastError();
    file.Close();
    DeleteFileW(WidePath(path).c_str());
    return {items::CreateResult::Status::Failed,
            "cannot write " + path + " (" + LastErrorText(code) + ")"};
  }
};

}  // namespace

std::unique_ptr<items::SettingsFiles> NewWin32SettingsFiles() {
  return std::make_unique<Win32SettingsFiles>();
}

}  // namespace vigilon::platform
