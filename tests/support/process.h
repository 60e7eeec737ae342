#pragma once
// A child process on pipes, for end-to-end tests: start a program, write lines to its standard
// input, read its output until a line or text shows up (or a timeout passes), close its input,
// wait for its exit.
//
//   Process engine;
//   ASSERT_TRUE(engine.start(enginePath(), {}));
//   engine.writeLine("uci");
//   std::string text = engine.readUntil("uciok", 5000);
//   ASSERT_TRUE(engine.matched()) << text;
//   engine.closeInput();
//   EXPECT_EQ(engine.wait(5000), 0);
//
// Reads return what they consumed, so a failed expectation can print the output. Output past
// the matching line stays buffered for the next read.
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

class Process {
 public:
  struct Options {
    std::string workingDirectory;  // empty: the test's own
    bool mergeStderr = true;       // false: standard error is collected apart (error())
  };

  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  // Kills the child if it still runs.
  ~Process();

  // Starts `program` (looked up on PATH when it has no '/') with `args`. False, with the reason
  // in failure(), when it cannot be started (no such program, bad working directory, ...).
  bool start(const std::string& program, const std::vector<std::string>& args,
             const Options& options);
  bool start(const std::string& program, const std::vector<std::string>& args) {
    return start(program, args, Options());
  }
  const std::string& failure() const { return failure_; }

  // Writes text (writeLine adds "\n"). False once the child's input is closed or gone.
  bool write(const std::string& text);
  bool writeLine(const std::string& line) { return write(line + "\n"); }
  void closeInput();

  // Reads complete lines until one satisfies `accept` (or contains `needle`); returns every
  // line consumed, each with its "\n", the matching one last. On timeout or end of output it
  // returns what was read and matched() is false.
  std::string readUntil(const std::function<bool(const std::string& line)>& accept, int timeoutMs);
  std::string readUntil(const std::string& needle, int timeoutMs);
  // Reads raw output up to and including the first occurrence of `text`, even within an
  // unfinished line (e.g. a prompt that has no newline).
  std::string readUntilText(const std::string& text, int timeoutMs);
  // Reads until the output ends (the child closed it) or the timeout passes.
  std::string readAll(int timeoutMs);
  // Whether the last read found what it looked for (readAll: reached the end of output).
  bool matched() const { return matched_; }

  // Standard error collected so far, when it is not merged (taken: the next call starts empty).
  std::string takeError();
  // Whether the child still holds its standard error (kept apart) open. A child that closed
  // it or pointed it elsewhere has hung up the pipe, which match runners read as a crash.
  bool errorPipeOpen();

  // Waits for the exit; after `timeoutMs` the child is killed. Returns the exit status
  // (0..255), 128 + signal number when a signal ended it, -1 when there is no child.
  int wait(int timeoutMs);
  bool timedOut() const { return timedOut_; }
  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

 private:
  // Moves available output into the buffers; waits at most `timeoutMs`. False at end of output.
  bool pump(int timeoutMs);
  void closeAll();

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int error_ = -1;
  std::string pending_;
  std::string errorText_;
  std::string failure_;
  bool matched_ = false;
  bool timedOut_ = false;
  int exitStatus_ = -1;
};
