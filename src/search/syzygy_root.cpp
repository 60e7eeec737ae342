#include "search/syzygy_root.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// The ranks at which a result stops being a draw: a win of rank 900 reaches its next capture,
// pawn move or mate exactly on the 100th ply of the 50-move count; lower positive ranks are
// cursed wins. Without the 50-move rule every positive rank wins.
constexpr int RankedWin = 900;

bool listedIn(const std::vector<RankedMove>& ranked, Move m, int& rank) {
  for (const RankedMove& r : ranked)
    if (sameMove(r.move, m)) {
      rank = r.rank;
      return true;
    }
  return false;
}

}  // namespace

RootTableResult keepTableResult(const SyzygyTables& tables, Position& pos, RootMove* moves,
                                int& count, int maxMen, bool rule50, uint64_t& tableHits) {
  RootTableResult result;
  if (count == 0 || menOnBoard(pos) > maxMen || pos.castleRights != 0) return result;
  // Ranked as after a repetition: among the wins only the fastest keep the top rank.
  std::vector<RankedMove> ranked;
  if (!tables.rankRootMoves(pos, rule50, true, ranked)) return result;
  tableHits += ranked.size();

  int ranks[MaxMoves];
  int best = -1001;
  for (int i = 0; i < count; i++) {
    if (!listedIn(ranked, moves[i].move, ranks[i])) return result;
    best = std::max(best, ranks[i]);
  }
  int kept = 0;
  for (int i = 0; i < count; i++)
    if (ranks[i] == best) moves[kept++] = moves[i];
  count = kept;

  // The score: the result the best rank keeps, a win or loss at the root's distance to its
  // next capture or pawn move.
  const int bound = rule50 ? RankedWin : 1;
  TableDistance distance;
  const int dtz = tables.probeRoot(pos, distance) ? std::abs(distance.dtz) : 0;
  result.inTables = true;
  result.score = best >= bound    ? tableResultScore(TableWdl::Win, rule50, dtz)
                 : best <= -bound ? tableResultScore(TableWdl::Loss, rule50, dtz)
                                  : 0;
  return result;
}
