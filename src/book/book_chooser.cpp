#include "book/book_chooser.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/diagnostics.h"
#include "base/settings.h"
#include "book/book_settings.h"

namespace {

void readPlain(const Settings& settings, const char* key, double& value) {
  RcString text = settings.get(key);
  if (!text.empty()) value = atoi(text.c_str());
}

void normalise(double* values, int count) {
  double sum = 0;
  for (int i = 0; i < count; i++) sum += values[i];
  if (sum != 0)
    for (int i = 0; i < count; i++) values[i] /= sum;
}

const char* const markNotes[5] = {"<games", "<elo", "<score", "<games%", "<elo+-"};

}  // namespace

void readPlaySettings(BookPlaySettings& play, const Settings& settings) {
  play = BookPlaySettings{};
  readIntSetting(settings, "book.play.maxply", play.maxPly);
  readIntSetting(settings, "book.play.mingames", play.minGames);
  readPercentSetting(settings, "book.play.mingamepct", play.minGamePct);
  readPlain(settings, "book.play.minelo", play.minElo);
  readPlain(settings, "book.play.maxelodelta", play.maxEloDelta);
  readPercentSetting(settings, "book.play.minscorew", play.minScore[White]);
  readPercentSetting(settings, "book.play.minscoreb", play.minScore[Black]);
  RcString delta = settings.get("book.play.maxscoredelta");
  if (!delta.empty()) {
    // A value that is no finite number (blanks only, "nan") keeps the default instead of
    // turning every weight into NaN.
    double value = atof(delta.c_str());
    if (std::isfinite(value)) play.maxScoreDelta = value / 100.0;
  }
  readPercentSetting(settings, "book.play.gameweight", play.gameWeight);
  readPercentSetting(settings, "book.play.eloweight", play.eloWeight);
  readPercentSetting(settings, "book.play.scoreweight", play.scoreWeight);
  readPercentSetting(settings, "book.play.winweight", play.winWeight);
  readPercentSetting(settings, "book.play.drawweight", play.drawWeight);
  readPercentSetting(settings, "book.play.minweight", play.minWeight);
  readPercentSetting(settings, "book.play.random", play.random);
}

double bookScore(const BookEntry& entry) {
  double games = entry.games();
  return games > 0 ? (2.0 * entry.wins + entry.draws) / (2.0 * games) : 0.0;
}

static double scoreError(double wins, double draws, double games) {
  if (games <= 0) return 0.0;
  double score = (2.0 * wins + draws) / (2.0 * games);
  double variance = score * (1.0 - score) - draws / (4.0 * games);
  if (variance < 0) variance = 0;  // rounding only: the true variance is never negative
  return std::sqrt(variance) / std::sqrt(games);
}

double bookScoreError(const BookEntry& entry) {
  return scoreError(entry.wins, entry.draws, entry.games());
}

bool BookChooser::loadBook(const char* name, const Settings& settings) {
  if (!name || !*name) return false;
  reader.close();
  if (!reader.open(name)) {
    diagnostic("could not read book file: %s\n", name);
    return false;
  }
  diagnostic("book found: %s, %u positions\n", name, reader.recordCount);
  readPlaySettings(play, settings);
  return true;
}

