#pragma once
// Parallel search: nodes are shared with idle threads at split points. With one thread in use
// the split depth is 128, so the main search never offers a node.
#include "search/search_thread.h"

// Offers the rest of the thread's current node to idle threads; false when none joins.
bool trySplit(SearchThread& t);
