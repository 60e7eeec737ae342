#pragma once
// The search controller: the one object through which the shell and the protocols drive the
// search. It owns the search threads' records (index 0 the master), starts a search on the
// caller's thread or on the search thread, stops it, passes ponder hits on and hands out the
// result. The search reports back through a SearchListener.
#include <cstdint>

#include "board/position.h"
#include "search/parallel_sync.h"
#include "search/search.h"
#include "search/search_thread.h"
#include "search/time_control.h"
#include "search/tt.h"

class SearchListener {
 public:
  virtual ~SearchListener() = default;
  // Once per search, at its end, after every stop flag is set.
  virtual void finished(int depth, int score, Move bestMove) = 0;
  // Whenever the root search has a (new) best move; move is the first move of the root PV.
  virtual void iterationReport(int depth, int score, Move move) = 0;
  // Before each root move is searched, with its index in the root list.
  virtual void currentMove(int depth, int index, Move move) = 0;
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
  bool quiet = false;  // no search lines and no statistics on the log
  bool useBitbases = true;  // probe the bitbases when they are loaded
  SearchListener* listener = nullptr;

  SearchController() = default;
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
  // Runs a search: on the caller's thread, or (async) wakes the search thread and returns.
  void start(bool async);
  void stopAndWait();
  void ponderHit();

  // Results of the last (or running) search.
  Move bestMove() const { return rootCount > 0 ? rootMoves[0].move : 0; }
  int rootScore() const { return score; }
  int depth() const { return iterationDepth; }
  const Move* pv() const { return rootPv; }
  int selDepth() const { return threads[0].selDepth; }
  Move ponderMove() const { return score > -(Infinity - 2) ? rootPv[1] : 0; }
  int rootMoveCount() const { return rootCount; }

  TimeControl& times() { return timeControl; }
  Tt& table() { return tt; }

  // Interior, quiescence and pruned nodes of every thread of the last (or running) search, read
  // between root moves or after the search, when no helper is searching.
  uint32_t totalNodes() const;
  SearchCounters summedCounters() const;

  // State of the running search, shared with the searches.
  SearchLimits limits;
  RootMove rootMoves[MaxMoves];
  Relaxed<int> rootCount{0};  // read by a ponder hit on the protocol thread
  Move rootPv[PvRows] = {};
  Relaxed<int> iterationDepth{0};
  Relaxed<int> score{0};
  Relaxed<bool> timeUp{false};
  Relaxed<bool> workersStop{false};  // workers leave the split-point loop and sleep
  int searchThreads = 1;             // threads that take part in the running search

  // The first step of every search: limits, counters, table generation.
  void searchStart();
  // Sets the time-up flag, workersStop and every thread's stop flag (each under its thread's
  // lock, so that a thread clearing its own stop cannot lose this one).
  void stopAll();

 private:
  void searchThreadLoop();
  SearchThread threads[MaxThreads];
};

// The program-wide search controller.
extern SearchController& searchController;

// One whole search of the master's position by iterative deepening.
void think(SearchController& c);
// One iteration over the root moves; 0 when it was cut short.
int rootSearch(SearchController& c, int alpha, int beta, int depth);
// One line of search output on the log: depth, time, nodes, score, then " text".
void printSearchLine(SearchController& c, int score, const char* text);
// The moves in long notation, each followed by a blank, made and taken back on pos.
void printPv(Position& pos, const Move* moves);
