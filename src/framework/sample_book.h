#pragma once
// The repeats behind the numbers a test reports. A test notes a value right after the
// measurement that produced it; the report finds the repeats again by that value, so
// the tests keep their plain double fields and report calls.

#include <utility>
#include <vector>

namespace corvalis {

class SampleBook {
 public:
  // Records the repeats of the last measurement loop as the samples of 'value' (the
  // stored result, after any scaling of the loop's rate). Nothing with one repeat.
  void noteLastLoop(double value);
  // Records explicit samples of 'value'. Nothing with fewer than two samples.
  void note(double value, const std::vector<double>& samples);
  // The samples recorded for exactly this value; empty when none were.
  std::vector<double> samplesOf(double value) const;
  // The largest max / min of any noted value's samples; 0 when none was noted, NaN when
  // a noted set failed.
  double largestSpread() const;
  void clear() { entries_.clear(); }

 private:
  // Each sample as a fraction of the median, so that a value scaled after it was noted
  // (bytes per pixel, a unit) still finds samples on its own scale.
  std::vector<std::pair<double, std::vector<double>>> entries_;
};

}  // namespace corvalis
