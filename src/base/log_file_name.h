#pragma once
// A numbered file path: directory/prefix + number (at least four digits) + suffix,
// e.g. "logs/uci" + "/" + "uci" + "0007" + ".log". The protocol drivers count the number up
// until they find a name that is not taken.
#include "base/rc_string.h"

struct LogFileName {
  const char* directory = "";
  const char* prefix = "";
  const char* suffix = "";
  int number = 0;
  RcString path;

  // Builds `path` from the parts and returns it. A directory that already ends in '/' or '\\'
  // gets no second separator.
  const RcString& build();
};
