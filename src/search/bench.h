#pragma once
// The bench: a fixed list of positions (openings, middlegames, endgames, Chess960), each
// searched to the same depth on one thread with a fresh table. Its node total is the engine's
// behaviour signature: a change that should not alter play must leave it as it was.
#include <cstdint>

#include "base/output_stream.h"
#include "search/search_controller.h"

// Deep enough to exercise every part of the search, short enough for a few seconds in all.
constexpr int BenchDefaultDepth = 9;

struct BenchResult {
  uint64_t nodes = 0;
  uint32_t milliseconds = 0;
};

// The bench positions as FEN, for measurements that search them otherwise.
int benchPositionCount();
const char* benchPosition(int index);

// Searches every bench position to `depth` (for `lines` lines; the signature is that of one) with
// a search of its own, printing one line per position and then "Nodes searched: N" and
// "Nodes/second: M".
BenchResult runBench(int depth, OutputStream& out, int lines = 1);
