#pragma once
// Where the tests find the built engine, the source tree and the data files under tests/data.
#include <string>

std::string enginePath();
std::string dataPath(const std::string& name);
std::string sourcePath(const std::string& name);
