// Waiting and locking helpers.
#include "common/wait.h"

#include <gtest/gtest.h>

#include <thread>

namespace tallowmere {
namespace {

class WaitTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetPauseScaleForTests(nullptr); }
};

TEST_F(WaitTest, MessageWaitReturnsOnSignalOrTimeOut) {
  EXPECT_EQ(MessageWait(nullptr, 1000), 0);
  auto event = platform::CreateEvent();
  const uint64_t start = platform::SteadyMilliseconds();
  EXPECT_EQ(MessageWait(event.get(), 30), 0);
  EXPECT_GE(platform::SteadyMilliseconds() - start, 30u);
  event->Signal();
  EXPECT_EQ(MessageWait(event.get(), 10000), 1);
}

TEST_F(WaitTest, MessageWaitIsShortenedByThePauseHook) {
  platform::SetPauseScaleForTests([](uint32_t) { return 1u; });
  auto event = platform::CreateEvent();
  const uint64_t start = platform::SteadyMilliseconds();
  EXPECT_EQ(MessageWait(event.get(), 20000), 0);
  EXPECT_LT(platform::SteadyMilliseconds() - start, 10000u);
}

TEST_F(WaitTest, MutexResults) {
  EXPECT_EQ(WaitForMutex(nullptr, 0), kWaitFailed);
  ReleaseMutex(nullptr);  // harmless
  MutexHandle lock = OpenOrCreateMutex(nullptr);
  ASSERT_TRUE(lock);
  EXPECT_NE(OpenOrCreateMutex(nullptr), lock);  // unnamed: new every time
  EXPECT_EQ(OpenOrCreateMutex("name"), OpenOrCreateMutex("name"));

  EXPECT_EQ(WaitForMutex(lock, 0), kWaitObtained);
  EXPECT_EQ(WaitForMutex(lock, 0), kWaitObtained);  // the owner again
  int other = -1;
  std::thread([&] { other = WaitForMutex(lock, 30); }).join();
  EXPECT_EQ(other, kWaitTimeout);
  ReleaseMutex(lock);
  ReleaseMutex(lock);
  std::thread([&] {
    other = WaitForMutex(lock, 0);
    ReleaseMutex(lock);
  }).join();
  EXPECT_EQ(other, kWaitObtained);

  std::thread([&] { WaitForMutex(lock, 0); }).join();  // ends without releasing
  EXPECT_EQ(WaitForMutex(lock, 1000), kWaitAbandoned);
  ReleaseMutex(lock);
}

}  // namespace
}  // namespace tallowmere
