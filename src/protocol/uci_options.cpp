// The UCI options: one table gives the "uci" listing and the "setoption" handling, so that the
// listing can never disagree with what setoption does or with the real defaults.
#include <algorithm>
#include <cstdlib>

#include "base/diagnostics.h"
#include "base/log.h"
#include "base/platform.h"
#include "protocol/uci_driver.h"

namespace {

constexpr int MaxThreadsOption = 8;
constexpr int MaxSyzygyProbeDepth = 100;

std::string number(int n) { return std::to_string(n); }

}  // namespace

// One option: its name, its type, its default and bounds as the listing shows them (computed
// when listed: Hash and Threads show what the engine uses now), and what setting it does.
struct UciDriver::Option {
  const char* name;
  const char* type;                          // spin, check, string, combo, button
  std::string (*defaultText)();              // null: no default (string without one, button)
  std::string (*bounds)();                   // " min 1 max 8" or " var a var b"; may be null
  void (UciDriver::*set)(Tokenizer& value);  // the words after the name, without "value"
  // The older options line their types up in one column; the newer ones keep single spaces.
  bool alignedName = true;
};

const UciDriver::Option UciDriver::options[] = {
    {"Hash", "spin", [] { return number(tableMegabytes()); },
     [] { return " min " + number(MinHashMb) + " max " + number(MaxHashMb); }, &UciDriver::setHash},
    {"Ponder", "check", [] { return std::string("false"); }, nullptr, &UciDriver::setPonder},
    {"OwnBook", "check", [] { return std::string("true"); }, nullptr, &UciDriver::setOwnBook},
    {"Threads", "spin", [] { return number(searchController.threadCount); },
     [] { return " min 1 max " + number(MaxThreadsOption); }, &UciDriver::setThreads},
    {"UCI_Opponent", "string", nullptr, nullptr, &UciDriver::setOpponent},
    {"UCI_EngineAbout", "string", [] { return std::string("melvok by ") + UciAuthor; }, nullptr,
     &UciDriver::ignoreOption},
    {"UCI_Chess960", "check", [] { return std::string("false"); }, nullptr,
     &UciDriver::setChess960},
    {"CastleNotation", "combo", [] { return std::string("smart"); },
     [] { return std::string(" var smart var e1g1 var O-O var KxR"); },
     &UciDriver::setCastleNotation},
    {"MultiPV", "spin", [] { return std::string("1"); },
     [] { return " min 1 max " + number(MaxLines); }, &UciDriver::setMultiPv},
    {"UCI_AnalyseMode", "check", [] { return std::string("false"); }, nullptr,
     &UciDriver::setAnalyseMode},
    {"Clear Hash", "button", nullptr, nullptr, &UciDriver::clearHash},
    {"SyzygyPath", "string", [] { return std::string("<empty>"); }, nullptr,
     &UciDriver::setSyzygyPath, false},
    {"SyzygyProbeDepth", "spin", [] { return std::string("1"); },
     [] { return " min 1 max " + number(MaxSyzygyProbeDepth); }, &UciDriver::setSyzygyProbeDepth,
     false},
    {"Syzygy50MoveRule", "check", [] { return std::string("true"); }, nullptr,
     &UciDriver::setSyzygy50MoveRule, false},
    {"SyzygyProbeLimit", "spin", [] { return std::string("7"); },
     [] { return std::string(" min 0 max 7"); }, &UciDriver::setSyzygyProbeLimit, false},
};

std::string UciDriver::optionListing() {
  std::string text;
  for (const Option& o : options) {
    char name[64];
    snprintf(name, sizeof name, o.alignedName ? "%-15s" : "%s", o.name);
    text += std::string("option name ") + name + " type " + o.type;
    if (o.defaultText) text += " default " + o.defaultText();
    if (o.bounds) text += o.bounds();
    text += "\n";
  }
  return text;
}

const UciDriver::Option* UciDriver::findOption(const std::string& name) {
  for (const Option& o : options)
    if (name == o.name) return &o;
  return nullptr;
}

// "setoption name <name> [value] <value>": the name is one word or, for "Clear Hash", two;
// the word "value" before the value may be left out.
void UciDriver::setOption() {
  RcString word = args_.next();
  if (word == "name") word = args_.next();
  const Option* option = findOption(word.c_str());
  if (!option) {
    Tokenizer afterSecond = args_;
    option = findOption(std::string(word.c_str()) + " " + afterSecond.next().c_str());
    if (option) args_ = afterSecond;
  }
  if (!option) {
    reportError("Option not supported: %s\n", word.c_str());
    return;
  }
  Tokenizer value = args_;
  Tokenizer afterKeyword = value;
  if (afterKeyword.next() == "value") value = afterKeyword;
  (this->*option->set)(value);
}

