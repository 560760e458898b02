#include "report/run_json.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "platform/file_replace.h"
#include "report/run_files.h"

namespace corvalis {

namespace {

using Json = nlohmann::json;

// The spread of 'field' in an object: FIELDMin/FIELDMax when given, else the extremes
// of the finite FIELDSamples. False when neither is there. 'prefix' is "" for the
// value records ("min", "samples") and the field name for sweep rows ("rateMin").
bool spreadOf(const Json& object, const std::string& prefix, Spread& spread) {
  const std::string minKey = prefix.empty() ? "min" : prefix + "Min";
  const std::string maxKey = prefix.empty() ? "max" : prefix + "Max";
  const std::string samplesKey = prefix.empty() ? "samples" : prefix + "Samples";
  auto listed = object.find(samplesKey);
  if (listed != object.end() && listed->is_array()) {
    for (const Json& sample : *listed)
      spread.samples.push_back(sample.is_number() ? sample.get<double>() : std::nan(""));
  }
  auto min = object.find(minKey), max = object.find(maxKey);
  if (min != object.end() && max != object.end() && min->is_number() && max->is_number()) {
    spread.low = min->get<double>();
    spread.high = max->get<double>();
    return std::isfinite(spread.low) && std::isfinite(spread.high);
  }
  auto samples = object.find(samplesKey);
  if (samples == object.end() || !samples->is_array()) return false;
  bool any = false;
  for (const Json& sample : *samples) {
    if (!sample.is_number()) continue;  // null: a sample that was not a number
    double v = sample.get<double>();
    if (!std::isfinite(v)) continue;
    spread.low = any ? std::min(spread.low, v) : v;
    spread.high = any ? std::max(spread.high, v) : v;
    any = true;
  }
  return any;
}

// A number of the document: NaN for null (what was not a number when written). False
// when the key is missing or holds anything else.
bool readNumber(const Json& object, const char* key, double& value) {
  auto found = object.find(key);
  if (found == object.end()) return false;
  if (found->is_null()) {
    value = std::nan("");
    return true;
  }
  if (!found->is_number()) return false;
  value = found->get<double>();
  return true;
}

// The step under 'key', when there is one; false when it is there but malformed.
bool readStep(const Json& evidence, const char* key, std::optional<StepEstimate>& step) {
  auto found = evidence.find(key);
  if (found == evidence.end()) return true;
  StepEstimate read;
  if (!found->is_object() || !readNumber(*found, "position", read.position) ||
      !readNumber(*found, "ratio", read.ratio) || !readNumber(*found, "low", read.low) ||
      !readNumber(*found, "high", read.high))
    return false;
  step = read;
  return true;
}

bool readEvidence(const Json& entry, Evidence& evidence) {
  if (!entry.is_object()) return false;
  auto word = entry.find("confidence");
  if (word == entry.end() || !word->is_string() ||
      !confidenceFromWord(word->get<std::string>(), evidence.confidence))
    return false;
  if (!readStep(entry, "step", evidence.step) || !readStep(entry, "runnerUp", evidence.runnerUp))
    return false;
  auto unit = entry.find("unit");
  if (unit != entry.end() && unit->is_string()) evidence.unit = unit->get<std::string>();
  // Without them the defaults stand: no threshold below 1, no noise.
  readNumber(entry, "threshold", evidence.threshold);
  readNumber(entry, "noise", evidence.noise);
  return true;
}

void readSweepRow(const Json& row, std::map<std::string, Spread>& fields) {
  static const char* const names[] = {"rate", "widthAligned", "widthOffset", "heightAligned",
                                      "heightOffset"};
  for (const char* name : names) {
    Spread spread;
    if (spreadOf(row, name, spread)) fields[name] = spread;
  }
}

}  // namespace

bool parseRunJson(const std::string& text, RunSamples& samples, std::string& error) {
  samples = RunSamples();
  Json root;
  // NOTE: the parser reports where the text goes wrong only through its exception; it is
  // caught right here and becomes the message.
  try {
    root = Json::parse(text);
  } catch (const Json::parse_error& e) {
    error = "not valid JSON (at byte " + std::to_string(e.byte) + ")";
    return false;
  }
  if (!root.is_object()) {
    error = "not a JSON object";
    return false;
  }
  auto program = root.find("program");
  if (program == root.end() || !program->is_string() || *program != "Corvalis") {
    error = "not a Corvalis run (no \"program\": \"Corvalis\")";
    return false;
  }
  auto values = root.find("values");
  if (values != root.end() && values->is_object()) {
    for (auto it = values->begin(); it != values->end(); ++it) {
      Spread spread;
      if (it->is_object() && spreadOf(*it, "", spread)) samples.values[it.key()] = spread;
    }
  }
  auto sweeps = root.find("sweeps");
  if (sweeps != root.end() && sweeps->is_object()) {
    for (auto it = sweeps->begin(); it != sweeps->end(); ++it) {
      if (!it->is_array()) continue;
      auto& rows = samples.sweeps[it.key()];
      for (const Json& row : *it) {
        rows.emplace_back();
        if (row.is_object()) readSweepRow(row, rows.back());
      }
    }
  }
  auto settings = root.find("settings");
  if (settings != root.end() && settings->is_object()) {
    auto repeat = settings->find("repeat");
    if (repeat != settings->end() && repeat->is_number_integer()) samples.repeat = repeat->get<int>();
  }
  auto evidence = root.find("evidence");
  if (evidence != root.end() && evidence->is_object()) {
    for (auto it = evidence->begin(); it != evidence->end(); ++it) {
      Evidence read;
      if (readEvidence(*it, read)) samples.evidence[it.key()] = read;
    }
  }
  return true;
}

bool readRunJson(const std::string& path, RunSamples& samples, bool& found, std::string& error) {
  samples = RunSamples();
  found = false;
  if (platform::pathKind(path) == platform::PathKind::Missing) return true;
  found = true;
  std::string text;
  if (!readFileBytes(path, MaxRunJsonBytes, "BASE.json", text, error)) return false;
  if (parseRunJson(text, samples, error)) return true;
  error = path + ": " + error;
  return false;
}

}  // namespace corvalis
