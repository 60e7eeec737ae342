#include "support/paths.h"

std::string enginePath() { return MELVOK_BINARY; }
std::string dataPath(const std::string& name) { return std::string(MELVOK_DATA_DIR) + "/" + name; }
std::string sourcePath(const std::string& name) { return std::string(MELVOK_SOURCE_DIR) + "/" + name; }
