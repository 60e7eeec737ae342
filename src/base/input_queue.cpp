#include "base/input_queue.h"

#include <thread>

#include "base/output_stream.h"

void InputQueue::startReading(FILE* input) {
  std::thread([this, input] {
    TextFile file(input);
    while (const char* line = file.readline()) pushLine(line);
    pushEnd();
  }).detach();
}

void InputQueue::pushLine(std::string line) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    lines_.push_back(std::move(line));
  }
  changed_.notify_all();
}

void InputQueue::pushEnd() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    ended_ = true;
  }
  changed_.notify_all();
}

void InputQueue::post(Task task) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    tasks_.push_back(std::move(task));
  }
  changed_.notify_all();
}

bool InputQueue::next(Task& task, std::string& line) {
  std::unique_lock<std::mutex> guard(lock_);
  changed_.wait(guard, [this] { return !tasks_.empty() || !lines_.empty() || ended_; });
  task = nullptr;
  if (!tasks_.empty()) {
    task = std::move(tasks_.front());
    tasks_.pop_front();
    return true;
  }
  if (lines_.empty()) return false;
  line = std::move(lines_.front());
  lines_.pop_front();
  return true;
}

bool InputQueue::runTasks() {
  bool ran = false;
  for (;;) {
    Task task;
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (tasks_.empty()) return ran;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
    ran = true;
  }
}

bool InputQueue::hasTasks() {
  std::lock_guard<std::mutex> guard(lock_);
  return !tasks_.empty();
}
