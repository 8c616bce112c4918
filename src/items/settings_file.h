// The per-model settings file: where it lives, how it is loaded into the item tables (with the
// repairs an edited file may need) and how it is saved without ever leaving a half-written file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "items/items.h"
#include "items/settings_record.h"

namespace vigilon::items {

struct FileReadResult {
  enum class Status : uint8_t { Ok, Missing, Failed };
  Status status = Status::Failed;
  std::vector<uint8_t> bytes;
  std::string error;  // why it failed, for a message
};

// The two file operations the settings need. Implementations: StdSettingsFiles (native) and
// the Win32 one in the platform layer.
class SettingsFiles {
 public:
  virtual ~SettingsFiles() = default;
  virtual FileReadResult ReadWholeFile(const std::string& path) = 0;
  // Writes `contents` to a new file beside `path`, flushes it to disk and puts it in place of
  // `path` in one step; on any failure the old file stays as it was and no new file is left.
  // Nothing on success, else a message saying what went wrong.
  virtual std::optional<std::string> ReplaceFileContents(const std::string& path,
                                                         std::span<const uint8_t> contents) = 0;
};

// The native implementation over the standard library. std::ofstream offers no way to reach
// the disk itself, so a power cut right after a save may still lose the new file's contents
// (never the old file while the new one is incomplete).
class StdSettingsFiles : public SettingsFiles {
 public:
  FileReadResult ReadWholeFile(const std::string& path) override;
  std::optional<std::string> ReplaceFileContents(const std::string& path,
                                                 std::span<const uint8_t> contents) override;
};

#ifdef _WIN32
// Implemented by the Win32 platform layer (settings_files_win32.cpp).
std::unique_ptr<SettingsFiles> NewWin32SettingsFiles();
#endif

struct SettingsLocation {
  std::string programFolder;  // without a trailing separator
  char separator = '\\';
  const chip::ChipTraits* model = nullptr;  // none: a chip outside the model table
};

// The program folder joined to the model's file name; nothing without a model.
std::optional<std::string> SettingsFilePath(const SettingsLocation& where);

struct SettingsLoadReport {
  enum class Source : uint8_t {
    File,             // the record came from the file
    DefaultsNoModel,  // the chip has no settings file name
    DefaultsMissing,  // no file yet (the first start)
    DefaultsShort,    // fewer than 326 bytes
    DefaultsUnreadable,
  };
  Source source = Source::File;
  std::string readError;             // for DefaultsUnreadable
  std::vector<std::string> repairs;  // one line per value brought into range
};

// Copies a record into the working tables (the used entries only), brings values that only an
// edited file can hold into range, and applies the availability invariants. The record is kept
// in `tables` for the next save. ItemPresent and ItemBeepCapable must already be filled.
std::vector<std::string> ApplySettingsRecord(ItemTables& tables, const SettingsRecord& record,
                                             const chip::ChipTraits& model);
// The working tables into a record: the used entries only; the others keep what `record` holds.
void StoreSettingsRecord(const ItemTables& tables, SettingsRecord& record);

// Loads the model's file; a missing, short or unreadable file, or a chip without a file name,
// gives the model's defaults instead. Shows nothing: the report is for whoever wants it.
SettingsLoadReport LoadSettingsFile(ItemTables& tables, SettingsFiles& files,
                                    const SettingsLocation& where);

// Writes the record; bytes a longer file holds after the record are kept. Nothing on success,
// else a message for the caller to show. The file is either fully replaced or left as it was.
std::optional<std::string> SaveSettingsFile(ItemTables& tables, SettingsFiles& files,
                                            const SettingsLocation& where);

// The debug "Make Data" command: standard interval and unit, core-voltage limits from the
// processor at the next start, then save.
std::optional<std::string> MakeData(ItemTables& tables, SettingsFiles& files,
                                    const SettingsLocation& where);

}  // namespace vigilon::items
