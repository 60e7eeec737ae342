#pragma once
// A child process on pipes, for end-to-end tests: start a program (in a working directory of its
// choice, standard error kept apart), write lines to its standard input, read its output until a
// line shows up or a time-out passes, wait for its exit.
//
//   Process engine;
//   ASSERT_TRUE(engine.start(enginePath(), {}));
//   engine.writeLine("uci");
//   std::string text = engine.readUntil("uciok", 5000);
//   ASSERT_TRUE(engine.matched()) << text;
//
// Reads return what they consumed, so a failed expectation can print it; output past the
// matching line stays for the next read.
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

class Process {
 public:
  struct Options {
    std::string workingDirectory;  // empty: the test's own
    bool mergeStderr = true;       // false: standard error is collected apart (takeError())
  };

  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();  // kills the child if it still runs

  // Starts `program` (looked up on PATH when it has no '/') with `args`; false, with the reason
  // in failure(), when the pipes or the child cannot be made.
  bool start(const std::string& program, const std::vector<std::string>& args,
             const Options& options);
  bool start(const std::string& program, const std::vector<std::string>& args) {
    return start(program, args, Options());
  }
  const std::string& failure() const { return failure_; }

  // False once the child's input is closed or gone.
  bool writeLine(const std::string& line);
  void closeInput();

  // Reads whole lines until one satisfies `accept` (or contains `needle`) and returns every line
  // consumed, the matching one last. On time-out or end of output matched() is false.
  std::string readUntil(const std::function<bool(const std::string& line)>& accept, int timeoutMs);
  std::string readUntil(const std::string& needle, int timeoutMs);
  // Reads until the child closes its output (matched()) or the time-out passes.
  std::string readAll(int timeoutMs);
  bool matched() const { return matched_; }

  // Standard error collected so far when kept apart; the next call starts empty.
  std::string takeError();
  // Whether the child still holds its standard error (kept apart) open: a child that closed it
  // has hung up the pipe, which match runners take for a crash.
  bool errorPipeOpen();

  // Waits for the exit, killing the child after `timeoutMs`. The exit status (0..255), 128 plus
  // the signal's number when a signal ended it, -1 when there is no child.
  int wait(int timeoutMs);
  bool timedOut() const { return timedOut_; }
  bool running() const { return pid_ > 0; }

 private:
  // Moves available output into the buffers, waiting at most `timeoutMs` for some.
  void pump(int timeoutMs);

  pid_t pid_ = -1;
  int input_ = -1, output_ = -1, error_ = -1;
  std::string pending_, errorText_, failure_;
  bool matched_ = false, timedOut_ = false;
};
