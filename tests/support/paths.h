#pragma once
// Where the tests find the built engine and the shared data files.
#include <string>

std::string enginePath();
std::string dataPath(const std::string& name);
std::string sourcePath(const std::string& name);
