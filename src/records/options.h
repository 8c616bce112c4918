// The options of the logs and the metrics file, kept in "vigilon.ini" beside the program: read
// with a report of what could not be, and written back with every line it did not know kept.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vigilon::records {

inline constexpr const char* kOptionsFileName = "vigilon.ini";
inline constexpr std::size_t kOptionsFileLimit = 64 * 1024;
inline constexpr int kKeepDaysMax = 3650;

struct RecordOptions {
  bool logEnabled = false;
  std::string logFolder = "logs";
  int keepDays = 30;
  bool metricsEnabled = false;
  std::string metricsFolder = "metrics";
  bool operator==(const RecordOptions&) const = default;
};

struct OptionsLoad {
  RecordOptions options;  // the defaults for whatever could not be read
  // One line per problem, naming the file and the line; empty when the file was clean or
  // missing.
  std::vector<std::string> problems;
  std::vector<std::string> lines;  // the file as it was, for writing it back
};

// Reads the text of the file named `fileName` (for the messages). Text past the size limit is
// not read at all: the options stay off.
OptionsLoad ParseOptions(std::string_view text, std::string_view fileName);
// The file's lines with the options' values put in; known keys missing from the file are added
// to their section, the section added where it is missing, everything else kept as it was.
std::string WriteOptions(const std::vector<std::string>& lines, const RecordOptions& options);

// A folder of the options as a path: a relative one under the program's folder.
std::string ResolveFolder(const std::string& programFolder, char separator,
                          const std::string& folder);

}  // namespace vigilon::records
