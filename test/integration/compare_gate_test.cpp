// The regression gate of --compare on two real runs: one left as measured, one copy
// edited to be slower and to answer differently. The exit status, the table's verdict
// and BASE.compare.json, read with python3's json.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>

#include "integration/run_support.h"

using namespace corvalis_test;

namespace {

// The last line of a text that ends in a line feed.
std::string lastLine(const std::string& text) {
  const size_t end = text.size() > 1 ? text.rfind('\n', text.size() - 2) : std::string::npos;
  return end == std::string::npos ? text : text.substr(end + 1);
}

// Output and exit status of a shell command.
int shell(const std::string& command, std::string& out) {
  out.clear();
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  return pclose(pipe);
}

// The report's lines with the value of 'key' replaced.
std::string withValue(const std::string& report, const std::string& key, const std::string& value) {
  return std::regex_replace(report, std::regex("\r\n" + key + "=[^\r]*\r\n"),
                            "\r\n" + key + "=" + value + "\r\n");
}

// Two real runs at a tiny size: Fillrate alone once, Fillrate and Tiling with repeats
// (samples and evidence in BASE.json) once. Made on first use.
class CompareGateRuns : public ::testing::Test {
 protected:
  static const RunResult& single() {
    static const RunResult run = runCorvalis({"-64x48", "--tests", "fillrate"});
    return run;
  }
  static const RunResult& repeated() {
    static const RunResult run =
        runCorvalis({"-64x48", "--tests", "fillrate,tiling", "--repeat", "2"});
    return run;
  }
};

// Different selections and evidence in one run only are named above the table; the
// keys of one run only do not gate, and at 100 % no rate can.
TEST_F(CompareGateRuns, RunsThatDifferOnlyWhereTheyMeetPass) {
  ASSERT_EQ(single().exitStatus, 0) << single().err;
  ASSERT_EQ(repeated().exitStatus, 0) << repeated().err;
  RunResult r = runCorvalis({"--compare", single().folder + "/results.txt",
                             repeated().folder + "/results.txt", "--fail-on-regression", "100"});
  EXPECT_EQ(r.exitStatus, 0) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("note: the selected tests differ: Fillrate (", 0), 0u) << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex("\\nTiling:Color:Width +\\(missing\\) +\\S+ +missing\\n")))
      << r.out;
  EXPECT_TRUE(std::regex_match(lastLine(r.out),
                               std::regex("verdict: pass, 0 regressions; [0-9]+ keys in only some runs\\n")))
      << r.out;
}

TEST_F(CompareGateRuns, ASlowerCopyFailsWithStatusFourAndTheJsonSaysWhy) {
  ASSERT_EQ(repeated().exitStatus, 0) << repeated().err;
  const std::string base = repeated().folder + "/results";
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
  std::ofstream(candidate + ".txt", std::ios::binary) << slower;
  std::ofstream(candidate + ".json", std::ios::binary) << readBytes(base + ".json");

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
  std::ofstream(r.folder + "/check.py") << check;
  std::string out;
  const int status = shell("env -u PYTHONOPTIMIZE python3 " + r.folder + "/check.py " + r.folder + "/gate.compare.json 2>&1", out);
  EXPECT_EQ(status, 0) << out;
  EXPECT_TRUE(std::regex_match(out, std::regex("ok [0-9]+\n"))) << out;

  // Without the gate the comparison is what it always was: no verdict, no JSON, 0.
  RunResult plain = runCorvalis({"--compare", base + ".txt", candidate + ".txt", "--output", "cmp"});
  EXPECT_EQ(plain.exitStatus, 0) << plain.err;
  EXPECT_FALSE(contains(plain.out, "verdict")) << plain.out;
  EXPECT_TRUE(fileExists(plain.folder + "/cmp.compare.htm"));
  EXPECT_FALSE(fileExists(plain.folder + "/cmp.compare.json"));

  // A tolerance that is no percentage is a usage error.
  RunResult bad = runCorvalis({"--compare", base + ".txt", candidate + ".txt",
                               "--fail-on-regression", "150", "--output", "gate"});
  EXPECT_EQ(bad.exitStatus, 2);
  EXPECT_TRUE(contains(bad.err, "'150'")) << bad.err;
  EXPECT_FALSE(fileExists(bad.folder + "/gate.compare.json"));
}

}  // namespace
