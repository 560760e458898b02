#include "report/compare_gate.h"

#include <algorithm>
#include <cmath>
#include <set>

#include <nlohmann/json.hpp>

#include "corvalis_version.h"
#include "framework/format.h"
#include "framework/text_encoding.h"
#include "report/json_format.h"
#include "report/json_number.h"
#include "report/run_files.h"

namespace corvalis {

namespace {

using Json = nlohmann::ordered_json;

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Whether a report text is a number with a unit per second ("480.311 M Pix/s").
bool isRateText(const std::string& text) {
  double value = 0;
  std::string unit;
  return parseReportValue(text, value, unit) && unit.size() > 2 && endsWith(unit, "/s");
}

double widthOf(const Spread& spread) { return spread.high - spread.low; }

// Two sizes are the same answer when their numbers agree to the digits a report prints
// ("1.000 Mi B" and "1048576 B" alike).
bool sameNumber(double a, double b) {
  return std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

GateVerdict judgeRate(const GateSide& base, const GateSide& candidate, double percent,
                      const std::optional<bool>& beyondSpread) {
  const bool baseMeasured = std::isfinite(base.value);
  if (!std::isfinite(candidate.value))
    return baseMeasured ? GateVerdict::Failed : GateVerdict::Same;
  if (!baseMeasured) return GateVerdict::Faster;
  // Inside the runs' own spread nothing moved, whatever the tolerance says.
  if (beyondSpread.has_value() && !*beyondSpread) return GateVerdict::Same;
  // The tolerance is a share of the base's size, so that a larger PCT never finds more,
  // and a run is never slower than itself, whatever the sign a hand-made file gives.
  const double tolerance = percent / 100.0 * std::fabs(base.value);
  if (candidate.value < base.value - tolerance) return GateVerdict::Slower;
  if (candidate.value > base.value + tolerance) return GateVerdict::Faster;
  return GateVerdict::Same;
}

GateVerdict judgeAnswer(const GateSide& base, const GateSide& candidate) {
  const bool numbers = std::isfinite(base.value) && std::isfinite(candidate.value);
  if (numbers ? sameNumber(base.value, candidate.value) : base.text == candidate.text)
    return GateVerdict::Same;
  const bool bothUncertain = base.confidence == Confidence::Uncertain &&
                             candidate.confidence == Confidence::Uncertain;
  return bothUncertain ? GateVerdict::Uncertain : GateVerdict::Changed;
}

GateSide sideOf(const CompareRun& run, const CompareRow& row, size_t index) {
  GateSide side;
  side.present = row.present[index];
  side.text = row.texts[index];
  side.value = row.values[index];
  auto spread = run.samples.values.find(row.key);
  if (spread != run.samples.values.end()) side.spread = &spread->second;
  auto evidence = run.samples.evidence.find(row.key);
  if (evidence == run.samples.evidence.end()) return side;
  side.confidence = evidence->second.confidence;
  // NOTE: the text report leaves out a texture format other than RGBA whose cache came
  // out as none; with repeats its evidence still says that it was measured. Such a key
  // is the answer "0 B", not a value the run lacks.
  if (!side.present) {
    side.present = true;
    side.text = "0 B";
    side.value = 0.0;
  }
  return side;
}

// A text from a file, cleaned and cut for a note.
std::string noteText(const std::string& text) {
  bool cut = false;
  return compareCell(text, cut);
}

std::string runNameText(const std::vector<CompareRun>& runs, size_t index) {
  return noteText(compareRunName(runs, index));
}

// "Info:Resolution differs: 64x48 @ ... (a.txt), 96x72 @ ... (b.txt)" when any run's
// line differs from the first run's; empty otherwise.
std::string infoNote(const std::vector<CompareRun>& runs, const std::string& key) {
  auto textOf = [&](size_t r) {
    const std::string* text = runs[r].report.find(key);
    return text ? noteText(*text) : std::string("(none)");
  };
  bool differs = false;
  for (size_t r = 1; r < runs.size(); ++r) differs = differs || textOf(r) != textOf(0);
  if (!differs) return "";
  std::string note = key + " differs: ";
  for (size_t r = 0; r < runs.size(); ++r)
    note += (r ? ", " : "") + textOf(r) + " (" + runNameText(runs, r) + ")";
  return note;
}

// The tests a run reports on: the first parts of its keys other than Info, in order.
// A set keeps a report of many thousand made-up sections from taking quadratic time.
std::string testsOf(const CompareRun& run) {
  std::set<std::string> seen;
  std::string list;
  for (const auto& entry : run.report.values) {
    const std::string test = entry.first.substr(0, entry.first.find(':'));
    if (test == "Info" || !seen.insert(test).second) continue;
    list += (list.empty() ? "" : ", ") + test;
    if (list.size() > CompareColumnWidth) break;  // cut by noteText anyway
  }
  return noteText(list.empty() ? "(none)" : list);
}

// Whether 'run' reports a key that 'other' has evidence for, without evidence of its own.
bool lacksEvidenceOf(const CompareRun& run, const CompareRun& other) {
  std::set<std::string> keys;
  for (const auto& entry : run.report.values) keys.insert(entry.first);
  for (const auto& entry : other.samples.evidence)
    if (keys.count(entry.first) != 0 && run.samples.evidence.count(entry.first) == 0) return true;
  return false;
}

std::string countOf(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A value as JSON text indented by two per level, its lines after the first shifted by
// 'indent' blanks to sit inside an enclosing document. Paths come from the command line
// as bytes: what is not UTF-8 becomes U+FFFD rather than an exception.
std::string jsonText(const Json& value, size_t indent) {
  std::string text = value.dump(2, ' ', false, Json::error_handler_t::replace);
  if (indent == 0) return text;
  std::string shifted;
  shifted.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    shifted += c;
    if (c == '\n') shifted.append(indent, ' ');
  }
  return shifted;
}

// One run's entry of a key in the document.
Json runEntry(const std::vector<CompareRun>& runs, const CompareRow& row, const GateRow& gateRow,
              size_t r) {
  Json entry = {{"present", static_cast<bool>(row.present[r])}};
  if (row.present[r]) {
    entry["text"] = latin1ToUtf8(row.texts[r]);
    double value = 0;
    std::string unit;
    if (parseReportValue(row.texts[r], value, unit)) entry["value"] = jsonNumber(row.values[r]);
    auto spread = runs[r].samples.values.find(row.key);
    if (spread != runs[r].samples.values.end()) {
      entry["min"] = jsonNumber(spread->second.low);
      entry["max"] = jsonNumber(spread->second.high);
    }
  }
  // Also for a key the text report left out: the evidence says it was measured.
  auto evidence = runs[r].samples.evidence.find(row.key);
  if (evidence != runs[r].samples.evidence.end())
    entry["confidence"] = confidenceWord(evidence->second.confidence);
  if (r == 0) return entry;
  const GateCell& cell = gateRow.cells[r];
  entry["ratio"] = jsonNumber(row.ratios[r]);
  entry["beyondSpread"] = cell.beyondSpread ? Json(*cell.beyondSpread) : Json(nullptr);
  entry["verdict"] = gateVerdictWord(cell.verdict);
  return entry;
}

// The unit the key's numbers carry, from the first run that has one.
std::string unitOf(const CompareRow& row) {
  for (size_t r = 0; r < row.texts.size(); ++r) {
    double value = 0;
    std::string unit;
    if (row.present[r] && parseReportValue(row.texts[r], value, unit) && !unit.empty()) return unit;
  }
  return "";
}

}  // namespace

const char* gateVerdictWord(GateVerdict verdict) {
  switch (verdict) {
    case GateVerdict::Info: return "info";
    case GateVerdict::Missing: return "missing";
    case GateVerdict::Same: return "same";
    case GateVerdict::Faster: return "faster";
    case GateVerdict::Slower: return "slower";
    case GateVerdict::Changed: return "changed";
    case GateVerdict::Uncertain: return "uncertain";
    case GateVerdict::Failed: return "failed";
  }
  return "info";
}

bool gateVerdictFails(GateVerdict verdict) {
  return verdict == GateVerdict::Slower || verdict == GateVerdict::Changed ||
         verdict == GateVerdict::Failed;
}

const char* gateKindWord(GateKind kind) {
  switch (kind) {
    case GateKind::Info: return "info";
    case GateKind::Rate: return "rate";
    case GateKind::Answer: return "answer";
    case GateKind::Error: return "error";
  }
  return "info";
}

GateKind gateKindOf(const std::string& key, const std::vector<std::string>& texts) {
  if (key.compare(0, 5, "Info:") == 0) return GateKind::Info;
  if (key == "Error" || endsWith(key, ":Error")) return GateKind::Error;
  for (const std::string& text : texts)
    if (isRateText(text)) return GateKind::Rate;
  return GateKind::Answer;
}

GateCell judgeValue(GateKind kind, const GateSide& base, const GateSide& candidate,
                    double percent) {
  GateCell cell;
  if (kind == GateKind::Info) return cell;
  if (!base.present || !candidate.present) {
    // A failure the first run did not have fails even though its key is new; one that
    // went away is only missing.
    const bool newFailure = kind == GateKind::Error && candidate.present;
    cell.verdict = newFailure ? GateVerdict::Failed : GateVerdict::Missing;
    return cell;
  }
  if (base.spread && candidate.spread && std::isfinite(base.value) &&
      std::isfinite(candidate.value))
    cell.beyondSpread = std::fabs(candidate.value - base.value) >
                        std::max(widthOf(*base.spread), widthOf(*candidate.spread));
  switch (kind) {
    case GateKind::Rate:
      cell.verdict = judgeRate(base, candidate, percent, cell.beyondSpread);
      break;
    case GateKind::Answer:
      cell.verdict = judgeAnswer(base, candidate);
      break;
    case GateKind::Error:
      cell.verdict = base.text == candidate.text ? GateVerdict::Same : GateVerdict::Changed;
      break;
    case GateKind::Info:
      break;
  }
  return cell;
}

CompareGate gateRuns(const std::vector<CompareRun>& runs, const std::vector<CompareRow>& rows,
                     double percent) {
  CompareGate gate;
  gate.percent = percent;
  gate.regressionsOf.assign(runs.size(), 0);
  for (const CompareRow& row : rows) {
    std::vector<std::string> texts;
    for (size_t r = 0; r < runs.size(); ++r)
      if (row.present[r]) texts.push_back(row.texts[r]);
    GateRow gateRow;
    gateRow.kind = gateKindOf(row.key, texts);
    gateRow.cells.resize(runs.size());
    const GateSide base = sideOf(runs[0], row, 0);
    for (size_t r = 1; r < runs.size(); ++r) {
      gateRow.cells[r] = judgeValue(gateRow.kind, base, sideOf(runs[r], row, r), percent);
      if (!gateVerdictFails(gateRow.cells[r].verdict)) continue;
      ++gate.regressions;
      ++gate.regressionsOf[r];
    }
    const bool somewhereMissing =
        std::any_of(gateRow.cells.begin(), gateRow.cells.end(),
                    [](const GateCell& cell) { return cell.verdict == GateVerdict::Missing; });
    if (somewhereMissing) ++gate.missing;
    gate.rows.push_back(gateRow);
  }
  return gate;
}

std::vector<std::string> compareNotes(const std::vector<CompareRun>& runs) {
  std::vector<std::string> notes;
  for (const char* key : {"Info:Resolution", "Info:Method"}) {
    const std::string note = infoNote(runs, key);
    if (!note.empty()) notes.push_back(note + "; values are compared where their keys meet");
  }
  bool testsDiffer = false;
  for (size_t r = 1; r < runs.size(); ++r) testsDiffer = testsDiffer || testsOf(runs[r]) != testsOf(runs[0]);
  if (testsDiffer) {
    std::string note = "the selected tests differ: ";
    for (size_t r = 0; r < runs.size(); ++r)
      note += (r ? "; " : "") + testsOf(runs[r]) + " (" + runNameText(runs, r) + ")";
    notes.push_back(note + "; keys of only some runs are listed, not gated");
  }
  for (size_t r = 1; r < runs.size(); ++r) {
    for (size_t lacking : {size_t{0}, r}) {
      const size_t other = lacking == 0 ? r : 0;
      if (!lacksEvidenceOf(runs[lacking], runs[other])) continue;
      const std::string note = runNameText(runs, lacking) +
                               " has no evidence for detected sizes that " +
                               runNameText(runs, other) +
                               " has (measured without --repeat): a changed size there fails "
                               "the gate whatever its confidence";
      if (std::find(notes.begin(), notes.end(), note) == notes.end()) notes.push_back(note);
    }
  }
  return notes;
}

std::string gateSummaryText(const std::vector<CompareRun>& runs, const CompareGate& gate) {
  const std::string percent = formatC("%g", gate.percent);
  std::string text = "gate (--fail-on-regression " + percent +
                     "): a regression is a rate lower by more than " + percent +
                     " % and beyond the runs' spread, a changed answer that not both runs call "
                     "uncertain, or a new failure\n";
  text += std::string("verdict: ") + (gate.failed() ? "FAIL, " : "pass, ") +
          countOf(gate.regressions, "regression", "regressions");
  if (runs.size() > 2 && gate.regressions > 0) {
    std::string perRun;
    for (size_t r = 1; r < runs.size(); ++r)
      perRun += (r > 1 ? ", " : "") + runNameText(runs, r) + " " +
                std::to_string(gate.regressionsOf[r]);
    text += " (" + perRun + ")";
  }
  if (gate.missing > 0) text += "; " + countOf(gate.missing, "key", "keys") + " in only some runs";
  return text + "\n";
}

std::string compareJson(const std::vector<CompareRun>& runs, const std::vector<CompareRow>& rows,
                        const CompareGate& gate) {
  Json document = {{"schema", CompareJsonSchema},
                   {"formatVersion", CompareJsonFormatVersion},
                   {"program", "Corvalis"},
                   {"version", VersionNumber}};
  Json paths = Json::array();
  for (const CompareRun& run : runs) paths.push_back(run.path);
  document["runs"] = paths;
  document["gate"] = {{"failOnRegression", jsonNumber(gate.percent)},
                      {"verdict", gate.failed() ? "fail" : "pass"},
                      {"regressions", gate.regressions},
                      {"onlyInSomeRuns", gate.missing}};
  Json notes = Json::array();
  for (const std::string& note : compareNotes(runs)) notes.push_back(latin1ToUtf8(note));
  document["notes"] = notes;
  // NOTE: nlohmann's ordered objects look every new key up in a list, which a report of
  // many thousand keys makes quadratic; "values" is therefore put together entry by
  // entry, in the order of the rows (their keys are unique).
  std::string values;
  Json regressions = Json::array();
  for (size_t i = 0; i < rows.size(); ++i) {
    const CompareRow& row = rows[i];
    const GateRow& gateRow = gate.rows[i];
    Json entry = {{"kind", gateKindWord(gateRow.kind)}};
    const std::string unit = unitOf(row);
    if (!unit.empty()) entry["unit"] = latin1ToUtf8(unit);
    Json perRun = Json::array();
    for (size_t r = 0; r < runs.size(); ++r) {
      perRun.push_back(runEntry(runs, row, gateRow, r));
      if (r > 0 && gateVerdictFails(gateRow.cells[r].verdict))
        regressions.push_back({{"key", latin1ToUtf8(row.key)},
                               {"run", r},
                               {"verdict", gateVerdictWord(gateRow.cells[r].verdict)},
                               {"ratio", jsonNumber(row.ratios[r])}});
    }
    entry["runs"] = perRun;
    values += (i ? ",\n    " : "\n    ") + jsonText(Json(latin1ToUtf8(row.key)), 0) + ": " +
              jsonText(entry, 4);
  }
  // The document without its closing brace, then "values" and "regressions".
  std::string text = jsonText(document, 0);
  text.resize(text.size() - 2);  // "\n}"
  text += ",\n  \"values\": {" + values + (values.empty() ? "}" : "\n  }");
  return text + ",\n  \"regressions\": " + jsonText(regressions, 2) + "\n}\n";
}

}  // namespace corvalis
