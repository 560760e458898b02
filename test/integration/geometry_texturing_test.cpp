// Geometry and Texturing on the real driver, also with the vertex-buffer and the
// multitexture extensions taken away: every key path in order, each with a positive rate.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "integration/run_support.h"

using namespace corvalis_test;

namespace {

// NOTE: no std::regex here: GCC 12 warns inside <regex> under the sanitizer build.

bool allDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// "R%dG%dB%dA%d Z%d S%d", nothing more.
bool isModeText(const std::string& text) {
  int bits[6];
  int used = 0;
  const int fields = std::sscanf(text.c_str(), "R%dG%dB%dA%d Z%d S%d%n", &bits[0], &bits[1],
                                 &bits[2], &bits[3], &bits[4], &bits[5], &used);
  return fields == 6 && used == static_cast<int>(text.size());
}

// The text report's number forms: "%d " or "%.3f M ", then the unit.
bool isRateText(const std::string& text, const std::string& unit) {
  if (text.size() <= unit.size() || text.compare(text.size() - unit.size(), unit.size(), unit) != 0) {
    return false;
  }
  const std::string amount = text.substr(0, text.size() - unit.size());
  const std::string mega = " M ";
  if (amount.size() > mega.size() &&
      amount.compare(amount.size() - mega.size(), mega.size(), mega) == 0) {
    const std::string number = amount.substr(0, amount.size() - mega.size());
    const size_t point = number.find('.');
    return point != std::string::npos && allDigits(number.substr(0, point)) &&
           number.size() - point == 4 && allDigits(number.substr(point + 1));
  }
  return amount.back() == ' ' && allDigits(amount.substr(0, amount.size() - 1));
}

// The value of 'line' after "keyPath=", or a failure.
::testing::AssertionResult valueAfter(const std::string& line, const std::string& keyPath,
                                      std::string* value) {
  const std::string head = keyPath + "=";
  if (line.compare(0, head.size(), head) != 0) {
    return ::testing::AssertionFailure() << "expected " << head << "..., got " << line;
  }
  *value = line.substr(head.size());
  return ::testing::AssertionSuccess();
}

// A positive rate in the text report's forms ("%d " or "%.3f M ") followed by the unit.
void expectRate(const std::string& line, const std::string& keyPath, const std::string& unit) {
  std::string value;
  ASSERT_TRUE(valueAfter(line, keyPath, &value));
  EXPECT_TRUE(isRateText(value, unit)) << line;
  EXPECT_GT(std::strtod(value.c_str(), nullptr), 0.0) << line;
}

void expectMode(const std::string& line, const std::string& keyPath) {
  std::string value;
  ASSERT_TRUE(valueAfter(line, keyPath, &value));
  EXPECT_TRUE(isModeText(value)) << line;
}

std::vector<std::string> runAndReadReport(const std::string& tests,
                                          const std::map<std::string, std::string>& env) {
  RunResult r = runCorvalis({"-160x120", "--tests", tests, "--output", "out"}, env);
  EXPECT_EQ(r.exitStatus, 0) << r.err;
  const std::vector<std::string> report = crlfLines(readFile(r.folder + "/out.txt"));
  EXPECT_FALSE(report.empty());
  if (!report.empty()) {
    EXPECT_EQ(report[0], "[Corvalis 0.50]");
  }
  return report;
}

void expectGeometrySection(const std::vector<std::string>& report) {
  const std::vector<std::string> lines = linesWithPrefix(report, "Geometry:");
  const std::vector<std::string> keys = {"Geometry:Plain:Fan",  "Geometry:Plain:List",
                                         "Geometry:Plain:Clip", "Geometry:LightD1",
                                         "Geometry:LightP1",    "Geometry:LightP8"};
  ASSERT_EQ(lines.size(), keys.size() + 1);
  expectMode(lines[0], "Geometry:Mode");
  for (size_t i = 0; i < keys.size(); ++i) expectRate(lines[i + 1], keys[i], "Tris/s");
}

// Checks Mode, then rows "1" .. n under Bilinear and again under Trilinear; returns n.
int expectTexturingSection(const std::vector<std::string>& report) {
  const std::vector<std::string> lines = linesWithPrefix(report, "Texturing:");
  if (lines.size() < 3 || lines.size() % 2 == 0) {
    ADD_FAILURE() << "Texturing has " << lines.size() << " lines";
    return 0;
  }
  expectMode(lines[0], "Texturing:Mode");
  const int layers = static_cast<int>(lines.size() - 1) / 2;
  for (int i = 1; i <= layers; ++i) {
    expectRate(lines[i], "Texturing:Bilinear:" + std::to_string(i), "Pix/s");
    expectRate(lines[layers + i], "Texturing:Trilinear:" + std::to_string(i), "Pix/s");
  }
  return layers;
}

}  // namespace

TEST(GeometryTexturing, LlvmpipeMeasuresEveryWorkloadAndLayerCount) {
  const std::vector<std::string> report = runAndReadReport("geometry,texturing", {});
  expectGeometrySection(report);
  const int layers = expectTexturingSection(report);
  EXPECT_GT(layers, 1);  // the driver offers multitexture
  EXPECT_LE(layers, 8);
  // Geometry's section comes before Texturing's, in registry order.
  size_t lastGeometry = 0, firstTexturing = report.size();
  for (size_t i = 0; i < report.size(); ++i) {
    if (report[i].rfind("Geometry:", 0) == 0) lastGeometry = i;
    if (report[i].rfind("Texturing:", 0) == 0 && firstTexturing == report.size()) firstTexturing = i;
  }
  EXPECT_LT(lastGeometry, firstTexturing);
}

TEST(GeometryTexturing, WithoutVertexBufferObjectsDisplayListsMeasureAllSix) {
  const std::vector<std::string> report =
      runAndReadReport("geometry", {{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_vertex_buffer_object"}});
  expectGeometrySection(report);
}

TEST(GeometryTexturing, WithoutMultitextureOneLayerPerFilter) {
  const std::vector<std::string> report =
      runAndReadReport("texturing", {{"MESA_EXTENSION_OVERRIDE", "-GL_ARB_multitexture"}});
  EXPECT_EQ(expectTexturingSection(report), 1);
}

TEST(GeometryTexturing, SoftpipeMeasuresBothTests) {
  const std::vector<std::string> report =
      runAndReadReport("geometry,texturing", {{"GALLIUM_DRIVER", "softpipe"}});
  expectGeometrySection(report);
  EXPECT_GE(expectTexturingSection(report), 1);
}
