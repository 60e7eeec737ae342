#pragma once
// Building a book from a PGN file: games that pass the game criteria are replayed from the
// starting position, every (position, move) of their first plies is counted in an
// open-addressing table, moves that fail the move criteria are dropped, each position keeps
// its most played moves, and the table is saved as a book.
#include <cstdint>

#include "base/rc_string.h"
#include "book/book_file.h"
#include "book/pgn_reader.h"

class Settings;

struct BookBuildSettings {
  RcString file;
  int minElo = 2300;      // both players below: dropped; 0 turns the test off
  int maxEloDelta = 120;  // players further apart: dropped; 0 turns the test off
  int minPly = 32;
  int maxPly = 50;
  int minGames = 4;
  int minQuality = 2700;              // lowest move Elo
  double minScore[2] = {0.49, 0.39};  // by the side that played the move
  double keepPct = 0.98;
};

void readBuildSettings(BookBuildSettings& build, const Settings& settings);

struct BookBuildCounts {
  int gamesRead = 0;
  int errors = 0;
  int minPlyDrops = 0;
  int minEloDrops = 0;
  int maxEloDrops = 0;
  int noResult = 0;
  int gamesUsed = 0;
  int movesStored = 0;
  uint32_t slotsInUse = 0;
  int minGamesDrops = 0;
  int minQualityDrops = 0;
  int minScoreDrops = 0;
  int keepDrops = 0;
  int positions = 0;
};

class BookTable {
 public:
  explicit BookTable(Position* replay) : position(replay) {}
  ~BookTable();
  BookTable(const BookTable&) = delete;
  BookTable& operator=(const BookTable&) = delete;

  // Grows the table to max(slots, 1024) slots, keeping its moves; never shrinks.
  bool resize(uint32_t slots);
  // Replays one game into the table; false for an error game.
  bool addGame(const PgnGame& game);
  // The slot of (key, move): the slot holding it, or the empty slot where it belongs.
  uint32_t findSlot(uint64_t key, uint8_t from, uint8_t to) const;
  // The move criteria, then sort, then the keep filter, each updating the counts.
  void filterMoves();
  void sortEntries();
  int countPositions() const;
  void keepMostPlayed();
  void clearCounts() { counts = BookBuildCounts{}; }

  BookEntry* slots = nullptr;
  uint32_t capacity = 0;
  Position* position;  // the board the games are replayed on
  BookBuildSettings build;
  BookBuildCounts counts;
};

// Reads pgnFile under the criteria of iniFile (null: the built-in criteria) and saves the book.
// On entry bookName is the requested name (may be empty); on return it holds the name used.
// maxGames < 1: all games.
bool buildBook(BookTable& table, RcString& bookName, const char* iniFile, const char* pgnFile,
               int maxGames);
// The default book name of a PGN file: games/2009.pgn gives 2009.mvk.
RcString defaultBookName(const char* pgnFile);
