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

  bool Acquire(uint32_t timeoutMs) override;
  void Release() override;
  // False when the system gave no mutex at all: the program then accesses the bus alone.
  bool shared() const { return mutex_ != nullptr; }

 private:
  void* mutex_ = nullptr;
};

}  // namespace vigilon::platform
