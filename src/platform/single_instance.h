// The single-instance decision: what creating the program's two instance markers answered,
// turned into whether this copy starts and what it tells the user.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace vigilon::platform {

// Two named mutexes: one in the session's own namespace, claimed first, which tells a second
// start in the same session; and one machine-wide, which keeps a copy in another session (a
// second user, a remote desktop) from driving the same chip.
inline constexpr const char* kInstanceMarkerLocal = "Norvane Vigilon single instance";
inline constexpr const char* kInstanceMarkerGlobal = "Global\\Norvane Vigilon single instance";

// How a second copy in the session asks the first to come forward: a registered window message
// sent to the first copy's windows of our form class, which its main window answers with
// kCameForward once it is shown and in front. Other windows answer 0, as to any message.
inline constexpr const wchar_t* kComeForwardMessage = L"Norvane Vigilon come forward";
inline constexpr const wchar_t* kFormWindowClass = L"VigilonForm";
inline constexpr uint32_t kCameForward = 0x564C4746;

// What creating a named mutex answered: whether a handle came back, and the last error then.
struct MarkerAnswer {
  bool handle = false;
  uint32_t error = 0;
};

// The system's error codes the decision tells apart.
inline constexpr uint32_t kErrorAccessDenied = 5;   // the name's object keeps us out
inline constexpr uint32_t kErrorInvalidHandle = 6;  // the name belongs to an object of another kind
inline constexpr uint32_t kErrorAlreadyExists = 183;

// - The session's marker already exists: a copy runs in this session, in the user's own
//   notification area; this one asks it to come forward and ends.
// - Either marker exists but keeps us out, or the machine-wide one exists: another copy runs
//   elsewhere (another session or user, or run as administrator), or something squats the name.
//   Two copies must not drive one chip, so this one ends, and says so.
// - The machine-wide marker is ours: alone. So is the session's where the system refuses the
//   machine-wide name for another reason (a system without sessions).
// - The machine-wide name is held by an object of another kind: no Vigilon made it, and a copy
//   in another session could no longer be seen. This one ends, and says so.
// - Neither marker could be made: it starts, and says it cannot tell.
InstanceCheck DecideSingleInstance(MarkerAnswer local, MarkerAnswer global);

}  // namespace vigilon::platform
