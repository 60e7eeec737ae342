#include <unistd.h>

#include <cstdio>

#include "app/startup.h"

// The search and worker threads may still be running when the loop ends: flush and leave
// at once, without running destructors under their feet.
int main(int argc, char** argv) {
  int status = runShell(argc, argv);
  fflush(nullptr);
  _exit(status);
}
