// Every measurement test on a window or context that cannot be made: one error item per
// window, "error" as the summary, no frame shown, nothing left open and no shared random
// sequence drawn on.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/prng.h"
#include "measurements/bandwidth.h"
#include "measurements/fillrate.h"
#include "measurements/geometry.h"
#include "measurements/mesh_generator.h"
#include "measurements/readback.h"
#include "measurements/section_text_lines.h"
#include "measurements/texture_cache.h"
#include "measurements/texturing.h"
#include "measurements/tiling.h"

using namespace corvalis;
using namespace corvalis::testing;

namespace {

struct FailureCase {
  std::function<std::unique_ptr<BenchTest>()> make;
  bool contextFails;  // else the window fails
  std::vector<std::string> lines;
};

template <class T>
std::unique_ptr<BenchTest> make() {
  return std::make_unique<T>();
}

const char* const NoContext = "no rendering context / 12291";

class FailedRun : public FakeDisplayTest,
                  public ::testing::WithParamInterface<FailureCase> {};

}  // namespace

TEST_P(FailedRun, GivesOnlyErrorItemsAndTouchesNothing) {
  const FailureCase& c = GetParam();
  if (c.contextFails)
    fake.contextError = 0x3003;
  else
    fake.failWindow = true;
  const uint32_t meshState = meshGenerator().meshRandom;
  const uint32_t randomState = sharedRandom().state();
  std::unique_ptr<BenchTest> test = c.make();
  test->run(RunContext());
  EXPECT_TRUE(test->hasRun);
  EXPECT_TRUE(test->failed);
  EXPECT_EQ(sectionTextLines(*test), withHeader(c.lines));
  EXPECT_EQ(summaryOf(*test), "error");
  EXPECT_EQ(fake.count("swapBuffers"), 0);
  EXPECT_EQ(fake.liveWindows, 0);
  EXPECT_EQ(fake.liveContexts, 0);
  if (const auto* bandwidth = dynamic_cast<const BandwidthTest*>(test.get())) {
    EXPECT_EQ(bandwidth->colorSeed, InitialColorSeed);  // no colour was drawn
  }
  EXPECT_EQ(meshGenerator().meshRandom, meshState);  // no mesh was built
  EXPECT_EQ(sharedRandom().state(), randomState);    // no texels were drawn
}

INSTANTIATE_TEST_SUITE_P(
    EveryTest, FailedRun,
    ::testing::Values(
        FailureCase{make<FillrateTest>, false,
                    {"Fillrate:32:Error=no window", "Fillrate:16:Error=no window"}},
        FailureCase{make<FillrateTest>, true,
                    {std::string("Fillrate:32:Error=") + NoContext,
                     std::string("Fillrate:16:Error=") + NoContext}},
        FailureCase{make<BandwidthTest>, false, {"Bandwidth:Error=no window"}},
        FailureCase{make<ReadbackTest>, false, {"Readback:Error=no window"}},
        FailureCase{make<GeometryTest>, false, {"Geometry:Error=no window"}},
        FailureCase{make<TexturingTest>, true, {std::string("Texturing:Error=") + NoContext}},
        FailureCase{make<TextureCacheTest>, false, {"TexCache:Error=no window"}},
        FailureCase{make<TilingTest>, true, {std::string("Tiling:Error=") + NoContext}}),
    // "Fillrate_NoWindow", "Tiling_NoContext", ...: the key of the first expected line.
    [](const ::testing::TestParamInfo<FailureCase>& info) {
      const std::string& line = info.param.lines.front();
      return line.substr(0, line.find(':')) + (info.param.contextFails ? "_NoContext" : "_NoWindow");
    });
