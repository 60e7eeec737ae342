#pragma once
// The abstract output channel, and TextFile, its implementation over a C FILE handle that
// also reads lines.
#include <cstdarg>
#include <cstdio>

class OutputStream {
 public:
  virtual ~OutputStream() = default;
  virtual void flush() = 0;
  virtual void put(char c) = 0;
  virtual void put(const char* s) = 0;
  virtual void vprint(const char* format, va_list args) = 0;
  void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

class TextFile : public OutputStream {
 public:
  explicit TextFile(FILE* file = nullptr) : file_(file) {}
  ~TextFile() override;
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  void flush() override;
  void put(char c) override;
  void put(const char* s) override;
  void vprint(const char* format, va_list args) override;

  // The next line without its newline (or CR LF), valid until the next call; null at end of
  // input. Lines of any length are read whole; a NUL byte ends the text of its line.
  char* readline();

  FILE* handle() const { return file_; }
  void setHandle(FILE* file) { file_ = file; }

 private:
  FILE* file_;
  char* buffer_ = nullptr;
  int size_ = 0;
};

// A TextFile over standard output, for the console and the board printer.
TextFile& standardOutput();
