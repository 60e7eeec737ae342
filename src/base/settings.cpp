#include "base/settings.h"

#include <cstdio>
#include <cstring>

#include "base/output_stream.h"

bool Settings::load(const char* path) {
  FILE* file = fopen(path, "r");
  if (file == nullptr) return false;
  TextFile reader(file);
  while (const char* line = reader.readline()) {
    if (line[0] == '\0' || line[0] == '#') continue;
    const char* equals = strchr(line, '=');
    if (equals == nullptr || equals[1] == '\0') continue;
    RcString key(line, static_cast<int>(equals - line));
    RcString value(equals + 1);
    set(key.trim(), value.trim());
  }
  fclose(file);
  return true;
}

RcString Settings::get(const char* key) const {
  for (const Pair& pair : pairs_)
    if (pair.key == key) return pair.value;
  return RcString("");
}

void Settings::set(const RcString& key, const RcString& value) {
  for (Pair& pair : pairs_) {
    if (pair.key == key) {
      pair.value = value;
      return;
    }
  }
  pairs_.push_back(Pair{key, value});
}