void BookChooser::computeWeights(int count, double* weights, int side) {
  if (count > MaxBookMoves) count = MaxBookMoves;
  memset(rows, 0, sizeof(rows));
  const bool ratings = (reader.header.flags & BookHasRating) != 0;
  const BookEntry* moves = reader.moves;
  double games[MaxBookMoves], score[MaxBookMoves], elo[MaxBookMoves];

  for (int i = 0; i < count; i++) {
    games[i] = moves[i].games();
    score[i] = bookScore(moves[i]);
    elo[i] = ratings ? moveElo(moves[i].ratingSum) : 0.0;
    unsigned& marks = rows[i].marks;
    if (ratings && play.minElo > elo[i]) marks |= MarkLowElo;
    if (games[i] < play.minGames) marks |= MarkFewGames;
    if (play.minScore[side & 1] > score[i]) marks |= MarkLowScore;
  }
  double maxGames = 0, maxElo = 0;
  for (int i = 0; i < count; i++) {
    if (rows[i].marks) continue;
    if (games[i] > maxGames) maxGames = games[i];
    if (ratings && elo[i] > maxElo) maxElo = elo[i];
  }
  // The relative tests look at every move against the best of the eligible ones.
  const double fewGames = std::trunc(maxGames * play.minGamePct);
  for (int i = 0; i < count; i++) {
    if (games[i] < fewGames) rows[i].marks |= MarkFewGamesPct;
    if (ratings && maxElo - play.maxEloDelta > elo[i]) rows[i].marks |= MarkEloDelta;
  }
  double bestScore = 0;
  for (int i = 0; i < count; i++)
    if (!rows[i].marks && score[i] > bestScore) bestScore = score[i];

  double gameShare[MaxBookMoves], eloShare[MaxBookMoves], scoreShare[MaxBookMoves];
  double combined[MaxBookMoves];
  for (int i = 0; i < count; i++) gameShare[i] = rows[i].marks ? 0.0 : games[i];
  normalise(gameShare, count);
  if (play.gameWeight < 0) {
    for (int i = 0; i < count; i++)
      if (!rows[i].marks) gameShare[i] = 1.00001 - gameShare[i];
    normalise(gameShare, count);
  }
  for (int i = 0; i < count; i++)
    eloShare[i] = (!rows[i].marks && ratings) ? moves[i].ratingSum : 0.0;
  normalise(eloShare, count);
  for (int i = 0; i < count; i++) {
    double share = 0;
    if (!rows[i].marks) {
      if (play.maxScoreDelta > 0) {
        share = 1.0 - (bestScore - score[i]) / play.maxScoreDelta;
      } else {
        share = score[i] >= bestScore ? 1.0 : 0.0;  // no tolerance: only the best score counts
      }
      if (share < 0) share = 0;
    }
    scoreShare[i] = share;
  }
  normalise(scoreShare, count);
  // The sign of the game weight only chooses the inversion above; its size is the factor.
  const double gameFactor = std::fabs(play.gameWeight);
  for (int i = 0; i < count; i++) {
    double w = 0;
    if (!rows[i].marks) {
      w = gameFactor * gameShare[i] + play.scoreWeight * scoreShare[i];
      if (ratings) w += play.eloWeight * eloShare[i];
    }
    combined[i] = w;
  }
  normalise(combined, count);

  for (int i = 0; i < count; i++) {
    BookDisplayRow& row = rows[i];
    row.combined = combined[i];
    row.gameShare = gameShare[i];
    row.score = score[i];
    row.scoreShare = scoreShare[i];
    row.elo = elo[i];
    row.eloShare = eloShare[i];
  }

  double largest = 0;
  for (int i = 0; i < count; i++)
    if (combined[i] > largest) largest = combined[i];
  for (int i = 0; i < count; i++) {
    weights[i] = combined[i];
    if (weights[i] < largest * play.minWeight) weights[i] = 0;
  }
  normalise(weights, count);

  int best = 0;
  for (int i = 1; i < count; i++)
    if (weights[i] > weights[best]) best = i;
  for (int i = 0; i < count; i++) {
    if (i == best) {
      weights[i] = 1.0 - (1.0 - weights[i]) * play.random;
    } else {
      weights[i] *= play.random;
    }
    rows[i].pick = weights[i];
  }
  // A position whose every move is marked keeps all weights at 0: nothing to pick.
  if (count > 0 && largest == 0) {
    weights[best] = 0;
    rows[best].pick = 0;
  }
}

