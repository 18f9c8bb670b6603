// The operation lock is the named mutex itself; there is no fake of it, so this suite
// only exists in the Windows build.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <thread>

#include "app/operation_lock_win32.hpp"

namespace mossglow {
namespace {

using Attempt = OperationLock::Attempt;

TEST(MutexOperationLock, SecondLockIsBusyWhileTheFirstHoldsIt) {
  MutexOperationLock first;
  MutexOperationLock second;
  ASSERT_EQ(first.acquire(), Attempt::acquired);
  EXPECT_EQ(second.acquire(), Attempt::busy);
  first.release();
  // The busy attempt must not have kept the mutex alive: once released, it is free.
  EXPECT_EQ(second.acquire(), Attempt::acquired);
  second.release();
}

TEST(MutexOperationLock, BusyAcrossThreads) {
  MutexOperationLock held;
  ASSERT_EQ(held.acquire(), Attempt::acquired);
  std::expected<Attempt, HResult> other = Attempt::acquired;
  std::thread([&other] {
    MutexOperationLock lock;
    other = lock.acquire();
  }).join();
  EXPECT_EQ(other, Attempt::busy);
  held.release();
}

// Released, given up without a release, or released when not held: the lock is free.
TEST(MutexOperationLock, FreeAgainAfterEveryReleaseAndWhenDestroyed) {
  MutexOperationLock lock;
  lock.release();
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(lock.acquire(), Attempt::acquired) << "round " << round;
    lock.release();
  }
  lock.release();
  {
    MutexOperationLock forgotten;
    ASSERT_EQ(forgotten.acquire(), Attempt::acquired);
  }
  EXPECT_EQ(lock.acquire(), Attempt::acquired);
  lock.release();
}

}  // namespace
}  // namespace mossglow

#endif  // _WIN32
