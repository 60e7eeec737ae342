#pragma once
// The UCI protocol driver: takes the interface's commands from the console loop (even before
// "uci"), keeps the protocol's view of the search, turns the search's reports into "info" and
// "bestmove" lines, plays book moves, and sets the search limits from "go".
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "base/output_stream.h"
#include "base/tokenizer.h"
#include "board/position.h"
#include "protocol/book_exit.h"
#include "protocol/protocol_driver.h"
#include "protocol/uci_move_text.h"
#include "protocol/uci_status.h"
#include "search/engine.h"

constexpr const char* UciAuthor = "the melvok developers";

struct GoCommand;

class UciDriver : public ProtocolDriver, public SearchListener {
 public:
  // `output` carries the protocol lines (standard output in the engine, a file in tests).
  // Adds the UCI options to the engine's rows.
  UciDriver(Engine& engine, const ProtocolConfig& config, const char* version,
            FILE* output = stdout);
  // Hands standard output's diagnostics back (tests make and drop drivers; the program's one
  // lives to the end).
  ~UciDriver() override;
  UciDriver(const UciDriver&) = delete;
  UciDriver& operator=(const UciDriver&) = delete;

  bool active() const override { return active_; }
  bool handle(const RcString& word, const RcString& rest) override;

  // Search listener: these run on the thread that searches.
  void searchInfo(const SearchInfo& info) override;
  void currentMove(const CurrentMoveInfo& info) override;
  void finished(const SearchResult& result) override;

  // " score cp 31", " score mate -2" or " score cp 40 lowerbound" for a search score.
  static std::string scoreText(int score, uint8_t bound = BoundExact);

 private:
  void uci();
  void isReady();
  void setOption();
  void newGame();
  void position();
  void go();
  void ponderHit();
  void stop();
  [[noreturn]] void quit();

  // Command helpers.
  bool applyMoves();
  // The depth, node and time limits of a go, into the search controller and time control.
  SearchLimits searchLimits(const GoCommand& command);
  // Answers a go whose result was held back (a pondering search or book move that ended
  // before ponderhit or stop): its best move goes out now, once.
  void releaseHeldResult(bool withPonder);
  void clearOutOfBook();
  bool searchRunning() const;
  // The options (uci_options.cpp): UCI's own rows, the listing of every UCI row.
  void addOptions();
  std::string optionListing() const;

  // Output and logs.
  void send(const std::string& line);
  // One line of the search as an "info" line.
  void sendInfo(const SearchInfo& info);
  // `pos` is the position the moves belong to (its castling rooks name KxR castling).
  void sendBestMove(const Position& pos, Move best, Move ponder);
  void trace(const char* message);
  void logExchange(const char* tag, const char* text);
  // Protocol errors: to the error log when there is one, else to standard error.
  void reportError(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // True when the log directory is ready (then the error log goes there too).
  bool openLogFile();
  void openErrorLog();
  std::string moveText(const Position& pos, Move m);

  Engine& engine_;
  Position& position_;  // the engine's game
  TextFile out_;
  std::string version_;
  RcString logDir_;
  bool active_ = false;
  bool logOpened_ = false;
  bool ownBook_ = true;
  bool canPonder_ = false;    // the Ponder option: moves may take a little longer
  bool analyseMode_ = false;  // the interface analyses: no book moves
  bool trace_ = false;
  std::atomic<bool> chess960_{false};  // read by the search thread's reports
  std::atomic<bool> showWdl_{false};   // likewise: "wdl W D L" in the info lines
  bool positionValid_ = true;
  int timeGapMs_ = 3000;
  std::atomic<int> castleNotation_{CastleSmart};

  // Written once by the first "uci"; the search thread may report an error meanwhile.
  std::atomic<FILE*> errors_{stderr};

  UciStatusCell status_;
  std::timed_mutex outputLock_;
  Tokenizer args_{RcString(), " \t"};

  // Where the game left the book (a later move list that no longer passes it is a new game).
  BookExit bookExit_;
  // A book move found for "go ponder": it waits, like a pondering search's result.
  Move heldBookMove_ = 0;
  // The result of a pondering search that ended before ponderhit or stop (written by the
  // search thread before it makes the status Held).
  SearchResult heldResult_;
};
