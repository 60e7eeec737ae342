#include "base/diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace {

// The sink is set while another thread may report: the lock keeps the two apart.
std::mutex sinkLock;
DiagnosticSink currentSink;

}  // namespace

void setDiagnosticSink(DiagnosticSink sink) {
  std::lock_guard<std::mutex> guard(sinkLock);
  currentSink = std::move(sink);
}

void diagnostic(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(length > 0 ? size_t(length) : 0, '\0');
  if (length > 0) vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  std::lock_guard<std::mutex> guard(sinkLock);
  if (currentSink) {
    currentSink(text.c_str());
  } else {
    fputs(text.c_str(), stdout);
    fflush(stdout);
  }
}
