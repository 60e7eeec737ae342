#pragma once
// The console command shell: start-up, then the loop that reads standard input, offers each
// line to the protocol drivers and runs the console commands.
#include "app/book_commands.h"
#include "base/input_queue.h"
#include "base/rc_string.h"
#include "base/settings.h"
#include "base/tokenizer.h"
#include "board/position.h"
#include "protocol/protocol_driver.h"
#include "search/engine.h"
#include "search/search_limits.h"

struct ConsoleOptions {
  bool async = false;   // console searches run on the search thread
  bool book = true;     // `g` plays from the book first
  bool cleartt = true;  // `g` clears the transposition table first
};

class Console {
 public:
  Console(Engine& engine, BookShelf& book, Settings& settings, const RcString& inifile)
      : engine_(engine),
        pos_(engine.position()),
        book_(book),
        settings_(settings),
        inifile_(inifile) {}

  // Protocol drivers in the order they see each line (UCI first, then WinBoard).
  void setDrivers(ProtocolDriver* uci, ProtocolDriver* winboard) {
    uci_ = uci;
    winboard_ = winboard;
  }
  void setClockMhz(int mhz) { clockMhz_ = mhz; }

  // Reads and runs lines (and the tasks the protocols hand over) until the input ends or `q`.
  void run();
  // Where the protocols hand work to the input thread.
  InputQueue& input() { return input_; }
  // Runs one input line; false when it asks to leave the loop.
  bool execute(const RcString& line, bool uciWasActive, bool winboardWasActive);

  ConsoleOptions options;

 private:
  using Handler = bool (Console::*)(const RcString& rest);
  struct Command {
    const char* name;
    Handler handler;
  };
  static const Command commands[];

  bool showBoard(const RcString& rest);
  bool divide(const RcString& rest);
  bool book(const RcString& rest);
  bool buildBook(const RcString& rest);
  bool mergeBook(const RcString& rest);
  bool logBook(const RcString& rest);
  bool loadBook(const RcString& rest);
  bool fen(const RcString& rest);
  bool go(const RcString& rest);
  bool moves(const RcString& rest);
  bool maxDepth(const RcString& rest);
  bool maxTime(const RcString& rest);
  bool multiPv(const RcString& rest);
  bool perft(const RcString& rest);
  bool bench(const RcString& rest);
  bool tableProbe(const RcString& rest);
  bool reset(const RcString& rest);
  bool set(const RcString& rest);
  const OptionRow* consoleOption(const std::string& line, std::string& value) const;
  bool quit(const RcString& rest);
  bool help(const RcString& rest);

  bool looksLikeFen(const RcString& word) const;
  std::vector<Move> rootMoves(Tokenizer& words);
  void enterMoves(const RcString& line, const RcString& word);
  void setPosition(const char* fen);

  Engine& engine_;
  Position& pos_;  // the engine's game
  BookShelf& book_;
  Settings& settings_;
  RcString inifile_;
  InputQueue input_;
  ProtocolDriver* uci_ = nullptr;
  ProtocolDriver* winboard_ = nullptr;
  int clockMhz_ = 0;
  // The console's searches: `maxtime` sets the time (five seconds a move to begin with),
  // `maxdepth` the depth (the lines are the engine's MultiPV).
  SearchLimits limits_ = [] {
    SearchLimits limits;
    limits.moveTimeMs = 5000;
    return limits;
  }();
};
