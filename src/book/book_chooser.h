#pragma once
// Choosing a book move: moves that fail the play criteria are marked, the rest are weighted
// by how often they were played, how well they scored and how strong their games were, and
// one is drawn at random by weight. The same numbers feed the book display.
#include <random>

#include "book/book_file.h"

class Settings;

struct BookPlaySettings {
  int maxPly = 0;  // 0: no limit
  int minGames = 2;
  double minGamePct = 0.10;  // of the most-played eligible move
  double minElo = 2700;
  double maxEloDelta = 200;
  double minScore[2] = {0.50, 0.40};  // by side to move
  double maxScoreDelta = 0.05;
  double gameWeight = 1.0;  // negative: prefer the rarely played moves
  double eloWeight = 1.0;
  double scoreWeight = 0.0;
  double winWeight = 0.0;   // shown only
  double drawWeight = 0.0;  // shown only
  double minWeight = 0.10;
  double random = 1.0;  // 1: pick by weight, 0: always the best move
};

// Reads the "book.play." keys; missing or empty keys keep the defaults.
void readPlaySettings(BookPlaySettings& play, const Settings& settings);

// Why a move is not eligible.
constexpr unsigned MarkFewGames = 1;
constexpr unsigned MarkLowElo = 2;
constexpr unsigned MarkLowScore = 4;
constexpr unsigned MarkFewGamesPct = 8;
constexpr unsigned MarkEloDelta = 16;

struct BookDisplayRow {
  unsigned marks;
  double pick;  // final pick probability
  double gameShare;
  double score;
  double scoreShare;
  double elo;
  double eloShare;
  double combined;  // combined weight before the minimum-weight cut
};

// Score of a move from its mover's side, 0 for a move without games.
double bookScore(const BookEntry& entry);
// Standard error of that score.
double bookScoreError(const BookEntry& entry);

class BookChooser {
 public:
  // Opens the book and takes the play criteria from the settings; prints the outcome.
  bool loadBook(const char* name, const Settings& settings);
  // Fills weights[0..count) with the pick probabilities of reader.moves and the display rows.
  void computeWeights(int count, double* weights, int side);
  // A book move of pos drawn by weight, or 0.
  Move pickBookMove(Position& pos);
  // Prints the criteria, the weights and the table of pos's book moves.
  void showBook(const Position& pos);
  // The draws of pickBookMove start from this seed (the program gives it the clock's).
  void seed(uint32_t value) { random_.seed(value); }

  BookReader reader;
  BookPlaySettings play;
  BookDisplayRow rows[MaxBookMoves] = {};

 private:
  std::mt19937 random_;
};
