#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/log.h"
#include "base/output_stream.h"

namespace {
const int kFirstBufferSize = 128;
const char kFill = '\n';  // any byte but NUL: marks the part of the buffer fgets did not touch

// Bytes fgets stored at `start` (up to `room` bytes were free). fgets does not report how much
// it read, and the text may itself hold NUL bytes, so the free part is pre-filled with a non-NUL
// byte and the terminator fgets wrote is the last NUL in it.
int bytesRead(const char* start, int room) {
  for (int i = room - 1; i >= 0; --i)
    if (start[i] == '\0') return i;
  return 0;
}
}  // namespace

TextFile::~TextFile() { free(buffer_); }

char* TextFile::readline() {
  if (file_ == nullptr || feof(file_)) return nullptr;
  if (buffer_ == nullptr) {
    buffer_ = static_cast<char*>(malloc(kFirstBufferSize));
    if (buffer_ == nullptr) {
      fputs("malloc failed", stdout);
      abort();
    }
    size_ = kFirstBufferSize;
  }
  int length = 0;
  for (;;) {
    int room = size_ - length;
    memset(buffer_ + length, kFill, room);
    if (fgets(buffer_ + length, room, file_) == nullptr) {
      // End of input right after a full buffer: the last line had no newline and its length
      // happened to fill the buffer. It is still a line.
      if (length > 0 && feof(file_)) break;
      return nullptr;
    }
    length += bytesRead(buffer_ + length, room);
    if (length > 0 && buffer_[length - 1] == '\n') {
      // Text-mode reading: a CR LF line end (a file or interface from Windows) goes as a whole.
      length -= length > 1 && buffer_[length - 2] == '\r' ? 2 : 1;
      break;
    }
    if (feof(file_)) {
      logInfo("EOF n=%u, size=%i\n", static_cast<unsigned>(length), size_);
      break;
    }
    if (length >= size_ / 2) {
      char* grown = static_cast<char*>(realloc(buffer_, size_ * 2));
      if (grown == nullptr) {
        logError("out of memory allocating %i bytes\n", size_ * 2);
        return nullptr;
      }
      buffer_ = grown;
      size_ *= 2;
      logInfo("Textfile.readline(): reallocced size=%i addr=%x, n=%i\n", size_,
              static_cast<unsigned>(reinterpret_cast<uintptr_t>(buffer_)), length);
      continue;
    }
    // A short read without newline or end of file (a read error or an interrupted terminal).
    buffer_[length] = '\0';
    logInfo("??n=%i, size=%i, line=%s\n", length, size_, buffer_);
    if (ferror(file_)) return nullptr;
  }
  buffer_[length] = '\0';
  // A NUL byte inside a line ends its text; the line itself is still a line, so a stray NUL
  // never looks like the end of the input.
  return buffer_;
}