Move BookChooser::pickBookMove(Position& pos) {
  if (!reader.isOpen()) return 0;
  if (play.maxPly != 0 && pos.ply > uint32_t(play.maxPly)) return 0;
  int count = reader.fetchMoves(pos);
  if (count == 0) return 0;
  double weights[MaxBookMoves];
  computeWeights(count, weights, int(pos.sideToMove));
  double t = std::uniform_real_distribution<double>(0.0, 1.0)(random_);
  // Only moves with a weight can be drawn, even when the draw lands exactly on 0.
  int chosen = -1;
  for (int i = 0; i < count; i++) {
    t -= weights[i];
    if (t <= 0 && weights[i] > 0) {
      chosen = i;
      break;
    }
  }
  if (chosen < 0) return 0;
  return reader.bookMove(pos, reader.moves[chosen]);
}

void BookChooser::showBook(const Position& pos) {
  int count = reader.isOpen() ? reader.fetchMoves(pos) : 0;
  if (count == 0) {
    printf("position not in book\n");
    return;
  }
  printf(
      "criteria: maxply=%i, mingames=%i, mingamepct=%1.0f, minelo=%1.0f, maxelodelta=%1.0f, "
      "minscorew=%1.0f, minscoreb=%1.0f, maxscoredelta=%1.0f\n",
      play.maxPly, play.minGames, play.minGamePct * 100, play.minElo, play.maxEloDelta,
      play.minScore[White] * 100, play.minScore[Black] * 100, play.maxScoreDelta * 100);
  printf(
      "weights : gameweight=%1.0f, eloweight=%1.0f, scoreweight=%1.0f, winweight=%1.0f, "
      "drawweight=%1.0f, minweight=%1.0f, random=%1.0f\n",
      play.gameWeight * 100, play.eloWeight * 100, play.scoreWeight * 100, play.winWeight * 100,
      play.drawWeight * 100, play.minWeight * 100, play.random * 100);
  double weights[MaxBookMoves];
  computeWeights(count, weights, int(pos.sideToMove));
  printf(
      "\n pick   move    elo    games  score    +/-   drw%%   win%%   elo%%  game%%  score%%  "
      "combi%%\n");
  static const char dashes[] =
      "---------------------------------------------------------------------------------------";
  printf("%s\n", dashes);
  double wins = 0, draws = 0, games = 0, ratingSum = 0;
  for (int i = 0; i < count; i++) {
    const BookEntry& move = reader.moves[i];
    const BookDisplayRow& row = rows[i];
    char text[8];
    bookMoveText(move, text);
    double n = move.games();
    printf("%5.1f%%", row.pick * 100);
    printf("  %c%c%c%c", text[0], text[1], text[2], text[3]);
    printf(" %6.0f", row.elo);
    printf(" %8i", int(move.games()));
    printf(" %6.2f %6.2f", row.score * 100, bookScoreError(move) * 100);
    printf(" %6.1f %6.1f", n > 0 ? move.draws / n * 100 : 0.0, n > 0 ? move.wins / n * 100 : 0.0);
    printf(" %6.1f", row.eloShare * 100);
    printf(" %6.1f", row.gameShare * 100);
    printf(" %7.2f", row.scoreShare * 100);
    printf(" %7.2f", row.combined * 100);
    for (int bit = 0; bit < 5; bit++)
      if (row.marks & (1u << bit)) printf(" %s", markNotes[bit]);
    printf("\n");
    wins += move.wins;
    draws += move.draws;
    games += n;
    ratingSum += move.ratingSum;
  }
  if (count > 1) {
    printf("%s\n", dashes);
    double score = games > 0 ? (2 * wins + draws) / (2 * games) : 0.0;
    printf("100.0%%       %6.0f %8i %6.1f %6.1f %6.2f %6.2f\n", moveElo(ratingSum), int(games),
           score * 100, scoreError(wins, draws, games) * 100, games > 0 ? draws / games * 100 : 0.0,
           games > 0 ? wins / games * 100 : 0.0);
  }
}
