#include "base/rc_string.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

size_t RcString::bytesFor(int size) { return offsetof(Record, chars) + size; }

RcString::Record* RcString::allocate(int size) {
  auto* record = static_cast<Record*>(malloc(bytesFor(size)));
  if (record == nullptr) {
    fputs("malloc failed", stdout);
    abort();
  }
  record->refs = 1;
  record->size = size;
  return record;
}

RcString::RcString(const char* text) : RcString(text, text != nullptr ? strlen(text) : 0) {}

RcString::RcString(const char* text, int count) {
  if (text == nullptr || count < 0) count = 0;
  record_ = allocate(count + 1);
  if (count > 0) memcpy(record_->chars, text, count);
  record_->chars[count] = '\0';
}

RcString::RcString(const RcString& other) : record_(other.record_) {
  if (record_ != nullptr) ++record_->refs;
}

RcString& RcString::operator=(const RcString& other) {
  Record* shared = other.record_;  // taken first: `other` may be this very handle
  if (shared != nullptr) ++shared->refs;
  release();
  record_ = shared;
  return *this;
}

RcString& RcString::operator=(RcString&& other) noexcept {
  if (this != &other) {
    release();
    record_ = other.record_;
    other.record_ = nullptr;
  }
  return *this;
}

void RcString::release() {
  if (record_ != nullptr && --record_->refs == 0) free(record_);
  record_ = nullptr;
}

void RcString::append(const char* chars, int count) {
  if (chars == nullptr || count <= 0) return;
  int oldSize = record_ != nullptr ? record_->size : 1;
  int newSize = oldSize + count;
  if (record_ == nullptr) {
    record_ = allocate(newSize);
  } else if (record_->refs < 2) {
    // Appending a string to itself: the source moves with the block.
    ptrdiff_t selfOffset = -1;
    if (chars >= record_->chars && chars < record_->chars + oldSize)
      selfOffset = chars - record_->chars;
    auto* grown = static_cast<Record*>(realloc(record_, bytesFor(newSize)));
    if (grown == nullptr) {
      fputs("realloc failed", stdout);
      abort();
    }
    record_ = grown;
    record_->size = newSize;
    if (selfOffset >= 0) chars = record_->chars + selfOffset;
  } else {
    Record* copy = allocate(newSize);
    memcpy(copy->chars, record_->chars, oldSize - 1);
    --record_->refs;
    record_ = copy;
  }
  strncpy(record_->chars + oldSize - 1, chars, count);
  record_->chars[newSize - 1] = '\0';
}

void RcString::append(const char* text) {
  if (text != nullptr) append(text, strlen(text));
}

RcString RcString::substr(int from, int to) const {
  int end = to < length() ? to : length();
  if (from < 0) from = 0;
  if (from >= end) return RcString("");
  return RcString(c_str() + from, end - from);
}

RcString RcString::trim() const {
  int begin = 0;
  int end = length();
  const char* chars = c_str();
  while (begin < end && chars[begin] == ' ') ++begin;
  while (end > begin && chars[end - 1] == ' ') --end;
  if (begin == 0 && end == length() && record_ != nullptr) return *this;
  return substr(begin, end);
}

RcString RcString::skipLeadingBlanks() const {
  const char* chars = c_str();
  if (chars[0] != ' ') return *this;
  int begin = 0;
  while (chars[begin] == ' ') ++begin;
  return substr(begin, length());
}

bool RcString::startsWith(const char* prefix) const {
  return strncmp(c_str(), prefix, strlen(prefix)) == 0;
}

bool RcString::operator==(const char* text) const {
  return strcmp(c_str(), text != nullptr ? text : "") == 0;
}

bool RcString::operator==(const RcString& other) const {
  return length() == other.length() && memcmp(c_str(), other.c_str(), length()) == 0;
}