void UciDriver::ignoreOption(Tokenizer&) {}

void UciDriver::setOpponent(Tokenizer& value) {
  opponentTitle_ = value.next();
  opponentElo_ = clampedNumber(value.next().c_str());
  opponentKind_ = value.next();
  opponentName_ = value.next();
  logInfo("Opponent=%s %s, %s, elo=%i\n", opponentTitle_.c_str(), opponentName_.c_str(),
          opponentKind_.c_str(), opponentElo_);
}

void UciDriver::setPonder(Tokenizer& value) {
  canPonder_ = value.next() == "true";
  logInfo("canponder=%u\n", canPonder_ ? 1u : 0u);
}

void UciDriver::setOwnBook(Tokenizer& value) {
  ownBook_ = value.next() == "true";
  logInfo("usebook=%u\n", ownBook_ ? 1u : 0u);
}

void UciDriver::setChess960(Tokenizer& value) { chess960_ = value.next() == "true"; }

void UciDriver::setCastleNotation(Tokenizer& value) {
  const int notation = castleNotationFromName(value.next().c_str());
  if (notation >= 0) castleNotation_ = notation;
}

// Read at the next go: a running search keeps the lines it started with.
void UciDriver::setMultiPv(Tokenizer& value) {
  multiPv_ = std::clamp(clampedNumber(value.next().c_str()), 1, MaxLines);
  logInfo("multipv=%i\n", multiPv_);
}

void UciDriver::setAnalyseMode(Tokenizer& value) {
  analyseMode_ = value.next() == "true";
  logInfo("analysemode=%u\n", analyseMode_ ? 1u : 0u);
}

// The table and the threads belong to the search while it runs: changing them then would pull
// memory from under the searching threads, so such a request is refused.
void UciDriver::setHash(Tokenizer& value) {
  const RcString text = value.next();
  int megabytes = text.empty() ? int(DefaultTableMb) : clampedNumber(text.c_str());
  if (megabytes < MinHashMb) megabytes = MinHashMb;
  if (megabytes > MaxHashMb) megabytes = MaxHashMb;
  if (searchRunning()) {
    reportError("setoption: search running, Hash not changed\n");
    return;
  }
  searchController.waitUntilIdle();
  logInfo("resizing hash to %uMb\n", unsigned(megabytes));
  if (!searchController.table().resize(uint64_t(megabytes) * 1024))
    diagnostic("Hash: no memory for %i MB, the table stays at %i MB\n", megabytes,
               tableMegabytes());
}

void UciDriver::clearHash(Tokenizer&) {
  if (searchRunning()) {
    reportError("setoption: search running, table not cleared\n");
    return;
  }
  searchController.waitUntilIdle();
  logInfo("%010u:%s%s\n", tickCount(), "clearing tt...", "");
  searchController.table().clear();
  logInfo("%010u:%s%s\n", tickCount(), "tt cleared", "");
}

int UciDriver::tableMegabytes() {
  int megabytes = int(searchController.table().sizeBytes() >> 20);
  return megabytes < MinHashMb ? MinHashMb : megabytes > MaxHashMb ? MaxHashMb : megabytes;
}

void UciDriver::setThreads(Tokenizer& value) {
  const RcString text = value.next();
  const int threads = text.empty() ? 1 : clampedNumber(text.c_str());
  if (searchRunning()) {
    reportError("setoption: search running, Threads not changed\n");
    return;
  }
  searchController.waitUntilIdle();
  logInfo("setting cpus=%i\n", threads);
  searchController.setThreads(threads);
}

// The tables belong to the search while it runs (every thread may be probing them), so a new
// path is refused then; otherwise the line that says what was found goes to the interface.
void UciDriver::setSyzygyPath(Tokenizer& value) {
  const std::string path = value.rest().trim().c_str();
  if (searchRunning()) {
    reportError("setoption: search running, SyzygyPath not changed\n");
    diagnostic("Syzygy: search running, tables not changed\n");
    return;
  }
  searchController.waitUntilIdle();
  diagnostic("%s\n", searchController.syzygy.load(path).c_str());
}

// The other Syzygy options are read when the next search starts.
void UciDriver::setSyzygyProbeDepth(Tokenizer& value) {
  searchController.syzygyOptions.probeDepth =
      std::clamp(clampedNumber(value.next().c_str()), 1, MaxSyzygyProbeDepth);
}

void UciDriver::setSyzygy50MoveRule(Tokenizer& value) {
  searchController.syzygyOptions.rule50 = value.next() == "true";
}

void UciDriver::setSyzygyProbeLimit(Tokenizer& value) {
  searchController.syzygyOptions.probeLimit = std::clamp(clampedNumber(value.next().c_str()), 0, 7);
}
