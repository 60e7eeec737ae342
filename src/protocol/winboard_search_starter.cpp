#include "protocol/winboard_search_starter.h"

WinBoardSearchStarter::~WinBoardSearchStarter() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    quit_ = true;
  }
  wake_.notify_all();
  if (thread_.started()) thread_.join();
}

void WinBoardSearchStarter::request() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    requested_ = true;
    if (!thread_.started()) thread_.start([this] { loop(); }, false);
  }
  wake_.notify_all();
}

void WinBoardSearchStarter::loop() {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    wake_.wait(guard, [this] { return requested_ || quit_; });
    if (quit_) return;
    requested_ = false;
    guard.unlock();
    job_();
    guard.lock();
  }
}
