#include "search/engine.h"

#include "base/file_system.h"

namespace {

std::string number(int value) { return std::to_string(value); }

}  // namespace

Engine::Engine(uint32_t tableMegabytes) : search_(tableMegabytes) {
  setFen(position_, InitialFen);
  addSearchOptions();
  addPlayOptions();
  addBitbaseOptions();
}

// The search's rows. What the search uses while it runs (the table, the threads, the tables)
// changes only between searches: a request during one is refused, and says so.
void Engine::addSearchOptions() {
  auto taken = [](auto set) {
    return [set](const std::string& value) {
      set(value);
      return std::string();
    };
  };

  OptionRow hash = spinOption(
      "Hash", [this] { return number(hashMegabytes()); }, MinHashMb, MaxHashMb,
      [this](const std::string& value) -> std::string {
        if (searching()) return "search running, Hash not changed";
        search_.waitUntilIdle();
        if (search_.table().resize(std::stoull(value) * 1024)) return "";
        return "Hash: no memory for " + value + " MB, the table stays at " +
               std::to_string(hashMegabytes()) + " MB";
      });
  hash.settingsKey = "tt.cachemb";
  hash.places = ForUci | ForConsole;  // WinBoard: the memory command
  options_.add(hash);

  OptionRow threadCount = spinOption(
      "Threads", [this] { return number(threads()); }, 1, MaxThreads,
      [this](const std::string& value) -> std::string {
        if (searching()) return "search running, Threads not changed";
        search_.waitUntilIdle();
        search_.setThreads(std::stoi(value));
        return "";
      });
  threadCount.places = ForUci | ForConsole;  // WinBoard: the cores command
  options_.add(threadCount);

  // Read when the next search starts.
  options_.add(spinOption(
      "MultiPV", [this] { return number(lines_); }, 1, MaxLines,
      taken([this](const std::string& v) { lines_ = std::stoi(v); })));

  OptionRow clear = buttonOption("Clear Hash", [this](const std::string&) -> std::string {
    if (searching()) return "search running, table not cleared";
    search_.table().clear();
    return "";
  });
  clear.places = ForUci;
  options_.add(clear);

  OptionRow syzygyPath = stringOption(
      "SyzygyPath", [this] { return syzygyPath_; },
      [this](const std::string& value) -> std::string {
        if (searching()) return "Syzygy: search running, tables not changed";
        search_.waitUntilIdle();
        syzygyPath_ = value;
        return search_.syzygy.load(FileSystem::resolveList(value));
      });
  syzygyPath.settingsKey = "syzygy.path";
  syzygyPath.places = ForUci | ForConsole;  // WinBoard: egtpath syzygy
  options_.add(syzygyPath);

  // The other Syzygy options are read when the next search starts.
  SyzygyOptions& syzygy = search_.syzygyOptions;
  options_.add(spinOption(
      "SyzygyProbeDepth", [&syzygy] { return number(syzygy.probeDepth); }, 1, MaxSyzygyProbeDepth,
      taken([&syzygy](const std::string& v) { syzygy.probeDepth = std::stoi(v); })));
  options_.add(checkOption(
      "Syzygy50MoveRule", [&syzygy] { return checkText(syzygy.rule50); },
      taken([&syzygy](const std::string& v) { syzygy.rule50 = v == "true"; })));
  options_.add(spinOption(
      "SyzygyProbeLimit", [&syzygy] { return number(syzygy.probeLimit); }, 0, 7,
      taken([&syzygy](const std::string& v) { syzygy.probeLimit = std::stoi(v); })));
}

