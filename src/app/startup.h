#pragma once
// The program's start: streams, banner, settings, the engine and its book, the protocol drivers
// and the console, built in this one place; then the console loop. Or, for "melvok bench [depth
// [lines]]", the bench alone.
int runShell(int argc, char** argv);
