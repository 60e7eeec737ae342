#pragma once
// The small synchronisation tools of the parallel search: flags and counters that other threads
// poll (relaxed atomics: they carry no data, only "look again"), a polite busy wait and a spin
// lock built on it.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "base/platform.h"

// A word written by one thread and polled by others without ordering anything else. Reads and
// writes look like those of a plain variable.
template <typename T>
class Relaxed {
 public:
  Relaxed(T value = T()) : value_(value) {}
  Relaxed(const Relaxed&) = delete;
  Relaxed& operator=(const Relaxed&) = delete;
  Relaxed& operator=(T value) {
    value_.store(value, std::memory_order_relaxed);
    return *this;
  }
  operator T() const { return value_.load(std::memory_order_relaxed); }

 private:
  std::atomic<T> value_;
};

// Busy waiting that stays fair when threads outnumber cores: every pass issues the pause hint;
// after SpinPasses passes the waiter also yields its time slice, and after YieldPasses more it
// naps briefly, so that a waiting thread never holds a core a searching thread needs for long.
class Backoff {
 public:
  static constexpr uint32_t SpinPasses = 512;
  static constexpr uint32_t YieldPasses = 2048;

  void pause() {
    pauseHint();
    if (passes_ >= SpinPasses) {
      if (passes_ < SpinPasses + YieldPasses)
        std::this_thread::yield();
      else
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    passes_++;
  }

 private:
  uint32_t passes_ = 0;
};

// Spins with backoff until `ready()` holds.
template <typename Ready>
inline void spinUntil(Ready ready) {
  Backoff backoff;
  while (!ready()) backoff.pause();
}

// A lock for very short critical sections, taken by atomic exchange. A waiter spins on a plain
// load (so the cache line is not bounced) and backs off like any busy wait.
class SpinLockBackoff {
 public:
  void lock() {
    Backoff backoff;
    while (locked_.exchange(1, std::memory_order_acquire) != 0)
      while (locked_.load(std::memory_order_relaxed) != 0) backoff.pause();
  }
  // One attempt, never waiting.
  bool try_lock() {
    return locked_.load(std::memory_order_relaxed) == 0 &&
           locked_.exchange(1, std::memory_order_acquire) == 0;
  }
  void unlock() { locked_.store(0, std::memory_order_release); }

 private:
  std::atomic<int> locked_{0};
};
