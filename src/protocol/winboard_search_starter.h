#pragma once
// Starts the ponder search that the finished callback prepares. The callback runs on the
// search thread inside the search, so it cannot start the next search itself (the start waits
// for that very thread to go idle); this small thread does it once the search thread is free.
#include <condition_variable>
#include <functional>
#include <mutex>

#include "base/platform.h"

class WinBoardSearchStarter {
 public:
  explicit WinBoardSearchStarter(std::function<void()> job) : job_(std::move(job)) {}
  ~WinBoardSearchStarter();
  WinBoardSearchStarter(const WinBoardSearchStarter&) = delete;
  WinBoardSearchStarter& operator=(const WinBoardSearchStarter&) = delete;

  // Runs the job once on the starter thread, soon. The thread starts with the first request.
  void request();

 private:
  void loop();

  std::function<void()> job_;
  std::mutex lock_;
  std::condition_variable wake_;
  bool requested_ = false;
  bool quit_ = false;
  Thread thread_;
};
