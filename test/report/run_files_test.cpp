#include "report/run_files.h"
#include "report/run_json.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <utility>

#include "report/report_files.h"

using namespace corvalis;

namespace {

using corvalis::testing::writeBytes;

TEST(RunFiles, ReportValuesTurnBackIntoBaseUnits) {
  struct Case {
    const char* text;
    double value;
    const char* unit;
  };
  const Case cases[] = {
      {"480.311 M Pix/s", 480.311e6, "Pix/s"}, {"1.000 Mi B", 1048576, "B"},
      {"16384 B", 16384, "B"},                 {"4 ", 4, ""},
      {"126.937 MPix/s", 126.937e6, "Pix/s"},  {"16 kiB", 16384, "B"},
      {"2.500 \xB5s", 2.5e-6, "s"},            {"500 m", 0.5, ""},
      {"-2.500 k", -2500, ""},                 {"7", 7, ""},
      {"481997 Tris/s", 481997, "Tris/s"},     {"12.5 MTex/s", 12.5e6, "Tex/s"},
  };
  for (const Case& c : cases) {
    double value = 0;
    std::string unit;
    ASSERT_TRUE(parseReportValue(c.text, value, unit)) << c.text;
    EXPECT_NEAR(value, c.value, std::fabs(c.value) * 1e-9) << c.text;
    EXPECT_EQ(unit, c.unit) << c.text;
  }
  double value = 0;
  std::string unit;
  ASSERT_TRUE(parseReportValue("nan M Pix/s", value, unit));
  EXPECT_TRUE(std::isnan(value));
  for (const char* text : {"R8G8B8A8 Z24 S8", "llvmpipe (LLVM 15) v4.5", "", "1,5 M", "x 4"})
    EXPECT_FALSE(parseReportValue(text, value, unit)) << text;
}

TEST(RunFiles, TextReportNeedsItsHeaderAndKeyValueLines) {
  TextReport report;
  std::string error;
  ASSERT_TRUE(parseTextReport("[Corvalis 0.50]\r\nInfo:Method=Flush\r\nTiling:Color:Width=4 \r\n"
                              "Info:Comment=a=b\r\n",
                              report, error));
  ASSERT_EQ(report.values.size(), 3u);
  EXPECT_EQ(*report.find("Tiling:Color:Width"), "4 ");
  EXPECT_EQ(*report.find("Info:Comment"), "a=b");
  EXPECT_EQ(report.find("Tiling:Z:Width"), nullptr);

  EXPECT_FALSE(parseTextReport("<html>\r\n", report, error));
  EXPECT_NE(error.find("[Corvalis 0.50]"), std::string::npos) << error;
  EXPECT_FALSE(parseTextReport("", report, error));
  EXPECT_FALSE(parseTextReport("[Corvalis 0.50]\r\nInfo:Method=Flush\r\ngarbage\r\n", report, error));
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;

  // A line may be 4096 bytes long, not one more.
  const std::string header = "[Corvalis 0.50]\r\n";
  EXPECT_TRUE(parseTextReport(header + std::string(4094, 'K') + "=1\r\n", report, error)) << error;
  EXPECT_FALSE(parseTextReport(header + std::string(4095, 'K') + "=1\r\n", report, error));
  EXPECT_EQ(error, "line 2: longer than 4096 bytes, the limit for a line of a text report");
  // So may it have 4096 keys, not one more; a bad line before the limit is named first.
  std::string keys = header;
  for (int i = 0; i < 4096; ++i) keys += "k" + std::to_string(i) + "=1\r\n";
  EXPECT_TRUE(parseTextReport(keys, report, error)) << error;
  EXPECT_FALSE(parseTextReport(keys + "k=1\r\n", report, error));
  EXPECT_EQ(error, "more than 4096 keys, more than this program writes");
  EXPECT_FALSE(parseTextReport(keys + "garbage\r\n", report, error));
  EXPECT_EQ(error, "line 4098: not a KEY=VALUE line");
  // NUL and other control bytes are kept for whoever shows them to clean.
  ASSERT_TRUE(parseTextReport(header + std::string("A=b\0c\x1B\r\n", 8), report, error));
  EXPECT_EQ(*report.find("A"), std::string("b\0c\x1B", 4));
}

// What is not a regular file is refused without being read or waited on (a FIFO
// without a writer would block an open, /dev/zero would never end); a file is read up
// to its limit and no further. The program's --compare meets the same refusals and the
// limit of a text report in the HostileFiles integration tests.
TEST(RunFiles, OnlyRegularFilesWithinTheirLimitAreReadBack) {
  corvalis::testing::TempDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0700), 0);
  const std::pair<std::string, std::string> refused[] = {
      {dir.file("fifo"), "a FIFO (named pipe), not a regular file"},
      {dir.file("folder"), "a directory, not a regular file"},
      {"/dev/zero", "a character device, not a regular file"},
      {dir.file("missing"), "No such file or directory"},
  };
  TextReport report;
  std::string bytes, error;
  for (const auto& [path, why] : refused) {
    EXPECT_FALSE(readFileBytes(path, 100, "a test file", bytes, error)) << path;
    EXPECT_EQ(error, path + ": cannot be read: " + why);
  }
  ASSERT_TRUE(writeBytes(dir.file("small"), std::string(100, 'x')));
  EXPECT_TRUE(readFileBytes(dir.file("small"), 100, "a test file", bytes, error)) << error;
  EXPECT_EQ(bytes.size(), 100u);
  EXPECT_FALSE(readFileBytes(dir.file("small"), 99, "a test file", bytes, error));
  EXPECT_EQ(error, dir.file("small") + ": larger than 99 bytes, the limit for a test file");

  // The header decides before anything else is read: LF or CR LF after it, or nothing.
  const std::pair<std::string, bool> headers[] = {
      {"[Corvalis 0.50]", true},         {"[Corvalis 0.50]\nA=1\n", true},
      {"[Corvalis 0.50]\r\nA=1\r\n", true}, {"[Corvalis 0.50] \r\n", false},
      {"[Corvalis 0.5]\r\n", false},     {"\xEF\xBB\xBF[Corvalis 0.50]\r\n", false},
      {"", false},
  };
  for (const auto& [text, isReport] : headers) {
    ASSERT_TRUE(writeBytes(dir.file("h.txt"), text));
    EXPECT_EQ(readTextReport(dir.file("h.txt"), report, error), isReport) << text << error;
  }
  EXPECT_EQ(error, dir.file("h.txt") + ": not a Corvalis text report (no [Corvalis 0.50] header)");
}

