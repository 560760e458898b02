#pragma once
// What a set of repeated measurements says: the median that is reported, the extremes
// that show how far to trust it, and the process-wide number of repeats.

#include <vector>

namespace corvalis {

// Repeats of every timed measurement (--repeat N): 1 to MaxMeasurementRepeats.
constexpr int MaxMeasurementRepeats = 100;
void setMeasurementRepeats(int repeats);
int measurementRepeats();

struct SampleStats {
  double median = 0.0;  // the middle sample; the mean of the two middle ones for an even count
  double min = 0.0;
  double max = 0.0;
  bool failed = false;  // a sample is missing or not a finite number: median, min, max are NaN
};

// The median and extremes of the samples. A failed sample fails the whole set, so a
// median of fewer samples is never passed off as one of all of them.
SampleStats summarizeSamples(const std::vector<double>& samples);

// max / min: 1 for identical samples; NaN when the set failed or min is not positive.
double spreadOf(const SampleStats& stats);

}  // namespace corvalis
