// Who besides the user may change the program's folder or its driver library: the decision over
// the entries of a file's access list, and the start-up warning that names them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vigilon::platform {

// One entry of a file's access list, its trustee already sorted into the kinds that matter.
struct AccessEntry {
  enum class Trustee : uint8_t {
    CurrentUser,
    System,          // the system itself and the account that installs Windows' own files
    Administrators,  // the machine's administrators
    Other,
  };
  Trustee trustee = Trustee::Other;
  std::string name;          // for the message
  bool allows = true;        // false: an entry that denies
  bool inheritOnly = false;  // only handed down to new files, not in force here
  uint32_t rights = 0;       // the access mask, as Windows spells it
};

// The rights that let someone change what the program runs: write or append to the file (add
// files to a folder), delete it (or what a folder holds), change its permissions or owner, and
// the generic rights that include these.
inline constexpr uint32_t kChangeRights = 0x00000002     // write data / add a file
                                          | 0x00000004   // append data / add a folder
                                          | 0x00000040   // delete what a folder holds
                                          | 0x00010000   // delete
                                          | 0x00040000   // change the permissions
                                          | 0x00080000   // take the owner
                                          | 0x10000000   // all
                                          | 0x40000000;  // write

// The trustees other than the user, the system and the administrators that an entry in force
// allows any of those rights, each once, in the list's order. An entry that denies is passed
// over: the warning errs towards saying too much.
std::vector<std::string> OtherWriters(std::span<const AccessEntry> entries);

// What the start-up warning says about one file: its path and who else may change it.
struct WritableFile {
  std::string path;
  std::vector<std::string> writers;
};
// The warning for the files that others may change; empty when there are none.
std::string OtherWritersMessage(std::span<const WritableFile> files);

}  // namespace vigilon::platform
