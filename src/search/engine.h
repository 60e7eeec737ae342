#pragma once
// The engine: the one object the protocols and the console talk to. It owns the game's position,
// the search (its controller with the table, the time control, the threads and their split
// points, the endgame tables) and the opening book, and offers what an interface asks of an
// engine: set up a game, search it under limits and report to a listener, stop, take a ponder
// hit, change an option. Nothing else reaches its insides; it is built once, at start-up, and
// lives until the process ends (tests and benches build their own).
#include <cstdint>
#include <memory>
#include <string>

#include "base/option_registry.h"
#include "base/output_stream.h"
#include "board/position.h"
#include "search/opening_book.h"
#include "search/search_controller.h"
#include "search/search_limits.h"
#include "search/search_report.h"

// Bounds of the engine's own options, stated once.
constexpr int MaxMoveOverheadMs = 5000;
constexpr int DefaultBitbaseCacheMb = 16;
constexpr int MaxBitbaseCacheMb = 2047;

class Engine {
 public:
  explicit Engine(uint32_t tableMegabytes = DefaultTableMb);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Starts the search thread and the workers of the thread count set (once).
  void boot();

  // The game: its position, which the protocol thread sets up and plays moves on while no
  // search runs. A new game also forgets what earlier searches stored.
  Position& position() { return position_; }
  void newGame();

  // A search of the game's position under `limits`, on the search thread (go) or on the
  // caller's (think); the listener hears of its lines and its end. A search still running is
  // waited for first.
  void go(const SearchLimits& limits, SearchListener* listener);
  void think(const SearchLimits& limits, SearchListener* listener);
  // The interface's stop: ends the running search, which reports its end on its own thread;
  // stopAndWait waits for that.
  void stop();
  void stopAndWait();
  // See SearchController::ponderHit.
  bool ponderHit(int timeLeftMs = -1);
  void waitUntilIdle();
  // The nominal time of the search started last, for the protocols' logs.
  uint32_t nominalTimeMs() const;

  // The opening book (none until one is handed in): a move for the game's position drawn by
  // weight, or 0.
  void setBook(std::unique_ptr<OpeningBook> book) { book_ = std::move(book); }
  OpeningBook* book() { return book_.get(); }
  Move bookMove();

  // Every option a user can set: the engine's own rows (table, threads, lines, endgame tables)
  // and those the protocols add. See OptionRegistry.
  OptionRegistry& options() { return options_; }
  // Seeds the draws of a limited strength's choice among the lines (a new seed a session gives
  // new games).
  void seedChoices(uint64_t seed) { search_.strengthChoices.seed(seed); }
  // Sets an option by name; the answer is for the user (empty: taken quietly).
  std::string setOption(const std::string& name, const std::string& value);

  // The settings behind the rows, for the protocols and the console.
  int threads() const { return search_.threadCount; }
  int hashMegabytes() const { return int(search_.table().sizeBytes() >> 20); }
  int lines() const { return lines_; }  // MultiPV: lines each search finds
  // Whether a search runs now (it owns the table, the threads and the tables until it ends).
  bool searching() const { return search_.searching(); }
  // Whether Syzygy tables are loaded, and what they say of pos (false when they do not hold
  // it). A running search ends first: the library's root probe must not run beside it.
  bool syzygyLoaded() const { return search_.syzygy.available(); }
  bool probeTables(const Position& pos, TableWdl& wdl, TableDistance& distance);

 private:
  void addSearchOptions();
  void addPlayOptions();
  void addBitbaseOptions();
  // The request with what the engine's options add to every search: the time kept back per
  // move and the strength level.
  SearchLimits withOptions(const SearchLimits& limits) const;

  Position position_;
  SearchController search_;
  std::unique_ptr<OpeningBook> book_;
  OptionRegistry options_;
  int lines_ = 1;
  std::string syzygyPath_;
  int moveOverheadMs_ = int(DefaultMoveOverheadMs);
  bool limitStrength_ = false;
  int strengthElo_ = FullStrengthElo;
  std::string bitbasePath_;
  int bitbaseCacheMb_ = DefaultBitbaseCacheMb;
};

// Bounds of the options, stated once.
constexpr int MinHashMb = 1;
constexpr int MaxHashMb = MaxTableMb;
constexpr int MaxSyzygyProbeDepth = 100;
