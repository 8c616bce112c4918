// The record files over the wide Win32 file functions. Nothing here waits: a file another
// program holds is a sharing violation at once, a failed call. The calls of a steady cycle
// (append, replace) convert their paths into buffers on the stack and allocate nothing.
#include "platform/win32/record_files_win32.h"

#include <windows.h>

#include <algorithm>
#include <array>

#include "platform/win32/file_handle.h"

namespace vigilon::platform {

namespace {

// Long enough for any path the options can name; a longer one is a failed call.
using WideBuffer = std::array<wchar_t, 1100>;

// The UTF-8 path as a wide one, in the "\\?\" form from MAX_PATH characters on, which the wide
// functions take at any length.
bool ToWide(std::string_view path, WideBuffer& out) {
  constexpr int kPrefix = 4;
  const int room = static_cast<int>(out.size()) - kPrefix - 1;
  const int n =
      path.empty() ? 0
                   : MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(),
                                         static_cast<int>(path.size()), out.data() + kPrefix, room);
  if (n <= 0) return false;
  wchar_t* wide = out.data() + kPrefix;
  wide[n] = L'\0';
  const bool drive = n > 2 && wide[1] == L':' && (wide[2] == L'\\' || wide[2] == L'/');
  if (n < MAX_PATH || !drive) {
    std::copy(wide, wide + n + 1, out.data());
    return true;
  }
  // The long form takes no "/": the system no longer tidies the path.
  for (int i = 0; i < n; ++i)
    if (wide[i] == L'/') wide[i] = L'\\';
  std::copy_n(L"\\\\?\\", kPrefix, out.data());
  return true;
}

using File = FileHandle;

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD wrote = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr) ||
        wrote == 0)
      return false;
    bytes.remove_prefix(wrote);
  }
  return true;
}

bool IsFolder(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// At most `maxBytes` of the file from the offset `from` picks once it knows the file's size.
template <typename PickOffset>
FilePart ReadPart(const std::string& path, std::size_t maxBytes, PickOffset from) {
  FilePart part;
  WideBuffer wide;
  if (!ToWide(path, wide)) return part;
  File file(CreateFileW(wide.data(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
      part.status = FilePart::Status::Missing;
    return part;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return part;
  part.size = static_cast<uint64_t>(size.QuadPart);
  const uint64_t offset = from(part.size);
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (offset > 0 && !SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) return part;
  part.bytes.resize(static_cast<std::size_t>(std::min<uint64_t>(maxBytes, part.size - offset)));
  std::size_t done = 0;
  while (done < part.bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(file.get(), part.bytes.data() + done,
                  static_cast<DWORD>(part.bytes.size() - done), &got, nullptr))
      return part;
    if (got == 0) break;
    done += got;
  }
  part.bytes.resize(done);
  part.status = FilePart::Status::Ok;
  return part;
}

class Win32RecordFiles : public RecordFiles {
 public:
  bool Append(const std::string& path, std::string_view bytes) override {
    WideBuffer wide;
    if (!ToWide(path, wide)) return false;
    // Readers may look at the file while it grows; a writer holding it keeps us out.
    File file(CreateFileW(wide.data(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;
    const bool wrote = WriteAll(file.get(), bytes);
    return file.Close() && wrote;
  }

  bool Replace(const std::string& path, const std::string& temporary,
               std::string_view bytes) override {
    WideBuffer wide;
    WideBuffer wideTemporary;
    if (!ToWide(path, wide) || !ToWide(temporary, wideTemporary)) return false;
    File file(CreateFileW(wideTemporary.data(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;
    const bool wrote = WriteAll(file.get(), bytes);
    if (file.Close() && wrote &&
        MoveFileExW(wideTemporary.data(), wide.data(), MOVEFILE_REPLACE_EXISTING))
      return true;
    DeleteFileW(wideTemporary.data());
    return false;
  }

  FilePart Read(const std::string& path, std::size_t maxBytes, bool fromEnd) override {
    return ReadPart(path, maxBytes, [&](uint64_t size) {
      return fromEnd ? size - std::min<uint64_t>(maxBytes, size) : 0;
    });
  }
  FilePart ReadAt(const std::string& path, uint64_t offset, std::size_t maxBytes) override {
    return ReadPart(path, maxBytes, [&](uint64_t size) { return std::min(offset, size); });
  }

  bool ListFolder(const std::string& folder, std::vector<std::string>& names) override {
    names.clear();
    WideBuffer wide;
    if (!ToWide(folder + "\\*", wide)) return false;
    WIN32_FIND_DATAW found{};
    const HANDLE find =
        FindFirstFileExW(wide.data(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return false;
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
      char name[MAX_PATH * 3];
      const int n =
          WideCharToMultiByte(CP_UTF8, 0, found.cFileName, -1, name, sizeof name, nullptr, nullptr);
      if (n > 1) names.emplace_back(name, static_cast<std::size_t>(n - 1));
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return true;
  }

  bool Delete(const std::string& path) override {
    WideBuffer wide;
    return ToWide(path, wide) && DeleteFileW(wide.data()) != 0;
  }

  bool CreateFolder(const std::string& path) override {
    WideBuffer wide;
    if (!ToWide(path, wide)) return false;
    if (IsFolder(wide.data())) return true;
    // Each missing folder from the top down; the ones that exist (the drive) refuse harmlessly.
    for (std::size_t i = 1; i < path.size(); ++i) {
      if (path[i] != '\\' && path[i] != '/') continue;
      WideBuffer upper;
      if (ToWide(std::string_view(path).substr(0, i), upper))
        CreateDirectoryW(upper.data(), nullptr);
    }
    CreateDirectoryW(wide.data(), nullptr);
    return IsFolder(wide.data());
  }
};

}  // namespace

std::unique_ptr<RecordFiles> NewWin32RecordFiles() {
  return std::make_unique<Win32RecordFiles>();
}

}  // namespace vigilon::platform
