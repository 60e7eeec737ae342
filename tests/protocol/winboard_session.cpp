#include "protocol/winboard_session.h"

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "base/log.h"
#include "base/tokenizer.h"
#include "board/notation.h"
#include "search/search_controller.h"

void prepareEngine() {
  static bool ready = false;
  if (ready) return;
  ready = true;
  initTables();
  searchController.quiet = true;
  searchController.boot();
}

WinBoardSession::WinBoardSession(const std::string& logDir, bool enterXboard) {
  prepareEngine();
  setFen(position, InitialFen);
  config.winboardLogDir = logDir.c_str();
  int fds[2];
  if (pipe(fds) == 0) {
    readFd_ = fds[0];
    out_ = fdopen(fds[1], "w");
  }
  driver = new WinBoardDriver(position, config, "test", out_);
  if (enterXboard) {
    line("xboard");
    while (!next().empty()) {  // the log's redirect notice, then the empty line that answers
    }
  }
}

WinBoardSession::~WinBoardSession() {
  // Leave no search behind for the next test.
  line("force");
  line("exit");
  driver->waitUntilIdle();
  if (searchController.listener == driver) searchController.listener = nullptr;
  delete driver;
  if (out_) fclose(out_);
  if (readFd_ >= 0) close(readFd_);
  logFile = stdout;
}

bool WinBoardSession::line(const std::string& text) {
  Tokenizer words(RcString(text.c_str()).skipLeadingBlanks(), " \t");
  RcString word = words.next();
  return driver->handle(word, words.rest());
}

std::string WinBoardSession::next(int timeoutMs) {
  timedOut_ = false;
  for (;;) {
    size_t end = buffer_.find('\n');
    if (end != std::string::npos) {
      std::string text = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return text;
    }
    pollfd p{readFd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) {
      timedOut_ = true;
      return "";
    }
    char chunk[4096];
    ssize_t n = read(readFd_, chunk, sizeof chunk);
    if (n <= 0) {
      timedOut_ = true;
      return "";
    }
    buffer_.append(chunk, size_t(n));
  }
}

std::vector<std::string> WinBoardSession::until(const std::string& prefix, int timeoutMs) {
  std::vector<std::string> lines;
  for (;;) {
    std::string text = next(timeoutMs);
    if (timedOut_) return lines;
    lines.push_back(text);
    if (text.compare(0, prefix.size(), prefix) == 0) return lines;
  }
}

std::vector<std::string> WinBoardSession::sync() {
  std::string pong = "pong " + std::to_string(++pings_);
  line("ping " + std::to_string(pings_));
  std::vector<std::string> lines = until(pong);
  if (!lines.empty() && lines.back() == pong) lines.pop_back();
  return lines;
}

std::vector<std::string> WinBoardSession::drain() {
  std::vector<std::string> lines;
  for (;;) {
    std::string text = next(50);
    if (timedOut_) return lines;
    lines.push_back(text);
  }
}

std::string WinBoardSession::fen() const {
  char text[128];
  fenString(position, text, sizeof text);
  return text;
}

std::string readWinBoardLog(const std::string& directory, int number) {
  char name[32];
  snprintf(name, sizeof name, "/melvok-%04d.log", number);
  std::ifstream in(directory + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

Move legalMove(Position& pos, const char* text) { return parseMove(pos, text); }

std::vector<std::string> linesStartingWith(const std::vector<std::string>& lines,
                                           const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& l : lines)
    if (l.compare(0, prefix.size(), prefix) == 0) found.push_back(l);
  return found;
}
