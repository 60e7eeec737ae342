#pragma once
// The move picker: hands a node its moves one at a time, stage by stage, so that a node that
// cuts off early never generates or orders what it does not need.
//
// Main search: the table move, the mate killer (a move that mated at this ply elsewhere, when it
// loses no material), the captures that win or hold material (recaptures first), the two
// killers, the quiet moves by history (answers to the null move's threat first), the captures
// that lose material, and last the king's quiet moves. In check: the evasions, the table move
// first. Quiescence: the captures worth a look (or the evasions, or after an x-ray check every
// move), then with checks the discovered checks and the quiet checks that lose nothing.
//
// Moves come as generated: pseudo-legal, the pins not tested (isPinnedMove and makeMove do
// that). The table move and the killers are checked with isMoveLegal before they are offered,
// and never handed out twice. The mate killer is a probe: if it no longer mates it comes again in
// its own stage.
//
// A node that shares its remaining moves with other threads first has them all generated
// (share); the threads then take them one by one under the split point's lock, in the order the
// node would have searched them, without touching this thread's position or history.
#include <cstdint>

#include "board/position.h"
#include "search/node_rules.h"

struct SearchThread;

enum class Stage : uint8_t {
  TableMove,
  MateKiller,
  GoodCaptures,
  Killer1,
  Killer2,
  Quiets,
  BadCaptures,
  KingQuiets,
  Evasions,
  QuiescenceCaptures,
  AllMoves,  // every reply, unordered: after an x-ray check
  DiscoveredChecks,
  QuietChecks,
  Done,
};

// The stages after the table move and the mate killer: moves the node generated itself, to which
// its pruning rules apply.
inline bool isGenerated(Stage s) { return s >= Stage::GoodCaptures; }
// The late stages of the main search, where moves may be reduced or pruned for their number.
inline bool isLate(Stage s) { return s >= Stage::Quiets && s <= Stage::KingQuiets; }

class MovePicker {
 public:
  // A main-search node out of check. `tableMove` (0 for none) must have passed isMoveLegal; the
  // mate killer is offered only when `withMateKiller`; `threat` (0 for none) orders the quiets.
  void startMain(SearchThread& t, int ply, Move tableMove, bool withMateKiller, Move threat);
  // A node in check, of either search: all evasions, generated and ordered at once.
  void startEvasions(SearchThread& t, int ply, Move lastMove, Move tableMove);
  // A quiescence node out of check: its captures (see orderQuiescenceCaptures for `threshold`),
  // then with `withChecks` the checks. Returns the largest capture value the threshold dropped.
  int startQuiescence(SearchThread& t, int ply, Move tableMove, int threshold, bool withChecks);
  // A quiescence node after an x-ray check: every move, as generated.
  void startAllMoves(SearchThread& t, int ply);

  // The next move, or 0 when there are no more.
  Move next() {
    for (;;) {
      while (cur_ < end_) {
        const Move m = *cur_++;
        if (m && stripFlags(m) != skip_) return m;
      }
      if (!advance()) return 0;
    }
  }
  // The stage of the move last handed out (Done when none is left).
  Stage stage() const { return stage_; }
  // The move after the one last handed out, if it is of the same stage (0 otherwise): its table
  // entry can be loaded early.
  Move peek() const { return cur_ < end_ ? *cur_ : 0; }
  // Moves of the current stage not yet handed out (empty words included).
  int remaining() const { return int(end_ - cur_); }
  // Keeps only the captures and promotions of the current stage; whether any move was dropped.
  bool keepCapturesOnly();

  // Hands the move last handed out again at the next call.
  void putBack() { --cur_; }
  // Generates and orders every remaining stage now, so that the moves can be handed out to
  // other threads (under a lock) in the order this node would have searched them.
  void share();
  // No more moves: a cut-off ended the node.
  void close() {
    cur_ = end_;
    stage_ = Stage::Done;
    segmentCount_ = segment_ = 0;
    shared_ = true;
  }

 private:
  bool advance();
  bool advanceShared();
  void begin(SearchThread& t, int ply, Stage first);
  void single(Move m) {
    list_[0] = m;
    cur_ = list_;
    end_ = list_ + 1;
  }
  bool offersMateKiller(Move killer) const;

  // Every member is set by the start functions: a picker costs nothing until a node starts it,
  // which matters in the quiescence search, whose nodes mostly stand pat before any move.
  SearchThread* t_;
  Position* pos_;
  int ply_;  // the row of the killers (capped)
  Stage stage_;
  bool withMateKiller_;
  bool withChecks_;
  bool shared_;
  Move tableMove_;
  Move skip_;  // the table move once it was handed out
  Move threat_;
  Move* cur_;
  Move* end_;
  Move* losingEnd_;

  // After share(): the remaining moves in list_, by stage.
  struct Segment {
    Stage stage;
    int16_t begin, end;
  };
  static constexpr int MaxSegments = 8;
  Segment segments_[MaxSegments];
  int segmentCount_;
  int segment_;

  Move list_[MaxMoves];
  Move losing_[MaxMoves];  // captures that lose material, put aside until after the quiets
  int scores_[MaxMoves];   // scratch for the orderings
};
