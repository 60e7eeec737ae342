#pragma once
// Reading book settings ("book.play." and "book.build." keys): a missing key or an empty
// value leaves the default in place; numbers convert like atoi.
#include <cstdlib>

#include "base/settings.h"

inline void readIntSetting(const Settings& settings, const char* key, int& value) {
  RcString text = settings.get(key);
  if (!text.empty()) value = atoi(text.c_str());
}

// A whole-number percentage, stored as a fraction.
inline void readPercentSetting(const Settings& settings, const char* key, double& value) {
  RcString text = settings.get(key);
  if (!text.empty()) value = atoi(text.c_str()) / 100.0;
}
