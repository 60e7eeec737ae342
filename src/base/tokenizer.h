#pragma once
// Takes words off a line. The separators are a set of characters (the shell and the protocol
// drivers use blank and tab); a run of separators counts as one.
#include <cstdint>

#include "base/rc_string.h"

class Tokenizer {
 public:
  // `separators` must outlive the tokenizer (string literals do).
  Tokenizer(const RcString& text, const char* separators) : rest_(text), separators_(separators) {}

  // The next word; the remaining text then starts after the separator run that ended it.
  // A text that starts with a separator yields an empty word first; an empty word means
  // "no more words" to every caller.
  RcString next();

  // The text not yet taken (starts with no separator once a word has been taken).
  const RcString& rest() const { return rest_; }

 private:
  RcString rest_;
  const char* separators_;
};

// The number a word starts with (atoi rules: blanks, a sign, digits; 0 when there is none),
// clamped to the range of an int instead of overflowing: protocol numbers can be anything.
int clampedNumber(const char* word);
// The same in 64 bits (node counts).
int64_t clampedNumber64(const char* word);
