#include "e2e/uci_session.h"

#include <gtest/gtest.h>

#include "support/paths.h"
#include "support/text.h"

UciSession::UciSession(const std::string& settings, const std::vector<std::string>& args) {
  if (!settings.empty()) dir_.write("melvok.ini", settings);
  Process::Options options;
  options.workingDirectory = dir_.path();
  options.mergeStderr = false;  // as a match runner does
  EXPECT_TRUE(engine_.start(enginePath(), args, options)) << engine_.failure();
}

UciSession::~UciSession() {
  if (!engine_.running()) return;
  engine_.closeInput();
  engine_.wait(10000);
}

std::string UciSession::until(const std::string& prefix, int timeoutMs) {
  const std::string text = engine_.readUntil(
      [&](const std::string& line) { return !linesStartingWith(line, prefix).empty(); }, timeoutMs);
  EXPECT_TRUE(engine_.matched()) << "no line starting with '" << prefix << "' in:\n" << text;
  return text;
}

std::string UciSession::startUci() {
  send("uci");
  return until("uciok");
}

std::string UciSession::sync() {
  send("isready");
  const std::string text = until("readyok");
  return text.substr(0, text.rfind("readyok"));
}

int UciSession::quit(bool byQuit) {
  if (byQuit) send("quit");
  engine_.closeInput();
  engine_.readAll(10000);
  return engine_.wait(10000);
}

std::string UciSession::errors() {
  errors_ += engine_.takeError();
  return errors_;
}

std::vector<std::string> consoleAnswers(const std::string& output) {
  // A prompt stands at the start of a line, or right after the prompt of a silent command.
  std::vector<std::string> parts;
  size_t start = output.find("\n% ");
  if (start == std::string::npos) return parts;
  start += 3;
  for (size_t i = start; i + 1 < output.size(); i++) {
    if (output.compare(i, 2, "% ") != 0 || (i != start && output[i - 1] != '\n')) continue;
    parts.push_back(output.substr(start, i - start));
    start = i + 2;
    i = start - 1;
  }
  parts.push_back(output.substr(start));
  return parts;
}

EngineRun runEngine(const std::vector<std::string>& lines, const std::string& settings,
                    const std::vector<std::string>& args) {
  UciSession session(settings, args);
  for (const std::string& line : lines) session.send(line);
  session.process().closeInput();
  EngineRun run;
  run.output = session.process().readAll(120000);
  run.status = session.process().wait(10000);
  return run;
}
