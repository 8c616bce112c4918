// The bus lock under Wine: one named mutex for every program that takes it, waited for with a
// time-out, and not taken when it cannot be opened; and the program's single-instance marker,
// held machine-wide.
#include "platform/win32/win32_bus_lock.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "chip/bus_lock.h"
#include "platform/win32/win32_platform.h"
#include "support/held_names.h"

namespace vigilon::platform {
namespace {

TEST(Win32BusLock, OneNamedMutexForEveryProgram) {
  Win32BusLock mine;
  // Another program's handle on the same name, as it would open it.
  HANDLE theirs = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, chip::kBusLockName);
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
  CloseHandle(theirs);
}

TEST(Win32BusLock, ALockThatCannotBeOpenedIsNotTakenAndNotWaitedFor) {
  // Another user's program made it with a descriptor that keeps everybody else out.
  const test::HeldName theirs(test::CreateMutexNobodyMayOpen(chip::kBusLockName));
  ASSERT_TRUE(theirs.madeHere());
  HANDLE opened = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, chip::kBusLockName);
  if (opened != nullptr) CloseHandle(opened);
  ASSERT_EQ(opened, nullptr) << "this Wine lets the descriptor through";

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
