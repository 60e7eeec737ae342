#pragma once
// Runs the built engine on a list of input lines and returns everything it printed.
#include <string>
#include <vector>

struct EngineRun {
  std::string output;
  int status;
};

// `directory` is the working directory (a settings file "melvok.ini" there is read).
EngineRun runEngine(const std::vector<std::string>& lines, const std::vector<std::string>& args,
                    const std::string& directory);

// The text between the prompt that answers `command` and the next prompt.
std::string answerTo(const std::string& output, const std::string& command);
