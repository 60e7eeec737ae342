#pragma once
// A WinBoard driver under test: an engine of its own (whose game the driver plays), its protocol
// output on a pipe that the test reads line by line, and input lines handed to it as the command
// loop hands them.
#include <string>
#include <vector>

#include "base/input_queue.h"
#include "board/position.h"
#include "protocol/winboard_driver.h"
#include "search/engine.h"

class WinBoardSession {
 public:
  // `logDir` empty: no log file. The search runs on the booted search thread.
  explicit WinBoardSession(const std::string& logDir = "", bool enterXboard = true);
  ~WinBoardSession();

  // One input line; true when the driver took it.
  bool line(const std::string& text);
  void lines(const std::vector<std::string>& texts) {
    for (const std::string& text : texts) line(text);
  }
  // The next output line without its newline; empty and timedOut() after `timeoutMs`.
  std::string next(int timeoutMs = 30000);
  bool timedOut() const { return timedOut_; }
  // Lines up to and including the first that starts with `prefix`.
  std::vector<std::string> until(const std::string& prefix, int timeoutMs = 30000);
  // Sends "ping N" and returns the lines written before its "pong N".
  std::vector<std::string> sync();
  std::string fen() const;
  // Runs the driver's handed-over work until no search runs and none is about to start.
  void settle();

  Engine engine{16};
  InputQueue input;  // the driver's search ends, run on the test's thread as lines are read
  Position& position = engine.position();
  ProtocolConfig config;
  WinBoardDriver* driver = nullptr;

 private:
  int readFd_ = -1;
  FILE* out_ = nullptr;
  std::string buffer_;
  bool timedOut_ = false;
  int pings_ = 0;
};

// The first log file the driver writes into `directory`.
std::string winboardLog(const std::string& directory);
