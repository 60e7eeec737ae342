#pragma once
// The entry point's body: start-up, then the console command loop.
int runShell(int argc, char** argv);
