#pragma once
// A measured value and everything behind it: the repeats it was taken from, the GL
// errors seen while it was measured and, for a detected size (a tile, a cache), the
// evidence of the step it rests on. One record
// travels from the measurement to every writer, so no writer has to find the repeats
// of a value again.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvalis {

// How sure a detection is. Clear: a step well beyond the measurement's own noise and
// apart from any other candidate. Uncertain: a step that is marginal, or two that
// cannot be told apart; the answer is then "none". None: no step at all.
enum class Confidence { None, Uncertain, Clear };

// "none", "uncertain" or "clear".
const char* confidenceWord(Confidence confidence);
// The confidence one of those words names; false for any other text.
bool confidenceFromWord(const std::string& word, Confidence& confidence);

// One candidate step of a detection: where it is (a block size in pixels, a working set
// in bytes), how deep (a ratio below 1: offset / aligned rate, or rate after / before
// the drop) and the interval of that ratio.
struct StepEstimate {
  double position = 0.0;
  double ratio = 1.0;
  double low = 1.0;
  double high = 1.0;
};

struct Evidence {
  Confidence confidence = Confidence::None;
  // The unit of the steps' positions: "px" for a tile, "B" for a cache.
  std::string unit;
  // The step the answer rests on: the chosen one, or, when none was chosen, the
  // deepest candidate considered.
  std::optional<StepEstimate> step;
  // The deepest other candidate.
  std::optional<StepEstimate> runnerUp;
  // How far below 1 a ratio had to lie to count as a step at all.
  double threshold = 1.0;
  // The measurement's own noise as a fraction (the cache curve's wiggle); 0 where the
  // intervals alone carry it.
  double noise = 0.0;
};

struct Measured {
  double value = 0.0;
  // Every repeat (or slice) the value was taken from, in the order taken; empty for a
  // single measurement.
  std::vector<double> samples;
  // Only for a detected size.
  std::optional<Evidence> evidence;
  // The GL errors seen after its timed parts ("GL_INVALID_ENUM", several joined by ", ");
  // empty when the driver refused nothing. The value may then be wrong.
  std::string glError;

  Measured() = default;
  Measured(double v) : value(v) {}  // NOLINT: a plain number is a measurement of one
  Measured(double v, std::vector<double> s) : value(v), samples(std::move(s)) {}

  // The same measurement in other units: value and samples times factor, the rest kept.
  Measured scaled(double factor) const;
};

}  // namespace corvalis
