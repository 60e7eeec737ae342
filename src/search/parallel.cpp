#include "search/parallel.h"

// Only the master searches so far: no thread is ever idle to join a split point.
bool trySplit(SearchThread&) { return false; }
