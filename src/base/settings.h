#pragma once
// The settings table: ordered (key, value) text pairs read from a file of "key = value" lines.
// A '#' in column one starts a comment; lines without '=' or with nothing after it are ignored;
// blanks around key and value do not count; a repeated key keeps its first place and takes the
// last value. Values stay text: each user converts them (atoi, atof, file name).
#include <vector>

#include "base/rc_string.h"

class Settings {
 public:
  // Adds the file's pairs to the table. False (table unchanged) when it cannot be opened.
  bool load(const char* path);

  // The value of `key` (exact, case-sensitive match), or an empty string when it is missing.
  // Callers treat a missing key and an empty value alike.
  RcString get(const char* key) const;

  // Sets `key` to `value`, keeping the key's place if it is already there.
  void set(const RcString& key, const RcString& value);

  // The pairs in order of first appearance, e.g. to pick every key starting with "book.play.":
  //   for (int i = 0; i < settings.count(); ++i)
  //     if (settings.key(i).startsWith("book.play.")) ...
  int count() const { return static_cast<int>(pairs_.size()); }
  const RcString& key(int index) const { return pairs_[index].key; }
  const RcString& value(int index) const { return pairs_[index].value; }

 private:
  struct Pair {
    RcString key;
    RcString value;
  };
  std::vector<Pair> pairs_;
};
