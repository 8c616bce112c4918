// The bus lock as the named mutex other programs take.
#include "platform/win32/win32_bus_lock.h"

#include <windows.h>
// windows.h must come first.
#include <sddl.h>

#include <cstring>
#include <string>

namespace vigilon::platform {

namespace {
// Every authenticated user may wait on the lock and release it (SYNCHRONIZE is all that takes),
// so that a service or another user's monitor started later shares it; the system and the
// administrators hold it whole.
constexpr const wchar_t* kBusLockAccess = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100000;;;AU)";
}  // namespace

Win32BusLock::Win32BusLock() {
  const std::wstring name(chip::kBusLockName, chip::kBusLockName + std::strlen(chip::kBusLockName));
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(kBusLockAccess, SDDL_REVISION_1, &descriptor,
                                                       nullptr);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  HANDLE mutex = CreateMutexW(descriptor != nullptr ? &attributes : nullptr, FALSE, name.c_str());
  if (descriptor != nullptr) LocalFree(descriptor);
  // Made already by someone whose descriptor grants us less than creating asks for: open it
  // for what waiting and releasing need, and no more.
  if (mutex == nullptr) mutex = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
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
