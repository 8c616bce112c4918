// Loading and saving the settings file, the report of a load that was not clean, and keeping
// the old bytes of such a file before a save replaces it.
#include "items/settings_file.h"

#include <algorithm>

#include "items/settings_fields.h"
#include "items/settings_repairs.h"

namespace vigilon::items {

namespace {

// The repair lines a start-up message lists before "and N more".
constexpr std::size_t kMessageRepairLines = 12;

template <std::size_t N>
void CopyIn(std::array<float, N>& to, const std::array<uint32_t, N>& from, int used) {
  for (int i = 0; i < used; ++i) to[i] = SingleFromBits(from[i]);
}
template <class T, std::size_t N>
void CopyIn(std::array<T, N>& to, const std::array<T, N>& from, int used) {
  std::copy_n(from.begin(), used, to.begin());
}
void CopyIn(std::string& to, const std::array<char, 8>& from, int) {
  to.assign(from.begin(), from.end());
}
void CopyIn(int16_t& to, int16_t from, int) {
  to = from;
}

template <std::size_t N>
void CopyOut(std::array<uint32_t, N>& to, const std::array<float, N>& from, int used) {
  for (int i = 0; i < used; ++i) to[i] = BitsFromSingle(from[i]);
}
template <class T, std::size_t N>
void CopyOut(std::array<T, N>& to, const std::array<T, N>& from, int used) {
  std::copy_n(from.begin(), used, to.begin());
}
// Padded with spaces, cut at 8 characters.
void CopyOut(std::array<char, 8>& to, const std::string& from, int) {
  to.fill(' ');
  std::copy_n(from.begin(), std::min(from.size(), to.size()), to.begin());
}
void CopyOut(int16_t& to, int16_t from, int) {
  to = from;
}

void UseDefaults(ItemTables& tables) {
  LoadDefaultLimits(tables);
  tables.settingsRecord = SettingsRecord{};
  StoreSettingsRecord(tables, tables.settingsRecord);
}

std::string FileNameOf(const std::string& path, char separator) {
  const std::size_t slash = path.rfind(separator);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where the folder refuses new files, what helps is another folder, not another name.
std::string FolderRefusedMessage(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? path : path.substr(0, slash);
  return "Vigilon may not write files in its folder " + folder +
         ". Move the program folder to one you may write, such as your own programs folder "
         "(%LOCALAPPDATA%\\Programs\\Vigilon), and save again";
}

// The name a save would keep `bytes` under: the first that is free or already holds them.
std::string PredictKeptCopy(SettingsFiles& files, const std::string& path,
                            const std::vector<uint8_t>& bytes) {
  for (int attempt = 0; attempt < kKeptCopyNames; ++attempt) {
    const std::string name = KeptCopyName(path, attempt);
    const FileReadResult there = files.ReadWholeFile(name);
    if (there.status == FileReadResult::Status::Missing) return name;
    if (there.status == FileReadResult::Status::Ok && there.bytes == bytes) return name;
  }
  return {};
}

// Keeps `bytes` beside `path` under the first name that is free, or that already holds exactly
// these bytes (an earlier save kept them and then could not replace the file). A kept copy is
// never overwritten. Nothing on success (the name goes to `kept`), else the reason.
std::optional<std::string> KeepOldBytes(SettingsFiles& files, const std::string& path,
                                        const std::vector<uint8_t>& bytes, std::string& kept) {
  for (int attempt = 0; attempt < kKeptCopyNames; ++attempt) {
    const std::string name = KeptCopyName(path, attempt);
    const CreateResult created = files.CreateNewFile(name, bytes);
    if (created.status == CreateResult::Status::Failed)
      return created.folderRefused ? FolderRefusedMessage(path) : created.error;
    if (created.status == CreateResult::Status::Created) {
      kept = name;
      return std::nullopt;
    }
    const FileReadResult there = files.ReadWholeFile(name);
    if (there.status == FileReadResult::Status::Ok && there.bytes == bytes) {
      kept = name;
      return std::nullopt;
    }
  }
  return "every name from " + KeptCopyName(path, 0) + " to " +
         KeptCopyName(path, kKeptCopyNames - 1) + " is taken";
}

}  // namespace

std::string SaveTemporaryName(const std::string& path, int attempt) {
  return attempt == 0 ? path + ".new" : path + ".new-" + std::to_string(attempt + 1);
}

std::string KeptCopyName(const std::string& path, int attempt) {
  return attempt == 0 ? path + ".damaged" : path + ".damaged-" + std::to_string(attempt + 1);
}

std::optional<std::string> SettingsFiles::ReplaceFileContents(const std::string& path,
                                                              std::span<const uint8_t> contents) {
  const auto removeTemporaryNames = [&] {
    for (int attempt = 0; attempt < kSaveTemporaryNames; ++attempt)
      Remove(SaveTemporaryName(path, attempt));
  };
  // What holds a temporary name is what a crashed save left, or a link someone planted: nothing
  // of the user's. Removing it removes a link itself, never what it points at.
  for (int round = 0; round < 2; ++round) {
    if (round == 1) removeTemporaryNames();
    for (int attempt = 0; attempt < kSaveTemporaryNames; ++attempt) {
      const std::string temp = SaveTemporaryName(path, attempt);
      const CreateResult created = CreateNewFile(temp, contents);
      if (created.status == CreateResult::Status::NameTaken) continue;
      if (created.status == CreateResult::Status::Failed)
        return created.folderRefused ? FolderRefusedMessage(path) : created.error;
      if (auto error = MoveOver(temp, path)) {
        Remove(temp);
        return "cannot replace the file (" + *error + ")";
      }
      removeTemporaryNames();
      return std::nullopt;
    }
  }
  return "cannot create a new file beside it: every name from " + SaveTemporaryName(path, 0) +
         " to " + SaveTemporaryName(path, kSaveTemporaryNames - 1) + " is taken";
}

std::optional<std::string> SettingsFilePath(const SettingsLocation& where) {
  if (where.model == nullptr) return std::nullopt;
  return where.programFolder + where.separator + where.model->settingsFile;
}

bool SettingsLoadReport::Clean() const {
  switch (source) {
    case Source::File:
      return repairs.empty();
    case Source::DefaultsNoModel:
    case Source::DefaultsMissing:
      return true;
    default:
      return false;
  }
}

std::vector<std::string> ApplySettingsRecord(ItemTables& t, const SettingsRecord& r,
                                             const chip::ChipTraits& model) {
  t.settingsRecord = r;
  ForEachSettingsField([&](const auto& f) { CopyIn(t.*f.table, r.*f.stored, f.used); });
  EnforceItemInvariants(t);
  return RepairSettingsTables(t, model);
}

void StoreSettingsRecord(const ItemTables& t, SettingsRecord& r) {
  ForEachSettingsField([&](const auto& f) { CopyOut(r.*f.stored, t.*f.table, f.used); });
}

SettingsLoadReport LoadSettingsFile(ItemTables& tables, SettingsFiles& files,
                                    const SettingsLocation& where) {
  using Source = SettingsLoadReport::Source;
  SettingsLoadReport report;
  const std::optional<std::string> path = SettingsFilePath(where);
  if (!path) {
    report.source = Source::DefaultsNoModel;
    UseDefaults(tables);
    tables.keepFileBeforeSave = false;
    return report;
  }
  report.path = *path;
  FileReadResult read = files.ReadWholeFile(*path);
  std::optional<SettingsRecord> record;
  switch (read.status) {
    case FileReadResult::Status::Missing:
      report.source = Source::DefaultsMissing;
      break;
    case FileReadResult::Status::Folder:
      report.source = Source::DefaultsFolder;
      break;
    case FileReadResult::Status::Failed:
      report.source = Source::DefaultsUnreadable;
      report.readError = read.error;
      break;
    case FileReadResult::Status::Ok:
      record = DecodeSettingsRecord(read.bytes);
      report.source = record ? Source::File : Source::DefaultsShort;
      report.fileSize = read.bytes.size();
      break;
  }
  if (record) {
    report.repairs = ApplySettingsRecord(tables, *record, *where.model);
  } else {
    UseDefaults(tables);
  }
  tables.keepFileBeforeSave = !report.Clean();
  if (tables.keepFileBeforeSave && report.source != Source::DefaultsFolder)
    report.keptAs = FileNameOf(PredictKeptCopy(files, *path, read.bytes), where.separator);
  return report;
}

std::optional<std::string> SettingsLoadMessage(const SettingsLoadReport& r) {
  using Source = SettingsLoadReport::Source;
  if (r.Clean()) return std::nullopt;
  std::string text = "The settings file could not be used as it is:\n" + r.path + "\n\n";
  switch (r.source) {
    case Source::DefaultsShort:
      text += "It is too short: " + std::to_string(r.fileSize) + " of " +
              std::to_string(kSettingsRecordSize) + " bytes.\n";
      break;
    case Source::DefaultsFolder:
      text += "A folder is in its place.\n";
      break;
    case Source::DefaultsUnreadable:
      text += "It could not be read: " + r.readError + ".\n";
      break;
    default: {
      text += "Some of its values could not be used:\n";
      const std::size_t shown = std::min(r.repairs.size(), kMessageRepairLines);
      for (std::size_t i = 0; i < shown; ++i) text += "    " + r.repairs[i] + "\n";
      if (r.repairs.size() > shown)
        text += "    and " + std::to_string(r.repairs.size() - shown) + " more\n";
      break;
    }
  }
  text += r.source == Source::File ? "The repaired values are in use instead.\n\n"
                                   : "The defaults are in use instead.\n\n";
  if (r.source == Source::DefaultsFolder) {
    text += "Nothing is saved in its place while the folder is there.";
  } else if (r.keptAs.empty()) {
    text +=
        "The file stays as it is. No name beside it is free to keep its old contents, so "
        "saving will not replace it.";
  } else if (r.source == Source::DefaultsUnreadable) {
    text +=
        "The file stays as it is. Saving replaces it only once it can be read, and first "
        "keeps its old contents beside it as \"" +
        r.keptAs + "\".";
  } else {
    text +=
        "The file stays as it is until you save. Saving first keeps its old contents beside "
        "it as \"" +
        r.keptAs + "\".";
  }
  return text;
}

SaveOutcome SaveSettingsFile(ItemTables& tables, SettingsFiles& files,
                             const SettingsLocation& where) {
  const std::optional<std::string> path = SettingsFilePath(where);
  if (!path)
    return {false, "The settings could not be saved: this chip model has no settings file."};
  StoreSettingsRecord(tables, tables.settingsRecord);
  const SettingsBytes record = EncodeSettingsRecord(tables.settingsRecord);
  std::vector<uint8_t> contents(record.begin(), record.end());

  // Whatever a longer file holds after the record stays; if the old file cannot be read, neither
  // its tail nor its old bytes can be kept, so nothing is written.
  const FileReadResult old = files.ReadWholeFile(*path);
  if (old.status == FileReadResult::Status::Folder)
    return {false, "The settings could not be saved: a folder is in the place of " + *path + "."};
  if (old.status == FileReadResult::Status::Failed)
    return {false,
            "The settings could not be saved: " + *path + " cannot be read (" + old.error + ")."};

  std::string kept, note;
  if (tables.keepFileBeforeSave) {
    if (old.status == FileReadResult::Status::Ok) {
      if (auto error = KeepOldBytes(files, *path, old.bytes, kept))
        return {false, "The settings could not be saved: the old contents of " + *path +
                           " could not be kept beside it (" + *error + ")."};
    } else {
      note = "The settings were saved. Nothing of the old settings file was kept: " + *path +
             " was no longer there.";
    }
  }
  if (old.status == FileReadResult::Status::Ok && old.bytes.size() > kSettingsRecordSize)
    contents.insert(contents.end(), old.bytes.begin() + kSettingsRecordSize, old.bytes.end());

  if (auto error = files.ReplaceFileContents(*path, contents)) {
    std::string message = "The settings could not be saved to " + *path + ": " + *error;
    if (!kept.empty()) message += "\n\nIts old contents are kept as " + kept + ".";
    return {false, message};
  }
  tables.keepFileBeforeSave = false;
  return {true, note};
}

SaveOutcome MakeData(ItemTables& tables, SettingsFiles& files, const SettingsLocation& where) {
  tables.PollInterval = 4;
  tables.VidDefaultsPending = kTrue;
  tables.TempInCelsius = kTrue;
  return SaveSettingsFile(tables, files, where);
}

}  // namespace vigilon::items
