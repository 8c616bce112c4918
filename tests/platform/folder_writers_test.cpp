// Who besides the user may change the program's files, decided from access-list entries.
#include "platform/folder_writers.h"

#include <gtest/gtest.h>

namespace vigilon::platform {
namespace {

using Trustee = AccessEntry::Trustee;
constexpr uint32_t kReadAndRun = 0x001200A9;
constexpr uint32_t kModify = 0x001301BF;
constexpr uint32_t kAddFilesOnly = 0x00000002;

// The entries of a folder on a system drive's root: the users of the machine may add files
// there, and so put a library beside the program.
TEST(OtherWriters, OnlyEntriesInForceThatLetOthersChangeTheFileCount) {
  const AccessEntry entries[] = {
      {Trustee::System, "", true, false, 0x001F01FF},
      {Trustee::Administrators, "", true, false, 0x001F01FF},
      {Trustee::CurrentUser, "", true, false, kModify},
      {Trustee::Other, "BUILTIN\\Users", true, false, kReadAndRun},
      {Trustee::Other, "CREATOR OWNER", true, true, 0x10000000},
      {Trustee::Other, "Guests", false, false, kModify},
  };
  EXPECT_TRUE(OtherWriters(entries).empty()) << "the per-user programs folder warns of nothing";

  const AccessEntry crowded[] = {
      {Trustee::Other, "NT AUTHORITY\\Authenticated Users", true, false, kAddFilesOnly},
      {Trustee::Other, "BUILTIN\\Users", true, false, kReadAndRun},
      {Trustee::Other, "NT AUTHORITY\\Authenticated Users", true, false, kModify},
      {Trustee::Other, "Everyone", true, false, 0x40000000},
  };
  EXPECT_EQ(OtherWriters(crowded),
            (std::vector<std::string>{"NT AUTHORITY\\Authenticated Users", "Everyone"}));

  const WritableFile files[] = {{"C:\\Tools\\Vigilon", OtherWriters(crowded)},
                                {"C:\\Tools\\Vigilon\\kestrel.dll", {}}};
  const std::string message = OtherWritersMessage(files);
  EXPECT_NE(message.find("C:\\Tools\\Vigilon: NT AUTHORITY\\Authenticated Users, Everyone\n"),
            std::string::npos)
      << message;
  EXPECT_EQ(message.find("kestrel.dll"), std::string::npos) << message;
  EXPECT_NE(message.find("%LOCALAPPDATA%\\Programs\\Vigilon"), std::string::npos);
  const WritableFile none[] = {{"C:\\Users\\me\\AppData\\Local\\Programs\\Vigilon", {}}};
  EXPECT_EQ(OtherWritersMessage(none), "");
}

}  // namespace
}  // namespace vigilon::platform
