#include "app/suite.h"

#include <cctype>
#include <cmath>
#include <iterator>
#include <new>

#include "measurements/bandwidth.h"
#include "measurements/fillrate.h"
#include "measurements/geometry.h"
#include "measurements/readback.h"
#include "measurements/texture_cache.h"
#include "measurements/texturing.h"
#include "measurements/tiling.h"

namespace corvalis {

namespace {

// A failed allocation gives null, which leaves its slot empty.
template <class Test>
std::unique_ptr<BenchTest> allocate() {
  return std::unique_ptr<BenchTest>(new (std::nothrow) Test());
}

// One row per test in registry order: how its object is made and one more spelling the
// command line accepts beside the display name and the key the test gives itself.
struct TestKind {
  std::unique_ptr<BenchTest> (*create)();
  const char* otherName;  // nullptr: none
};

const TestKind kTestKinds[] = {
    {allocate<FillrateTest>, nullptr},
    {allocate<BandwidthTest>, nullptr},
    {allocate<GeometryTest>, nullptr},
    {allocate<TexturingTest>, nullptr},
    {allocate<ReadbackTest>, nullptr},
    {allocate<TextureCacheTest>, "texturecache"},  // the display name without its blank
    {allocate<TilingTest>, nullptr},
};
static_assert(std::size(kTestKinds) == TestCount, "one row per registry slot");

// ASCII letters compared without their case; test names hold nothing else of note.
bool sameName(const std::string& given, const char* name) {
  size_t i = 0;
  for (; name[i] != '\0'; ++i) {
    if (i == given.size()) return false;
    if (std::tolower(static_cast<unsigned char>(given[i])) !=
        std::tolower(static_cast<unsigned char>(name[i])))
      return false;
  }
  return i == given.size();
}

}  // namespace

void TestRegistry::create() {
  for (size_t i = 0; i < TestCount; ++i) {
    tests[i] = kTestKinds[i].create();
    enabled[i] = tests[i] != nullptr;
  }
}

void TestRegistry::destroy() {
  for (size_t i = 0; i < TestCount; ++i) {
    tests[i].reset();
    enabled[i] = false;
  }
}

BenchTest* TestRegistry::selected(size_t index) const {
  return enabled[index] ? tests[index].get() : nullptr;
}

bool TestRegistry::anySelected() const {
  for (size_t i = 0; i < TestCount; ++i)
    if (selected(i)) return true;
  return false;
}

int findTestByName(const std::string& name) {
  for (size_t i = 0; i < TestCount; ++i) {
    // The test itself says its name and key; an object is cheap to make and to drop.
    const std::unique_ptr<BenchTest> test = kTestKinds[i].create();
    if (!test) continue;
    const char* otherName = kTestKinds[i].otherName;
    if (sameName(name, test->name()) || sameName(name, test->key()) ||
        (otherName && sameName(name, otherName)))
      return static_cast<int>(i);
  }
  return -1;
}

std::string testKeyOf(size_t index) {
  const std::unique_ptr<BenchTest> test = index < TestCount ? kTestKinds[index].create() : nullptr;
  return test ? test->key() : std::string();
}

// The sums of the loops' minimum times: Fillrate 24 x 0.375 s, Bandwidth 5 x 0.5 s and
// 1 s, Geometry 6 x 2 s, Texturing up to 16 x 0.5 s, Readback 14 x 0.75 s; Texture cache
// and Tiling as their sweeps take at 1024 x 768 (three formats of about 13 sizes at
// 0.25 s; four setups of two directions of about 14 patterns at 0.1875 s).
const double SingleRunSeconds[TestCount] = {9.0, 3.5, 12.0, 8.0, 10.5, 10.0, 21.0};

int leastAutoBudget(const std::array<bool, TestCount>& selected) {
  // What the first rounds cost against a single run: six of eight slices for the rates,
  // the first three repeats of a detection sweep (about 1.4 and 1.0 of its window).
  const double firstRounds[TestCount] = {0.75, 0.75, 0.75, 0.75, 0.75, 1.0, 1.4};
  double seconds = 0.0;
  for (size_t i = 0; i < TestCount; ++i)
    if (selected[i]) seconds += SingleRunSeconds[i] * firstRounds[i];
  return static_cast<int>(std::ceil(seconds));
}

}  // namespace corvalis
