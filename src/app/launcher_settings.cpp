#include "app/launcher_settings.h"

#include <new>

#include "report/result_report.h"

#include "measurements/bandwidth.h"
#include "measurements/fillrate.h"
#include "measurements/geometry.h"
#include "measurements/readback.h"
#include "measurements/texture_cache.h"
#include "measurements/texturing.h"
#include "measurements/tiling.h"

namespace corvalis {

LauncherSettings launcherSettings;
std::array<std::unique_ptr<BenchTest>, TestCount> testRegistry;
std::array<bool, TestCount> testEnabled{};

namespace {

// A failed allocation leaves its slot null; every user of the registry skips it.
template <class Test>
std::unique_ptr<BenchTest> allocate() {
  return std::unique_ptr<BenchTest>(new (std::nothrow) Test());
}

}  // namespace

void createTestRegistry() {
  for (auto& slot : testRegistry) slot.reset();
  testRegistry[0] = allocate<FillrateTest>();
  testRegistry[1] = allocate<BandwidthTest>();
  testRegistry[2] = allocate<GeometryTest>();
  testRegistry[3] = allocate<TexturingTest>();
  testRegistry[4] = allocate<ReadbackTest>();
  testRegistry[5] = allocate<TextureCacheTest>();
  testRegistry[6] = allocate<TilingTest>();
  for (size_t i = 0; i < TestCount; ++i) testEnabled[i] = testRegistry[i] != nullptr;
}

void destroyTestRegistry() {
  for (auto& slot : testRegistry) slot.reset();
}

unsigned bbOptionMask(const LauncherSettings& settings) {
  return (settings.bbBold ? BBBold : 0u) | (settings.bbCode ? BBCodeBlock : 0u) |
         (settings.bbUrl ? BBUrl : 0u);
}

}  // namespace corvalis
