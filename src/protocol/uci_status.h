#pragma once
// The UCI driver's view of a search, shared by the input thread and the search thread's
// callbacks. It is only ever changed by one exchange under its lock, so that exactly one of
// "search finished", "ponderhit" and "stop" answers a search with its best move.
#include <mutex>

enum UciStatus {
  StatusIdle = 0,         // no search, nothing owed to the interface
  StatusPositionSet = 1,  // a position came, no go yet
  StatusSearching = 2,
  StatusPondering = 3,
  StatusHeld = 4,  // a pondering search ended: its best move waits for ponderhit/stop
};

const char* statusLogName(int status);

class UciStatusCell {
 public:
  // Writes `next` and returns the status it replaced.
  int exchange(int next) {
    std::lock_guard<std::mutex> guard(lock_);
    int old = status_;
    status_ = next;
    return old;
  }
  // The search thread's end of a search: a pondering search holds its result back,
  // any other returns to idle. Returns the status it replaced.
  int finishSearch() {
    std::lock_guard<std::mutex> guard(lock_);
    int old = status_;
    status_ = old == StatusPondering ? StatusHeld : StatusIdle;
    return old;
  }
  int read() const {
    std::lock_guard<std::mutex> guard(lock_);
    return status_;
  }

 private:
  mutable std::mutex lock_;
  int status_ = StatusIdle;
};
