#pragma once
// The seven tests in their fixed order, which is also the order of running, of the
// report's sections and of the launcher's rows, with the flags that select them.

#include <array>
#include <cstddef>
#include <memory>
#include <string>

#include "measurements/measurement.h"

namespace corvalis {

constexpr size_t TestCount = 7;

struct TestRegistry {
  // Fillrate, Bandwidth, Geometry, Texturing, Readback, Texture cache, Tiling; a slot is
  // null when its object could not be allocated, and every user skips it.
  std::array<std::unique_ptr<BenchTest>, TestCount> tests;
  std::array<bool, TestCount> enabled{};

  // Allocates the seven tests in registry order and selects every one that exists.
  void create();
  // Destroys the test objects and clears their selection.
  void destroy();
  // The test of slot 'index' when it exists and is selected, else null.
  BenchTest* selected(size_t index) const;
  bool anySelected() const;
};

// Registry index of a test named by its display name, its key or another spelling the
// command line accepts ("Texture cache", "texcache", "texturecache"), case-insensitive;
// -1 when no test has that name.
int findTestByName(const std::string& name);
// The key of the test in registry slot 'index' ("fillrate"); empty when it cannot be made.
std::string testKeyOf(size_t index);

// The most seconds --budget accepts (a day).
constexpr int MaxBudgetSeconds = 86400;
// About the seconds a test takes once on a renderer whose minimum times bind (a slow
// one; a fast renderer stops at the loops' caps sooner), in registry order: the weight
// of its share of a --budget.
extern const double SingleRunSeconds[TestCount];
// The least --budget, whole seconds, for the adaptive mode's first rounds of the
// selected tests: fewer rounds decide nothing.
int leastAutoBudget(const std::array<bool, TestCount>& selected);

}  // namespace corvalis
