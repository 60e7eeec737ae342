#pragma once
// A conversation with the built engine as a UCI interface holds it: start it in a fresh
// directory (with an optional settings file), send lines, read up to an expected line.
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

class UciSession {
 public:
  // Starts the engine in a new directory; `settings` becomes its melvok.ini when not empty.
  explicit UciSession(const std::string& settings = "");
  ~UciSession();

  void send(const std::string& line) { engine_.writeLine(line); }
  // Everything up to and including the first line that starts with `prefix`; fails the
  // test (and returns what came) when no such line comes within the time-out.
  std::string until(const std::string& prefix, int timeoutMs = 20000);
  // Everything up to and including the first line that contains `text`.
  std::string untilContains(const std::string& text, int timeoutMs = 20000);
  // "uci" and its answer up to "uciok".
  std::string startUci();
  // Sends "isready" and returns everything printed before "readyok" (not the line itself):
  // the input thread answers in order, so this is all the output of the lines sent before.
  std::string sync();
  // Ends with "quit" and returns the exit status.
  int quit();

  const TempDir& dir() const { return dir_; }
  // What the engine wrote to standard error so far (its error messages without a log
  // directory).
  std::string errors();
  Process& process() { return engine_; }

 private:
  TempDir dir_;
  Process engine_;
  std::string errors_;
};

std::string readWholeFile(const std::string& path);
// The lines of text that start with prefix (console prompts in front skipped).
std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix);
int countLines(const std::string& text, const std::string& prefix);
