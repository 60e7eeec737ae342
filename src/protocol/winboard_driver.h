#pragma once
// The WinBoard/xboard driver: takes the lines of the xboard protocol from the command loop,
// keeps the game as the interface sees it (position with its undo history, the engine's
// colour, clocks and pondering), starts and stops the search, plays book moves, and turns the
// search's reports into "move" lines, results and thinking output.
//
// Two threads meet here: the protocol thread (the command loop) and the search thread, whose
// finished and iteration callbacks run while the protocol thread may be reading the next line.
// The search status and the ponder move live under the state lock; every protocol line is
// written whole under the output lock; the log has its own lock. The protocol thread changes
// the position only while no search runs (stop waits for the search first); the finished
// callback makes the engine's move while the status says a search is running.
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

#include "base/rc_string.h"
#include "base/tokenizer.h"
#include "board/position.h"
#include "protocol/book_exit.h"
#include "protocol/protocol_driver.h"
#include "protocol/winboard_history.h"
#include "protocol/winboard_log.h"
#include "protocol/winboard_search_starter.h"
#include "search/engine.h"

class WinBoardDriver : public ProtocolDriver, public SearchListener {
 public:
  enum Status { Idle = 0, Searching = 1, Pondering = 2 };

  WinBoardDriver(Engine& engine, const ProtocolConfig& config, const char* version,
                 FILE* out = stdout);
  WinBoardDriver(const WinBoardDriver&) = delete;
  WinBoardDriver& operator=(const WinBoardDriver&) = delete;

  // ProtocolDriver
  bool active() const override { return xboardMode; }
  bool handle(const RcString& word, const RcString& rest) override;

  // SearchListener (called on the search thread)
  void searchInfo(const SearchInfo& info) override;
  void finished(const SearchResult& result) override;

  // For tests and diagnostics.
  int status();
  Move ponderMove();
  // Blocks until no search runs and none is about to start.
  void waitUntilIdle();

  bool xboardMode = false;
  bool useBook = true;
  // Read by the search thread's callbacks while protocol lines may change them.
  std::atomic<bool> ponder{false};
  std::atomic<bool> analyze{false};
  std::atomic<bool> post{true};    // thinking output; `nopost` turns it off
  std::atomic<int> engineSide{0};  // 0 white, 1 black, -1 force mode
  int movesPerControl = 0;
  int plyAtLevel = 0;
  unsigned timeLeftMs = 0;
  unsigned incrementMs = 0;
  int timeGapMs = 3000;
  BookExit bookExit;
  int depthLimit = 0;  // sd; 0: none
  RcString logDir;

 private:
  using Handler = void (WinBoardDriver::*)();
  struct Command {
    const char* name;
    Handler handler;
  };
  static const Command commands[];

  // Commands; each takes its arguments from args_.
  void xboard();
  void protover();
  void ignore() {}
  void rejected();
  void level();
  void smp();
  void memory();
  void setEngineOption(const char* name);
  void egtPath();
  void newGame();
  void variant();
  void setboard();
  void force();
  void ping();
  void time();
  void st();
  void sd();
  void go();
  void usermove();
  void undoCommand();
  void remove();
  void moveNow();
  void result();
  void easy() { ponder = false; }
  void hard() { ponder = true; }
  void postOn() { post = true; }
  void postOff() { post = false; }
  void analyzeCommand();
  void exitAnalysis();
  void exclude();
  void include();
  void option();
  void quit();

  RcString nextArg() { return args_.next(); }
  int nextInt() { return clampedNumber(nextArg().c_str()); }

  // The game's course.
  void think(bool onSearchThread);
  void setClock(SearchLimits& limits);
  void startSearch(const SearchLimits& limits);
  void ponderHit();
  void stop();
  void undo();
  void restartAnalysis();
  void playSearchResult(int score, Move best, bool onSearchThread);
  void sendMove(Move m);
  void setPosition(const char* fen);
  void changeExclusions(bool excluding);
  void reanalyse();
  std::vector<Move> analysedMoves();
  void sendThinking(const SearchInfo& info);

  // Output and log.
  void send(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void log(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void logLine(const char* prefix, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void openLog();
  const char* statusName() const;

  // Called by the starter thread: starts the ponder search that finished() prepared.
  void startPendingSearch();

  Engine& engine_;
  Position& position_;  // the engine's game
  const char* version_;
  FILE* out_;
  Tokenizer args_{RcString(), " \t"};
  WinBoardHistory history_;
  unsigned fixedTimeMs_ = 0;  // from `st`: every move gets this time
  // Moves left out of analysis ("exclude"), in the position with this key only.
  std::vector<Move> excluded_;
  uint64_t excludedKey_ = 0;
  WinBoardLog log_;

  std::mutex stateLock_;
  std::condition_variable stateChanged_;
  std::atomic<int> status_{Idle};  // written under stateLock_, read anywhere for log lines
  Move ponderMove_ = 0;
  SearchResult lastResult_;     // the last search's end, under stateLock_
  bool pendingStart_ = false;   // a ponder search is prepared and waits for the starter
  SearchLimits pendingLimits_;  // what the search think() prepared is to obey
  unsigned finishedCount_ = 0;  // finished callbacks so far
  std::mutex outputLock_;
  WinBoardSearchStarter starter_;
};
