#pragma once
// Where the tests find the built engine, the source tree, the data files under tests/data and
// the Debian programs they use as oracles and clients.
#include <string>

std::string enginePath();
std::string dataPath(const std::string& name);
std::string sourcePath(const std::string& name);
// The program on PATH or in /usr/games (where Debian puts chess programs); empty if missing.
std::string findProgram(const std::string& name);
