#include "base/log_file_name.h"

#include <cstdio>
#include <cstring>

const RcString& LogFileName::build() {
  RcString result(directory);
  int length = result.length();
  if (length == 0 || (result[length - 1] != '/' && result[length - 1] != '\\')) result.append("/");
  result.append(prefix);
  char digits[16];
  snprintf(digits, sizeof digits, "%04d", number);
  result.append(digits);
  result.append(suffix);
  path = result;
  return path;
}
