#include "protocol/winboard_session.h"

#include <poll.h>
#include <unistd.h>

#include "base/log.h"
#include "base/tokenizer.h"
#include "support/positions.h"
#include "support/text.h"

WinBoardSession::WinBoardSession(const std::string& logDir, bool enterXboard) {
  initTables();
  engine.boot();
  config.winboardLogDir = logDir.c_str();
  int fds[2];
  if (pipe(fds) == 0) {
    readFd_ = fds[0];
    out_ = fdopen(fds[1], "w");
  }
  driver = new WinBoardDriver(engine, config, "test", out_);
  driver->setTaskPoster([this](std::function<void()> task) { input.post(std::move(task)); });
  if (!enterXboard) return;
  line("xboard");
  while (!next().empty()) {  // the log's redirect notice, then the empty line that answers
  }
}

WinBoardSession::~WinBoardSession() {
  lines({"force", "exit"});  // no search left behind for the next test
  settle();
  delete driver;
  if (out_) fclose(out_);
  if (readFd_ >= 0) close(readFd_);
  logFile = stdout;
}

bool WinBoardSession::line(const std::string& text) {
  input.runTasks();  // what the search handed over before this line, as the input loop does
  Tokenizer words(RcString(text.c_str()).skipLeadingBlanks(), " \t");
  const RcString word = words.next();
  return driver->handle(word, words.rest());
}

void WinBoardSession::settle() {
  for (;;) {
    engine.waitUntilIdle();
    if (!input.runTasks() && !engine.searching()) return;
  }
}

std::string WinBoardSession::next(int timeoutMs) {
  timedOut_ = false;
  // The driver's handed-over work runs while the test waits, as the input loop would run it.
  constexpr int SliceMs = 5;
  for (int waited = 0; buffer_.find('\n') == std::string::npos; waited += SliceMs) {
    if (input.runTasks()) continue;
    pollfd p{readFd_, POLLIN, 0};
    char chunk[4096];
    const ssize_t n = poll(&p, 1, SliceMs) > 0 ? read(readFd_, chunk, sizeof chunk) : 0;
    if (n > 0) {
      buffer_.append(chunk, size_t(n));
    } else if (waited >= timeoutMs) {
      timedOut_ = true;
      return "";
    }
  }
  const size_t end = buffer_.find('\n');
  const std::string text = buffer_.substr(0, end);
  buffer_.erase(0, end + 1);
  return text;
}

std::vector<std::string> WinBoardSession::until(const std::string& prefix, int timeoutMs) {
  std::vector<std::string> lines;
  while (lines.empty() || lines.back().compare(0, prefix.size(), prefix) != 0) {
    lines.push_back(next(timeoutMs));
    if (timedOut_) {
      lines.pop_back();
      break;
    }
  }
  return lines;
}

std::vector<std::string> WinBoardSession::sync() {
  const std::string pong = "pong " + std::to_string(++pings_);
  line("ping " + std::to_string(pings_));
  std::vector<std::string> lines = until(pong);
  if (!lines.empty() && lines.back() == pong) lines.pop_back();
  return lines;
}

std::string WinBoardSession::fen() const { return fenOf(position); }

std::string winboardLog(const std::string& directory) {
  return readFile(directory + "/melvok-0000.log");
}
