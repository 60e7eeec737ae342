#include "base/platform.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
#include <malloc.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

uint32_t tickCount() {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

int processorCount() {
  unsigned count = std::thread::hardware_concurrency();
  return count == 0 ? 1 : static_cast<int>(count);
}

void Event::set() {
  {
    std::lock_guard<std::mutex> guard(mutex());
    set_ = true;
  }
  changed().notify_all();
}

void Event::reset() {
  std::lock_guard<std::mutex> guard(mutex());
  set_ = false;
}

bool Event::isSet() const {
  std::lock_guard<std::mutex> guard(mutex());
  return set_;
}

void Event::wait() {
  std::unique_lock<std::mutex> lock(mutex());
  changed().wait(lock, [this] { return set_; });
}

namespace {
void lowerThreadPriority() {
#ifdef _WIN32
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#elif defined(__linux__)
  // On Linux the nice value is per thread: PRIO_PROCESS with a thread id changes only it.
  id_t thread = static_cast<id_t>(syscall(SYS_gettid));
  errno = 0;
  int nice = getpriority(PRIO_PROCESS, thread);
  if (errno == 0) setpriority(PRIO_PROCESS, thread, nice + 1);
#endif
}
}  // namespace

Thread::~Thread() {
  if (thread_.joinable()) thread_.detach();
}

bool Thread::start(std::function<void()> body, bool lowerPriority) {
  if (thread_.joinable() || !body) return false;
  // std::thread reports a failed start by exception; it is caught here and becomes a return
  // value like every other failure in the engine.
  try {
    thread_ = std::thread([body = std::move(body), lowerPriority] {
      if (lowerPriority) lowerThreadPriority();
      body();
    });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void Thread::join() {
  if (thread_.joinable()) thread_.join();
}

bool DynamicLibrary::open(const char* path) {
  close();
#ifdef _WIN32
  handle_ = reinterpret_cast<void*>(LoadLibraryA(path));
  if (handle_ == nullptr) error_ = RcString("LoadLibrary failed");
#else
  handle_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* message = dlerror();
    error_ = RcString(message != nullptr ? message : "dlopen failed");
  }
#endif
  return handle_ != nullptr;
}

void DynamicLibrary::close() {
  if (handle_ == nullptr) return;
#ifdef _WIN32
  FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
  dlclose(handle_);
#endif
  handle_ = nullptr;
}

void* DynamicLibrary::symbol(const char* name) const {
  if (handle_ == nullptr) {
    error_ = RcString("library not open");
    return nullptr;
  }
#ifdef _WIN32
  void* address = reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
  if (address == nullptr) error_ = RcString("symbol not found");
#else
  dlerror();
  void* address = dlsym(handle_, name);
  if (address == nullptr) {
    const char* message = dlerror();
    error_ = RcString(message != nullptr ? message : "symbol not found");
  }
#endif
  return address;
}

const char* DynamicLibrary::sharedLibrarySuffix() {
#ifdef _WIN32
  return ".dll";
#else
  return ".so";
#endif
}

RcString DynamicLibrary::joinPath(const char* directory, const char* name) {
  RcString path(directory);
  int length = path.length();
  if (length > 0 && path[length - 1] != '/' && path[length - 1] != '\\') path.append("/");
  path.append(name);
  return path;
}

bool makeDirectory(const char* path, int* error) {
#ifdef _WIN32
  int result = _mkdir(path);
#else
  int result = mkdir(path, 0755);
#endif
  if (result == 0 || errno == EEXIST) return true;
  if (error != nullptr) *error = errno;
  return false;
}

void* allocateLargeBlock(size_t bytes, size_t alignment) {
#ifdef _WIN32
  return _aligned_malloc(bytes, alignment);
#else
  constexpr size_t HugePage = size_t(2) << 20;
  void* block = nullptr;
  if (bytes >= HugePage) {
    if (posix_memalign(&block, HugePage, bytes) != 0) return nullptr;
#ifdef MADV_HUGEPAGE
    madvise(block, bytes, MADV_HUGEPAGE);  // only advice: without huge pages it still works
#endif
    return block;
  }
  if (posix_memalign(&block, alignment < sizeof(void*) ? sizeof(void*) : alignment, bytes) != 0)
    return nullptr;
  return block;
#endif
}

void freeLargeBlock(void* block) {
#ifdef _WIN32
  _aligned_free(block);
#else
  free(block);
#endif
}

void makeStreamsUnbuffered() {
  FILE* streams[] = {stdout, stdin, stderr};
  for (FILE* stream : streams) {
    setbuf(stream, nullptr);
    setvbuf(stream, nullptr, _IONBF, 0);
  }
}
