#pragma once
// The few operating-system services the engine needs, behind small portable types:
// time, processor count, threads, events, spin locks, dynamic libraries, directories and
// the standard streams (which are never closed or redirected: they belong to the interface).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <new>
#include <thread>

#include "base/rc_string.h"

// Milliseconds of a steady clock, as a wrapping 32-bit counter. Compare time stamps by
// unsigned difference (now - then), never by order.
uint32_t tickCount();

// Number of processors; a system that cannot tell counts as one.
int processorCount();

// A manual-reset event: once set it stays set, releasing every waiter, until reset.
// Program-wide events may still have a thread asleep on them when the process ends, so the
// destructor deliberately leaves the mutex and condition variable alone (on POSIX they own no
// resources): destroying a condition variable that has waiters can hang the exit.
class Event {
 public:
  Event() {
    new (mutexStorage_) std::mutex;
    new (changedStorage_) std::condition_variable;
  }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void set();
  void reset();
  bool isSet() const;
  // Blocks until the event is set.
  void wait();

 private:
  std::mutex& mutex() const { return *std::launder(reinterpret_cast<std::mutex*>(mutexStorage_)); }
  std::condition_variable& changed() {
    return *std::launder(reinterpret_cast<std::condition_variable*>(changedStorage_));
  }

  alignas(std::mutex) mutable unsigned char mutexStorage_[sizeof(std::mutex)];
  alignas(std::condition_variable) unsigned char changedStorage_[sizeof(std::condition_variable)];
  bool set_ = false;
};

// Tells the processor that the caller is spinning (lets the sibling hyper-thread run).
inline void pauseHint() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#else
  std::this_thread::yield();
#endif
}

// A thread that runs one body. The engine's search and worker threads live until the process
// ends, so a Thread that is destroyed while still running is detached, never joined.
class Thread {
 public:
  Thread() = default;
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  ~Thread();

  // Starts `body`; with `lowerPriority` the thread first asks to run one step below normal
  // priority (best effort: refusal is ignored). False if the thread could not be started or
  // this Thread already runs one.
  bool start(std::function<void()> body, bool lowerPriority = true);
  bool started() const { return thread_.joinable(); }
  void join();

 private:
  std::thread thread_;
};

// A loaded shared library; closed when the object goes.
class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  ~DynamicLibrary() { close(); }

  // Loads the library at `path` (closing any earlier one). On failure error() says why.
  bool open(const char* path);
  void close();
  bool isOpen() const { return handle_ != nullptr; }
  // The address of an exported symbol, or null.
  void* symbol(const char* name) const;
  // The loader's message for the last failure of open() or symbol().
  const char* error() const { return error_.c_str(); }

  // ".so" on Linux, ".dll" on Windows.
  static const char* sharedLibrarySuffix();
  // directory + '/' + name, without doubling a separator the directory already ends in;
  // an empty directory gives just the name.
  static RcString joinPath(const char* directory, const char* name);

 private:
  void* handle_ = nullptr;
  mutable RcString error_;
};

// mkdir with mode 0755; a directory that already exists is no error. On failure the system
// error number goes to *error if given.
bool makeDirectory(const char* path, int* error = nullptr);

// Memory for big hash tables, aligned to at least `alignment` (a power of two, at most 4096).
// Blocks of a few megabytes or more are offered to the system as huge pages: a table probed at
// random then costs far fewer address-translation misses. Null when memory is short; release
// with freeLargeBlock.
void* allocateLargeBlock(size_t bytes, size_t alignment);
void freeLargeBlock(void* block);

// Standard input, output and error without buffers, so that protocol output reaches the
// interface at once. Call before anything is printed.
void makeStreamsUnbuffered();
