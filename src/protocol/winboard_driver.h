#pragma once
// The WinBoard/xboard driver: takes the lines of the xboard protocol from the command loop,
// keeps the game as the interface sees it (position with its undo history, the engine's
// colour, clocks and pondering), starts and stops the search, plays book moves, and turns the
// search's reports into "move" lines, results and thinking output.
//
// Everything the driver does happens on the input thread: the search's end arrives there as a
// task (the search thread only hands it over), and the driver then plays the move and ponders.
// The search thread itself only writes thinking lines, reading the status and the ponder move,
// which are atomic; every protocol line is written whole under the output lock.
#include <atomic>
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

  // Where the driver's search ends are handed to the input thread (the program's input queue;
  // a test's own). Set before the first search.
  void setTaskPoster(std::function<void(std::function<void()>)> post) { post_ = std::move(post); }

  // For tests and diagnostics.
  int status() const { return status_; }
  Move ponderMove() const { return ponderMove_; }

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
  void nps();
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
  void think();
  void setClock(SearchLimits& limits);
  void startSearch(const SearchLimits& limits);
  void ponderHit();
  void stop();
  void undo();
  void restartAnalysis();
  // A search's end, on the input thread; ends of searches stopped since are dropped.
  void searchEnded(uint32_t search, const SearchResult& result);
  void playSearchResult(int score, Move best);
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

  Engine& engine_;
  Position& position_;  // the engine's game
  const char* version_;
  FILE* out_;
  Tokenizer args_{RcString(), " \t"};
  WinBoardHistory history_;
  unsigned fixedTimeMs_ = 0;     // from `st`: every move gets this time
  uint64_t nodesPerSecond_ = 0;  // from `nps`: time is counted in nodes; 0: on the clock
  bool lastWasNps_ = false;      // the last command was nps
  bool afterNps_ = false;        // the command being run follows an nps
  // Moves left out of analysis ("exclude"), in the position with this key only.
  std::vector<Move> excluded_;
  uint64_t excludedKey_ = 0;
  WinBoardLog log_;

  std::atomic<int> status_{Idle};         // read by the search thread's thinking lines
  std::atomic<Move> ponderMove_{0};       // likewise
  std::atomic<uint32_t> searchCount_{0};  // searches started: names the one a result is of
  SearchResult lastResult_;               // the last search's end
  std::function<void(std::function<void()>)> post_;
  std::mutex outputLock_;
};
