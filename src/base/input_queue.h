#pragma once
// The work of the input thread, in one queue: the lines the interface sends (read ahead by a
// reader thread) and the tasks other threads hand over (a search's end that a protocol answers
// by playing a move). Tasks come first: what a search reported before the next line was taken
// is dealt with before that line, as if the engine had been reading in between.
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

class InputQueue {
 public:
  using Task = std::function<void()>;

  // Starts the thread that reads `input` line by line into the queue until it ends. The reader
  // is never stopped: it lives as long as the process (it may be blocked in a read at the end).
  void startReading(FILE* input);
  void pushLine(std::string line);
  void pushEnd();
  // From any thread.
  void post(Task task);

  // The next piece of work, waiting for one: a task, a line, or the end of the input (false).
  // Either `task` or `line` is filled.
  bool next(Task& task, std::string& line);
  // Runs the tasks queued now (for a caller that waits in its own way); true when one ran.
  bool runTasks();
  bool hasTasks();

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<std::string> lines_;
  std::deque<Task> tasks_;
  bool ended_ = false;
};
