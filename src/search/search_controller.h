#pragma once
// The search controller: the one object through which the shell and the protocols drive the
// search. It owns the search threads' records (index 0 the master), starts a search on the
// caller's thread or on the search thread, stops it, passes ponder hits on and hands out the
// result. The search reports back through a SearchListener.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <random>

#include "board/position.h"
#include "search/bitbase.h"
#include "search/parallel.h"
#include "search/parallel_sync.h"
#include "search/search.h"
#include "search/search_limits.h"
#include "search/search_report.h"
#include "search/search_thread.h"
#include "search/strength_limit.h"
#include "search/syzygy.h"
#include "search/time_control.h"
#include "search/tt.h"

// How the search uses the Syzygy tables (the UCI options of the same names).
struct SyzygyOptions {
  int probeDepth = 1;  // interior nodes are probed from this remaining depth up
  bool rule50 = true;  // the 50-move rule counts: cursed wins and blessed losses are draws
  int probeLimit = 7;  // positions with more men than this are not probed
};

// The tables' verdict on the root of the running search.
struct RootTableResult {
  bool inTables = false;  // the root moves were ranked and cut to those that keep the result
  int score = 0;          // the result as a score (table band, or 0 for a draw)
};

struct RootMove {
  Move move;
  uint64_t nodes;  // ordering key: exchange value + 1000 at first, then the nodes searched
  int score;
};

class SearchController {
 public:
  Relaxed<int> maxDepth{0};  // depth limit; below 1 means 120
  int threadCount = 1;
  bool booted = false;
  bool quiet = false;       // no search lines and no statistics on the log
  bool useBitbases = true;  // probe the bitbases when they are loaded
  bool useSyzygy = true;    // probe the Syzygy tables when they are loaded
  SyzygyTables syzygy;      // loaded by start-up or a protocol while no search runs
  SyzygyOptions syzygyOptions;
  SearchListener* listener = nullptr;

  // A controller with its own table of `tableMegabytes` and its own threads (started by boot).
  explicit SearchController(uint32_t tableMegabytes = DefaultTableMb);
  // Stops any search, wakes every thread to leave and waits for them.
  ~SearchController();
  SearchController(const SearchController&) = delete;
  SearchController& operator=(const SearchController&) = delete;

  SearchThread& master() { return threads[0]; }
  SearchThread& thread(int i) { return threads[i]; }
  // The position the next search starts from (copied into the master's record).
  void setPosition(const Position& pos);

  // Starts the search thread (once; a second call is refused with a warning).
  void boot();
  // Threads to search with (clamped to 1..8); once booted the workers start or sleep at once.
  void setThreads(int n);
  // What the protocols and the console use. Starts a search of pos under `limits`: on the
  // caller's thread, or (async) on the search thread, returning at once. A search still winding
  // down is waited for first.
  void start(const Position& pos, const SearchLimits& limits, bool async);
  // The interface's stop: ends the running search (if any) now, an infinite one too; it reports
  // on its own thread. stopAndWait also waits until it has.
  void stop();
  void stopAndWait();
  // The opponent played the move the search pondered on: from now on it runs under its time
  // levels (computed again from timeLeftMs when a clock is given), or, with a single legal
  // move and a few iterations done, it is stopped (true; not waited for: it reports as usual).
  bool ponderHit(int timeLeftMs = -1);
  // Blocks until the search thread sleeps: the last search has reported and wound down.
  void waitUntilIdle();
  // Whether a search started on the search thread has not yet given its answer (one that has
  // is only winding down, which a caller may wait for).
  bool searching() const { return booted && !answered && !threads[0].idle.isSet(); }
  // The position the last (or running) search searched: its moves belong to it.
  const Position& searchedPosition() { return master().pos; }
  // The nominal time of the search started last, for the protocols' logs.
  uint32_t nominalTimeMs() const;
  // Milliseconds since the running (or last) search started.
  uint32_t elapsedMs() const { return timeControl_.elapsed(); }

  // The steps below the seam (tests drive them one by one): the position, the depth limit and
  // the time control are set by hand, then a search runs on the caller's thread or (async)
  // wakes the search thread.
  void start(bool async);