TEST(RunFiles, DataFilesParseWithNotANumberAndRejectBrokenRows) {
  std::vector<CacheRow> cache;
  std::string error;
  ASSERT_TRUE(parseCacheCsv("rgba_fetches/s,bytes\r\n34656084.000000,4\r\n0.000000,8\r\n", cache,
                            error));
  ASSERT_EQ(cache.size(), 2u);
  EXPECT_EQ(cache[0].rate, 34656084.0);
  EXPECT_EQ(cache[1].bytes, 8);
  EXPECT_FALSE(parseCacheCsv("rgba_fetches/s,bytes\r\n1.0\r\n", cache, error));
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  EXPECT_FALSE(parseCacheCsv("width,aligned\r\n", cache, error));

  std::vector<TileRow> tiles;
  const std::string header = "width,aligned,offset,ratio,height,aligned,offset,ratio\r\n";
  ASSERT_TRUE(parseTileCsv(header + "64,2485.5,2530.9,0.98,64,3830.0,3770.7,1.01\r\n"
                                    "2,0.000000,0.000000,nan,2,1.0,2.0,0.5\r\n",
                           tiles, error));
  ASSERT_EQ(tiles.size(), 2u);
  EXPECT_EQ(tiles[0].block, 64);
  EXPECT_EQ(tiles[0].heightOffset, 3770.7);
  EXPECT_EQ(tiles[1].widthAligned, 0);
  EXPECT_FALSE(parseTileCsv(header + "64,1,2,3,32,1,2,3\r\n", tiles, error));
  EXPECT_FALSE(parseTileCsv(header + "64,1,2,3,64,1,2\r\n", tiles, error));
}

