// eval_tune: fits every weight of the evaluation to training data (datagen's files) and prints
// the tables that changed in the layout of eval_tables.h (see tuner.h for the fit).
//
//   eval_tune [--lambda L] [--epochs N] [--batch N] [--rate R] [--threads N] [--scale K]
//             [--positions N] [--min-positions N] [--only NAME,...] [--seed S]
//             [--write SOURCE-DIR] DATA.bin...
//
// Progress and the errors go to standard error; standard output gets the errors before and
// after as comments and the changed tables. With --write the changed tables are also written
// into SOURCE-DIR/eval_tables.h and eval_tables.cpp, their layout and comments kept, so that a
// fit is applied by one command. A better fit is a hint, to be tested in games.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "eval_weights.h"
#include "tuner.h"

namespace {

struct Options {
  TuneSettings tune;
  uint64_t positions = 0;  // 0: all
  std::string sourceDir;   // where to write the changed tables; empty: nowhere
  std::vector<const char*> files;
};

void usage() {
  std::fprintf(
      stderr,
      "usage: eval_tune [--lambda L] [--epochs N] [--batch N] [--rate R] [--threads N]\n"
      "                 [--scale K] [--positions N] [--min-positions N] [--only NAME,...]\n"
      "                 [--seed S] [--write SOURCE-DIR] DATA.bin...\n");
}

bool number(const char* text, double low, double high, double& value) {
  if (!text) return false;
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == 0 && value >= low && value <= high;
}

bool parse(int argc, char** argv, Options& o) {
  TuneSettings& t = o.tune;
  for (int i = 1; i < argc; i++) {
    const std::string option = argv[i];
    const char* text = i + 1 < argc ? argv[i + 1] : nullptr;
    double v = 0;
    auto numeric = [&](double low, double high) {
      if (!number(text, low, high, v)) {
        std::fprintf(stderr, "eval_tune: %s wants a number from %g to %g, not %s\n", option.c_str(),
                     low, high, text ? text : "nothing");
        return false;
      }
      i++;
      return true;
    };
    if (option == "--lambda") {
      if (!numeric(0, 1)) return false;
      t.lambda = v;
    } else if (option == "--epochs") {
      if (!numeric(0, 1000)) return false;
      t.epochs = int(v);
    } else if (option == "--batch") {
      if (!numeric(1, 1e8)) return false;
      t.batch = int(v);
    } else if (option == "--rate") {
      if (!numeric(0, 1000)) return false;
      t.rate = v;
    } else if (option == "--threads") {
      if (!numeric(1, 64)) return false;
      t.threads = int(v);
    } else if (option == "--scale") {
      if (!numeric(0, 1)) return false;
      t.scale = v;
    } else if (option == "--min-positions") {
      if (!numeric(0, 1e9)) return false;
      t.minPositions = int(v);
    } else if (option == "--seed") {
      if (!numeric(0, 1e18)) return false;
      t.seed = uint64_t(v);
    } else if (option == "--positions") {
      if (!numeric(0, 1e12)) return false;
      o.positions = uint64_t(v);
    } else if (option == "--write" && text) {
      o.sourceDir = text;
      i++;
    } else if (option == "--only" && text) {
      const std::string list = text;
      i++;
      for (size_t start = 0; start <= list.size();) {
        const size_t comma = std::min(list.find(',', start), list.size());
        if (comma > start) t.only.push_back(list.substr(start, comma - start));
        start = comma + 1;
      }
    } else if (!option.empty() && option[0] == '-') {
      std::fprintf(stderr, "eval_tune: unknown option %s\n", option.c_str());
      return false;
    } else {
      o.files.push_back(argv[i]);
    }
  }
  return !o.files.empty();
}

// Writes the tables that changed into the two source files of the weights. Every table is placed
// before either file is written, so that a declaration not found leaves both as they were.
bool writeSources(const std::string& dir, const std::vector<const WeightTable*>& changed) {
  const std::string paths[2] = {dir + "/eval_tables.h", dir + "/eval_tables.cpp"};
  std::string sources[2];
  for (int f = 0; f < 2; f++) {
    std::ifstream in(paths[f], std::ios::binary);
    if (!in.is_open()) {
      std::fprintf(stderr, "eval_tune: cannot read %s\n", paths[f].c_str());
      return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    sources[f] = text.str();
  }
  for (const WeightTable* table : changed) {
    std::string error;
    if (!writeTableInto(sources[table->inSourceFile ? 1 : 0], *table, error)) {
      std::fprintf(stderr, "eval_tune: %s: %s\n", paths[table->inSourceFile ? 1 : 0].c_str(),
                   error.c_str());
      return false;
    }
  }
  for (int f = 0; f < 2; f++) {
    std::ofstream out(paths[f], std::ios::binary | std::ios::trunc);
    out << sources[f];
    if (!out.flush()) {
      std::fprintf(stderr, "eval_tune: cannot write %s\n", paths[f].c_str());
      return false;
    }
  }
  std::fprintf(stderr, "eval_tune: %zu changed tables written into %s\n", changed.size(),
               dir.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    usage();
    return 2;
  }
  for (const std::string& name : options.tune.only) {
    bool known = false;
    for (const WeightTable& t : weightTables()) known = known || name == t.name;
    if (!known) {
      std::fprintf(stderr, "eval_tune: no weight table is called %s\n", name.c_str());
      return 2;
    }
  }

  TrainingSet data;
  for (const char* path : options.files) {
    DataHeader header;
    std::vector<PackedRecord> records;
    std::string error;
    if (!readDataFile(path, header, records, error)) {
      std::fprintf(stderr, "eval_tune: %s\n", error.c_str());
      return 2;
    }
    std::fprintf(stderr, "eval_tune: %s: %zu positions (seed %llu, %u nodes a move)\n", path,
                 records.size(), (unsigned long long)header.seed, header.nodes);
    for (const PackedRecord& r : records) {
      if (options.positions && data.train.size() + data.heldOut.size() >= options.positions) break;
      (isHeldOut(r) ? data.heldOut : data.train).push_back(r);
    }
  }
  if (data.train.empty()) {
    std::fprintf(stderr, "eval_tune: no training positions\n");
    return 2;
  }

  std::vector<int> before(weightCount());
  for (int id = 0; id < weightCount(); id++) before[id] = weightValue(id);
  options.tune.progress = stderr;
  const TuneReport r = tuneWeights(data, options.tune);
  std::fprintf(stderr, "eval_tune: error %.6f -> %.6f, held out %.6f -> %.6f\n", r.before.train,
               r.after.train, r.before.heldOut, r.after.heldOut);

  const TuneSettings& t = options.tune;
  std::printf(
      "// eval_tune: %zu training, %zu held-out positions; lambda %g, scale %.6f, %d epochs "
      "of batches of %d, step %g\n",
      data.train.size(), data.heldOut.size(), t.lambda, r.scale, t.epochs, t.batch, t.rate);
  std::printf("// error (blend)    train %.6f -> %.6f, held out %.6f -> %.6f\n", r.before.train,
              r.after.train, r.before.heldOut, r.after.heldOut);
  std::printf("// error (results)  train %.6f -> %.6f, held out %.6f -> %.6f\n",
              r.before.trainResult, r.after.trainResult, r.before.heldOutResult,
              r.after.heldOutResult);
  std::printf("// %zu of %zu values fitted (the others seen in fewer than %d training positions)\n",
              r.fitted, r.parameters, t.minPositions);
  std::vector<const WeightTable*> changed;
  for (const WeightTable& table : weightTables()) {
    bool moved = false;
    for (int i = 0; i < table.count; i++)
      moved = moved || table.get(i) != before[table.firstId + i];
    if (!moved) continue;
    changed.push_back(&table);
    std::printf("%s", tableSource(table).c_str());
  }
  std::fflush(stdout);
  if (!options.sourceDir.empty() && !writeSources(options.sourceDir, changed)) return 1;
  return 0;
}
