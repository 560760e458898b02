// BASE.json against the text report of the same calls: every key, the texts, and the
// numbers within the text's rounding.

#include "report/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "report/report_files.h"
#include "report/result_report.h"
#include "report/run_json.h"

namespace corvalis {
namespace {

using JsonReportTest = testing::InTempFolder;

// "Key:Path=value" lines of a text report, header left out.
std::map<std::string, std::string> textValues(const std::string& bytes) {
  std::map<std::string, std::string> values;
  for (const std::string& line : testing::crlfLines(bytes))
    if (line[0] != '[') values[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
  return values;
}

// The number a text value shows, in base units, and how far its rounding may be off.
double shownNumber(const std::string& text, double& tolerance) {
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  const std::string rest(end);
  if (rest.compare(0, 3, " M ") == 0) {
    tolerance = 0.0005e6;
    return number * 1e6;
  }
  if (rest.compare(0, 4, " Mi ") == 0) {
    tolerance = 0.0005 * 1048576.0;
    return number * 1048576.0;
  }
  tolerance = 1.0;  // truncated to a whole number
  return number;
}

TEST_F(JsonReportTest, HoldsEveryTextReportValueWithItsNumberAndSamples) {
  {
    ResultReport report("results", 0, OutputHtml | OutputText | OutputJson);
    ASSERT_TRUE(report.isOpen());
    report.setRunSettings({640, 480, {"Fillrate", "TexCache", "Tiling"}, false, 3, "surfaceless"});
    report.beginInfoSection("Corvalis 0.50", "Info", nullptr);
    report.addItem("llvmpipe", nullptr, "Driver");
    report.addItem("Caf\xe9 \xb5", nullptr, "Comment");  // ISO-8859-1 bytes
    report.beginTestSection("Fillrate", "Fillrate", false);
    report.beginGroup("32-bit", "32");
    report.addValue(Measured(126937000.0, {126.1e6, 126.937e6, 127.3e6}), "Pix/s", " color only",
                    "Col");
    report.addValue(4321.9, "Pix/s", " z only", "Z");
    // The same number measured apart: each keeps its own samples.
    report.addValue(Measured(126937000.0, {126.0e6, 126.937e6, 128.0e6}), "Pix/s",
                    " color and z", "ColZ");
    report.endGroup();
    report.beginTestSection("Texture cache", "TexCache", false);
    report.addBinaryValue(16384.0, "B", " using RGBA textures", "RGBA", "CSV", ".rgba.csv");
    report.addBinaryValue(1572864.0, "B", " using DXT1 textures", "DXT1", "CSV", ".dxt1.csv");
    report.addSweep("rgba", {{{"bytes", 4.0, {}}, {"rate", 2.5e9, {2.4e9, 2.5e9, 2.6e9}}},
                             {{"bytes", 8.0, {}}, {"rate", NAN, {}}}});
    report.beginTestSection("Tiling", "Tiling", false);
    report.addValue(16, nullptr, " pixels wide", "Width");
    report.addItem("none", " detected in y-direction", "Height");
    ASSERT_TRUE(report.close());
  }
  const std::string bytes = testing::readBytes("results.json");
  EXPECT_EQ(bytes.find('\r'), std::string::npos);  // LF line ends
  const nlohmann::json doc = nlohmann::json::parse(bytes);
  EXPECT_EQ(doc["program"], "Corvalis");
  EXPECT_EQ(doc["settings"]["repeat"], 3);
  EXPECT_EQ(doc["settings"]["sync"], "Flush");
  EXPECT_EQ(doc["settings"]["tests"].size(), 3u);
  EXPECT_EQ(doc["info"]["Comment"], "Caf\xc3\xa9 \xc2\xb5");

  const auto text = textValues(testing::readBytes("results.txt"));
  size_t reportValues = 0;
  for (const auto& [key, value] : text) {
    if (key.compare(0, 5, "Info:") == 0) {
      EXPECT_TRUE(doc["info"].contains(key.substr(5))) << key;
      continue;
    }
    ++reportValues;
    ASSERT_TRUE(doc["values"].contains(key)) << key;
    const nlohmann::json& entry = doc["values"][key];
    const std::string trimmed = value.substr(0, value.find_last_not_of(' ') + 1);
    EXPECT_EQ(entry["text"], trimmed) << key;
    if (!entry.contains("value")) continue;
    double tolerance = 0.0;
    const double shown = shownNumber(value, tolerance);
    EXPECT_NEAR(entry["value"].get<double>(), shown, tolerance) << key;
  }
  EXPECT_EQ(doc["values"].size(), reportValues);
  EXPECT_EQ(doc["values"]["TexCache:DXT1"]["unit"], "B");
  EXPECT_EQ(doc["values"]["Tiling:Width"]["value"], 16);

  // Samples only where the value was measured repeatedly; min and max beside them.
  const nlohmann::json& col = doc["values"]["Fillrate:32:Col"];
  ASSERT_EQ(col["samples"].size(), 3u);
  EXPECT_NEAR(col["min"].get<double>(), 126.1e6, 1.0);
  EXPECT_NEAR(col["max"].get<double>(), 127.3e6, 1.0);
  EXPECT_FALSE(doc["values"]["Fillrate:32:Z"].contains("samples"));
  EXPECT_EQ(doc["values"]["Fillrate:32:ColZ"]["max"], 128.0e6);
  const nlohmann::json& rows = doc["sweeps"]["rgba"];
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["rateSamples"].size(), 3u);
  EXPECT_EQ(rows[0]["rateMax"], 2.6e9);
  EXPECT_TRUE(rows[1]["rate"].is_null());  // not a number
  EXPECT_FALSE(doc.contains("evidence"));  // no detection brought any
}

// The evidence of a detection, written under its value's key path and read back as it
// was given; a detection without a report line still has its evidence, and no value.
TEST_F(JsonReportTest, EvidenceRoundTripsUnderItsKeyPath) {
  const Evidence clear{Confidence::Clear, "px", StepEstimate{4.0, 0.77, 0.75, 0.79},
                       StepEstimate{16.0, 0.97, 0.93, 1.01}, 0.985, 0.0};
  const Evidence uncertain{Confidence::Uncertain, "B", StepEstimate{512.0, 0.9, std::nan(""), 0.95},
                           std::nullopt, 1.0, 0.04};
  {
    ResultReport report("results", 0, OutputHtml | OutputText | OutputJson);
    report.beginTestSection("Tiling", "Tiling", false);
    report.beginGroup("in color buffer", "Color");
    Measured width(4.0, {4.0, 4.0});
    width.evidence = clear;
    report.addValue(width, nullptr, " pixels wide", "Width");
    report.endGroup();
    report.beginTestSection("Texture cache", "TexCache", false);
    report.addEvidence("DXT1", uncertain);  // "none": no line
    report.addEvidence("DXT5", Evidence());  // nothing considered at all
    ASSERT_TRUE(report.close());
  }
  const nlohmann::json doc = nlohmann::json::parse(testing::readBytes("results.json"));
  EXPECT_EQ(doc["values"].size(), 1u);
  EXPECT_EQ(doc["evidence"]["Tiling:Color:Width"]["confidence"], "clear");
  EXPECT_FALSE(doc["evidence"]["TexCache:DXT5"].contains("step"));

  RunSamples read;
  bool found = false;
  std::string error;
  ASSERT_TRUE(readRunJson("results.json", read, found, error)) << error;
  ASSERT_EQ(read.evidence.size(), 3u);
  // The unit and every number; a missing step reads as -2, NaN as -1.
  auto fields = [](const Evidence& e) {
    std::vector<double> out = {static_cast<double>(e.confidence), e.threshold, e.noise};
    for (const std::optional<StepEstimate>& step : {e.step, e.runnerUp}) {
      if (!step) out.push_back(-2);
      else for (double v : {step->position, step->ratio, step->low, step->high})
        out.push_back(std::isnan(v) ? -1 : v);
    }
    return std::make_pair(e.unit, out);
  };
  EXPECT_EQ(fields(read.evidence.at("Tiling:Color:Width")), fields(clear));
  EXPECT_EQ(fields(read.evidence.at("TexCache:DXT1")), fields(uncertain));  // low written as null
  EXPECT_EQ(fields(read.evidence.at("TexCache:DXT5")), fields(Evidence()));
}

}  // namespace
}  // namespace corvalis