TEST(RunFiles, JsonSamplesGiveSpreadsEvidenceAndAbsentPartsGiveNone) {
  const char* json = R"({
    "schema": "corvalis-run", "formatVersion": 1, "program": "Corvalis", "version": "0.50",
    "settings": { "repeat": 3 },
    "values": {
      "Fillrate:32:Mode": { "text": "R8G8B8A8 Z24 S8" },
      "Fillrate:32:Col": { "text": "126.937 M Pix/s", "value": 126937000.0, "unit": "Pix/s",
                           "samples": [126.1e6, 126.9e6, 127.3e6], "min": 126.1e6, "max": 127.3e6 },
      "Geometry:Plain:Fan": { "value": 5, "samples": [4, null, 6] }
    },
    "sweeps": {
      "rgba": [ { "bytes": 4, "rate": 2e9, "rateSamples": [1.9e9, 2.1e9] }, { "bytes": 8, "rate": null } ],
      "tile_c": [ { "block": 64, "widthAligned": 1, "widthAlignedMin": 0.5, "widthAlignedMax": 1.5 } ]
    },
    "evidence": {
      "Tiling:Z:Width": { "confidence": "clear",
                          "step": { "position": 4, "ratio": 0.8, "low": 0.7, "high": 0.9 } },
      "Tiling:Z:Height": { "confidence": "sure" },
      "Tiling:Stencil:Width": { "confidence": "clear", "step": { "position": 4 } },
      "Tiling:Stencil:Height": 3,
      "Tiling:Color:Width": { "confidence": "clear", "unit": "123456789" }
    }
  })";
  RunSamples samples;
  std::string error;
  ASSERT_TRUE(parseRunJson(json, samples, error)) << error;
  ASSERT_EQ(samples.values.size(), 2u);
  EXPECT_EQ(samples.values["Fillrate:32:Col"].low, 126.1e6);
  EXPECT_EQ(samples.values["Geometry:Plain:Fan"].high, 6);
  ASSERT_EQ(samples.sweeps["rgba"].size(), 2u);
  EXPECT_EQ(samples.sweeps["rgba"][0].at("rate").high, 2.1e9);
  EXPECT_TRUE(samples.sweeps["rgba"][1].empty());
  EXPECT_EQ(samples.sweeps["tile_c"][0].at("widthAligned").low, 0.5);
  // Only the well-formed evidence; what it leaves out keeps its default.
  ASSERT_EQ(samples.evidence.size(), 1u);
  EXPECT_EQ(samples.evidence["Tiling:Z:Width"].step->low, 0.7);
  EXPECT_EQ(samples.evidence["Tiling:Z:Width"].threshold, 1.0);
  EXPECT_EQ(samples.repeat, 3);
  ASSERT_TRUE(parseRunJson(R"({ "program": "Corvalis" })", samples, error));
  EXPECT_EQ(samples.repeat, 0);  // not said

  // A value keeps its extremes alone; a reader keeps only the parts it asks for.
  EXPECT_TRUE(samples.values["Fillrate:32:Col"].samples.empty());
  TextReport report;
  report.values = {{"Geometry:Plain:Fan", "5"}};
  RunJsonParts parts;
  parts.valuesOf = &report;
  parts.sweeps = false;
  ASSERT_TRUE(parseRunJson(json, samples, error, parts)) << error;
  EXPECT_EQ(samples.values.size(), 1u);
  EXPECT_EQ(samples.values.count("Geometry:Plain:Fan"), 1u);
  EXPECT_TRUE(samples.sweeps.empty());
  EXPECT_EQ(samples.evidence.size(), 1u);

  // Not JSON, not this program's, or more than it ever writes: refused, nothing kept.
  const std::string head = "{\"program\": \"Corvalis\", ";
  auto many = [](size_t n, const std::string& before, const std::string& after) {
    std::string list;
    for (size_t i = 0; i < n; ++i) list += (i ? "," : "") + before + std::to_string(i) + after;
    return list;
  };
  std::string array;
  for (size_t i = 0; i <= MaxRunJsonArray; ++i) array += i ? ",1" : "1";
  const std::pair<std::string, std::string> refused[] = {
      {"{ \"program\": ", "not valid JSON (at byte 14)"},
      {"[1, 2]", "not a JSON object"},
      {"{ \"program\": \"Other\" }", "not a Corvalis run (no \"program\": \"Corvalis\")"},
      {head + "\"values\": {\"A\": {\"min\": 1e999}}}", "a number too large for a double (at byte 53)"},
      {head + "\"values\": {\"A\": {\"samples\": [" + array + "]}}}",
       "an array of more than 10000 entries, more than this program writes"},
      {head + "\"sweeps\": {\"rgba\": [" + many(MaxRunJsonArray + 1, "", "") + "]}}",
       "an array of more than 10000 entries, more than this program writes"},
      {head + "\"values\": {" + many(MaxRunJsonValues + 1, "\"k", "\": {\"min\": 1, \"max\": 2}") +
           "}}",
       "more than 4096 values with samples, more than this program writes"},
      {head + "\"evidence\": {" +
           many(MaxRunJsonEvidence + 1, "\"k", "\": {\"confidence\": \"clear\"}") + "}}",
       "evidence for more than 256 detections, more than this program writes"},
      {head + "\"formatVersion\": 2}", "format version 2, which this program cannot read (it reads 1)"},
  };
  for (const auto& [text, why] : refused) {
    EXPECT_FALSE(parseRunJson(text, samples, error)) << text.substr(0, 80);
    EXPECT_EQ(error, why);
    EXPECT_TRUE(samples.values.empty() && samples.sweeps.empty() && samples.evidence.empty());
  }
  bool found = true;
  EXPECT_TRUE(readRunJson("/nonexistent/run.json", samples, found, error));
  EXPECT_FALSE(found);
  // There but not a file: an error that names it, not a wait for a writer.
  corvalis::testing::TempDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_EQ(mkfifo(dir.file("run.json").c_str(), 0600), 0);
  EXPECT_FALSE(readRunJson(dir.file("run.json"), samples, found, error));
  EXPECT_TRUE(found);
  EXPECT_EQ(error, dir.file("run.json") + ": cannot be read: a FIFO (named pipe), not a regular file");
}

}  // namespace
