#include "search/move_picker.h"

#include "board/movegen.h"
#include "search/eval_link.h"
#include "search/move_order.h"
#include "search/search_thread.h"

void MovePicker::begin(SearchThread& t, int ply, Stage first) {
  t_ = &t;
  pos_ = &t.pos;
  ply_ = ply < MaxPly ? ply : MaxPly - 1;
  stage_ = first;
  withMateKiller_ = withChecks_ = shared_ = false;
  tableMove_ = skip_ = threat_ = 0;
  cur_ = end_ = list_;
  losingEnd_ = losing_;
  segmentCount_ = segment_ = 0;
}

void MovePicker::startMain(SearchThread& t, int ply, Move tableMove, bool withMateKiller,
                           Move threat) {
  begin(t, ply, Stage::TableMove);
  tableMove_ = stripFlags(tableMove);
  withMateKiller_ = withMateKiller;
  threat_ = threat;
  if (tableMove_) single(tableMove_);
}

void MovePicker::startEvasions(SearchThread& t, int ply, Move lastMove, Move tableMove) {
  begin(t, ply, Stage::Evasions);
  end_ = generateEvasions(*pos_, list_, lastMove);
  orderEvasions(*pos_, list_, end_, scores_, tableMove);
}

int MovePicker::startQuiescence(SearchThread& t, int ply, Move tableMove, int threshold,
                                bool withChecks) {
  begin(t, ply, Stage::QuiescenceCaptures);
  withChecks_ = withChecks;
  end_ = generateCaptures(*pos_, list_);
  int dropped = 0;
  if (end_ > list_)
    end_ = orderQuiescenceCaptures(*pos_, list_, end_, scores_, tableMove, t.captureKiller[ply_],
                                   threshold, withChecks, dropped);
  return dropped;
}

void MovePicker::startAllMoves(SearchThread& t, int ply) {
  begin(t, ply, Stage::AllMoves);
  end_ = generateMoves(*pos_, list_);
}

bool MovePicker::keepCapturesOnly() {
  Move* out = cur_;
  for (Move* m = cur_; m < end_; m++)
    if (moveCaptured(*m) || movePromotion(*m)) *out++ = *m;
  const bool dropped = out != end_;
  end_ = out;
  return dropped;
}

// A mate killer is tried only when it is not the table move, is legal here and does not lose
// material.
bool MovePicker::offersMateKiller(Move killer) const {
  if (!killer || killer == tableMove_ || !isMoveLegal(*pos_, killer)) return false;
  const int capturedUnits = tables.unitsOfSlot[slotOf(moveCaptured(killer))];
  const int moverUnits = tables.unitsOfSlot[slotOf(pos_->at(moveFrom(killer)))];
  return capturedUnits > moverUnits || exchange(*pos_, killer) >= 0;
}

bool MovePicker::advance() {
  if (shared_) return advanceShared();
  const Move(&killers)[2] = t_->killers[ply_];
  for (;;) {
    cur_ = end_ = list_;
    switch (stage_) {
      case Stage::TableMove:
        stage_ = Stage::MateKiller;
        skip_ = tableMove_;
        if (withMateKiller_ && offersMateKiller(t_->mateKiller[ply_])) single(t_->mateKiller[ply_]);
        break;
      case Stage::MateKiller:
        stage_ = Stage::GoodCaptures;
        end_ = generateCaptures(*pos_, list_);
        end_ = orderCaptures(*pos_, list_, end_, scores_, losingEnd_);
        break;
      case Stage::GoodCaptures:
      case Stage::Killer1: {
        stage_ = stage_ == Stage::GoodCaptures ? Stage::Killer1 : Stage::Killer2;
        const Move k = killers[stage_ == Stage::Killer1 ? 0 : 1];
        if (k && isMoveLegal(*pos_, k)) single(k);
        break;
      }
      case Stage::Killer2:
      case Stage::BadCaptures: {
        // The quiet moves, then the king's: the killers were handed out in their own stages.
        const bool king = stage_ == Stage::BadCaptures;
        stage_ = king ? Stage::KingQuiets : Stage::Quiets;
        end_ = king ? generateKingQuiets(*pos_, list_) : generateQuiets(*pos_, list_);
        const Move k0 = stripFlags(killers[0]), k1 = stripFlags(killers[1]);
        for (Move* m = list_; m < end_; m++)
          if (stripFlags(*m) == k0 || stripFlags(*m) == k1) *m = 0;
        end_ = orderQuiets(*pos_, t_->history, list_, end_, scores_, threat_);
        break;
      }
      case Stage::Quiets:
        stage_ = Stage::BadCaptures;
        cur_ = losing_;
        end_ = losingEnd_;
        break;
      case Stage::QuiescenceCaptures:
        if (!withChecks_) {
          stage_ = Stage::Done;
          return false;
        }
        stage_ = Stage::DiscoveredChecks;
        end_ = generateDiscoveredChecks(*pos_, list_);
        break;
      case Stage::DiscoveredChecks:
        stage_ = Stage::QuietChecks;
        end_ = generateQuietChecks(*pos_, list_);
        end_ = orderChecks(*pos_, list_, end_, scores_);
        break;
      default:  // the last stage of its kind
        stage_ = Stage::Done;
        return false;
    }
    if (cur_ < end_) return true;
  }
}

bool MovePicker::advanceShared() {
  if (segment_ >= segmentCount_) {
    stage_ = Stage::Done;
    return false;
  }
  const Segment& s = segments_[segment_++];
  stage_ = s.stage;
  cur_ = list_ + s.begin;
  end_ = list_ + s.end;
  return true;
}

void MovePicker::share() {
  Move rest[MaxMoves];
  int n = 0;
  int count = 0;
  do {
    const int first = n;
    for (; cur_ < end_; cur_++)
      if (*cur_ && stripFlags(*cur_) != skip_ && n < MaxMoves) rest[n++] = *cur_;
    if (n > first && count < MaxSegments)
      segments_[count++] = Segment{stage_, int16_t(first), int16_t(n)};
  } while (advance());
  for (int i = 0; i < n; i++) list_[i] = rest[i];
  segmentCount_ = count;
  segment_ = 0;
  shared_ = true;
  cur_ = end_ = list_;
}
