#include "reproducibility.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/cli_options.h"
#include "app/command_line.h"
#include "cpu_hog.h"
#include "framework/format.h"
#include "framework/sample_stats.h"
#include "framework/text_encoding.h"
#include "reproducibility_stats.h"
#include "report/run_files.h"
#include "report/run_json.h"

namespace corvalis {

namespace {

// The hog spins no longer than this, whatever happens to the bench.
constexpr double HogLimitSeconds = 4.0 * 3600.0;
// The most memory a run of the program should take at its peak.
constexpr double PeakRssLimitMiB = 200.0;

// What the command line asks for.
struct Plan {
  std::string kind;                       // "single", "--repeat 3", "--repeat auto"
  std::vector<std::string> kindOptions;   // what the kind adds to the program's options
  bool intervals = false;                 // the kind measures with repeats
  int runs = 0;
  int width = DefaultScreenWidth;
  int height = DefaultScreenHeight;
  std::string tests;                      // empty: all
  bool load = false;
  std::vector<std::string> extra;         // after "--", passed on as they are
};

// A value as one run reported it.
struct Reported {
  bool number = false;  // false: a text alone (a mode, a failure)
  double value = 0.0;
  std::string text;
  std::string unit;
};

// One run of the program as the bench saw it.
struct Run {
  double seconds = 0.0;
  long peakKiB = 0;
  std::string device;
  std::vector<std::string> keys;  // the values' keys in report order
  std::map<std::string, Reported> values;
  RunSamples samples;             // repeats and evidence, where the run had them
};

// A detected value: the answer and how sure the run was ("-": it gave no evidence).
struct Answer {
  std::string key;
  std::string answer;
  std::string confidence;
  std::string shown() const { return answer + " (" + confidence + ")"; }
};

int usage() {
  std::fprintf(stderr,
               "usage: corvalis_bench --reproducibility single|repeat:N|auto[:SECONDS] K "
               "[-WIDTHxHEIGHT] [--tests LIST] [--load] [-- OPTIONS]\n");
  return 2;
}

// The kind's options: "single", "repeat:N" (N from 2), "auto" or "auto:SECONDS".
bool parseKind(const std::string& text, Plan& plan) {
  if (text == "single") {
    plan.kind = "single";
    return true;
  }
  int repeats = 0;
  if (text.rfind("repeat:", 0) == 0 && parseRepeatCount(text.substr(7), repeats) && repeats > 1) {
    plan.kind = "--repeat " + std::to_string(repeats);
    plan.kindOptions = {"--repeat", std::to_string(repeats)};
    plan.intervals = true;
    return true;
  }
  if (text != "auto" && text.rfind("auto:", 0) != 0) return false;
  plan.kind = "--repeat auto";
  plan.kindOptions = {"--repeat", "auto"};
  plan.intervals = true;
  if (text == "auto") return true;
  const std::string seconds = text.substr(5);
  char* end = nullptr;
  const double budget = std::strtod(seconds.c_str(), &end);
  if (seconds.empty() || *end != '\0' || !(budget > 0.0) || !std::isfinite(budget)) return false;
  plan.kind += " --budget " + seconds;
  plan.kindOptions.insert(plan.kindOptions.end(), {"--budget", seconds});
  return true;
}

bool parsePlan(int argc, char** argv, Plan& plan) {
  if (argc < 4 || !parseKind(argv[2], plan)) return false;
  char* end = nullptr;
  const long runs = std::strtol(argv[3], &end, 10);
  if (*end != '\0' || runs < 2 || runs > 1000) return false;
  plan.runs = static_cast<int>(runs);
  for (int i = 4; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--") {
      plan.extra.assign(argv + i + 1, argv + argc);
      break;
    }
    if (argument == "--load")
      plan.load = true;
    else if (argument == "--tests" && i + 1 < argc)
      plan.tests = argv[++i];
    else if (argument.size() > 1 && argument[0] == '-' && argument[1] != '-')
      parseScreenSize(argv[i], plan.width, plan.height);
    else
      return false;
  }
  // The bench names the files and the kind sets the repeats.
  for (const std::string& option : plan.extra)
    if (option == "--output" || option == "--repeat" || option == "--budget") return false;
  return true;
}

// The program's options for a run of the kind (or a single run) writing to 'base'.
std::vector<std::string> programOptions(const Plan& plan, bool single, const std::string& base) {
  std::vector<std::string> options = {
      "-" + std::to_string(plan.width) + "x" + std::to_string(plan.height)};
  if (!plan.tests.empty()) options.insert(options.end(), {"--tests", plan.tests});
  if (!single) options.insert(options.end(), plan.kindOptions.begin(), plan.kindOptions.end());
  options.insert(options.end(), plan.extra.begin(), plan.extra.end());
  options.insert(options.end(), {"--output", base});
  return options;
}

// The program in the folder of this one: the build folder or the installed bin/.
std::string programBeside() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string("corvalis") : (self.parent_path() / "corvalis").string();
}

