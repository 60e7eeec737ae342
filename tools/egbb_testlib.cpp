// Small libraries for testing how the engine loads and calls a bitbase library. Built three
// times: without the probe entry point (EGBB_TEST_NO_PROBE), without the load entry point
// (EGBB_TEST_NO_LOAD), and complete, as a recorder whose answers a test sets and whose
// record of the calls a test reads (both through extra entry points found with dlsym).
#include <cstdint>
#include <cstring>

#define EGBB_EXPORT __attribute__((visibility("default")))

namespace {

constexpr int32_t NoInformation = 99999;

char lastPath[512];
int32_t lastCacheBytes = -1;
int32_t lastLoadOption = -1;
int32_t loadCalls = 0;
int32_t lastProbe[9];
int32_t probeCalls = 0;
// Positions with at most answeredMen men (kings included) get `answer`; larger ones 99999.
int32_t answeredMen = 0;
int32_t answer = 0;

}  // namespace

extern "C" {

#ifndef EGBB_TEST_NO_LOAD
EGBB_EXPORT void load_egbb_5men(const char* path, int32_t cacheBytes, int32_t loadOption) {
  std::strncpy(lastPath, path != nullptr ? path : "", sizeof lastPath - 1);
  lastCacheBytes = cacheBytes;
  lastLoadOption = loadOption;
  ++loadCalls;
}
#endif

#ifndef EGBB_TEST_NO_PROBE
EGBB_EXPORT int32_t probe_egbb_5men(int32_t side, int32_t whiteKing, int32_t blackKing,
                                    int32_t piece1, int32_t square1, int32_t piece2,
                                    int32_t square2, int32_t piece3, int32_t square3) {
  const int32_t args[9] = {side,   whiteKing, blackKing, piece1, square1,
                           piece2, square2,   piece3,    square3};
  std::memcpy(lastProbe, args, sizeof args);
  ++probeCalls;
  int men = 2 + (piece1 != 0) + (piece2 != 0) + (piece3 != 0);
  return men <= answeredMen ? answer : NoInformation;
}
#endif

// Test controls.
EGBB_EXPORT void egbb_test_configure(int32_t men, int32_t value) {
  answeredMen = men;
  answer = value;
}

EGBB_EXPORT void egbb_test_reset() {
  lastPath[0] = '\0';
  lastCacheBytes = lastLoadOption = -1;
  loadCalls = probeCalls = 0;
  std::memset(lastProbe, 0, sizeof lastProbe);
}

EGBB_EXPORT const char* egbb_test_last_path() { return lastPath; }
EGBB_EXPORT int32_t egbb_test_last_cache_bytes() { return lastCacheBytes; }
EGBB_EXPORT int32_t egbb_test_last_load_option() { return lastLoadOption; }
EGBB_EXPORT int32_t egbb_test_load_calls() { return loadCalls; }
EGBB_EXPORT int32_t egbb_test_probe_calls() { return probeCalls; }
EGBB_EXPORT const int32_t* egbb_test_last_probe() { return lastProbe; }

}  // extern "C"
