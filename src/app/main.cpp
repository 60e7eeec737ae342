#include <unistd.h>

#include <cstdio>

#include "app/startup.h"

// The search and worker threads may still be running when the loop ends: flush and leave
// at once, without running destructors under their feet.
int main(int argc, char** argv) {
  int status = runShell(argc, argv);
  // Only the output streams: a flush of every stream would wait for standard input, which the
  // reader thread may hold in a read.
  fflush(stdout);
  fflush(stderr);
  _exit(status);
}
