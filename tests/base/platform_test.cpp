// The platform layer's synchronisation, directories and large blocks. (Threads, the clock and
// dynamic libraries are exercised by the search and bitbase tests that use them.)
#include "base/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "support/temp_dir.h"

TEST(Event, ManualResetReleasesEveryWaiterUntilReset) {
  Event event;
  EXPECT_FALSE(event.waitFor(10));
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      event.wait();
      ++woken;
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(woken.load(), 0);
  event.set();
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(woken.load(), 3);
  EXPECT_TRUE(event.waitFor(0));  // stays set
  event.reset();
  EXPECT_FALSE(event.waitFor(5));
}

TEST(SpinLock, KeepsACounterConsistentAcrossThreads) {
  SpinLock lock;
  long counter = 0;  // plain: only the lock protects it
  auto work = [&] {
    for (int i = 0; i < 100000; ++i) {
      std::lock_guard<SpinLock> guard(lock);
      ++counter;
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 200000);
  EXPECT_TRUE(lock.try_lock());
  EXPECT_FALSE(lock.try_lock());
  lock.unlock();
}

TEST(Platform, MakeDirectoryAndLargeBlocks) {
  TempDir dir;
  EXPECT_TRUE(makeDirectory(dir.file("sub").c_str()));
  EXPECT_TRUE(makeDirectory(dir.file("sub").c_str()));  // exists: fine
  int error = 0;
  EXPECT_FALSE(makeDirectory(dir.file("no/such/parent").c_str(), &error));
  EXPECT_EQ(error, ENOENT);
  // Small blocks get the asked alignment; big ones at least a huge page's.
  for (size_t bytes : {size_t(64), size_t(4096), size_t(4) << 20, (size_t(4) << 20) + 64}) {
    auto* block = static_cast<unsigned char*>(allocateLargeBlock(bytes, 256));
    ASSERT_NE(block, nullptr) << bytes;
    const size_t alignment = bytes >= (size_t(2) << 20) ? size_t(2) << 20 : 256;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignment, 0u) << bytes;
    block[0] = 1;
    block[bytes - 1] = 2;
    EXPECT_EQ(block[0] + block[bytes - 1], 3);
    freeLargeBlock(block);
  }
}
