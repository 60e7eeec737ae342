// Start-up: streams, banner, settings, tables, the engine and everything that talks to it, the
// start-up keys; then the console loop. Every object of the program is created here, and none is
// ever torn down: the process ends with a flush and an immediate exit.
#include "app/startup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/book_commands.h"
#include "app/console.h"
#include "base/file_system.h"
#include "base/output_stream.h"
#include "base/platform.h"
#include "base/settings.h"
#include "base/tokenizer.h"
#include "board/position.h"
#include "protocol/protocol_driver.h"
#include "protocol/uci_driver.h"
#include "protocol/winboard_driver.h"
#include "search/bench.h"
#include "search/engine.h"

namespace {

constexpr const char* Version = "0.1";

void printBanner() {
  printf("\nmelvok-%s\n", Version);
  printf("a chess engine for UCI and WinBoard interfaces, with its own opening books\n");
  printf("written by the melvok developers\n\n");
}

// A key that is missing and a key whose value is empty are alike: absent.
bool present(const Settings& settings, const char* key) { return !settings.get(key).empty(); }
int number(const Settings& settings, const char* key) { return atoi(settings.get(key).c_str()); }

// The protocols' own start-up keys.
ProtocolConfig protocolConfig(const Settings& settings) {
  ProtocolConfig config;
  if (present(settings, "uci.trace")) config.uciTrace = number(settings, "uci.trace") > 0;
  config.uciLogDir = settings.get("uci.logdir");
  if (present(settings, "uci.timegap"))
    config.uciTimeGapMs = number(settings, "uci.timegap") * 1000;
  config.winboardLogDir = settings.get("winboard.logdir");
  if (present(settings, "winboard.timegap"))
    config.winboardTimeGapMs = number(settings, "winboard.timegap") * 1000;
  return config;
}

// The settings file's values for every option row that names a key (the engine's, the book's
// and the protocols'), then the thread count: the key's count (0: one per processor; more than
// the processors are capped), one thread without the key.
void applySettings(Engine& engine, const Settings& settings) {
  for (const OptionRow& row : engine.options().rows()) {
    if (row.settingsKey.empty() || !present(settings, row.settingsKey.c_str())) continue;
    const std::string answer =
        engine.options().set(row, settings.get(row.settingsKey.c_str()).c_str());
    if (!answer.empty()) printf("%s\n", answer.c_str());
  }
  if (!present(settings, "search.nthreads")) return;
  const int processors = processorCount();
  const int wanted = number(settings, "search.nthreads");
  int threads;
  if (wanted > processors) {
    printf("!--only %i cpu's present, using %i searchthreads\n", processors, processors);
    threads = processors;
  } else {
    threads = wanted != 0 ? wanted : processors;
  }
  if (threads > 1) printf("--using parallel search with %i threads\n", threads);
  engine.setOption("Threads", std::to_string(threads));
}

// The settings file: the one named on the command line, else "melvok.ini"; a relative name is
// looked for in the working folder, then in the program's (interfaces start engines in folders
// of their choosing). Without a file named, its absence is no error: the built-in settings hold.
RcString loadSettings(Settings& settings, int argc, char** argv) {
  const bool named = argc == 2;
  std::string name = named ? argv[1] : "melvok.ini";
  if (!FileSystem::fileExists(name.c_str())) name = FileSystem::resolve(name);
  printf("inifile=%s\n", name.c_str());
  if (settings.load(name.c_str())) return RcString(name.c_str());
  if (named)
    printf("could not load inifile: %s\n", name.c_str());
  else
    printf("no inifile: built-in settings\n");
  return RcString(name.c_str());
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
  runBench(depth, standardOutput(), lines);
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
  static Settings settings;
  const RcString inifile = loadSettings(settings, argc, argv);
  initTables();

  // The program's objects, all here: the engine with its book, the two protocol drivers (which
  // see every line before the console does: UCI first, then WinBoard) and the console. They
  // live until the process ends. Once every layer has added its option rows, the settings
  // file gives them their first values.
  static Engine engine;
  engine.seedChoices(tickCount());
  auto book = std::make_unique<BookShelf>();
  BookShelf& shelf = *book;
  shelf.seed(tickCount());
  shelf.addOptions(engine.options(), settings);
  engine.setBook(std::move(book));
  static const ProtocolConfig config = protocolConfig(settings);
  static UciDriver uci(engine, config, Version);
  static WinBoardDriver winboard(engine, config, Version);
  static Console console(engine, shelf, settings, inifile);
  console.setClockMhz(number(settings, "machine.mhz"));
  console.setDrivers(&uci, &winboard);
  winboard.setTaskPoster([](std::function<void()> task) { console.input().post(std::move(task)); });
  applySettings(engine, settings);
  engine.boot();

  printBoard(engine.position(), &standardOutput());
  console.run();
  return 0;
}
