// Start-up: streams, banner, settings, tables, the start-up keys, threads and the initial
// position; then the console loop. Every program-wide object is created here or is one of the
// subsystems' own single instances (search controller, table, bitbases, book), and none is
// ever torn down: the process ends with a flush and an immediate exit.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/book_commands.h"
#include "app/console.h"
#include "base/output_stream.h"
#include "base/platform.h"
#include "base/settings.h"
#include "base/tokenizer.h"
#include "board/position.h"
#include "protocol/protocol_driver.h"
#include "protocol/uci_driver.h"
#include "protocol/winboard_driver.h"
#include "search/bench.h"
#include "search/bitbase.h"
#include "search/search_controller.h"

namespace {

constexpr const char* Version = "0.1";

// The program-wide objects of the shell.
Position gamePosition;
Settings settings;
ProtocolConfig protocolConfig;

void printBanner() {
  printf("\nmelvok-%s\n", Version);
  printf("a chess engine for UCI and WinBoard interfaces, with its own opening books\n");
  printf("written by the melvok developers\n\n");
}

// A key that is missing and a key whose value is empty are alike: absent.
bool present(const char* key) { return !settings.get(key).empty(); }
int number(const char* key) { return atoi(settings.get(key).c_str()); }

int readStartupSettings() {
  if (present("book.file"))
    loadOpeningBook(settings.get("book.file").c_str(), settings, gamePosition);
  if (present("uci.trace")) protocolConfig.uciTrace = number("uci.trace") > 0;
  protocolConfig.uciLogDir = settings.get("uci.logdir");
  if (present("uci.timegap")) protocolConfig.uciTimeGapMs = number("uci.timegap") * 1000;
  protocolConfig.winboardLogDir = settings.get("winboard.logdir");
  if (present("winboard.timegap"))
    protocolConfig.winboardTimeGapMs = number("winboard.timegap") * 1000;
  if (present("egbb.dir"))
    searchController.bitbases.startUp(settings.get("egbb.dir").c_str(),
                                      settings.get("egbb.cachemb").c_str());
  if (present("syzygy.path"))
    printf("%s\n", searchController.syzygy.load(settings.get("syzygy.path").c_str()).c_str());
  if (present("tt.cachemb") &&
      !searchController.table().resize(uint64_t(number("tt.cachemb")) * 1024))
    printf("tt.cachemb: no memory for %i MB, the table stays at %llu MB\n", number("tt.cachemb"),
           (unsigned long long)(searchController.table().sizeBytes() >> 20));
  return number("machine.mhz");
}

void chooseThreadCount() {
  int processors = processorCount();
  int wanted = number("search.nthreads");
  int threads;
  if (wanted > processors) {
    printf("!--only %i cpu's present, using %i searchthreads\n", processors, processors);
    threads = processors;
  } else {
    threads = wanted != 0 ? wanted : processors;
  }
  if (threads > 1) printf("--using parallel search with %i threads\n", threads);
  searchController.setThreads(threads);
}

// The protocol drivers see every line before the console does: UCI first, then WinBoard.
void connectProtocolDrivers(Console& console) {
  protocolConfig.bookMove = pickOpeningBookMove;
  static UciDriver uci(gamePosition, protocolConfig, Version);
  static WinBoardDriver winboard(gamePosition, protocolConfig, Version);
  console.setDrivers(&uci, &winboard);
}

// "melvok bench [depth [lines]]": the bench with the built-in settings only (the settings file
// could change the table or load bitbases, and the node count is meant to be the same
// everywhere). With lines, each position is searched for that many lines (MultiPV).
int benchFromCommandLine(int argc, char** argv) {
  int depth = argc > 2 ? clampedNumber(argv[2]) : BenchDefaultDepth;
  int lines = argc > 3 ? clampedNumber(argv[3]) : 1;
  if (argc > 4 || depth < 1 || lines < 1 || lines > MaxLines) {
    printf("Usage:  melvok bench [depth [lines]]\n");
    return -1;
  }
  initTables();
  searchController.setThreads(1);
  runBench(searchController, depth, standardOutput(), lines);
  return 0;
}

}  // namespace

int runShell(int argc, char** argv) {
  makeStreamsUnbuffered();
  printBanner();
  if (argc >= 2 && !strcmp(argv[1], "bench")) return benchFromCommandLine(argc, argv);
  if (argc > 2) {
    printf("Usage:  melvok [inifile]\n");
    return -1;
  }
  RcString inifile(argc == 2 ? argv[1] : "melvok.ini");
  printf("inifile=%s\n", inifile.c_str());
  if (!settings.load(inifile.c_str())) printf("could not load inifile: %s\n", inifile.c_str());
  initTables();
  int clockMhz = readStartupSettings();
  chooseThreadCount();
  srand(tickCount());
  searchController.boot();
  setFen(gamePosition, InitialFen);
  printBoard(gamePosition, &standardOutput());

  static Console console(gamePosition, settings, inifile);
  console.setClockMhz(clockMhz);
  connectProtocolDrivers(console);
  console.run();
  return 0;
}
