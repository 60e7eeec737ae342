// "setoption": the options the "uci" answer lists, and the "Clear Hash" button.
#include <cstdlib>

#include "base/log.h"
#include "base/platform.h"
#include "protocol/uci_driver.h"

// The value of a check or combo option: the word after the name, or after "value".
RcString UciDriver::optionValue() {
  RcString word = args_.next();
  if (word == "value") word = args_.next();
  return word;
}

void UciDriver::setOption() {
  RcString name = args_.next();
  if (name == "name") name = args_.next();

  if (name == "UCI_Opponent") {
    args_.next();
    opponentTitle_ = args_.next();
    RcString elo = args_.next();
    opponentElo_ = clampedNumber(elo.c_str());
    opponentKind_ = args_.next();
    opponentName_ = args_.next();
    logInfo("Opponent=%s %s, %s, elo=%i\n", opponentTitle_.c_str(), opponentName_.c_str(),
            opponentKind_.c_str(), opponentElo_);
  } else if (name == "Hash") {
    args_.next();
    setHash(args_.next());
  } else if (name == "Clear") {
    RcString word = args_.next();
    if (word.empty()) word = args_.next();
    if (!(word == "Hash")) return;
    if (searchRunning()) {
      reportError("setoption: search running, table not cleared\n");
      return;
    }
    waitUntilSearchThreadIdle();
    logInfo("%010u:%s%s\n", tickCount(), "clearing tt...", "");
    searchController.table().clear();
    logInfo("%010u:%s%s\n", tickCount(), "tt cleared", "");
  } else if (name == "Ponder") {
    bool canPonder = optionValue() == "true";
    logInfo("canponder=%u\n", canPonder ? 1u : 0u);
    searchController.times().canPonder = canPonder;
  } else if (name == "OwnBook") {
    ownBook_ = optionValue() == "true";
    logInfo("usebook=%u\n", ownBook_ ? 1u : 0u);
  } else if (name == "UCI_Chess960") {
    chess960_ = optionValue() == "true";
  } else if (name == "CastleNotation") {
    int notation = castleNotationFromName(optionValue().c_str());
    if (notation >= 0) castleNotation_ = notation;
  } else if (name == "Threads") {
    args_.next();
    setThreads(args_.next());
  } else {
    reportError("Option not supported: %s\n", name.c_str());
  }
}

// The table and the threads belong to the search while it runs: changing them then would pull
// memory from under the searching threads, so such a request is refused.
void UciDriver::setHash(const RcString& value) {
  int megabytes = value.empty() ? int(DefaultTableMb) : clampedNumber(value.c_str());
  if (megabytes < MinHashMb) megabytes = MinHashMb;
  if (megabytes > MaxHashMb) megabytes = MaxHashMb;
  if (searchRunning()) {
    reportError("setoption: search running, Hash not changed\n");
    return;
  }
  waitUntilSearchThreadIdle();
  logInfo("resizing hash to %uMb\n", unsigned(megabytes));
  searchController.table().resize(uint32_t(megabytes) * 1024);
  logInfo("resized\n");
}

int UciDriver::tableMegabytes() {
  int megabytes = int(searchController.table().sizeBytes() >> 20);
  return megabytes < MinHashMb ? MinHashMb : megabytes > MaxHashMb ? MaxHashMb : megabytes;
}

void UciDriver::setThreads(const RcString& value) {
  int threads = value.empty() ? 1 : clampedNumber(value.c_str());
  if (searchRunning()) {
    reportError("setoption: search running, Threads not changed\n");
    return;
  }
  waitUntilSearchThreadIdle();
  logInfo("setting cpus=%i\n", threads);
  searchController.setThreads(threads);
}
