#include "base/platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "support/temp_dir.h"

TEST(Platform, TickCountAdvancesInMilliseconds) {
  uint32_t start = tickCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  uint32_t elapsed = tickCount() - start;
  EXPECT_GE(elapsed, 29u);
  EXPECT_LT(elapsed, 10000u);
  EXPECT_GE(processorCount(), 1);
}

TEST(Event, ManualResetReleasesEveryWaiterUntilReset) {
  Event event;
  EXPECT_FALSE(event.isSet());
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
  event.wait();  // stays set: no block
  EXPECT_TRUE(event.waitFor(0));
  event.reset();
  EXPECT_FALSE(event.waitFor(5));
}

TEST(Event, SetFromAnotherThreadWakesATimedWait) {
  Event ready;
  Event reply;
  std::thread partner([&] {
    ready.wait();
    reply.set();
  });
  ready.set();
  EXPECT_TRUE(reply.waitFor(10000));
  partner.join();
}

TEST(SpinLock, KeepsCountersConsistentAcrossThreads) {
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

TEST(Thread, RunsBodyAndRefusesASecondStart) {
  Thread thread;
  Event done;
  std::atomic<int> runs{0};
  ASSERT_TRUE(thread.start([&] {
    ++runs;
    done.set();
  }));
  EXPECT_TRUE(thread.started());
  EXPECT_FALSE(thread.start([&] { ++runs; }));
  EXPECT_TRUE(done.waitFor(10000));
  thread.join();
  EXPECT_EQ(runs.load(), 1);
  EXPECT_FALSE(thread.started());
}

TEST(DynamicLibrary, MissingFileFailsWithAMessage) {
  DynamicLibrary library;
  TempDir dir;
  std::string path = dir.file(std::string("egbbdll") + DynamicLibrary::sharedLibrarySuffix());
  EXPECT_FALSE(library.open(path.c_str()));
  EXPECT_FALSE(library.isOpen());
  EXPECT_NE(std::string(library.error()), "");
  EXPECT_EQ(library.symbol("load_egbb_5men"), nullptr);

  // A file that exists but is no library fails the same way.
  std::string junk = dir.write("junk.so", "not a library");
  EXPECT_FALSE(library.open(junk.c_str()));
}

TEST(DynamicLibrary, LoadsASystemLibraryAndFindsSymbols) {
  DynamicLibrary library;
  ASSERT_TRUE(library.open("libm.so.6")) << library.error();
  EXPECT_NE(library.symbol("cos"), nullptr);
  EXPECT_EQ(library.symbol("no_such_symbol_here"), nullptr);
  EXPECT_NE(std::string(library.error()), "");
  library.close();
  EXPECT_FALSE(library.isOpen());
}

TEST(DynamicLibrary, JoinPathDoesNotDoubleSeparators) {
  EXPECT_STREQ(DynamicLibrary::sharedLibrarySuffix(), ".so");
  EXPECT_STREQ(DynamicLibrary::joinPath("/opt/egbb", "egbbdll.so").c_str(), "/opt/egbb/egbbdll.so");
  EXPECT_STREQ(DynamicLibrary::joinPath("/opt/egbb/", "egbbdll.so").c_str(),
               "/opt/egbb/egbbdll.so");
  EXPECT_STREQ(DynamicLibrary::joinPath("c:\\egbb\\", "egbbdll.dll").c_str(),
               "c:\\egbb\\egbbdll.dll");
  EXPECT_STREQ(DynamicLibrary::joinPath("", "egbbdll.so").c_str(), "egbbdll.so");
}

TEST(Platform, MakeDirectory) {
  TempDir dir;
  std::string sub = dir.file("sub");
  EXPECT_TRUE(makeDirectory(sub.c_str()));
  EXPECT_TRUE(makeDirectory(sub.c_str()));  // exists: fine
  int error = 0;
  EXPECT_FALSE(makeDirectory(dir.file("no/such/parent").c_str(), &error));
  EXPECT_EQ(error, ENOENT);
}

TEST(Platform, LargeBlocksAreAlignedAndWritableToTheirLastByte) {
  // Small tables get the asked alignment; big ones at least a huge page's.
  const size_t sizes[] = {64, 4096, size_t(4) << 20, (size_t(4) << 20) + 64};
  for (size_t bytes : sizes) {
    auto* block = static_cast<unsigned char*>(allocateLargeBlock(bytes, 256));
    ASSERT_NE(block, nullptr) << bytes;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 256, 0u) << bytes;
    if (bytes >= (size_t(2) << 20)) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % (size_t(2) << 20), 0u);
    }
    block[0] = 1;
    block[bytes - 1] = 2;
    EXPECT_EQ(block[0] + block[bytes - 1], 3);
    freeLargeBlock(block);
  }
  freeLargeBlock(nullptr);  // like free: nothing to release
}
