#pragma once
// What K whole runs of the same kind say about each other: how far a value's reports
// lie apart, where that spread sits among all values, and how often the interval one
// run gives for a value holds what the other runs report.

#include <optional>
#include <string>
#include <vector>

#include "framework/sample_stats.h"

namespace corvalis {

// The nearest-rank percentile: the smallest value that at least 'fraction' (0 to 1] of
// the values do not exceed. NaN for an empty set.
double nearestRankPercentile(std::vector<double> values, double fraction);

// How many runs' intervals were checked and how many held the others' median.
struct Coverage {
  int hits = 0;
  int trials = 0;
};

// For every run with an interval: does it hold the median of the values the other runs
// reported? 'intervals' runs beside 'values'. A run without a finite interval (a single
// measurement) is no trial, nor is one whose others include a value that is not finite,
// nor the only run.
Coverage coverageOf(const std::vector<double>& values,
                    const std::vector<std::optional<MedianInterval>>& intervals);

// How many runs gave the most frequent answer; 0 for none.
int agreeingRuns(const std::vector<std::string>& answers);

}  // namespace corvalis
