#include "e2e/uci_session.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/paths.h"

UciSession::UciSession(const std::string& settings) {
  if (!settings.empty()) dir_.write("melvok.ini", settings);
  Process::Options options;
  options.workingDirectory = dir_.path();
  // As a match runner does: standard error on a pipe of its own, apart from the protocol.
  options.mergeStderr = false;
  EXPECT_TRUE(engine_.start(enginePath(), {}, options)) << engine_.failure();
}

UciSession::~UciSession() {
  if (engine_.running()) {
    engine_.closeInput();
    engine_.wait(10000);
  }
}

namespace {

// Before "uci" the console's prompts ("% ", no newline) stand in front of the answers.
std::string withoutPrompts(const std::string& line) {
  size_t at = 0;
  while (line.compare(at, 2, "% ") == 0) at += 2;
  return line.substr(at);
}

}  // namespace

std::string UciSession::until(const std::string& prefix, int timeoutMs) {
  std::string text = engine_.readUntil(
      [&](const std::string& line) {
        return withoutPrompts(line).compare(0, prefix.size(), prefix) == 0;
      },
      timeoutMs);
  EXPECT_TRUE(engine_.matched()) << "no line starting with '" << prefix << "' in:\n" << text;
  return text;
}

std::string UciSession::untilContains(const std::string& needle, int timeoutMs) {
  std::string text = engine_.readUntil(needle, timeoutMs);
  EXPECT_TRUE(engine_.matched()) << "no line containing '" << needle << "' in:\n" << text;
  return text;
}

std::string UciSession::startUci() {
  send("uci");
  return until("uciok");
}

std::string UciSession::sync() {
  send("isready");
  std::string text = until("readyok");
  size_t at = text.rfind("readyok");
  return at == std::string::npos ? text : text.substr(0, at);
}

int UciSession::quit() {
  send("quit");
  engine_.readAll(10000);
  return engine_.wait(10000);
}

std::string UciSession::errors() {
  errors_ += engine_.takeError();
  return errors_;
}

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) {
    line = withoutPrompts(line);
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
  }
  return lines;
}

int countLines(const std::string& text, const std::string& prefix) {
  return int(linesStartingWith(text, prefix).size());
}
