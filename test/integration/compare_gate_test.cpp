// The regression gate of --compare on a real run (Fillrate and Tiling, repeated: samples
// and evidence in BASE.json) and copies of its report edited to be slower and to answer
// differently. The exit status, the table's verdict and BASE.compare.json, read with
// python3's json.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "integration/run_support.h"
#include "integration/shell_command.h"

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

  const std::string check = R"PY(
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
assert d["program"] == "Corvalis", d["program"]
assert d["gate"] == {"failOnRegression": 10, "verdict": "fail", "regressions": 2,
                     "onlyInSomeRuns": 0}, d["gate"]
assert d["notes"] == [], d["notes"]
col = d["values"]["Fillrate:32:Col"]
assert col["kind"] == "rate" and col["unit"] == "Pix/s", col
base, cand = col["runs"]
assert base["min"] <= base["max"] and "verdict" not in base, base
assert cand["verdict"] == "slower" and cand["beyondSpread"] is True, cand
assert abs(cand["ratio"] - 0.01) < 0.001, cand
mode = d["values"]["Tiling:Mode"]
assert mode["kind"] == "answer" and mode["runs"][1]["verdict"] == "changed", mode
assert mode["runs"][1]["text"] == "R5G6B5A0 Z16 S0", mode
tile = d["values"]["Tiling:Color:Width"]["runs"]
assert tile[0]["confidence"] in ("clear", "uncertain", "none"), tile
others = {k: v["runs"][1]["verdict"] for k, v in d["values"].items()
          if k not in ("Fillrate:32:Col", "Tiling:Mode")}
assert all(w == ("info" if k.startswith("Info:") else "same") for k, w in others.items()), others
assert sorted(x["key"] for x in d["regressions"]) == ["Fillrate:32:Col", "Tiling:Mode"]
print("ok", len(d["values"]))
)PY";
  ASSERT_TRUE(corvalis::testing::writeBytes(r.folder + "/check.py", check));
  std::string out;
  EXPECT_EQ(shellCommand("env -u PYTHONOPTIMIZE python3 " + r.folder + "/check.py " + r.folder +
                             "/gate.compare.json 2>&1", &out), 0) << out;
  EXPECT_TRUE(std::regex_match(out, std::regex("ok [0-9]+\n"))) << out;

  // Fillrate alone, without BASE.json, and a hundred times slower: the notes (their texts
  // are the gate's unit tests') open the table, the keys of one run only do not gate, and at
  // 100 % no rate can.
  std::string fillrate;
  for (const std::string& line : crlfLines(slower))
    if (!line.empty() && line.rfind("Tiling:", 0) != 0) fillrate += line + "\r\n";
  ASSERT_TRUE(corvalis::testing::writeBytes(candidate + "-fillrate.txt", fillrate));
  r = runCorvalis({"--compare", base + ".txt", candidate + "-fillrate.txt",
                   "--fail-on-regression", "100"});
  EXPECT_EQ(r.exitStatus, 0) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("note: the selected tests differ: Fillrate, Tiling (results.txt); ", 0), 0u)
      << r.out;
  const std::string verdict = "\nverdict: pass, 0 regressions; 9 keys in only some runs\n";
  EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), verdict.size())), verdict) << r.out;
}

}  // namespace
