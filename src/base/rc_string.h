#pragma once
// RcString: a shared, copy-on-write byte string. A handle is one pointer to a heap block that
// holds the reference count, the size (characters + 1) and the NUL-terminated characters.
// Copying a handle shares the block; changing a shared string first detaches it.
// Reference counts are plain ints: a string must not be copied or released by two threads
// at the same time.
#include <cstddef>
#include <cstdint>

class RcString {
 public:
  // A null handle: reads as the empty string, owns no block.
  RcString() = default;
  // Copies the C string; null gives the empty string.
  RcString(const char* text);  // NOLINT: implicit on purpose, strings are values
  // Copies `count` bytes of `text` (which need not be NUL-terminated).
  RcString(const char* text, int count);
  RcString(const RcString& other);
  RcString(RcString&& other) noexcept : record_(other.record_) { other.record_ = nullptr; }
  RcString& operator=(const RcString& other);
  RcString& operator=(RcString&& other) noexcept;
  ~RcString() { release(); }

  const char* c_str() const { return record_ != nullptr ? record_->chars : ""; }
  // Characters before the terminating NUL of the record (size - 1).
  int length() const { return record_ != nullptr ? record_->size - 1 : 0; }
  bool empty() const { return length() == 0; }
  char operator[](int i) const { return record_ != nullptr ? record_->chars[i] : '\0'; }
  // Number of handles sharing this string's block (0 for a null handle).
  int refs() const { return record_ != nullptr ? record_->refs : 0; }
  bool sharesWith(const RcString& other) const { return record_ == other.record_; }

  // Appends `count` bytes. strncpy rules: the copy stops at a NUL in `chars` and the rest
  // of the `count` bytes become NULs. Nothing happens for null `chars` or count 0.
  void append(const char* chars, int count);
  void append(const char* text);
  void append(const RcString& text) { append(text.c_str(), text.length()); }

  // Characters [from, min(to, length)); empty when from is not below that end.
  RcString substr(int from, int to) const;
  // Blanks (not tabs) removed from both ends; returns a shared handle when there are none.
  RcString trim() const;
  // The text after a leading run of blanks; shared when the first character is no blank.
  RcString skipLeadingBlanks() const;

  bool startsWith(const char* prefix) const;
  bool operator==(const char* text) const;
  bool operator==(const RcString& other) const;

 private:
  struct Record {
    int32_t refs;
    int32_t size;
    char chars[1];
  };
  static size_t bytesFor(int size);
  static Record* allocate(int size);
  void release();
  Record* record_ = nullptr;
};
