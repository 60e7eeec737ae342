// Parallel search speed: time to reach a fixed depth and nodes per second with one and with more
// threads on middlegame positions. Runs alternate between the thread counts so that both see the
// same machine load; medians are reported with the split statistics that explain them.
//   parallel_bench [runs [depth-offset [threads]]]      (defaults: 5 runs, offset 0, 2 threads)
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "search/parallel.h"
#include "search/search_controller.h"

namespace {

// The search these tests drive: a controller of their own, with a small table.
SearchController& controller() {
  static SearchController search(16);
  return search;
}

struct Case {
  const char* name;
  const char* fen;
  int depth;
};

const Case cases[] = {
    {"kiwipete", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 9},
    {"italian", "r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 1", 10},
    {"queens-gambit", "rnbqkb1r/pp1p1ppp/4pn2/2p5/2PP4/2N5/PP2PPPP/R1BQKBNR w KQkq - 0 4", 10},
    {"sicilian", "r1b1kb1r/1pqp1ppp/p1n1pn2/8/3NP3/2N1B3/PPP1BPPP/R2QK2R w KQkq - 0 8", 9},
    {"french", "r1bqk2r/pp1nbppp/2n1p3/2ppP3/3P1P2/2N1BN2/PPP3PP/R2QKB1R w KQkq - 0 8", 9},
    {"carlsbad", "r1bq1rk1/pp1nbppp/2p2n2/3p2B1/3P4/2NBPN2/PPQ2PPP/R3K2R b KQ - 0 9", 11},
    {"closed-ruy", "r1bq1rk1/2p1bppp/p1np1n2/1p2p3/4P3/1BP2N1P/PP1P1PP1/RNBQR1K1 b - - 0 9", 10},
    {"kings-indian", "r1bq1rk1/pppnn1bp/3p2p1/3Ppp2/2P1P3/2N5/PP2BPPP/R1BQNRK1 w - - 0 10", 10},
};

struct Run {
  double ms;
  double nps;
  double cpuMs;  // processor time of all threads
  double nodes;
  SearchCounters counters;
};

// Processor time of the whole process: on a machine whose cores are busy with other work the
// wall-clock figures cannot show a speed-up, but nodes per processor second still show what the
// splitting costs.
double cpuMillis() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

Run searchOnce(const Case& c, int depth, int threads) {
  controller().setThreads(threads);
  Position pos;
  setFen(pos, c.fen);
  controller().setPosition(pos);
  controller().maxDepth = depth;
  controller().times().reset();
  controller().times().setFixedTime(3600 * 1000);
  controller().newGame();
  const uint64_t start = microTicks();
  const double cpuStart = cpuMillis();
  controller().start(false);
  const double ms = double(microTicks() - start) / 1000.0;
  Run r;
  r.ms = ms;
  r.cpuMs = cpuMillis() - cpuStart;
  r.nodes = controller().totalNodes();
  r.nps = ms > 0 ? controller().totalNodes() / (ms / 1000.0) : 0;
  r.counters = controller().summedCounters();
  return r;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int offset = argc > 2 ? std::atoi(argv[2]) : 0;
  const int threads = argc > 3 ? std::max(2, std::min(8, std::atoi(argv[3]))) : 2;
  initTables();
  controller().quiet = true;
  controller().listener = nullptr;
  controller().boot();

  std::printf("%-14s %5s %10s %10s %10s %10s %7s %7s   %s\n", "position", "depth", "ms(1)", "ms(n)",
              "nps(1)", "nps(n)", "ttd-x", "nps-x", "splits/fail%/cut%/kills");
  std::vector<double> ttdRatios, npsRatios, overheads, cpuRatios;
  for (const Case& c : cases) {
    const int depth = c.depth + offset;
    std::vector<double> ms1, msN, nps1, npsN, nodes1, nodesN, cpuNps1, cpuNpsN;
    SearchCounters split;
    for (int i = 0; i < runs; i++) {
      // Alternate the order so that neither count always runs on a warmer or quieter machine.
      for (int k = 0; k < 2; k++) {
        const bool parallel = (i + k) % 2 == 1;
        const Run r = searchOnce(c, depth, parallel ? threads : 1);
        (parallel ? msN : ms1).push_back(r.ms);
        (parallel ? npsN : nps1).push_back(r.nps);
        (parallel ? nodesN : nodes1).push_back(r.nodes);
        (parallel ? cpuNpsN : cpuNps1).push_back(r.cpuMs > 0 ? r.nodes / r.cpuMs : 0);
        if (parallel) {
          split.splits += r.counters.splits;
          split.splitFails += r.counters.splitFails;
          split.splitCuts += r.counters.splitCuts;
          split.kills += r.counters.kills;
        }
      }
    }
    const double m1 = median(ms1), mN = median(msN), n1 = median(nps1), nN = median(npsN);
    ttdRatios.push_back(m1 / mN);
    npsRatios.push_back(nN / n1);
    overheads.push_back(median(nodesN) / median(nodes1));
    cpuRatios.push_back(median(cpuNpsN) / median(cpuNps1));
    const double attempts = split.splits ? split.splits : 1;
    std::printf("%-14s %5d %10.0f %10.0f %10.0f %10.0f %7.2f %7.2f   %u/%.1f/%.1f/%u\n", c.name,
                depth, m1, mN, n1, nN, m1 / mN, nN / n1, split.splits / runs,
                100.0 * split.splitFails / attempts, 100.0 * split.splitCuts / attempts,
                split.kills / runs);
  }
  std::printf("median speed-up with %d threads: time to depth %.2f, nodes per second %.2f\n",
              threads, median(ttdRatios), median(npsRatios));
  std::printf("median nodes to depth (n/1) %.2f, nodes per processor second (n/1) %.2f\n",
              median(overheads), median(cpuRatios));
  controller().setThreads(1);
  return 0;
}
