// wdl_fit: fits the win/draw/loss model (src/search/wdl_model.h) to the results of self-play
// games (datagen's files) and shows how well it predicts the games it did not see.
//
//   wdl_fit [--degree N] DATA.bin...
//
// Standard output gets the sample counts, the log-loss of the fitted curves beside two
// baselines (the results' shares alone; curves that ignore the material) on the fitted and the
// held-out games, calibration tables on the held-out games, and the curves in the layout of
// wdl_model.cpp.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "wdl_fitter.h"

namespace {

void usage() { std::fprintf(stderr, "usage: wdl_fit [--degree N] DATA.bin...\n"); }

void printCurve(const char* name, const std::array<double, WdlDegree + 1>& c) {
  std::printf("    {");
  for (int k = 0; k <= WdlDegree; k++) std::printf("%s%.4f", k ? ", " : "", c[k]);
  std::printf("},  // %s\n", name);
}

void printCalibration(const char* name, const CalibrationTable& table) {
  std::printf("\n%s chance  | positions | predicted | observed\n", name);
  for (int i = 0; i < 10; i++) {
    const CalibrationBin& b = table[i];
    if (!b.count) continue;
    std::printf("%4.1f-%4.1f   | %9zu | %9.4f | %8.4f\n", i / 10.0, (i + 1) / 10.0, b.count,
                b.predicted, b.observed);
  }
}

}  // namespace

int main(int argc, char** argv) {
  WdlFitSettings settings;
  std::vector<const char*> files;
  for (int i = 1; i < argc; i++) {
    const std::string option = argv[i];
    if (option == "--degree" && i + 1 < argc) {
      char* end = nullptr;
      const long degree = std::strtol(argv[++i], &end, 10);
      if (*end || degree < 0 || degree > WdlDegree) {
        std::fprintf(stderr, "wdl_fit: --degree wants a number from 0 to %d, not %s\n", WdlDegree,
                     argv[i]);
        return 2;
      }
      settings.degree = int(degree);
    } else if (option.rfind("--", 0) == 0) {
      std::fprintf(stderr, "wdl_fit: unknown option %s\n", option.c_str());
      usage();
      return 2;
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.empty()) {
    usage();
    return 2;
  }

  WdlData data;
  for (const char* path : files) {
    std::string error;
    if (!addWdlSamples(path, data, error)) {
      std::fprintf(stderr, "wdl_fit: %s\n", error.c_str());
      return 1;
    }
  }
  if (data.train.empty() || data.heldOut.empty()) {
    std::fprintf(stderr, "wdl_fit: too few games to fit and to check (%zu and %zu positions)\n",
                 data.train.size(), data.heldOut.size());
    return 1;
  }
  std::printf(
      "positions: %zu fitted, %zu held out; %zu left out for a decided score, %zu unreadable\n",
      data.train.size(), data.heldOut.size(), data.decided, data.unreadable);

  WdlFitSettings flat = settings;
  flat.degree = 0;
  const WdlCurves materialFree = fitWdlCurves(data.train, flat);
  const WdlCurves curves = fitWdlCurves(data.train, settings);

  std::printf("\nlog-loss                        | fitted games | held-out games\n");
  std::printf("the results' shares alone       | %12.5f | %14.5f\n",
              constantLogLoss(data.train, data.train), constantLogLoss(data.train, data.heldOut));
  std::printf("curves without the material     | %12.5f | %14.5f\n",
              wdlLogLoss(materialFree, data.train), wdlLogLoss(materialFree, data.heldOut));
  std::printf("curves of degree %d in material  | %12.5f | %14.5f\n", settings.degree,
              wdlLogLoss(curves, data.train), wdlLogLoss(curves, data.heldOut));

  printCalibration("win ", wdlCalibration(curves, data.heldOut, OutcomeWin));
  printCalibration("draw", wdlCalibration(curves, data.heldOut, OutcomeDraw));
  printCalibration("loss", wdlCalibration(curves, data.heldOut, OutcomeLoss));

  std::printf("\ncentre and width at material  80, 60, 40, 20, 10:\n");
  for (const auto& [name, width] : {std::pair{"centre", false}, std::pair{"width ", true}}) {
    std::printf("%s", name);
    for (int m : {80, 60, 40, 20, 10})
      std::printf(" %7.1f", width ? wdlWidth(curves, m) : wdlCentre(curves, m));
    std::printf("\n");
  }

  std::printf("\nconst WdlCurves FittedWdlCurves = {\n");
  printCurve("centre", curves.centre);
  printCurve("width", curves.width);
  std::printf("};\n");
  return 0;
}
