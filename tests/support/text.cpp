#include "support/text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

int countOf(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
  return n;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix) {
  std::vector<std::string> found;
  for (std::string line : linesOf(text)) {
    while (line.compare(0, 2, "% ") == 0) line.erase(0, 2);
    if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
  }
  return found;
}

std::string lastLineStartingWith(const std::string& text, const std::string& prefix) {
  const std::vector<std::string> lines = linesStartingWith(text, prefix);
  return lines.empty() ? "" : lines.back();
}

int countLines(const std::string& text, const std::string& prefix) {
  return int(linesStartingWith(text, prefix).size());
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string captureStdout(const std::function<void()>& run) {
  testing::internal::CaptureStdout();
  run();
  return testing::internal::GetCapturedStdout();
}
