#include "base/output_stream.h"

void OutputStream::print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vprint(format, args);
  va_end(args);
}

void TextFile::flush() {
  if (file_ != nullptr) fflush(file_);
}

void TextFile::put(char c) {
  if (file_ != nullptr) fputc(c, file_);
}

void TextFile::put(const char* s) {
  if (file_ != nullptr && s != nullptr) fputs(s, file_);
}

void TextFile::vprint(const char* format, va_list args) {
  if (file_ != nullptr) vfprintf(file_, format, args);
}

TextFile& standardOutput() {
  static TextFile out(stdout);
  return out;
}
