#pragma once
// Text helpers of the test kit: searching and splitting output, whole files, and capturing what
// a piece of code prints.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

bool contains(const std::string& text, const std::string& part);
// Occurrences of `part` in `text`.
int countOf(const std::string& text, const std::string& part);
std::vector<std::string> linesOf(const std::string& text);
// The lines that start with `prefix`, console prompts ("% ") in front skipped.
std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix);
// The last of them; empty when there is none.
std::string lastLineStartingWith(const std::string& text, const std::string& prefix);
int countLines(const std::string& text, const std::string& prefix);
// The whole file; empty when it cannot be read.
std::string readFile(const std::string& path);

// What `run` prints on standard output.
std::string captureStdout(const std::function<void()>& run);
