// The bus lock under Wine: one named mutex for every program that takes it, waited for with a
// time-out, and not taken when it cannot be opened; and the program's single-instance marker,
// held machine-wide.
#include "platform/win32/win32_bus_lock.h"

#include <gtest/gtest.h>
#include <windows.h>
// windows.h must come first.
#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <thread>

#include "chip/bus_lock.h"
#include "platform/win32/win32_platform.h"
#include "support/held_names.h"

namespace vigilon::platform {
namespace {

TEST(Win32BusLock, OneNamedMutexForEveryProgram) {
  Win32BusLock mine;
  // Another program's handle on the same name, opened for what waiting and releasing need.
  HANDLE theirs = OpenMutexA(SYNCHRONIZE, FALSE, chip::kBusLockName);
  ASSERT_NE(theirs, nullptr) << "not the name other programs use";

  ASSERT_TRUE(mine.Acquire(chip::kBusLockWaitMs));
  DWORD whileHeld = WAIT_FAILED;
  std::thread other([&] { whileHeld = WaitForSingleObject(theirs, 50); });
  other.join();
  EXPECT_EQ(whileHeld, static_cast<DWORD>(WAIT_TIMEOUT));
  mine.Release();

  std::thread again([&] {
    whileHeld = WaitForSingleObject(theirs, 1000);
    if (whileHeld == WAIT_OBJECT_0) ReleaseMutex(theirs);
  });
  again.join();
  EXPECT_EQ(whileHeld, static_cast<DWORD>(WAIT_OBJECT_0));

  // Held by the other side, an access waits its time and then goes on without it.
  ASSERT_EQ(WaitForSingleObject(theirs, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  bool got = true;
  std::thread waiter([&] { got = mine.Acquire(20); });
  waiter.join();
  EXPECT_FALSE(got);
  ReleaseMutex(theirs);

  // Made here, the lock lets every authenticated user wait on it: a service or another user's
  // monitor started later shares it.
  CloseHandle(theirs);
  const std::unique_ptr<void, decltype(&CloseHandle)> reader(
      OpenMutexA(READ_CONTROL, FALSE, chip::kBusLockName), &CloseHandle);
  ASSERT_NE(reader, nullptr);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL access = nullptr;
  ASSERT_EQ(GetSecurityInfo(reader.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &access, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  PSID authenticated = nullptr;
  ASSERT_TRUE(ConvertStringSidToSidA("AU", &authenticated));
  ASSERT_NE(access, nullptr) << "no descriptor: whoever opens it may do anything";
  ACCESS_MASK granted = 0;
  ACL_SIZE_INFORMATION size{};
  GetAclInformation(access, &size, sizeof size, AclSizeInformation);
  for (DWORD i = 0; i < size.AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (GetAce(access, i, reinterpret_cast<void**>(&ace)) &&
        ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
        EqualSid(reinterpret_cast<PSID>(&ace->SidStart), authenticated))
      granted |= ace->Mask;
  }
  EXPECT_EQ(granted & SYNCHRONIZE, static_cast<ACCESS_MASK>(SYNCHRONIZE));
  LocalFree(authenticated);
  LocalFree(descriptor);
}

TEST(Win32BusLock, ALockThatCannotBeOpenedIsNotTakenAndNotWaitedFor) {
  // The name taken by an object of another kind. (A descriptor that keeps everybody out would do
  // on Windows; Wine lets waiting through it.)
  const test::HeldName theirs(CreateEventA(nullptr, TRUE, FALSE, chip::kBusLockName));
  ASSERT_TRUE(theirs.madeHere());

  Win32BusLock mine;
  const DWORD start = GetTickCount();
  EXPECT_FALSE(mine.Acquire(5000));
  EXPECT_LT(GetTickCount() - start, 1000u) << "waited for a lock it can never have";
}

TEST(Win32Platform, TheInstanceMarkerIsMachineWide) {
  // The first copy's marker carries the global prefix, so a copy in another session finds it.
  Win32Platform first;
  ASSERT_EQ(first.CheckSingleInstance().verdict, InstanceCheck::Verdict::Alone);
  HANDLE marker = OpenMutexA(SYNCHRONIZE, FALSE, "Global\\Norvane Vigilon single instance");
  EXPECT_NE(marker, nullptr);
  if (marker != nullptr) CloseHandle(marker);
}

}  // namespace
}  // namespace vigilon::platform
