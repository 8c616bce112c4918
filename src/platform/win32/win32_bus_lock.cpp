// The bus lock as the named mutex other programs take.
#include "platform/win32/win32_bus_lock.h"

#include <windows.h>

namespace vigilon::platform {

Win32BusLock::Win32BusLock() {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, chip::kBusLockName);
  // Created by a service with a tighter security: open it for waiting only.
  if (mutex == nullptr)
    mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, chip::kBusLockName);
  mutex_ = mutex;
}

Win32BusLock::~Win32BusLock() {
  if (mutex_ != nullptr) CloseHandle(static_cast<HANDLE>(mutex_));
}

bool Win32BusLock::Acquire(uint32_t timeoutMs) {
  // No handle: the lock exists but its descriptor keeps us out (another user made it), or the
  // name is taken by something else. Other programs may still take it, so the bus is not ours
  // alone; waiting would not help.
  if (mutex_ == nullptr) return false;
  // An owner that ended without releasing leaves the mutex abandoned, and ours.
  const DWORD result = WaitForSingleObject(static_cast<HANDLE>(mutex_), timeoutMs);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void Win32BusLock::Release() {
  if (mutex_ != nullptr) ReleaseMutex(static_cast<HANDLE>(mutex_));
}

}  // namespace vigilon::platform