// What a failed run said: its error lines ("corvalis: ..."), or its last lines when it
// gave none (a crash, a test's failure in its progress).
void printFailure(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> errors;
  std::deque<std::string> tail;
  for (std::string line; std::getline(file, line);) {
    if (line.rfind("corvalis:", 0) == 0) errors.push_back(line);
    tail.push_back(line);
    if (tail.size() > 12) tail.pop_front();
  }
  for (const std::string& line : errors.empty() ? std::vector<std::string>(tail.begin(), tail.end())
                                                : errors)
    std::fprintf(stderr, "  %s\n", escapeControls(line).c_str());
}

// A text field of a JSON object; empty when it is missing or not a text.
std::string textField(const nlohmann::ordered_json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// Reads a run's BASE.json: every value (in report order), the samples and evidence
// through the report's own reader, and the device.
bool readRun(const std::string& path, Run& run) {
  std::string text, error;
  RunJsonParts parts;
  parts.valueSamples = true;
  if (!readFileBytes(path, MaxRunJsonBytes, "BASE.json", text, error) ||
      !parseRunJson(text, run.samples, error, parts)) {
    std::fprintf(stderr, "corvalis_bench: %s\n", error.c_str());
    return false;
  }
  const nlohmann::ordered_json root = nlohmann::ordered_json::parse(text, nullptr, false);
  const auto values = root.find("values");
  if (values != root.end() && values->is_object()) {
    for (auto entry = values->begin(); entry != values->end(); ++entry) {
      if (!entry->is_object()) continue;
      const auto value = entry->find("value");
      Reported& reported = run.values[entry.key()];
      reported.number = value != entry->end() && value->is_number();
      reported.value = reported.number ? value->get<double>() : std::nan("");
      reported.text = textField(*entry, "text");
      reported.unit = textField(*entry, "unit");
      run.keys.push_back(entry.key());
    }
  }
  const auto settings = root.find("settings");
  if (settings != root.end() && settings->is_object())
    run.device = textField(*settings, "device");
  return true;
}

// Starts the program with 'options', its console going to 'console'; waits for it and
// takes its time and peak memory. False with a message when it did not exit with 0.
bool runChild(const std::string& program, const std::vector<std::string>& options,
              const std::string& console, Run& run) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& option : options) argv.push_back(const_cast<char*>(option.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("corvalis_bench: fork");
    return false;
  }
  if (child == 0) {
    const int out = open(console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out >= 0) {
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
    }
    execv(program.c_str(), argv.data());
    std::fprintf(stderr, "cannot start %s\n", program.c_str());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.peakKiB = usage.ru_maxrss;  // KiB on Linux
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  if (WIFEXITED(status))
    std::fprintf(stderr, "corvalis_bench: %s exited with status %d:\n",
                 program.c_str(), WEXITSTATUS(status));
  else
    std::fprintf(stderr, "corvalis_bench: %s ended by signal %d:\n",
                 program.c_str(), WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  printFailure(console);
  return false;
}

// One run in a fresh temporary folder, which is removed afterwards.
bool runOnce(const Plan& plan, bool single, Run& run) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/corvalis_bench.XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) {
    std::perror("corvalis_bench: a temporary folder");
    return false;
  }
  const std::string base = pattern + "/run";
  const bool ok = runChild(programBeside(), programOptions(plan, single, base),
                           pattern + "/console.txt", run) &&
                  readRun(base + ".json", run);
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
  return ok;
}

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The answers of Tiling and Texture cache; their mode is a setting, not an answer.
bool isDetection(const std::string& key) {
  return (key.rfind("Tiling:", 0) == 0 || key.rfind("TexCache:", 0) == 0) &&
         !endsWith(key, ":Mode");
}

// The run's detections; a tile's width and height are one answer, "16x4".
std::vector<Answer> answersOf(const Run& run) {
  std::vector<Answer> answers;
  const auto confidence = [&run](const std::string& key) {
    const auto found = run.samples.evidence.find(key);
    if (found == run.samples.evidence.end()) return std::string("-");
    return std::string(confidenceWord(found->second.confidence));
  };
  const auto stemOf = [](const std::string& key, size_t suffix) {
    return key.substr(0, key.size() - suffix);
  };
  for (const std::string& key : run.keys) {
    if (!isDetection(key)) continue;
    const bool width = endsWith(key, ":Width");
    const std::string stem = stemOf(key, width ? 6 : 0);
    const auto height = run.values.find(stem + ":Height");
    if (width && height != run.values.end())
      answers.push_back({stem, run.values.at(key).text + "x" + height->second.text,
                         confidence(key) + "/" + confidence(stem + ":Height")});
    else if (!endsWith(key, ":Height") || !run.values.count(stemOf(key, 7) + ":Width"))
      answers.push_back({key, run.values.at(key).text, confidence(key)});
  }
  // The report leaves out a compressed format without a cache; its evidence stays.
  for (const auto& [key, evidence] : run.samples.evidence)
    if (isDetection(key) && !run.values.count(key))
      answers.push_back({key, "none", confidenceWord(evidence.confidence)});
  return answers;
}

