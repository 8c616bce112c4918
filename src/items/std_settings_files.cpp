// The settings files over the standard library, for the native build.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "items/settings_file.h"

namespace vigilon::items {

namespace fs = std::filesystem;

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
  if (status.type() != fs::file_type::regular) {
    result.error = "not a regular file";
    return result;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.error = "cannot open the file";
    return result;
  }
  result.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    result.bytes.clear();
    result.error = "read error";
    return result;
  }
  result.status = FileReadResult::Status::Ok;
  return result;
}

std::optional<std::string> StdSettingsFiles::ReplaceFileContents(
    const std::string& path, std::span<const uint8_t> contents) {
  const std::string temp = path + ".new";
  std::error_code ignored;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return "cannot create " + temp;
    out.write(reinterpret_cast<const char*>(contents.data()),
              static_cast<std::streamsize>(contents.size()));
    out.flush();
    out.close();
    if (!out) {
      fs::remove(temp, ignored);
      return "cannot write " + temp + " (is the disk full?)";
    }
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  if (ec) {
    fs::remove(temp, ignored);
    return "cannot replace the file (" + ec.message() + ")";
  }
  return std::nullopt;
}

}  // namespace vigilon::items
