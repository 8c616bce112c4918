// The per-model settings file: where it lives, how it is loaded into the item tables (with the
// repairs an edited file may need and the report of what was wrong), and how it is saved without
// ever leaving a half-written file or losing a file that did not load cleanly.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "items/items.h"
#include "items/settings_record.h"

namespace vigilon::items {

struct FileReadResult {
  enum class Status : uint8_t { Ok, Missing, Folder, Failed };
  Status status = Status::Failed;
  std::vector<uint8_t> bytes;
  std::string error;  // why it failed, for a message
};

struct CreateResult {
  enum class Status : uint8_t { Created, NameTaken, Failed };
  Status status = Status::Failed;
  std::string error;  // for Failed: what went wrong, naming the file
  // For Failed: the folder refuses this user new files (no right to write there).
  bool folderRefused = false;
};

// The most an input file may hold (the settings file; a larger one is not read at all), and
// the reason a read gives for one that holds more.
inline constexpr std::size_t kInputFileLimit = 64 * 1024;
inline constexpr const char* kInputFileTooLarge = "it is larger than 64 KiB";

// The file operations the settings need. Implementations: StdSettingsFiles (native) and the
// Win32 one in the platform layer.
class SettingsFiles {
 public:
  virtual ~SettingsFiles() = default;
  virtual FileReadResult ReadWholeFile(const std::string& path) = 0;
  // Creates `path` only where nothing of that name exists (no file, folder or link: a link is
  // never followed), writes `contents` and flushes them to disk. On failure nothing of the new
  // file is left.
  virtual CreateResult CreateNewFile(const std::string& path,
                                     std::span<const uint8_t> contents) = 0;
  // Puts the file `from` in the place of `to` in one step; a file there is replaced (a link
  // there is replaced itself, not followed). Nothing on success, else the reason.
  virtual std::optional<std::string> MoveOver(const std::string& from, const std::string& to) = 0;
  virtual void Remove(const std::string& path) = 0;

  // Writes `contents` to a new temporary file beside `path` and moves it into its place: on any
  // failure the old file stays as it was and no new file is left. A temporary name that is
  // taken (a save that crashed, or a link someone left) is passed over for the next one; a
  // save that succeeds removes what holds the others, and where every name is taken they are
  // removed first. Nothing on success, else a message saying what went wrong.
  std::optional<std::string> ReplaceFileContents(const std::string& path,
                                                 std::span<const uint8_t> contents);
};

// How many temporary names a save tries: "<file>.new", "<file>.new-2", ...
inline constexpr int kSaveTemporaryNames = 8;
std::string SaveTemporaryName(const std::string& path, int attempt);

// The native implementation over the C runtime: exclusive creation (O_CREAT | O_EXCL), and a
// flush to the disk before the new file is moved into place.
class StdSettingsFiles : public SettingsFiles {
 public:
  FileReadResult ReadWholeFile(const std::string& path) override;
  CreateResult CreateNewFile(const std::string& path, std::span<const uint8_t> contents) override;
  std::optional<std::string> MoveOver(const std::string& from, const std::string& to) override;
  void Remove(const std::string& path) override;
};

struct SettingsLocation {
  std::string programFolder;  // without a trailing separator
  char separator = '\\';
  const chip::ChipTraits* model = nullptr;  // none: a chip outside the model table
};

// The program folder joined to the model's file name; nothing without a model.
std::optional<std::string> SettingsFilePath(const SettingsLocation& where);

// Where the old bytes of a file that did not load cleanly are kept: "<file>.damaged", or
// "<file>.damaged-2" and so on when that name holds something else.
inline constexpr int kKeptCopyNames = 99;
std::string KeptCopyName(const std::string& path, int attempt);

struct SettingsLoadReport {
  enum class Source : uint8_t {
    File,             // the record came from the file
    DefaultsNoModel,  // the chip has no settings file name
    DefaultsMissing,  // no file yet (the first start)
    DefaultsShort,    // fewer than 326 bytes
    DefaultsFolder,   // a folder in the file's place
    DefaultsUnreadable,
  };
  Source source = Source::File;
  std::string path;                  // the file, when the model has one
  std::size_t fileSize = 0;          // for DefaultsShort
  std::string readError;             // for DefaultsUnreadable
  std::vector<std::string> repairs;  // one line per value brought into range
  // Where a save will keep the file's old bytes (the name beside it); empty when there are no
  // bytes to keep.
  std::string keptAs;
  // Nothing to tell the user: the file was used as it was, or there is none yet.
  bool Clean() const;
};

// Copies a record into the working tables (the used entries only), brings values that only an
// edited file can hold into range, and applies the availability invariants. The record is kept
// in `tables` for the next save. ItemPresent and ItemBeepCapable must already be filled.
std::vector<std::string> ApplySettingsRecord(ItemTables& tables, const SettingsRecord& record,
                                             const chip::ChipTraits& model);
// The working tables into a record: the used entries only; the others keep what `record` holds.
void StoreSettingsRecord(const ItemTables& tables, SettingsRecord& record);

// Loads the model's file; a missing, short or unreadable file, or a chip without a file name,
// gives the model's defaults instead. Writes nothing and shows nothing: a load that was not
// clean marks the tables so that the first save keeps the old bytes, and the report says what
// to tell the user (SettingsLoadMessage).
SettingsLoadReport LoadSettingsFile(ItemTables& tables, SettingsFiles& files,
                                    const SettingsLocation& where);

// The start-up message for a load that was not clean: the file, what was wrong, what is in use
// instead and what becomes of the file. Nothing for a clean load or a first start.
std::optional<std::string> SettingsLoadMessage(const SettingsLoadReport& report);

struct SaveOutcome {
  bool saved = false;
  // For the user: why nothing was saved, or what became of the old file when that is not what
  // the start-up message said; empty when there is nothing to say.
  std::string message;
};

// Writes the record; bytes a longer file holds after the record are kept. After a load that was
// not clean, the old bytes are first kept beside the file; if they cannot be, nothing is written.
// The file is either fully replaced or left as it was.
SaveOutcome SaveSettingsFile(ItemTables& tables, SettingsFiles& files,
                             const SettingsLocation& where);

// The debug "Make Data" command: standard interval and unit, core-voltage limits from the
// processor at the next start, then save.
SaveOutcome MakeData(ItemTables& tables, SettingsFiles& files, const SettingsLocation& where);

}  // namespace vigilon::items
