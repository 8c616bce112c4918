// The single-instance decision over every answer creating the two markers can give: who ends
// silently, who ends with a message, who starts with one.
#include "platform/single_instance.h"

#include <gtest/gtest.h>

#include <string>

namespace vigilon::platform {
namespace {

using Verdict = InstanceCheck::Verdict;

constexpr MarkerAnswer kCreated{true, 0};
constexpr MarkerAnswer kExists{true, kErrorAlreadyExists};
constexpr MarkerAnswer kDenied{false, kErrorAccessDenied};
constexpr MarkerAnswer kOtherKind{false, kErrorInvalidHandle};
constexpr MarkerAnswer kPathNotFound{false, 3};
constexpr MarkerAnswer kNoMemory{false, 8};

bool Mentions(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
std::string Quoted(const char* name) {
  return std::string("\"") + name + "\"";
}

TEST(SingleInstance, ACopyInThisSessionEndsTheNewOneSilently) {
  for (MarkerAnswer global : {kExists, kDenied, kCreated, kOtherKind}) {
    const InstanceCheck check = DecideSingleInstance(kExists, global);
    EXPECT_EQ(check.verdict, Verdict::AnotherCopyRuns) << global.error;
    EXPECT_EQ(check.message, "") << global.error;
  }
}

TEST(SingleInstance, ANameHeldElsewhereEndsTheStartWithAMessageNamingIt) {
  struct Case {
    const char* what;
    MarkerAnswer local;
    MarkerAnswer global;
    const char* heldName;
  };
  const Case cases[] = {
      {"another user's copy, or a squatter keeping us out", kCreated, kDenied,
       kInstanceMarkerGlobal},
      {"a copy in another session of the same user", kCreated, kExists, kInstanceMarkerGlobal},
      {"an elevated copy in this session", kDenied, kCreated, kInstanceMarkerLocal},
      {"both kept from us", kDenied, kDenied, kInstanceMarkerLocal},
      {"the session's name taken by another kind of object", kOtherKind, kDenied,
       kInstanceMarkerGlobal},
      {"the machine-wide name taken by another kind of object", kCreated, kOtherKind,
       kInstanceMarkerGlobal},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const InstanceCheck check = DecideSingleInstance(c.local, c.global);
    EXPECT_EQ(check.verdict, Verdict::AnotherCopyRuns);
    EXPECT_TRUE(Mentions(check.message, "Vigilon does not start")) << check.message;
    EXPECT_TRUE(Mentions(check.message, Quoted(c.heldName))) << check.message;
    EXPECT_TRUE(Mentions(check.message, "ask an administrator")) << check.message;
  }
}

TEST(SingleInstance, StartsSilentlyWhereAMarkerCoversEveryCopyThatCouldRun) {
  struct Case {
    const char* what;
    MarkerAnswer local;
    MarkerAnswer global;
  };
  const Case cases[] = {
      {"both made", kCreated, kCreated},
      {"the machine-wide one made", kOtherKind, kCreated},
      {"the machine-wide one made, the session's failed", kNoMemory, kCreated},
      {"a system that refuses the machine-wide name", kCreated, kPathNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const InstanceCheck check = DecideSingleInstance(c.local, c.global);
    EXPECT_EQ(check.verdict, Verdict::Alone);
    EXPECT_EQ(check.message, "");
  }
}

TEST(SingleInstance, StartsWithAMessageWhereNoMarkerCoversAnotherCopy) {
  // Neither name could be made: the errors are there for whoever looks into it.
  const InstanceCheck none = DecideSingleInstance(kNoMemory, kPathNotFound);
  EXPECT_EQ(none.verdict, Verdict::CannotTell);
  EXPECT_TRUE(Mentions(none.message, "errors 8 and 3")) << none.message;
  EXPECT_TRUE(Mentions(none.message, "Vigilon starts")) << none.message;
}

}  // namespace
}  // namespace vigilon::platform
