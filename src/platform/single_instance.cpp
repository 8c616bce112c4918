// The single-instance decision over what creating the two markers answered.
#include "platform/single_instance.h"

#include <cstdio>
#include <string>

namespace vigilon::platform {

namespace {

enum class Claim : uint8_t { Created, Exists, Denied, OtherKind, Failed };

Claim ClaimOf(MarkerAnswer answer) {
  if (answer.handle) return answer.error == kErrorAlreadyExists ? Claim::Exists : Claim::Created;
  switch (answer.error) {
    case kErrorAccessDenied:
      return Claim::Denied;
    case kErrorInvalidHandle:
      return Claim::OtherKind;
    default:
      return Claim::Failed;
  }
}

std::string NameHeldMessage(const char* name) {
  return std::string("Vigilon does not start: its name \"") + name +
         "\", which makes sure only one copy runs, is held by another copy of Vigilon (in "
         "another session, for another user or run as administrator) or by another program.\n\n"
         "Close the other Vigilon, or ask an administrator to find what holds the name.";
}

std::string OtherKindMessage() {
  return std::string("Vigilon does not start: another program holds its name \"") +
         kInstanceMarkerGlobal +
         "\" with an object that is not Vigilon's, so Vigilon cannot tell whether a copy of it "
         "runs in another session, and two copies must never drive one chip.\n\nClose that "
         "program, or ask an administrator to find what holds the name.";
}

std::string NoMarkerMessage(MarkerAnswer local, MarkerAnswer global) {
  char text[256];
  std::snprintf(text, sizeof text,
                "Vigilon cannot tell whether another copy of it already runs: its single-instance "
                "marker could not be made (errors %u and %u). Vigilon starts; if another copy "
                "runs, close one of them.",
                static_cast<unsigned>(local.error), static_cast<unsigned>(global.error));
  return text;
}

}  // namespace

InstanceCheck DecideSingleInstance(MarkerAnswer local, MarkerAnswer global) {
  using Verdict = InstanceCheck::Verdict;
  const Claim session = ClaimOf(local);
  const Claim machine = ClaimOf(global);
  if (session == Claim::Exists) return {Verdict::AnotherCopyRuns, ""};
  if (session == Claim::Denied)
    return {Verdict::AnotherCopyRuns, NameHeldMessage(kInstanceMarkerLocal)};
  if (machine == Claim::Exists || machine == Claim::Denied)
    return {Verdict::AnotherCopyRuns, NameHeldMessage(kInstanceMarkerGlobal)};
  if (machine == Claim::OtherKind) return {Verdict::AnotherCopyRuns, OtherKindMessage()};
  if (machine == Claim::Created || session == Claim::Created) return {Verdict::Alone, ""};
  return {Verdict::CannotTell, NoMarkerMessage(local, global)};
}

}  // namespace vigilon::platform
