// datagen: self-play games that make training data for the evaluation (see selfplay.h for the
// games, training_data.h for the file format).
//
//   datagen --out FILE [--seed S] [--games N] [--positions N] [--nodes N] [--random-plies N]
//           [--book FILE.epd|FILE.pgn] [--book-plies N] [--hash MB] [--progress SECONDS]
//
// The same command run again continues an interrupted file. Several processes with different
// seeds and files use several cores; the tuner reads all their files together.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "selfplay.h"

namespace {

void usage() {
  std::fprintf(stderr,
               "usage: datagen --out FILE [--seed S] [--games N] [--positions N] [--nodes N]\n"
               "               [--random-plies N] [--book FILE.epd|FILE.pgn] [--book-plies N]\n"
               "               [--hash MB] [--progress SECONDS]\n");
}

// A whole non-negative number within `limit`, or false.
bool readNumber(const char* text, uint64_t limit, uint64_t& value) {
  if (!text || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text, &end, 10);
  if (errno || *end || v > limit) return false;
  value = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  SelfPlayOptions options;
  const char* book = nullptr;
  uint64_t bookPlies = 16;
  for (int i = 1; i < argc; i++) {
    const std::string option = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    uint64_t number = 0;
    auto numeric = [&](uint64_t limit) {
      if (!readNumber(value, limit, number)) {
        std::fprintf(stderr, "datagen: %s wants a number up to %llu, not %s\n", option.c_str(),
                     (unsigned long long)limit, value ? value : "nothing");
        std::exit(2);
      }
      i++;
      return number;
    };
    if (option == "--out" && value) {
      options.out = value;
      i++;
    } else if (option == "--book" && value) {
      book = value;
      i++;
    } else if (option == "--seed") {
      options.seed = numeric(UINT64_MAX);
    } else if (option == "--games") {
      options.games = numeric(UINT32_MAX);
    } else if (option == "--positions") {
      options.positions = numeric(UINT64_MAX);
    } else if (option == "--nodes") {
      options.nodes = uint32_t(numeric(100000000));
    } else if (option == "--random-plies") {
      options.randomPlies = int(numeric(100));
    } else if (option == "--book-plies") {
      bookPlies = numeric(400);
    } else if (option == "--hash") {
      options.hashMb = uint32_t(numeric(4096));
    } else if (option == "--progress") {
      options.progressSeconds = double(numeric(86400));
    } else {
      std::fprintf(stderr, "datagen: unknown option %s\n", option.c_str());
      usage();
      return 2;
    }
  }
  if (options.out.empty() || options.nodes == 0 || options.hashMb == 0) {
    usage();
    return 2;
  }
  if (book) {
    std::string error;
    std::vector<std::string> warnings;
    const bool read = readOpenings(book, int(bookPlies), options.openings, error, warnings);
    for (const std::string& warning : warnings)
      std::fprintf(stderr, "datagen: %s\n", warning.c_str());
    if (!read) {
      std::fprintf(stderr, "datagen: %s\n", error.c_str());
      return 2;
    }
    std::fprintf(stderr, "datagen: %zu openings from %s\n", options.openings.size(), book);
  }

  SelfPlaySummary summary;
  std::string error;
  if (!runSelfPlay(options, Adjudication{}, stderr, summary, error)) {
    std::fprintf(stderr, "datagen: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
