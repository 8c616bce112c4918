// The settings files over the C runtime and the standard library, for the native build (and,
// in the Windows test build, beside the Win32 implementation).
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "items/settings_file.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vigilon::items {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_BINARY;
constexpr int kCreateMode = _S_IREAD | _S_IWRITE;
int FlushToDisk(int fd) {
  return _commit(fd);
}
#else
constexpr int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
constexpr int kCreateMode = 0644;
int FlushToDisk(int fd) {
  return fsync(fd);
}
#endif

std::string ErrorText(int code) {
  return std::error_code(code, std::generic_category()).message();
}

}  // namespace

FileReadResult StdSettingsFiles::ReadWholeFile(const std::string& path) {
  FileReadResult result;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) {
    result.status = FileReadResult::Status::Missing;
    return result;
  }
  if (ec) {
    result.error = ec.message();
    return result;
  }
  if (status.type() == fs::file_type::directory) {
    result.status = FileReadResult::Status::Folder;
    result.error = "a folder is in its place";
    return result;
  }
  if (status.type() != fs::file_type::regular) {
    result.error = "not a regular file";
    return result;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.error = "cannot open the file";
    return result;
  }
  // A settings file is a few hundred bytes: a large one is not read at all.
  result.bytes.resize(kInputFileLimit + 1);
  in.read(reinterpret_cast<char*>(result.bytes.data()),
          static_cast<std::streamsize>(result.bytes.size()));
  result.bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (result.bytes.size() > kInputFileLimit) {
    result.bytes.clear();
    result.error = kInputFileTooLarge;
    return result;
  }
  if (in.bad()) {
    result.bytes.clear();
    result.error = "read error";
    return result;
  }
  result.status = FileReadResult::Status::Ok;
  return result;
}

CreateResult StdSettingsFiles::CreateNewFile(const std::string& path,
                                             std::span<const uint8_t> contents) {
  // O_EXCL: fails on any existing name, a link included, rather than following it.
  const int fd = ::open(path.c_str(), kCreateFlags, kCreateMode);
  if (fd < 0) {
    const int code = errno;
    if (code == EEXIST) return {CreateResult::Status::NameTaken, {}};
    return {CreateResult::Status::Failed, "cannot create " + path + " (" + ErrorText(code) + ")",
            code == EACCES || code == EPERM || code == EROFS};
  }
  std::size_t done = 0;
  int failure = 0;
  while (done < contents.size() && failure == 0) {
    const auto wrote =
        ::write(fd, contents.data() + done, static_cast<unsigned>(contents.size() - done));
    if (wrote > 0) {
      done += static_cast<std::size_t>(wrote);
    } else if (wrote < 0 && errno == EINTR) {
      continue;
    } else {
      failure = wrote < 0 ? errno : ENOSPC;
    }
  }
  if (failure == 0 && FlushToDisk(fd) != 0) failure = errno;
  if (::close(fd) != 0 && failure == 0) failure = errno;
  if (failure != 0) {
    Remove(path);
    return {CreateResult::Status::Failed, "cannot write " + path + " (" + ErrorText(failure) + ")"};
  }
  return {CreateResult::Status::Created, {}};
}

std::optional<std::string> StdSettingsFiles::MoveOver(const std::string& from,
                                                      const std::string& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  if (ec) return ec.message();
  return std::nullopt;
}

void StdSettingsFiles::Remove(const std::string& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

}  // namespace vigilon::items
