#include "stability.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "app/detection_lines.h"
#include "cpu_hog.h"
#include "framework/format.h"
#include "framework/run_context.h"
#include "framework/timers.h"
#include "gl/display_config.h"
#include "measurements/texture_cache.h"
#include "measurements/tiling.h"
#include "platform/platform.h"

namespace corvalis {

namespace {

// The hog spins no longer than this, whatever happens to the bench.
constexpr double HogLimitSeconds = 4.0 * 3600.0;

// One run's answers, key by key in report order: the answer and its confidence.
using Answers = std::vector<std::pair<std::string, std::string>>;

// The evidence behind every answer that is not clear, printed under the run's line, so
// that a run that disagrees shows why.
std::vector<std::string> doubts;

void noteDoubt(const std::string& key, int size, const std::optional<Evidence>& evidence) {
  if (!evidence || evidence->confidence == Confidence::Clear) return;
  doubts.push_back(detectionLine({key, size > 0 ? std::to_string(size) : "none", *evidence}));
}

std::string confidenceOf(const std::optional<Evidence>& evidence) {
  return evidence ? confidenceWord(evidence->confidence) : "-";
}

std::string sizeText(int size) { return size > 0 ? std::to_string(size) : "none"; }

// The four tile setups as "WxH" with "width/height" confidences.
bool tilingAnswers(const RunContext& context, Answers& answers, double& seconds) {
  TilingTest test;
  PerfTimer clock;
  test.run(context);
  seconds = clock.elapsed();
  if (test.failed) {
    std::fprintf(stderr, "corvalis_bench: the tiling test failed: %s\n", test.modeText);
    return false;
  }
  const struct {
    int sweep;
    const char* key;
  } setups[] = {{TileCombined, "Tiling:Combined"}, {TileColor, "Tiling:Color"},
                {TileDepth, "Tiling:Z"}, {TileStencil, "Tiling:Stencil"}};
  for (const auto& setup : setups) {
    const TileSweep& sweep = test.sweeps[setup.sweep];
    noteDoubt(std::string(setup.key) + ":Width", sweep.tileWidth, sweep.widthEvidence);
    noteDoubt(std::string(setup.key) + ":Height", sweep.tileHeight, sweep.heightEvidence);
    answers.push_back({setup.key, sizeText(sweep.tileWidth) + "x" + sizeText(sweep.tileHeight) +
                                      " (" + confidenceOf(sweep.widthEvidence) + "/" +
                                      confidenceOf(sweep.heightEvidence) + ")"});
  }
  return true;
}

// Each measured texture format's cache size with its confidence.
bool cacheAnswers(const RunContext& context, Answers& answers, double& seconds) {
  TextureCacheTest test;
  PerfTimer clock;
  test.run(context);
  seconds = clock.elapsed();
  if (test.failed) {
    std::fprintf(stderr, "corvalis_bench: the texture cache test failed: %s\n", test.modeText);
    return false;
  }
  const char* labels[CacheFormats] = {"RGBA", "DXT1", "DXT5", "Pal"};
  for (int format = 0; format < CacheFormats; ++format) {
    if (!test.sweeps[format].measured) continue;
    const float bytes = test.cacheBytes[format];
    const std::optional<Evidence>& evidence = test.sweeps[format].evidence;
    if (evidence && evidence->confidence != Confidence::Clear && evidence->confidence != Confidence::None)
      doubts.push_back(detectionLine({std::string("TexCache:") + labels[format], "none", *evidence}));
    answers.push_back({std::string("TexCache:") + labels[format],
                       (bytes > 0.0f ? formatBinary(bytes) + "B" : std::string("none")) + " (" +
                           confidenceOf(test.sweeps[format].evidence) + ")"});
  }
  return true;
}

bool runSelected(const std::string& which, const RunContext& context, Answers& answers,
                 double& seconds) {
  double tiling = 0.0, cache = 0.0;
  if ((which == "texcache" || which == "both") && !cacheAnswers(context, answers, cache))
    return false;
  if ((which == "tiling" || which == "both") && !tilingAnswers(context, answers, tiling))
    return false;
  seconds = tiling + cache;
  return true;
}

// How many of the runs gave each answer, most frequent first.
void printAgreement(const std::string& key, const std::vector<std::string>& answers) {
  std::vector<std::pair<int, std::string>> counts;
  for (const std::string& answer : answers) {
    auto found = std::find_if(counts.begin(), counts.end(),
                              [&answer](const auto& entry) { return entry.second == answer; });
    if (found == counts.end())
      counts.emplace_back(1, answer);
    else
      ++found->first;
  }
  std::stable_sort(counts.begin(), counts.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  std::printf("  %-18s %d of %zu runs agree:", key.c_str(), counts.front().first, answers.size());
  for (const auto& entry : counts) std::printf(" %s x%d", entry.second.c_str(), entry.first);
  std::printf("\n");
}

int usage() {
  std::fprintf(stderr,
               "usage: corvalis_bench --stability tiling|texcache|both K N [-WIDTHxHEIGHT] "
               "[--load]\n");
  return 2;
}

}  // namespace

int runStability(int argc, char** argv) {
  if (argc < 5) return usage();
  const std::string which = argv[2];
  const int runs = std::atoi(argv[3]);
  const int repeats = std::atoi(argv[4]);
  int width = 1024, height = 768;
  bool load = false;
  for (int i = 5; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--load")
      load = true;
    else if (argument.size() > 1 && argument[0] == '-' && argument[1] != '-')
      parseScreenSize(argv[i], width, height);
    else
      return usage();
  }
  if ((which != "tiling" && which != "texcache" && which != "both") || runs < 1 ||
      repeats < 2 || repeats > MaxMeasurementRepeats)
    return usage();

  DisplayConfig config(width, height);
  displayConfig = &config;
  config.swapSync = false;
  std::printf("Corvalis stability of %s at %dx%d on %s: %d runs of --repeat %d\n", which.c_str(),
              width, height, platform::current().backendDescription().c_str(), runs, repeats);
  CpuHog* hog = nullptr;
  if (load) {
    hog = new CpuHog(HogLimitSeconds);
    if (!hog->started()) {
      std::fprintf(stderr, "corvalis_bench: the CPU hog could not be started\n");
      delete hog;
      return 1;
    }
    std::printf("load: one process spinning on core %d beside every run\n", hog->core());
  }
  std::fflush(stdout);

  int status = 0;
  Answers single;
  double singleSeconds = 0.0, repeatedSeconds = 0.0;
  // A single measurement first, in the same conditions, for what repeats cost.
  if (!runSelected(which, RunContext(), single, singleSeconds)) status = 1;
  doubts.clear();
  if (status == 0) {
    std::printf("single run (%.1f s):", singleSeconds);
    for (const auto& answer : single) std::printf(" %s %s;", answer.first.c_str(), answer.second.c_str());
    std::printf("\n");
  }
  RunContext context;
  context.repeats = repeats;
  std::vector<std::string> keys;
  std::map<std::string, std::vector<std::string>> byKey;
  for (int run = 0; run < runs && status == 0; ++run) {
    Answers answers;
    double seconds = 0.0;
    if (!runSelected(which, context, answers, seconds)) {
      status = 1;
      break;
    }
    repeatedSeconds += seconds;
    std::printf("run %d (%.1f s):", run + 1, seconds);
    for (const auto& answer : answers) {
      std::printf(" %s %s;", answer.first.c_str(), answer.second.c_str());
      if (!byKey.count(answer.first)) keys.push_back(answer.first);
      byKey[answer.first].push_back(answer.second);
    }
    std::printf("\n");
    for (const std::string& doubt : doubts) std::printf("    %s\n", doubt.c_str());
    doubts.clear();
    std::fflush(stdout);
  }
  if (hog && !hog->stop() && status == 0)
    std::printf("note: the CPU hog had stopped before the runs ended\n");
  delete hog;
  if (status == 0) {
    std::printf("agreement over %d runs:\n", runs);
    for (const std::string& key : keys) printAgreement(key, byKey[key]);
    std::printf("time: single run %.1f s, --repeat %d %.1f s on average (%.2f x)\n", singleSeconds,
                repeats, repeatedSeconds / runs, repeatedSeconds / runs / singleSeconds);
  }
  config.restoreDisplayMode();
  displayConfig = nullptr;
  return status;
}

}  // namespace corvalis
