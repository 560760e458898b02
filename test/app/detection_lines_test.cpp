#include "app/detection_lines.h"

#include <gtest/gtest.h>

using namespace corvalis;

// The console line says the answer, how sure it is and the step behind it: at a block
// size for a tile, after a working set for a cache, the noise only where it was measured.
TEST(DetectionLine, AnswerConfidenceAndStep) {
  ResultReport::Detection tile{"Tiling:Color:Width", "4", Evidence()};
  tile.evidence.confidence = Confidence::Clear;
  tile.evidence.unit = "px";
  tile.evidence.threshold = 0.985;
  tile.evidence.step = StepEstimate{4, 0.772, 0.771, 0.7734};
  tile.evidence.runnerUp = StepEstimate{16, 0.977, 0.97, 0.98};
  EXPECT_EQ(detectionLine(tile),
            "Tiling:Color:Width       4          clear     0.772 [0.771, 0.773] at 4 px; "
            "runner-up 0.977 at 16 px");

  ResultReport::Detection cache{"TexCache:DXT1", "none", Evidence()};
  cache.evidence.unit = "B";
  cache.evidence.threshold = 0.94;
  cache.evidence.noise = 0.02;
  cache.evidence.step = StepEstimate{16384, 0.97, 0.95, 1.01};
  EXPECT_EQ(detectionLine(cache),
            "TexCache:DXT1            none       none      deepest step 0.970 [0.950, 1.010] "
            "after 16 kiB; a drop counts beyond 6.0 % (noise 2.0 %)");

  // A single run's step has no interval; its uncertain answer names the check to run.
  ResultReport::Detection single{"Tiling:Z:Height", "16", Evidence()};
  single.evidence.confidence = Confidence::Uncertain;
  single.evidence.unit = "px";
  single.evidence.threshold = 0.6;
  single.evidence.noise = 0.125;
  single.evidence.step = StepEstimate{16, 0.758, 0.758, 0.758};
  EXPECT_EQ(detectionLine(single),
            "Tiling:Z:Height          16         uncertain 0.758 at 16 px; a drop counts beyond "
            "40.0 % (noise 12.5 %)");
  EXPECT_EQ(checkLine(single, 1024, 768),
            "check it with repeats: corvalis -1024x768 --tests tiling --repeat 5");
  EXPECT_EQ(checkLine(cache, 512, 384),
            "check it with repeats: corvalis -512x384 --tests texcache --repeat 5");

  ResultReport::Detection empty{"TexCache:RGBA", "0B", Evidence()};
  EXPECT_EQ(detectionLine(empty), "TexCache:RGBA            0B         none      no step measured");
}
