#include "platform/egl/x11_refresh.h"

#include <gtest/gtest.h>

namespace corvalis {
namespace platform {
namespace {

TEST(X11Refresh, FromModeTiming) {
  struct Case {
    const char* what;
    ModeTiming mode;
    double hz;
  };
  const Case cases[] = {
      {"1920x1080 CEA", {148500000, 2200, 1125, false, false}, 60.0},
      {"1920x1080 reduced blanking", {138500000, 2080, 1111, false, false}, 59.934},
      {"1080i: a retrace per field", {74250000, 2200, 1125, true, false}, 60.0},
      {"320x240 double scan", {12587500, 400, 262, false, true}, 60.055},
      {"no dot clock (Xvfb)", {0, 0, 0, false, false}, 0.0},
      {"clock without totals", {25175000, 800, 0, false, false}, 0.0},
  };
  for (const Case& c : cases) EXPECT_NEAR(refreshFromModeTiming(c.mode), c.hz, 0.001) << c.what;
}

TEST(X11Refresh, FromRetraceCounter) {
  EXPECT_NEAR(refreshFromMscSamples({100, 5000000}, {120, 5333340}), 59.9988, 0.0001);
  EXPECT_EQ(refreshFromMscSamples({100, 5000000}, {100, 5333340}), 0.0) << "counter stood";
  EXPECT_EQ(refreshFromMscSamples({100, 5000000}, {120, 5000000}), 0.0) << "clock stood";
  EXPECT_EQ(refreshFromMscSamples({120, 5000000}, {100, 5333340}), 0.0) << "counter went back";
}

}  // namespace
}  // namespace platform
}  // namespace corvalis
