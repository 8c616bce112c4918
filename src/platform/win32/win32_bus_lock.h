// The bus lock shared with other programs that read the same chips: a named mutex.
#pragma once

#include "chip/bus_lock.h"

namespace vigilon::platform {

class Win32BusLock final : public chip::BusLock {
 public:
  Win32BusLock();
  ~Win32BusLock() override;
  Win32BusLock(const Win32BusLock&) = delete;
  Win32BusLock& operator=(const Win32BusLock&) = delete;

  // False at once, without waiting, when the lock could not be opened at all: every access then
  // goes ahead unlocked and is counted as such.
  bool Acquire(uint32_t timeoutMs) override;
  void Release() override;

 private:
  void* mutex_ = nullptr;
};

}  // namespace vigilon::platform
