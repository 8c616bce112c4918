// The lock other programs that read the same chips take around each index/data access pair,
// so that two of them never interleave an index write and its data access.
#pragma once

#include <cstdint>

namespace vigilon::chip {

// The name every such program uses for it.
inline constexpr const char* kBusLockName = "Global\\Access_ISABUS.HTP.Method";
// How long an access waits for another program's; after that it goes on regardless (a program
// that hangs with the lock must not stop the monitoring) and counts the time-out.
inline constexpr uint32_t kBusLockWaitMs = 100;

class BusLock {
 public:
  virtual ~BusLock() = default;
  // True when the lock was obtained within the time.
  virtual bool Acquire(uint32_t timeoutMs) = 0;
  virtual void Release() = 0;
};

}  // namespace vigilon::chip
