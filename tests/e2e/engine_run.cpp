#include "e2e/engine_run.h"

#include <gtest/gtest.h>

#include "support/paths.h"
#include "support/process.h"

EngineRun runEngine(const std::vector<std::string>& lines, const std::vector<std::string>& args,
                    const std::string& directory) {
  Process engine;
  Process::Options options;
  options.workingDirectory = directory;
  EXPECT_TRUE(engine.start(enginePath(), args, options)) << engine.failure();
  for (const std::string& line : lines) engine.writeLine(line);
  engine.closeInput();
  std::string output = engine.readUntil([](const std::string&) { return false; }, 60000);
  int status = engine.wait(10000);
  return {output, status};
}

std::string answerTo(const std::string& output, const std::string& command) {
  size_t start = output.find("% " + command + "\n");
  if (start == std::string::npos) return "<no answer to " + command + ">";
  start += command.size() + 3;
  size_t end = output.find("% ", start);
  return output.substr(start, end == std::string::npos ? std::string::npos : end - start);
}
