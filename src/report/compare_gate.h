#pragma once
// The regression gate of --compare: value by value, whether a later run is worse than
// the first one by more than a tolerance and by more than the runs' own spread, or
// answers differently about how the chip is built; and what moved, as a document for
// programs (BASE.compare.json). Pure functions over the rows of compareRuns.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "framework/measured.h"
#include "report/run_compare.h"
#include "report/run_json.h"

namespace corvalis {

// What a key's values mean to the gate.
enum class GateKind {
  Info,    // an Info: line (driver, resolution, comment, method): never gates
  Rate,    // a rate or a bandwidth (a unit per second: Pix/s, B/s, Tris/s, Tex/s):
           // higher is better
  Answer,  // what the chip is: a tile or cache size, a pixel format, any other text
  Error,   // a test's failure text (a key ending in "Error")
};

// The gate's word on one value of a later run against the first run.
enum class GateVerdict {
  Info,       // not gated
  Missing,    // in only one of the two runs: listed, not gated
  Same,       // within the tolerance or within the spread; the same answer
  Faster,     // a rate higher by more than the tolerance and beyond the spread
  Slower,     // fails: a rate lower by more than the tolerance and beyond the spread
  Changed,    // fails: a different answer (or a different failure text)
  Uncertain,  // a different answer that both runs call uncertain: passes
  Failed,     // fails: a failure or a lost number where the first run measured
};

// "info", "missing", "same", "faster", "slower", "changed", "uncertain", "failed".
const char* gateVerdictWord(GateVerdict verdict);
// Whether the verdict fails the gate.
bool gateVerdictFails(GateVerdict verdict);
// "info", "rate", "answer", "error".
const char* gateKindWord(GateKind kind);

// One run's side of a value as the gate sees it.
struct GateSide {
  bool present = false;
  std::string text;                      // as the report prints it, trailing blanks cut
  double value = 0.0;                    // base units; NaN when the text is no number
  const Spread* spread = nullptr;        // the repeats, when the run has them
  std::optional<Confidence> confidence;  // the detection's word, when it has evidence
};

struct GateCell {
  GateVerdict verdict = GateVerdict::Info;
  // Whether the values lie further apart than the wider of the two spreads; empty
  // unless both sides carry samples and both values are numbers.
  std::optional<bool> beyondSpread;
};

// The kind of a key from its name and the texts the runs show for it: Info for "Info:"
// lines, Error for a key whose last part is "Error", Rate when any text is a number with
// a unit per second, otherwise Answer.
GateKind gateKindOf(const std::string& key, const std::vector<std::string>& texts);

// The verdict on 'candidate' against 'base' for a value of 'kind', with the tolerance
// 'percent' (0 to 100). A rate fails when it is lower than the base by more than
// 'percent' of it and, where both sides carry samples, by more than the wider spread; a
// rate the base measured that the candidate has as no number fails too. An answer
// fails when it differs, unless both sides carry evidence that calls it uncertain (a
// side without evidence makes no such claim). An error fails when the candidate has
// one the base had not, or another one. A key of only one side is Missing.
GateCell judgeValue(GateKind kind, const GateSide& base, const GateSide& candidate,
                    double percent);

struct GateRow {
  GateKind kind = GateKind::Info;
  std::vector<GateCell> cells;  // per run; the first run's cell is the baseline (Info)
};

struct CompareGate {
  double percent = 0.0;
  std::vector<GateRow> rows;  // one per CompareRow, in the same order
  size_t regressions = 0;     // failing cells over every later run
  std::vector<size_t> regressionsOf;  // per run (0 for the first)
  size_t missing = 0;         // keys with a Missing verdict for some later run
  bool failed() const { return regressions > 0; }
};

// The gate over the rows of compareRuns: every later run against the first. A detected
// size that a run's text report leaves out but its evidence names (a texture format
// other than RGBA whose cache came out as none) is that run's answer "0 B".
CompareGate gateRuns(const std::vector<CompareRun>& runs, const std::vector<CompareRow>& rows,
                     double percent);

// What makes the runs unlike beyond their values, one sentence each: a different
// Info:Resolution or Info:Method, a different selection of tests, a detected size with
// evidence in one run and without in another. Texts from the files are cleaned and cut
// to CompareColumnWidth.
std::vector<std::string> compareNotes(const std::vector<CompareRun>& runs);

// The last lines under the table: what counts as a regression, then the verdict with
// the number of regressions (per later run when there are several) and of the keys
// that some run lacks: "verdict: FAIL, 2 regressions; 1 key in only some runs".
std::string gateSummaryText(const std::vector<CompareRun>& runs, const CompareGate& gate);

// BASE.compare.json: the runs, the gate (its tolerance, verdict and counts), the notes,
// and per key its kind and per run its text, value, spread, confidence and, for the
// later runs, the ratio to the first, whether it lies beyond the spread and the verdict;
// then the list of regressions. UTF-8 (the reports' ISO-8859-1 converted), LF line ends.
std::string compareJson(const std::vector<CompareRun>& runs, const std::vector<CompareRow>& rows,
                        const CompareGate& gate);

}  // namespace corvalis
