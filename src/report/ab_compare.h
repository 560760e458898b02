#pragma once
// The result of an A/B session: every value of the two sides' reports, and for a rate
// B/A as the median of the ratios of its paired slices (slice i of B over slice i of A,
// taken next to each other in time) with its 95 % interval, and a word on it. Pure
// functions over the two runs as --compare loads them.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "framework/measured.h"
#include "report/compare_gate.h"
#include "report/run_compare.h"

namespace corvalis {

enum class AbWord {
  Info,     // an Info: line, shown for both sides
  Missing,  // on one side only (another pixel format, a test only one side has): not compared
  Same,     // the interval holds 1 or lies within the tolerance, or the difference does
            // not stand out among the session's values; the same answer
  Faster,   // the whole interval above 1, not within the tolerance, and standing out
  Slower,   // the whole interval below 1, not within the tolerance, and standing out
  Changed,  // a different answer (a detection, a pixel format, a failure text)
  Failed,   // a side has no number for it: its test failed, or its worker was lost first
};

// "info", "missing", "same", "faster", "slower", "changed", "failed".
const char* abWordText(AbWord word);

struct AbRow {
  std::string key;
  GateKind kind = GateKind::Info;
  std::array<bool, 2> present{};
  std::array<std::string, 2> texts;  // as the reports print them
  std::array<double, 2> values{};    // base units; NaN when none
  std::array<std::optional<Confidence>, 2> confidence;
  // The side's worker was lost before it finished the key's test: its value is failed.
  std::array<bool, 2> unfinished{};
  size_t pairs = 0;    // paired slices behind the ratio (0: the two values alone)
  double ratio = 0;    // B / A; NaN when there is none
  double low = 0, high = 0;  // its 95 % interval (both the ratio without pairs)
  // How likely pairs as far from 1 as these are when B/A is truly 1 (the t test of
  // their logarithms); NaN without two pairs.
  double p = 0;
  bool standsOut = false;  // picked among the session's rates at AbFalseDiscoveryRate
  AbWord word = AbWord::Info;
  bool regression = false;  // fails --fail-on-regression
};

struct AbSession {
  std::array<std::string, 2> sides;  // what each side sets, for the headings
  double tolerancePercent = 2.0;     // within it a ratio counts as the same
  bool gate = false;                 // --fail-on-regression was given (its PCT the tolerance)
  std::array<bool, 2> lost{};        // the side's worker ended before its reports were written
  std::vector<AbRow> rows;
  size_t regressions = 0;
  size_t judgedRates = 0;  // rates with paired slices, among which a difference must stand out
};

// The tolerance without --fail-on-regression.
constexpr double AbDefaultTolerance = 2.0;

// A session judges some seventy rates at once: with a 95 % interval each, about three
// of them would lie off 1 on two sides that do not differ at all. A rate is called
// slower or faster only where its difference also stands out among all of the session's
// rates at this false discovery rate, so that on equal sides the chance of any such word
// in the whole table is at most 5 %.
constexpr double AbFalseDiscoveryRate = 0.05;

// The ratios B_i / A_i of the common prefix of two sides' slices, the pairs in which
// either is not a finite positive number left out.
std::vector<double> pairedRatios(const std::vector<double>& a, const std::vector<double>& b);

// The word on a ratio and its interval with the tolerance in percent: Same when the
// interval holds 1 or lies within 1 +- tolerance, else Slower or Faster by its side of
// 1; Failed for a ratio that is not a number.
AbWord rateWord(double ratio, double low, double high, double tolerancePercent);

// Compares the two sides' runs (index 0 A, 1 B) key by key. The run of a side marked
// lost in 'session' holds the tests its worker finished before it was lost (none: an
// empty run or null): their values are compared as any other, and every value of a
// test it has no key of counts as failed.
// A rate with paired slices is slower or faster where rateWord says so and it stands
// out among the session's rates (AbFalseDiscoveryRate); a rate without them (one
// derived from others) is shown, not judged (AbWord::Info).
void compareSides(const std::array<const CompareRun*, 2>& runs, AbSession& session);

// The table for a terminal (LF line ends, ISO-8859-1 texts as in the reports, cleaned
// and cut as --compare cuts them), ending with the verdict when gated.
std::string abTableText(const AbSession& session);

// BASE.ab.htm: the table and a forest plot of the ratios.
std::string abHtml(const AbSession& session);

// BASE.ab.json: the sides, the tolerance, the gate and every row (UTF-8, LF).
std::string abJson(const AbSession& session);

}  // namespace corvalis
