#include "base/tokenizer.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

RcString Tokenizer::next() {
  const char* text = rest_.c_str();
  int wordLength = static_cast<int>(strcspn(text, separators_));
  if (text[wordLength] == '\0') {
    RcString word = rest_;
    rest_ = RcString("");
    return word;
  }
  RcString word = rest_.substr(0, wordLength);
  int restStart = wordLength + static_cast<int>(strspn(text + wordLength, separators_));
  rest_ = rest_.substr(restStart, rest_.length());
  return word;
}

int64_t clampedNumber64(const char* word) { return strtoll(word, nullptr, 10); }

int clampedNumber(const char* word) {
  // strtoll saturates at its own range, which covers every int.
  const long long value = strtoll(word, nullptr, 10);
  return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
}
