#pragma once
// A WinBoard driver under test: its own game position, its protocol output on a pipe that the
// test reads line by line, and the lines handed to it as the command loop would.
#include <string>
#include <vector>

#include "board/position.h"
#include "protocol/winboard_driver.h"

class WinBoardSession {
 public:
  // `logDir` empty: no log file.
  explicit WinBoardSession(const std::string& logDir = "", bool enterXboard = true);
  ~WinBoardSession();

  // One input line, split into the first word and the rest; true when the driver took it.
  bool line(const std::string& text);
  // The next output line without its newline; empty and timedOut() after `timeoutMs`.
  std::string next(int timeoutMs = 30000);
  bool timedOut() const { return timedOut_; }
  // Lines up to and including the first that starts with `prefix`.
  std::vector<std::string> until(const std::string& prefix, int timeoutMs = 30000);
  // Sends "ping N" and returns the lines written before its "pong N".
  std::vector<std::string> sync();
  // Everything written so far that has not been read (waits briefly for nothing).
  std::vector<std::string> drain();

  std::string fen() const;

  Position position;
  ProtocolConfig config;
  WinBoardDriver* driver = nullptr;

 private:
  int readFd_ = -1;
  FILE* out_ = nullptr;
  std::string buffer_;
  bool timedOut_ = false;
  int pings_ = 0;
};

// Tables built and the search thread running, once per test program.
void prepareEngine();
// Everything in the log file of a directory's first WinBoard log.
std::string readWinBoardLog(const std::string& directory, int number = 0);
// The one legal move the text names in pos (0 if none).
Move legalMove(Position& pos, const char* text);
// The lines that start with `prefix`.
std::vector<std::string> linesStartingWith(const std::vector<std::string>& lines,
                                           const std::string& prefix);
