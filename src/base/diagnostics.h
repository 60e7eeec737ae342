#pragma once
// Messages about input the engine refuses (a FEN it cannot read, a word that is no move or
// command), meant for whoever reads standard output. They go there as plain lines unless the
// protocol that owns standard output takes them, to send them in its own form.
#include <functional>

// Receives one message (whole lines, each ending with a newline). Empty: plain standard output.
using DiagnosticSink = std::function<void(const char* text)>;

void setDiagnosticSink(DiagnosticSink sink);
void diagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));
