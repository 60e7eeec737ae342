#pragma once
// The built engine as an interface holds it: started in a fresh directory (with an optional
// settings file), standard error on a pipe of its own; lines sent, output read up to a line.
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

class UciSession {
 public:
  // `settings` becomes melvok.ini in the engine's directory when not empty.
  explicit UciSession(const std::string& settings = "", const std::vector<std::string>& args = {});
  ~UciSession();

  void send(const std::string& line) { engine_.writeLine(line); }
  // Everything up to and including the first line that starts with `prefix` (console prompts in
  // front skipped); fails the test when it does not come within the time-out.
  std::string until(const std::string& prefix, int timeoutMs = 60000);
  // "uci" and its answer up to "uciok".
  std::string startUci();
  // Sends "isready" and returns everything printed before "readyok": the input thread answers in
  // order, so this is all the output of the lines sent before.
  std::string sync();
  // Ends with "quit" (or the end of input) and returns the exit status.
  int quit(bool byQuit = true);
  // What the engine wrote to standard error so far.
  std::string errors();

  const TempDir& dir() const { return dir_; }
  Process& process() { return engine_; }

 private:
  TempDir dir_;
  Process engine_;
  std::string errors_;
};

// The console's answers: element i is what input line i printed (the text between its prompt and
// the next one).
std::vector<std::string> consoleAnswers(const std::string& output);
// The engine run on `lines` in a fresh directory: everything it printed and its exit status.
struct EngineRun {
  std::string output;
  int status;
};
EngineRun runEngine(const std::vector<std::string>& lines, const std::string& settings = "",
                    const std::vector<std::string>& args = {});