// How the engine plays: the time each move leaves for the interface's round trip, and a
// strength below its full one (UCI's pair of options; WinBoard's single Strength, which is
// limited below the full strength). Read when the next search starts.
void Engine::addPlayOptions() {
  OptionRow overhead = spinOption(
      "Move Overhead", [this] { return number(moveOverheadMs_); }, 0, MaxMoveOverheadMs,
      [this](const std::string& value) {
        moveOverheadMs_ = std::stoi(value);
        return std::string();
      });
  overhead.settingsKey = "search.moveoverhead";
  options_.add(overhead);

  OptionRow limit = checkOption(
      "UCI_LimitStrength", [this] { return checkText(limitStrength_); },
      [this](const std::string& value) {
        limitStrength_ = value == "true";
        return std::string();
      });
  limit.places = ForUci | ForConsole;
  options_.add(limit);
  OptionRow elo = spinOption(
      "UCI_Elo", [this] { return number(strengthElo_); }, MinStrengthElo, FullStrengthElo,
      [this](const std::string& value) {
        strengthElo_ = std::stoi(value);
        return std::string();
      });
  elo.places = ForUci | ForConsole;
  options_.add(elo);
  OptionRow strength = spinOption(
      "Strength", [this] { return number(limitStrength_ ? strengthElo_ : FullStrengthElo); },
      MinStrengthElo, FullStrengthElo,
      [this](const std::string& value) {
        strengthElo_ = std::stoi(value);
        limitStrength_ = strengthElo_ < FullStrengthElo;
        return std::string();
      });
  strength.places = ForWinBoard;
  options_.add(strength);
}

// The bitbase library: its folder (empty: none) and its cache. The cache comes first, so that
// a settings file that names both loads the library once, with its cache.
void Engine::addBitbaseOptions() {
  auto load = [this]() -> std::string {
    if (searching()) return "search running, bitbases not changed";
    search_.waitUntilIdle();
    if (bitbasePath_.empty()) {
      search_.bitbases.unload();
      return "";
    }
    const std::string cache = std::to_string(bitbaseCacheMb_);
    search_.bitbases.startUp(FileSystem::resolve(bitbasePath_).c_str(), cache.c_str());
    return "";
  };
  OptionRow cache = spinOption(
      "Bitbase Cache", [this] { return number(bitbaseCacheMb_); }, DefaultBitbaseCacheMb,
      MaxBitbaseCacheMb,
      [this, load](const std::string& value) {
        const int old = bitbaseCacheMb_;
        bitbaseCacheMb_ = std::stoi(value);
        return bitbaseCacheMb_ != old && !bitbasePath_.empty() ? load() : std::string();
      });
  cache.settingsKey = "egbb.cachemb";
  options_.add(cache);
  OptionRow path = stringOption(
      "Bitbase Path", [this] { return bitbasePath_; },
      [this, load](const std::string& value) {
        if (searching()) return std::string("search running, bitbases not changed");
        bitbasePath_ = value;
        return load();
      });
  path.settingsKey = "egbb.dir";
  options_.add(path);
}

SearchLimits Engine::withOptions(const SearchLimits& limits) const {
  SearchLimits run = limits;
  run.moveOverheadMs = moveOverheadMs_;
  run.strengthElo = limitStrength_ ? strengthElo_ : 0;
  return run;
}

std::string Engine::setOption(const std::string& name, const std::string& value) {
  const OptionRow* row = options_.find(name);
  return row ? options_.set(*row, value) : "no such option: " + name;
}

void Engine::boot() { search_.boot(); }

void Engine::newGame() {
  stopAndWait();
  search_.newGame();
}

void Engine::go(const SearchLimits& limits, SearchListener* listener) {
  search_.waitUntilIdle();
  search_.listener = listener;
  search_.start(position_, withOptions(limits), true);
}

void Engine::think(const SearchLimits& limits, SearchListener* listener) {
  search_.waitUntilIdle();
  search_.listener = listener;
  search_.start(position_, withOptions(limits), false);
}

void Engine::stop() { search_.stop(); }

void Engine::stopAndWait() { search_.stopAndWait(); }

bool Engine::ponderHit(int timeLeftMs) { return search_.ponderHit(timeLeftMs); }

void Engine::waitUntilIdle() { search_.waitUntilIdle(); }

uint32_t Engine::nominalTimeMs() const { return search_.nominalTimeMs(); }

bool Engine::probeTables(const Position& pos, TableWdl& wdl, TableDistance& distance) {
  stopAndWait();
  return search_.syzygy.probeWdl(pos, wdl) && search_.syzygy.probeRoot(pos, distance);
}

Move Engine::bookMove() { return book_ ? book_->pick(position_) : 0; }
