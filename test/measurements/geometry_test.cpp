#include "measurements/geometry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "measurements/geometry_mesh.h"
#include "measurements/section_text_lines.h"

using namespace corvalis;
using corvalis::testing::sectionTextLines;
using corvalis::testing::summaryOf;
using corvalis::testing::withHeader;

namespace {

// Every rate distinct, so that a value written under the wrong key shows.
void fillKnownResults(GeometryTest& test) {
  test.fanRate = 11e6;
  test.listRate = 12e6;
  test.clipRate = 13e6;
  test.lightD1Rate = 14e6;
  test.lightP1Rate = 15e6;
  test.lightP8Rate = 400000.0;
  std::snprintf(test.modeText, sizeof test.modeText, "R5G6B5A0 Z0 S0");
  test.failed = false;
  test.hasRun = true;
}

}  // namespace

TEST(GeometryReport, PlainGroupIsKeyedShadingGroupIsNotAndSummaryIsTheFanRate) {
  GeometryTest test;
  EXPECT_EQ(summaryOf(test), "n/a");
  fillKnownResults(test);
  EXPECT_EQ(sectionTextLines(test), withHeader({
                                        "Geometry:Mode=R5G6B5A0 Z0 S0",
                                        "Geometry:Plain:Fan=11.000 M Tris/s",
                                        "Geometry:Plain:List=12.000 M Tris/s",
                                        "Geometry:Plain:Clip=13.000 M Tris/s",
                                        "Geometry:LightD1=14.000 M Tris/s",
                                        "Geometry:LightP1=15.000 M Tris/s",
                                        "Geometry:LightP8=400000 Tris/s",
                                    }));
  test.fanRate = 123.456e6;
  EXPECT_EQ(summaryOf(test), "123.456 MTris/s");
}

TEST(GeometryMesh, PathPrefersBufferObjectsThenAtiThenDisplayLists) {
  GlCaps caps;
  EXPECT_EQ(chooseVertexPath(caps), VertexPath::DisplayLists);
  caps.vertexArrayObjectATI = true;
  EXPECT_EQ(chooseVertexPath(caps), VertexPath::ArrayObjects);
  caps.vertexBufferObject = true;
  EXPECT_EQ(chooseVertexPath(caps), VertexPath::BufferObjects);
  caps.vertexArrayObjectATI = false;
  EXPECT_EQ(chooseVertexPath(caps), VertexPath::BufferObjects);
}
