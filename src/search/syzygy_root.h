#pragma once
// The root of a search in the Syzygy tables: the DTZ tables rank its moves, and only the moves
// that keep the best result stay for the search to choose from. A won root keeps the moves that
// reach the next capture, pawn move or mate soonest, so that every move makes progress and the
// win comes well within the 50-move rule (even when the game's count is older than the engine
// knows); a drawn one keeps every drawing move and is never lost; a lost one keeps the moves
// that resist longest where the 50-move rule may still save it.
#include "search/search_controller.h"

// Ranks the first `count` root moves of pos (the legal moves the search may play) when the
// tables answer for pos, and cuts them to the best-ranked ones, keeping their order; `count`
// becomes the number kept. `maxMen` is the most men the search probes (0: the tables are not
// asked). The result tells whether the root was ranked and the tables' score for it; tableHits
// counts the positions the tables answered.
RootTableResult keepTableResult(const SyzygyTables& tables, Position& pos, RootMove* moves,
                                int& count, int maxMen, bool rule50, uint64_t& tableHits);
