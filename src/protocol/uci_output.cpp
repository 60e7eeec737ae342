// The UCI driver's protocol lines, trace lines, log file and error log.
#include <cstdarg>
#include <cstring>

#include "base/file_system.h"
#include "base/log.h"
#include "base/log_file_name.h"
#include "base/platform.h"
#include "board/notation.h"
#include "protocol/uci_driver.h"
#include "search/node_rules.h"

namespace {

// " name value", as the info lines write their numbers.
void appendField(std::string& text, const char* name, uint64_t value) {
  text += ' ';
  text += name;
  text += ' ';
  text += std::to_string(value);
}

std::string timeStamp() {
  char text[16];
  snprintf(text, sizeof text, "%010u", tickCount());
  return text;
}

}  // namespace

// Each line goes out in one write under the output lock: the input thread and the search
// thread never interleave, and a line is never cut.
void UciDriver::send(const std::string& line) {
  std::lock_guard<std::timed_mutex> guard(outputLock_);
  out_.put(line.c_str());
  out_.flush();
}

std::string UciDriver::moveText(const Position& pos, Move m) {
  char text[UciMoveTextSize];
  int notation = castleNotation_;
  // An interface that plays Chess960 reads castling only as the king taking its rook.
  if (chess960_ && notation == CastleSmart) notation = CastleKxR;
  return uciMoveText(text, pos, m, notation);
}

std::string UciDriver::scoreText(int score, uint8_t bound) {
  std::string text;
  if (isMateScore(score))
    text = " score mate " + std::to_string(mateInMoves(score));  // "mate 0": mated now
  else
    text = " score cp " + std::to_string(score);
  if (bound == BoundLower) text += " lowerbound";
  if (bound == BoundUpper) text += " upperbound";
  return text;
}

void UciDriver::sendInfo(const SearchInfo& info) {
  std::string text = "info";
  appendField(text, "depth", info.depth);
  appendField(text, "seldepth", info.selDepth);
  if (info.line > 0) appendField(text, "multipv", info.line);
  text += scoreText(info.score, info.bound);
  if (showWdl_)
    text += " wdl " + std::to_string(info.wdl.win) + " " + std::to_string(info.wdl.draw) + " " +
            std::to_string(info.wdl.loss);
  appendField(text, "nodes", info.nodes);
  appendField(text, "nps", info.nps);
  appendField(text, "hashfull", info.hashFull);
  if (info.tablesInUse) appendField(text, "tbhits", info.tableHits);
  appendField(text, "time", info.timeMs);
  text += " pv";
  for (int i = 0; i < PvRows - 1 && info.pv[i]; i++) {
    text += ' ';
    text += moveText(position_, info.pv[i]);
  }
  text += '\n';
  send(text);
}

void UciDriver::sendBestMove(const Position& pos, Move best, Move ponder) {
  std::string line = "bestmove " + moveText(pos, best);
  if (ponder) line += " ponder " + moveText(pos, ponder);
  line += "\n";
  // The log lines are written under the output lock too: a quit that follows at once waits
  // for them.
  std::lock_guard<std::timed_mutex> guard(outputLock_);
  out_.put(line.c_str());
  out_.flush();
  char text[MoveTextSize];
  logExchange("<--bestmove ", printMove(position_, text, best));
  logExchange("<--ponder ", printMove(position_, text, ponder));
  if (!best) reportError("No move generated! bm=%x\n", best);
}

void UciDriver::trace(const char* message) {
  if (trace_) {
    std::string line =
        "trace " + timeStamp() + "[" + statusLogName(status_.read()) + "]: " + message + "\n";
    send(line);
  }
  logInfo("%010u:%s%s\n", tickCount(), message ? message : "?", "");
}

void UciDriver::logExchange(const char* tag, const char* text) {
  logInfo("%010u:%s%s\n", tickCount(), tag, text);
  if (logFile) fflush(logFile);
}

void UciDriver::reportError(const char* format, ...) {
  FILE* errors = errors_;
  va_list args;
  va_start(args, format);
  vfprintf(errors, format, args);
  va_end(args);
  fflush(errors);
}

bool UciDriver::openLogFile() {
  if (logDir_.empty()) {
    logFile = nullptr;
    return false;
  }
  if (!FileSystem::makeDirectories(logDir_.c_str())) {
    fprintf(stderr, "could not create logdir: %s\n", logDir_.c_str());
    logFile = nullptr;
    return false;
  }
  LogFileName name;
  name.directory = logDir_.c_str();
  name.prefix = "melvok-";
  name.suffix = ".log";
  for (name.number = 0; FileSystem::fileExists(name.build().c_str()); name.number++) {
  }
  logInfo("redirecting output to %s, file=%s\n", FileSystem::currentDirectory(), name.path.c_str());
  FILE* file = fopen(name.path.c_str(), "w");
  if (!file) fputs("redirect failed!\n", stderr);
  logFile = file;
  return true;
}

// The error log is a file of its own in the log directory, kept across sessions (appended
// to). Standard error itself is never redirected: an interface or match runner watches it,
// and a hang-up there reads as a crash.
void UciDriver::openErrorLog() {
  std::string path = logDir_.c_str();
  if (path.back() != '/' && path.back() != '\\') path += '/';
  path += "melvok-" + version_ + "-error.log";
  FILE* file = fopen(path.c_str(), "a");
  if (!file) {
    fprintf(stderr, "could not open the error log %s: errors go to standard error\n", path.c_str());
    return;
  }
  setvbuf(file, nullptr, _IONBF, 0);
  errors_ = file;
}
