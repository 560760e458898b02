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

}  // namespace corvalis