void printRun(const char* label, int number, const Run& run) {
  std::printf("%s %d: %.1f s, peak RSS %.0f MiB\n", label, number, run.seconds,
              static_cast<double>(run.peakKiB) / 1024.0);
  const std::vector<Answer> answers = answersOf(run);
  for (size_t i = 0; i < answers.size(); ++i)
    std::printf("%s%s %s", i == 0 ? "    " : i % 3 == 0 ? "\n    " : "; ",
                answers[i].key.c_str(), answers[i].shown().c_str());
  if (!answers.empty()) std::printf("\n");
  std::fflush(stdout);
}

// What the tables add up to, for the summary under them.
struct Summary {
  std::vector<double> spreads;  // max/min of every value with a finite one
  std::string widest;           // the value with the largest
  double widestSpread = 0.0;
  Coverage coverage;
  int detections = 0;
  int unanimous = 0;            // detections answered the same by every run
};

// The runs' values of one key (NaN where a run lacks it) and their intervals, from the
// samples of the runs that repeated it.
void collect(const std::vector<Run>& runs, const std::string& key, std::vector<double>& values,
             std::vector<std::optional<MedianInterval>>& intervals) {
  for (const Run& run : runs) {
    const auto found = run.values.find(key);
    values.push_back(found == run.values.end() || !found->second.number ? std::nan("")
                                                                        : found->second.value);
    const auto samples = run.samples.values.find(key);
    if (samples != run.samples.values.end() && samples->second.samples.size() > 1)
      intervals.push_back(medianInterval(samples->second.samples));
    else
      intervals.push_back(std::nullopt);
  }
}

// Per value: the median of the runs' values, max/min and, for kinds with intervals,
// how many runs' intervals hold the median of the others.
void printValueTable(const Plan& plan, const std::vector<Run>& runs, Summary& summary) {
  std::printf("\n%-32s %16s %8s%s\n", "value", "median of runs", "max/min",
              plan.intervals ? "  coverage" : "");
  for (const std::string& key : runs.front().keys) {
    const Reported& first = runs.front().values.at(key);
    if (isDetection(key) || !first.number) continue;
    std::vector<double> values;
    std::vector<std::optional<MedianInterval>> intervals;
    collect(runs, key, values, intervals);
    const SampleStats stats = summarizeSamples(values);
    const double spread = spreadOf(stats);
    if (std::isfinite(spread)) summary.spreads.push_back(spread);
    if (std::isfinite(spread) && spread > summary.widestSpread) {
      summary.widestSpread = spread;
      summary.widest = key;
    }
    const std::string median =
        stats.failed ? "-" : latin1ToUtf8(formatDecimal(stats.median)) + first.unit;
    std::printf("%-32s %16s %8.3f", key.c_str(), median.c_str(), spread);
    const Coverage coverage = coverageOf(values, intervals);
    summary.coverage.hits += coverage.hits;
    summary.coverage.trials += coverage.trials;
    if (coverage.trials > 0) std::printf("  %d/%d", coverage.hits, coverage.trials);
    std::printf("\n");
  }
}

// Per detected value how many runs agree on the answer, with every answer and
// confidence seen; a run that leaves a format out found no cache in it ("none").
void printDetectionTable(const std::vector<Run>& runs, Summary& summary) {
  std::vector<std::string> keys;
  std::vector<std::map<std::string, Answer>> byRun;
  for (const Run& run : runs) {
    byRun.emplace_back();
    for (const Answer& answer : answersOf(run)) {
      if (std::find(keys.begin(), keys.end(), answer.key) == keys.end()) keys.push_back(answer.key);
      byRun.back()[answer.key] = answer;
    }
  }
  if (keys.empty()) return;
  std::printf("\n%-18s %s\n", "detection", "runs agreeing: answer (confidence, - for none) x runs");
  for (const std::string& key : keys) {
    std::vector<std::string> answers, shown;
    std::map<std::string, int> counts;
    for (const auto& answersOfRun : byRun) {
      const auto found = answersOfRun.find(key);
      const Answer answer = found == answersOfRun.end() ? Answer{key, "none", "-"} : found->second;
      const std::string text = answer.shown();
      answers.push_back(answer.answer);
      if (!counts.count(text)) shown.push_back(text);
      ++counts[text];
    }
    const int agreeing = agreeingRuns(answers);
    ++summary.detections;
    if (agreeing == static_cast<int>(runs.size())) ++summary.unanimous;
    std::printf("%-18s %d of %zu:", key.c_str(), agreeing, runs.size());
    for (size_t i = 0; i < shown.size(); ++i)
      std::printf("%s %s x%d", i > 0 ? "," : "", shown[i].c_str(), counts[shown[i]]);
    std::printf("\n");
  }
}

