#include "search/engine.h"

Engine::Engine(uint32_t tableMegabytes) : search_(tableMegabytes) {
  setFen(position_, InitialFen);
  addSearchOptions();
}

// The search's rows. What the search uses while it runs (the table, the threads, the tables)
// changes only between searches: a request during one is refused, and says so.
void Engine::addSearchOptions() {
  OptionRow hash{"Hash", OptionType::Spin, [this] { return std::to_string(hashMegabytes()); },
                 MinHashMb, MaxHashMb};
  hash.settingsKey = "tt.cachemb";
  hash.places = ForUci | ForConsole;  // WinBoard: the memory command
  hash.apply = [this](const std::string& value) -> std::string {
    if (searching()) return "search running, Hash not changed";
    search_.waitUntilIdle();
    const int megabytes = std::stoi(value);
    if (search_.table().resize(uint64_t(megabytes) * 1024)) return "";
    return "Hash: no memory for " + value + " MB, the table stays at " +
           std::to_string(hashMegabytes()) + " MB";
  };
  options_.add(hash);

  OptionRow threadCount{"Threads", OptionType::Spin, [this] { return std::to_string(threads()); },
                        1, MaxThreads};
  threadCount.apply = [this](const std::string& value) -> std::string {
    if (searching()) return "search running, Threads not changed";
    search_.waitUntilIdle();
    search_.setThreads(std::stoi(value));
    return "";
  };
  threadCount.places = ForUci | ForConsole;  // WinBoard: the cores command
  options_.add(threadCount);

  OptionRow multiPv{"MultiPV", OptionType::Spin, [this] { return std::to_string(lines_); }, 1,
                    MaxLines};
  multiPv.apply = [this](const std::string& value) {
    lines_ = std::stoi(value);  // read by the next search
    return std::string();
  };
  options_.add(multiPv);

  OptionRow clear{"Clear Hash", OptionType::Button};
  clear.apply = [this](const std::string&) -> std::string {
    if (searching()) return "search running, table not cleared";
    search_.table().clear();
    return "";
  };
  clear.places = ForUci;
  options_.add(clear);

  OptionRow syzygyPath{"SyzygyPath", OptionType::String, [this] { return syzygyPath_; }};
  syzygyPath.settingsKey = "syzygy.path";
  syzygyPath.places = ForUci | ForConsole;  // WinBoard: egtpath syzygy
  syzygyPath.apply = [this](const std::string& value) -> std::string {
    if (searching()) return "Syzygy: search running, tables not changed";
    search_.waitUntilIdle();
    syzygyPath_ = value;
    return search_.syzygy.load(value);
  };
  options_.add(syzygyPath);

  // The other Syzygy options are read when the next search starts.
  SyzygyOptions& syzygy = search_.syzygyOptions;
  OptionRow probeDepth{"SyzygyProbeDepth", OptionType::Spin,
                       [&syzygy] { return std::to_string(syzygy.probeDepth); }, 1,
                       MaxSyzygyProbeDepth};
  probeDepth.apply = [&syzygy](const std::string& value) {
    syzygy.probeDepth = std::stoi(value);
    return std::string();
  };
  options_.add(probeDepth);
  OptionRow rule50{"Syzygy50MoveRule", OptionType::Check,
                   [&syzygy] { return checkText(syzygy.rule50); }};
  rule50.apply = [&syzygy](const std::string& value) {
    syzygy.rule50 = value == "true";
    return std::string();
  };
  options_.add(rule50);
  OptionRow probeLimit{"SyzygyProbeLimit", OptionType::Spin,
                       [&syzygy] { return std::to_string(syzygy.probeLimit); }, 0, 7};
  probeLimit.apply = [&syzygy](const std::string& value) {
    syzygy.probeLimit = std::stoi(value);
    return std::string();
  };
  options_.add(probeLimit);
}

std::string Engine::setOption(const std::string& name, const std::string& value) {
  const OptionRow* row = options_.find(name);
  return row ? options_.set(*row, value) : "no such option: " + name;
}

void Engine::boot() { search_.boot(); }

void Engine::newGame() {
  stopAndWait();
  search_.table().clear();
}

void Engine::go(const SearchLimits& limits, SearchListener* listener) {
  search_.waitUntilIdle();
  search_.listener = listener;
  search_.start(position_, limits, true);
}

void Engine::think(const SearchLimits& limits, SearchListener* listener) {
  search_.waitUntilIdle();
  search_.listener = listener;
  search_.start(position_, limits, false);
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

bool Engine::loadBitbases(const char* directory, const char* cacheMb) {
  search_.waitUntilIdle();
  return search_.bitbases.startUp(directory, cacheMb);
}