  // What the next search looks at besides its limits (start sets them from the request): the
  // root moves it may play (empty: all), the lines it finds, and the mate (in moves) that ends
  // it as soon as one as short is proven (0: none).
  std::vector<Move> searchMoves;
  int lines = 1;
  int mateMoves = 0;
  bool holdUntilStopped = false;
  // The level the search plays at: its caps are in the limits above, and the move is chosen
  // among the lines by the level's rule when the search ends.
  StrengthLevel strength;
  std::mt19937_64 strengthChoices{0x6d656c766f6bULL};

  // Results of the last (or running) search.
  Move bestMove() const { return rootCount > 0 ? rootMoves[0].move : 0; }
  int rootScore() const { return score; }
  // What a search score of the root is reported as: with the root in the tables, the tables'
  // score, unless the search has proven a mate.
  int reportedScore(int searchScore) const;
  int depth() const { return iterationDepth; }
  const Move* pv() const { return rootPv.moves; }
  int selDepth() const { return threads[0].selDepth; }
  Move ponderMove() const { return score > -(Infinity - 2) ? rootPv[1] : 0; }
  // A report of the search as it stands: depth, nodes, time, table use, and the given line.
  SearchInfo info(int line, int lineScore, uint8_t bound, const PvLine& pv) const;
  int rootMoveCount() const { return rootCount; }
  // The end of the search as the listener hears it: the best line, or at a limited strength
  // the line the level chooses.
  SearchResult result();

  TimeControl& times() { return timeControl_; }
  const TimeControl& times() const { return timeControl_; }
  Tt& table() { return table_; }
  const Tt& table() const { return table_; }
  // Forgets what earlier searches learnt: the table, and every thread's move history and
  // evaluation correction (kept from move to move within a game). Not during a search.
  void newGame();

  // Interior and quiescence nodes of every thread of the last (or running) search, read
  // between root moves or after the search, when no helper is searching.
  uint64_t totalNodes() const;
  SearchCounters summedCounters() const;
  // Positions the Syzygy tables answered in the last (or running) search, root included.
  uint64_t tableHits() const;

  // State of the running search, shared with the searches.
  SearchThresholds thresholds;
  RootMove rootMoves[MaxMoves];
  Relaxed<int> rootCount{0};  // read by a ponder hit on the protocol thread
  PvLine rootPv{};
  RootTableResult rootTables;
  // Lines the search finds: those asked for, or fewer when there are fewer root moves. With
  // more than one, records 0 to lineCount - 1 of rootMoves are the lines, best first, and
  // linePv holds their moves.
  Relaxed<int> lineCount{1};
  PvLine linePv[MaxLines];
  Relaxed<int> iterationDepth{0};
  Relaxed<int> score{0};
  uint8_t scoreBound = BoundExact;  // the last best move's score may be a bound (window failed)
  Relaxed<bool> timeUp{false};
  Relaxed<bool> stopRequested{false};  // by the interface, not by a limit of the search
  Relaxed<bool> answered{false};       // the running search has reported its end
  Relaxed<bool> workersStop{false};    // workers leave the split-point loop and sleep
  Relaxed<bool> shuttingDown{false};   // the threads leave for good (the controller goes)
  int searchThreads = 1;               // threads that take part in the running search

  // The first step of every search: limits, counters, table generation.
  void searchStart();
  // Sets the time-up flag, workersStop and every thread's stop flag (each under its thread's
  // lock, so that a thread clearing its own stop cannot lose this one).
  void stopAll();
  // The end of an infinite search (analysis, pondering) that has nothing left to search (a mate
  // proven, the depth ceiling, no move at all) and was asked to hold its answer: it waits for
  // the interface's stop or a ponder hit before it reports.
  void waitForRelease();

  // The endgame bitbases the search may probe (loaded at start-up, while no search runs).
  Bitbases bitbases;
  // Split points and the lock that assigns threads to them.
  ParallelState parallel;

 private:
  void searchThreadLoop();
  int rootMaterial_ = 0;  // the searched position's material, for the chances of a score
  Tt table_;
  TimeControl timeControl_;
  // Wakes a search waiting for its release (after a stop or a ponder hit changed the flags).
  void release();
  std::mutex releaseLock_;
  std::condition_variable released_;
  SearchThread threads[MaxThreads];
};
