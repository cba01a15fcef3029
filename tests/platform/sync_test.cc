// Locks, events, pauses and the pause hook.
#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace tallowmere::platform {
namespace {

// Restores the documented pause lengths whatever a test did.
class SyncTest : public ::testing::Test {
 protected:
  void TearDown() override { SetPauseScaleForTests(nullptr); }
};

// True when `lock` can be taken by another thread within `ms`.
bool OtherThreadGets(TimedLock& lock, uint32_t ms) {
  bool got = false;
  std::thread([&] {
    got = lock.TryLockFor(ms);
    if (got) lock.Unlock();
  }).join();
  return got;
}

TEST_F(SyncTest, LockIsRecursiveForItsOwner) {
  auto lock = OpenTimedLock("");
  ASSERT_TRUE(lock->TryLockFor(0));
  ASSERT_TRUE(lock->TryLockFor(0));
  EXPECT_FALSE(OtherThreadGets(*lock, 20));
  lock->Unlock();
  EXPECT_FALSE(OtherThreadGets(*lock, 20));  // still held once
  lock->Unlock();
  EXPECT_TRUE(OtherThreadGets(*lock, 0));
}

TEST_F(SyncTest, TimedWaitGivesUpAndSucceedsWhenReleased) {
  auto lock = OpenTimedLock("");
  ASSERT_TRUE(lock->TryLockFor(0));
  const uint64_t start = SteadyMilliseconds();
  EXPECT_FALSE(OtherThreadGets(*lock, 50));
  EXPECT_GE(SteadyMilliseconds() - start, 50u);

  std::atomic<bool> got{false};
  std::thread waiter([&] {
    got = lock->TryLockFor(10000);
    if (got) lock->Unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  lock->Unlock();
  waiter.join();
  EXPECT_TRUE(got);
}

TEST_F(SyncTest, UnlockByANonOwnerIsIgnored) {
  auto lock = OpenTimedLock("");
  ASSERT_TRUE(lock->TryLockFor(0));
  std::thread([&] { lock->Unlock(); }).join();
  EXPECT_FALSE(OtherThreadGets(*lock, 0));
  lock->Unlock();
  lock->Unlock();  // one too many: ignored
  EXPECT_TRUE(OtherThreadGets(*lock, 0));
}

TEST_F(SyncTest, NamesShareOneLockWhileHeld) {
  auto a = OpenTimedLock("shared");
  auto b = OpenTimedLock("shared");
  auto other = OpenTimedLock("other");
  EXPECT_EQ(a, b);
  EXPECT_NE(a, other);
  EXPECT_NE(OpenTimedLock(""), OpenTimedLock(""));  // unnamed: always new
  ASSERT_TRUE(a->TryLockFor(0));
  EXPECT_FALSE(OtherThreadGets(*b, 0));
  // Held, but once every handle is gone the name starts afresh, as a named
  // mutex ends with its last handle.
  a.reset();
  b.reset();
  auto fresh = OpenTimedLock("shared");
  EXPECT_TRUE(OtherThreadGets(*fresh, 0));
}

TEST_F(SyncTest, LockOfAnEndedOwnerIsAbandoned) {
  auto lock = OpenTimedLock("");
  std::thread([&] {
    ASSERT_EQ(lock->LockFor(0), LockResult::kObtained);
    ASSERT_EQ(lock->LockFor(0), LockResult::kObtained);
  }).join();  // ends owning it twice
  EXPECT_EQ(lock->LockFor(1000), LockResult::kAbandoned);
  EXPECT_EQ(lock->LockFor(0), LockResult::kObtained);  // recursion after taking it over
  lock->Unlock();
  lock->Unlock();
  EXPECT_EQ(lock->LockFor(0), LockResult::kObtained);  // reported once only
  lock->Unlock();
  // A thread that released its lock before ending leaves nothing behind.
  std::thread([&] {
    ASSERT_TRUE(lock->TryLockFor(0));
    lock->Unlock();
  }).join();
  EXPECT_EQ(lock->LockFor(0), LockResult::kObtained);
  lock->Unlock();
}

TEST_F(SyncTest, WaiterIsWokenWhenTheOwnerEnds) {
  auto lock = OpenTimedLock("");
  std::atomic<bool> locked{false};
  std::thread owner([&] {
    ASSERT_TRUE(lock->TryLockFor(0));
    locked = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  });
  while (!locked) std::this_thread::yield();
  EXPECT_EQ(lock->LockFor(10000), LockResult::kAbandoned);
  owner.join();
  lock->Unlock();
}

TEST_F(SyncTest, ManyThreadsExcludeEachOther) {
  auto lock = OpenTimedLock("counter");
  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(lock->TryLockFor(0xFFFFFFFF));
        ++counter;
        lock->Unlock();
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 8000);
}

TEST_F(SyncTest, EventIsManualReset) {
  auto event = CreateEvent();
  EXPECT_FALSE(event->WaitFor(0));
  event->Signal();
  EXPECT_TRUE(event->WaitFor(0));
  EXPECT_TRUE(event->WaitFor(0));  // stays signalled

  auto later = CreateEvent();
  std::thread signaller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    later->Signal();
  });
  EXPECT_TRUE(later->WaitFor(10000));
  signaller.join();
}

TEST_F(SyncTest, PauseHookShortensPausesAndEventWaits) {
  std::vector<uint32_t> asked;
  SetPauseScaleForTests([&](uint32_t ms) {
    asked.push_back(ms);
    return ms / 1000;
  });
  EXPECT_EQ(ScaledPause(20000), 20u);
  const uint64_t start = SteadyMilliseconds();
  Pause(20000);
  EXPECT_FALSE(CreateEvent()->WaitFor(2000));
  EXPECT_LT(SteadyMilliseconds() - start, 10000u);
  EXPECT_EQ(asked, (std::vector<uint32_t>{20000, 20000, 2000}));

  SetPauseScaleForTests(nullptr);
  EXPECT_EQ(ScaledPause(20000), 20000u);
  const uint64_t unscaled = SteadyMilliseconds();
  Pause(30);
  EXPECT_GE(SteadyMilliseconds() - unscaled, 30u);
}

TEST_F(SyncTest, SteadyClockMovesForward) {
  const uint64_t a = SteadyMilliseconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_GE(SteadyMilliseconds(), a + 5);
}

}  // namespace
}  // namespace tallowmere::platform
