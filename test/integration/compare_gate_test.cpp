// The regression gate of --compare on a real run (Fillrate and Tiling, repeated: samples
// and evidence in BASE.json) and copies of its report edited to be slower and to answer
// differently. The exit status, the table's verdict and BASE.compare.json, held to its
// schema.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include <nlohmann/json.hpp>

#include "integration/run_support.h"

using namespace corvalis_test;

namespace {

// The report's lines with the value of 'key' replaced.
std::string withValue(const std::string& report, const std::string& key, const std::string& value) {
  return std::regex_replace(report, std::regex("\r\n" + key + "=[^\r]*\r\n"),
                            "\r\n" + key + "=" + value + "\r\n");
}

TEST(CompareGate, ASlowerCopyFailsWithStatusFourWhereRunsThatOnlyDifferPass) {
  const RunResult run = runCorvalis({"-64x48", "--tests", "fillrate,tiling", "--repeat", "2"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const std::string base = run.folder + "/results";
  // The candidate: the same run, its colour fill rate at a hundredth and another pixel
  // format for Tiling (a changed answer that no evidence can call uncertain; a tile
  // size could be, when the run was unsure of it).
  const std::string report = readBytes(base + ".txt");
  std::smatch col;
  ASSERT_TRUE(std::regex_search(report, col, std::regex("\r\nFillrate:32:Col=([0-9.]+) M Pix/s\r\n")));
  const std::string slower =
      withValue(withValue(report, "Fillrate:32:Col", std::to_string(std::stod(col[1]) / 100) + " M Pix/s"),
                "Tiling:Mode", "R5G6B5A0 Z16 S0");
  ASSERT_NE(slower, report);
  // Slices of a 64 x 48 window on a busy machine can spread wider than the rate itself,
  // and then no drop lies beyond the runs' spread: the colour rate's samples are narrowed
  // to 1 % about its value, as a quiet machine measures them.
  nlohmann::json runJson = nlohmann::json::parse(readBytes(base + ".json"));
  nlohmann::json& colour = runJson["values"]["Fillrate:32:Col"];
  const double value = colour["value"].get<double>();
  colour["samples"] = {value * 0.995, value * 1.005};
  colour["min"] = value * 0.995;
  colour["max"] = value * 1.005;
  ASSERT_TRUE(corvalis::testing::writeBytes(base + ".json", runJson.dump(2)));
  const std::string candidate = makeTempFolder() + "/candidate";
  ASSERT_TRUE(corvalis::testing::writeBytes(candidate + ".txt", slower));
  ASSERT_TRUE(corvalis::testing::writeBytes(candidate + ".json", readBytes(base + ".json")));

  RunResult r = runCorvalis({"--compare", base + ".txt", candidate + ".txt",
                             "--fail-on-regression", "10", "--output", "gate"});
  EXPECT_EQ(r.exitStatus, 4) << r.out << r.err;
  // The table's last line is the verdict; the files written follow it.
  EXPECT_TRUE(contains(r.out, "\nverdict: FAIL, 2 regressions\nComparison:\n")) << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("\\nFillrate:32:Col +[0-9.]+ M Pix/s +[0-9.]+ M Pix/s +0\\.010 \\* +slower\\n")))
      << r.out;
  EXPECT_TRUE(contains(r.out, "/gate.compare.htm\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "/gate.compare.json\n")) << r.out;

  // BASE.compare.json follows its schema (read by python3) and says what moved.
  expectFollowsSchema("corvalis-compare", {r.folder + "/gate.compare.json"});
  const nlohmann::json d = nlohmann::json::parse(readBytes(r.folder + "/gate.compare.json"));
  EXPECT_EQ(d["gate"], nlohmann::json::parse(R"({"failOnRegression": 10, "verdict": "fail",
                                                 "regressions": 2, "onlyInSomeRuns": 0})"));
  EXPECT_EQ(d["notes"], nlohmann::json::array());
  const nlohmann::json& rate = d["values"]["Fillrate:32:Col"];
  EXPECT_TRUE(rate["kind"] == "rate" && rate["unit"] == "Pix/s") << rate;
  EXPECT_LE(rate["runs"][0]["min"], rate["runs"][0]["max"]) << rate;
  EXPECT_TRUE(rate["runs"][1]["verdict"] == "slower" && rate["runs"][1]["beyondSpread"] == true) << rate;
  EXPECT_NEAR(rate["runs"][1]["ratio"].get<double>(), 0.01, 0.001) << rate;
  const nlohmann::json& mode = d["values"]["Tiling:Mode"];
  EXPECT_TRUE(mode["kind"] == "answer" && mode["runs"][1]["verdict"] == "changed" &&
              mode["runs"][1]["text"] == "R5G6B5A0 Z16 S0") << mode;
  for (const auto& [key, value] : d["values"].items()) {
    if (key == "Fillrate:32:Col" || key == "Tiling:Mode") continue;
    EXPECT_EQ(value["runs"][1]["verdict"], key.rfind("Info:", 0) == 0 ? "info" : "same") << key;
  }
  ASSERT_EQ(d["regressions"].size(), 2u);
  EXPECT_EQ(d["regressions"][0]["key"], "Fillrate:32:Col");
  EXPECT_EQ(d["regressions"][1]["key"], "Tiling:Mode");

  // Fillrate alone, without BASE.json, and a hundred times slower: the notes (their texts
  // are the gate's unit tests') open the table, the keys of one run only do not gate, and at
  // 100 % no rate can; its BASE.compare.json follows the schema too.
  std::string fillrate;
  for (const std::string& line : crlfLines(slower))
    if (!line.empty() && line.rfind("Tiling:", 0) != 0) fillrate += line + "\r\n";
  ASSERT_TRUE(corvalis::testing::writeBytes(candidate + "-fillrate.txt", fillrate));
  r = runCorvalis({"--compare", base + ".txt", candidate + "-fillrate.txt",
                   "--fail-on-regression", "100", "--output", "pass"});
  EXPECT_EQ(r.exitStatus, 0) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("note: the selected tests differ: Fillrate, Tiling (results.txt); ", 0), 0u)
      << r.out;
  const std::string verdict = "\nverdict: pass, 0 regressions; 9 keys in only some runs\n";
  EXPECT_TRUE(contains(r.out, verdict + "Comparison:\n")) << r.out;
  expectFollowsSchema("corvalis-compare", {r.folder + "/pass.compare.json"});
}

}  // namespace