double meanSeconds(const std::vector<Run>& runs) {
  double sum = 0.0;
  for (const Run& run : runs) sum += run.seconds;
  return sum / static_cast<double>(runs.size());
}

// The spreads' median and 90th percentile, the coverage in all, the kind's time against
// the single run's, the largest peak memory and the detections' agreement.
void printSummary(const Plan& plan, const std::vector<Run>& runs, const std::vector<Run>& singles,
                  const Summary& summary) {
  std::printf("\n");
  std::printf("max/min over %zu values: median %.3f, 90th percentile %.3f, largest %.3f (%s)\n",
              summary.spreads.size(), nearestRankPercentile(summary.spreads, 0.5),
              nearestRankPercentile(summary.spreads, 0.9), summary.widestSpread,
              summary.widest.c_str());
  const Coverage& coverage = summary.coverage;
  if (!plan.intervals)
    std::printf("coverage: none, single runs give no intervals\n");
  else if (coverage.trials == 0)
    std::printf("coverage: no value had samples to give an interval\n");
  else
    std::printf("coverage: %d of %d intervals (%.0f %%) hold the median of the other runs\n",
                coverage.hits, coverage.trials, 100.0 * coverage.hits / coverage.trials);
  const double kind = meanSeconds(runs);
  if (singles.empty())
    std::printf("cost: 1.00 x, the kind is single (%.1f s a run)\n", kind);
  else
    std::printf("cost: %.2f x (%s %.1f s a run, the single run between them %.1f s)\n",
                kind / meanSeconds(singles), plan.kind.c_str(), kind, meanSeconds(singles));
  long peak = 0;
  for (const Run& run : runs) peak = std::max(peak, run.peakKiB);
  const double mib = static_cast<double>(peak) / 1024.0;
  std::printf("peak RSS: at most %.0f MiB a run (%s the %.0f MiB limit)\n", mib,
              mib <= PeakRssLimitMiB ? "within" : "OVER", PeakRssLimitMiB);
  if (summary.detections > 0)
    std::printf("detections: %d of %d answers the same in all %zu runs\n", summary.unanimous,
                summary.detections, runs.size());
}

}  // namespace

int runReproducibility(int argc, char** argv) {
  Plan plan;
  if (!parsePlan(argc, argv, plan)) return usage();
  const bool baseline = !plan.kindOptions.empty();
  std::printf("Corvalis reproducibility of %s at %dx%d, tests %s: %d runs of %s%s\n",
              plan.kind.c_str(), plan.width, plan.height,
              plan.tests.empty() ? "all" : plan.tests.c_str(), plan.runs, programBeside().c_str(),
              baseline ? ", a single run in the middle for the cost" : "");
  CpuHog* hog = nullptr;
  if (plan.load) {
    hog = new CpuHog(HogLimitSeconds);
    if (!hog->started()) {
      std::fprintf(stderr, "corvalis_bench: the CPU hog could not be started\n");
      delete hog;
      return 1;
    }
    std::printf("load: one process spinning on core %d beside every run\n", hog->core());
  }
  std::fflush(stdout);

  std::vector<Run> runs, singles;
  int status = 0;
  for (int i = 0; i < plan.runs && status == 0; ++i) {
    // The single run sits in the middle, so that a drift of the machine's speed
    // weighs on it as on the mean of the kind's runs.
    if (baseline && i == plan.runs / 2) {
      singles.emplace_back();
      if (runOnce(plan, true, singles.back()))
        printRun("single", 1, singles.back());
      else
        status = 1;
    }
    runs.emplace_back();
    if (status == 0 && runOnce(plan, false, runs.back()))
      printRun("run", i + 1, runs.back());
    else
      status = 1;
  }
  if (hog && !hog->stop() && status == 0)
    std::printf("note: the CPU hog had stopped before the runs ended\n");
  delete hog;
  if (status != 0) return status;
  std::printf("device: %s\n", runs.front().device.c_str());
  Summary summary;
  printValueTable(plan, runs, summary);
  printDetectionTable(runs, summary);
  printSummary(plan, runs, singles, summary);
  return 0;
}

}  // namespace corvalis
