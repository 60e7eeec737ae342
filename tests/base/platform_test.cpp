// The platform layer: the clock, events, the spin lock, threads, dynamic libraries, directories
// and large blocks.
#include "base/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "support/temp_dir.h"

TEST(Platform, TickCountCountsMilliseconds) {
  const uint32_t start = tickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_GE(tickCount() - start, 29u);  // a sleep lasts at least as long as asked
  EXPECT_GE(processorCount(), 1);
}

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
  EXPECT_TRUE(event.isSet());
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

TEST(Thread, RunsItsBodyOnceAndRefusesASecondStart) {
  Thread thread;
  Event done;
  std::atomic<int> runs{0};
  ASSERT_TRUE(thread.start([&] {
    ++runs;
    done.set();
  }));
  EXPECT_FALSE(thread.start([&] { ++runs; }));
  EXPECT_TRUE(done.waitFor(10000));
  thread.join();
  EXPECT_EQ(runs.load(), 1);
  EXPECT_FALSE(thread.started());
}

TEST(DynamicLibrary, LoadsLibrariesFindsSymbolsAndReportsFailures) {
  DynamicLibrary library;
  TempDir dir;
  for (const std::string& path : {dir.file("egbbdll.so"), dir.write("junk.so", "no library")}) {
    EXPECT_FALSE(library.open(path.c_str())) << path;
    EXPECT_NE(std::string(library.error()), "");
    EXPECT_EQ(library.symbol("load_egbb_5men"), nullptr);
  }
  ASSERT_TRUE(library.open("libm.so.6")) << library.error();
  EXPECT_NE(library.symbol("cos"), nullptr);
  EXPECT_EQ(library.symbol("no_such_symbol_here"), nullptr);
  library.close();
  EXPECT_FALSE(library.isOpen());
  EXPECT_STREQ(DynamicLibrary::sharedLibrarySuffix(), ".so");
  for (const char* directory : {"/opt/egbb", "/opt/egbb/"})
    EXPECT_EQ(std::string(DynamicLibrary::joinPath(directory, "egbbdll.so").c_str()),
              "/opt/egbb/egbbdll.so");
  EXPECT_STREQ(DynamicLibrary::joinPath("c:\\egbb\\", "x.dll").c_str(), "c:\\egbb\\x.dll");
  EXPECT_STREQ(DynamicLibrary::joinPath("", "egbbdll.so").c_str(), "egbbdll.so");
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
  freeLargeBlock(nullptr);
}
