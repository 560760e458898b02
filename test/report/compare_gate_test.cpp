// --compare as pure logic: the table of runs and its marked changes, then the regression
// gate: verdicts over pairs of values with and without samples, over whole runs, and what
// the table and BASE.compare.json say.
#include "report/compare_gate.h"
#include "report/run_compare.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <nlohmann/json.hpp>

#include "report/report_files.h"

using namespace corvalis;

namespace {

using corvalis::testing::contains;

GateSide side(const std::string& text, double value, const Spread* spread = nullptr,
              std::optional<Confidence> confidence = std::nullopt) {
  GateSide s;
  s.present = true;
  s.text = text;
  s.value = value;
  s.spread = spread;
  s.confidence = confidence;
  return s;
}

const GateSide absent{};

CompareRun runOf(const std::string& path, const std::string& lines) {
  CompareRun run;
  run.path = path;
  std::string error;
  EXPECT_TRUE(parseTextReport("[Corvalis 0.50]\r\n" + lines, run.report, error)) << error;
  return run;
}

TEST(RunCompare, ChangesCountBeyondTheSpreadOrFivePercent) {
  const Spread narrow{99, 101}, wide{80, 120};
  EXPECT_FALSE(significantChange(100, 104, nullptr, nullptr));
  EXPECT_TRUE(significantChange(100, 106, nullptr, nullptr));
  EXPECT_TRUE(significantChange(100, 94, nullptr, nullptr));
  EXPECT_TRUE(significantChange(100, 104, &narrow, &narrow));
  EXPECT_FALSE(significantChange(100, 115, &wide, &narrow));
  EXPECT_FALSE(significantChange(NAN, 5, nullptr, nullptr));
  EXPECT_FALSE(significantChange(0, 0, nullptr, nullptr));
  EXPECT_TRUE(significantChange(0, 3, nullptr, nullptr));
}

TEST(RunCompare, KeysOfSomeRunsShowAsMissingAndRatiosNeedNumbers) {
  std::vector<CompareRun> runs = {
      runOf("old.txt", "Info:Method=Flush\r\nFillrate:32:Col=100.000 M Pix/s\r\n"
                       "TexCache:RGBA=16384 B\r\n"),
      runOf("dir/new.txt", "Info:Method=Swap\r\nFillrate:32:Col=120.000 M Pix/s\r\n"
                           "TexCache:DXT1=16 B\r\n")};
  runs[0].samples.values["Fillrate:32:Col"] = Spread{90e6, 110e6};
  runs[1].samples.values["Fillrate:32:Col"] = Spread{100e6, 125e6};
  std::vector<CompareRow> rows = compareRuns(runs);
  std::string keys;
  for (const CompareRow& row : rows) keys += row.key + (row.present[0] && row.present[1] ? " " : "? ");
  EXPECT_EQ(keys, "Info:Method Fillrate:32:Col TexCache:RGBA? TexCache:DXT1? ");
  EXPECT_TRUE(std::isnan(rows[0].ratios[1]));
  EXPECT_DOUBLE_EQ(rows[1].ratios[1], 1.2);
  EXPECT_FALSE(rows[1].changed[1]);  // 20 M apart, inside the 25 M spread
  EXPECT_TRUE(rows[2].present[0] && rows[3].present[1]);

  const std::string table = compareTableText(runs, rows);
  for (const char* part : {"TexCache:RGBA    16384 B          (missing)", "new.txt",
                           "100.000 M Pix/s  120.000 M Pix/s  1.200"})
    EXPECT_TRUE(contains(table, part)) << part << "\n" << table;

  // Without spreads the 20 % change is marked.
  runs[0].samples = RunSamples();
  rows = compareRuns(runs);
  EXPECT_TRUE(rows[1].changed[1]);
  EXPECT_TRUE(contains(compareTableText(runs, rows), "1.200 *"));
  EXPECT_TRUE(contains(compareHtml(runs, rows), "<rect"));
}

// Texts from the reports are cut to the column width on the terminal only, and the table
// says when it cut one.
TEST(RunCompare, TableCutsLongTextsOnTheTerminalOnly) {
  const std::string longKey(150, 'K'), longValue(CompareColumnWidth, 'V');
  std::vector<CompareRun> runs = {
      runOf("old.txt", longKey + "=1\r\nInfo:Driver=" + longValue + "\r\n"),
      runOf("new.txt", longKey + "=2\r\nInfo:Driver=" + longValue + "W\r\n")};
  std::vector<CompareRow> rows = compareRuns(runs);
  const std::string table = compareTableText(runs, rows);
  const std::string cutKey = longKey.substr(0, CompareColumnWidth - 3) + "...";
  EXPECT_TRUE(contains(table, "\n" + cutKey + "  1  ")) << table;
  // Exactly the width stays whole; one more is cut.
  EXPECT_TRUE(contains(table, "  " + longValue + "  " + longValue.substr(0, 93) + "...\n")) << table;
  EXPECT_TRUE(contains(table, "texts longer than 96 characters are cut"));
  EXPECT_TRUE(contains(compareHtml(runs, rows), "<td>" + longKey + "</td>"));

  // Nothing cut, nothing said.
  runs = {runOf("a.txt", "A=1\r\n"), runOf("b.txt", "A=2\r\n")};
  EXPECT_EQ(compareTableText(runs, compareRuns(runs)).find("cut"), std::string::npos);
}

TEST(CompareGate, RatesFailBelowTheToleranceAndBeyondTheSpread) {
  const Spread wide{80, 120}, narrow{99, 101}, lowNarrow{79, 81}, justBelow{96.5, 97.5},
      candWide{75, 95};
  const double nan = std::nan("");
  const struct {
    const char* what;
    GateSide base, candidate;
    double percent;
    GateVerdict verdict;
    std::optional<bool> beyond;
  } cases[] = {
      {"inside the spread", side("", 100, &wide), side("", 85, &candWide), 5, GateVerdict::Same,
       false},
      {"beyond the spread", side("", 100, &narrow), side("", 80, &lowNarrow), 5,
       GateVerdict::Slower, true},
      {"beyond the spread, within the tolerance", side("", 100, &narrow),
       side("", 97, &justBelow), 5, GateVerdict::Same, true},
      {"no samples, below the tolerance", side("", 100), side("", 94), 5, GateVerdict::Slower, {}},
      {"no samples, within the tolerance", side("", 100), side("", 96), 5, GateVerdict::Same, {}},
      {"no samples, faster", side("", 100), side("", 106), 5, GateVerdict::Faster, {}},
      {"faster beyond the spread", side("", 80, &lowNarrow), side("", 100, &narrow), 5,
       GateVerdict::Faster, true},
      {"samples on one side only", side("", 100, &wide), side("", 85), 5, GateVerdict::Slower, {}},
      {"tolerance 0", side("", 100), side("", 99.9), 0, GateVerdict::Slower, {}},
      {"tolerance 0, equal", side("", 100), side("", 100), 0, GateVerdict::Same, {}},
      {"tolerance 100", side("", 100), side("", 1), 100, GateVerdict::Same, {}},
      {"a lost number", side("", 100), side("nan M Pix/s", nan), 5, GateVerdict::Failed, {}},
      {"a number the base lost", side("nan M Pix/s", nan), side("", 50), 5, GateVerdict::Faster,
       {}},
      {"both lost", side("nan", nan), side("nan", nan), 5, GateVerdict::Same, {}},
      {"from zero", side("", 0), side("", 5), 5, GateVerdict::Faster, {}},
      {"missing in the candidate", side("", 100), absent, 5, GateVerdict::Missing, {}},
      {"missing in the base", absent, side("", 1), 5, GateVerdict::Missing, {}},
  };
  for (const auto& c : cases) {
    const GateCell cell = judgeValue(GateKind::Rate, c.base, c.candidate, c.percent);
    EXPECT_EQ(gateVerdictWord(cell.verdict), std::string(gateVerdictWord(c.verdict))) << c.what;
    EXPECT_EQ(cell.beyondSpread, c.beyond) << c.what;
  }
}

TEST(CompareGate, AnAnswerThatChangesFailsUnlessBothRunsCallItUncertain) {
  const Confidence uncertain = Confidence::Uncertain, clear = Confidence::Clear;
  const double nan = std::nan("");
  const struct {
    const char* what;
    GateSide base, candidate;
    GateVerdict verdict;
  } cases[] = {
      {"same size", side("16384 B", 16384), side("16384 B", 16384), GateVerdict::Same},
      {"same size, other spelling", side("1048576 B", 1048576), side("1.000 Mi B", 1048576),
       GateVerdict::Same},
      {"a changed size", side("16384 B", 16384), side("32768 B", 32768), GateVerdict::Changed},
      {"a size lost", side("4", 4, nullptr, clear), side("none", nan, nullptr, uncertain),
       GateVerdict::Changed},
      {"uncertain in both", side("4", 4, nullptr, uncertain), side("none", nan, nullptr, uncertain),
       GateVerdict::Uncertain},
      {"uncertain in one, no evidence in the other", side("4", 4),
       side("none", nan, nullptr, uncertain), GateVerdict::Changed},
      {"a changed pixel format", side("R8G8B8A8 Z24 S8", nan), side("R5G6B5A0 Z16 S0", nan),
       GateVerdict::Changed},
      {"the same text", side("R8G8B8A8 Z24 S8", nan), side("R8G8B8A8 Z24 S8", nan),
       GateVerdict::Same},
      {"a size of one run only", side("64 B", 64), absent, GateVerdict::Missing},
  };
  for (const auto& c : cases)
    EXPECT_EQ(gateVerdictWord(judgeValue(GateKind::Answer, c.base, c.candidate, 50).verdict),
              std::string(gateVerdictWord(c.verdict)))
        << c.what;
}

TEST(CompareGate, FailuresAndInfoLines) {
  const double nan = std::nan("");
  const GateSide noWindow = side("no window", nan), noFormat = side("no pixel format", nan);
  EXPECT_EQ(judgeValue(GateKind::Error, absent, noWindow, 5).verdict, GateVerdict::Failed);
  EXPECT_EQ(judgeValue(GateKind::Error, noWindow, absent, 5).verdict, GateVerdict::Missing);
  EXPECT_EQ(judgeValue(GateKind::Error, noWindow, noWindow, 5).verdict, GateVerdict::Same);
  EXPECT_EQ(judgeValue(GateKind::Error, noWindow, noFormat, 5).verdict, GateVerdict::Changed);
  EXPECT_EQ(judgeValue(GateKind::Info, side("Flush", nan), side("Swap", nan), 0).verdict,
            GateVerdict::Info);
  for (GateVerdict fails : {GateVerdict::Slower, GateVerdict::Changed, GateVerdict::Failed})
    EXPECT_TRUE(gateVerdictFails(fails)) << gateVerdictWord(fails);
  for (GateVerdict passes : {GateVerdict::Info, GateVerdict::Missing, GateVerdict::Same,
                             GateVerdict::Faster, GateVerdict::Uncertain})
    EXPECT_FALSE(gateVerdictFails(passes)) << gateVerdictWord(passes);
}

TEST(CompareGate, KindsFollowTheKeyAndTheUnit) {
  const struct {
    const char* key;
    std::vector<std::string> texts;
    GateKind kind;
  } cases[] = {
      {"Info:Resolution", {"64x48 @ 60.00Hz"}, GateKind::Info},
      {"Fillrate:32:Col", {"480.311 M Pix/s"}, GateKind::Rate},
      {"Bandwidth:Draw", {"1.739 G B/s"}, GateKind::Rate},
      {"Geometry:Plain:Fan", {"13.693 M Tris/s"}, GateKind::Rate},
      {"Texturing:Bilinear:1", {"27.503 MTex/s"}, GateKind::Rate},
      {"Fillrate:32:Col", {"nan M Pix/s"}, GateKind::Rate},
      {"TexCache:RGBA", {"16384 B", "1.000 Mi B"}, GateKind::Answer},
      {"Tiling:Color:Width", {"4", "none"}, GateKind::Answer},
      {"Fillrate:32:Mode", {"R8G8B8A8 Z24 S8"}, GateKind::Answer},
      {"Fillrate:32:Error", {"no window"}, GateKind::Error},
      {"Info:Error", {"x"}, GateKind::Info},
  };
  for (const auto& c : cases)
    EXPECT_EQ(gateKindWord(gateKindOf(c.key, c.texts)), std::string(gateKindWord(c.kind)))
        << c.key;
}

Evidence evidenceOf(Confidence confidence) {
  Evidence evidence;
  evidence.confidence = confidence;
  return evidence;
}

// A baseline and two candidates, each against the first: one slower beyond its spread,
// one with a changed tile, a texture cache found in one run and none in another.
std::vector<CompareRun> threeRuns() {
  const std::string info = "Info:Resolution=64x48 @ unknown refresh rate\r\nInfo:Method=Flush\r\n";
  std::vector<CompareRun> runs = {
      runOf("base/r.txt", info + "Fillrate:32:Col=100.000 M Pix/s\r\nTiling:Color:Width=4 \r\n"
                                 "TexCache:RGBA=0 B\r\nTexCache:DXT1=64 B\r\n"),
      runOf("slower/r.txt", info + "Fillrate:32:Col=80.000 M Pix/s\r\nTiling:Color:Width=4 \r\n"
                                   "TexCache:RGBA=0 B\r\n"),
      runOf("tile/r.txt", info + "Fillrate:32:Col=101.000 M Pix/s\r\nTiling:Color:Width=8 \r\n"
                                 "TexCache:RGBA=0 B\r\nTexCache:DXT1=64 B\r\n"),
  };
  runs[0].samples.values["Fillrate:32:Col"] = Spread{99e6, 101e6};
  runs[1].samples.values["Fillrate:32:Col"] = Spread{79e6, 82e6};
  for (CompareRun& run : runs) {
    run.samples.evidence["Tiling:Color:Width"] = evidenceOf(Confidence::Clear);
    run.samples.evidence["TexCache:DXT1"] = evidenceOf(Confidence::Clear);
  }
  // The second run found no DXT1 cache: its report leaves the line out.
  runs[1].samples.evidence["TexCache:DXT1"] = evidenceOf(Confidence::None);
  return runs;
}

TEST(CompareGate, EveryLaterRunAgainstTheFirst) {
  const std::vector<CompareRun> runs = threeRuns();
  const std::vector<CompareRow> rows = compareRuns(runs);
  CompareGate gate = gateRuns(runs, rows, 10);
  ASSERT_EQ(gate.rows.size(), rows.size());
  auto verdict = [&](const std::string& key, size_t run) {
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].key == key) return std::string(gateVerdictWord(gate.rows[i].cells[run].verdict));
    return std::string("no such key");
  };
  EXPECT_EQ(verdict("Info:Method", 1), "info");
  EXPECT_EQ(verdict("Fillrate:32:Col", 1), "slower");
  EXPECT_EQ(verdict("Fillrate:32:Col", 2), "same");
  EXPECT_EQ(verdict("Tiling:Color:Width", 1), "same");
  EXPECT_EQ(verdict("Tiling:Color:Width", 2), "changed");
  // Left out of the text, measured as none by its evidence: a changed answer.
  EXPECT_EQ(verdict("TexCache:DXT1", 1), "changed");
  EXPECT_EQ(verdict("TexCache:DXT1", 2), "same");
  EXPECT_EQ(gate.regressions, 3u);
  EXPECT_EQ(gate.regressionsOf, (std::vector<size_t>{0, 2, 1}));
  EXPECT_EQ(gate.missing, 0u);
  EXPECT_TRUE(gate.failed());
  const std::string summary = gateSummaryText(runs, gate);
  EXPECT_TRUE(contains(summary, "--fail-on-regression 10): a regression is a rate lower by more than 10 %"))
      << summary;
  EXPECT_EQ(summary.substr(summary.rfind('\n', summary.size() - 2) + 1),
            "verdict: FAIL, 3 regressions (slower/r.txt 2, tile/r.txt 1)\n");

  // A faster rate and the same answers pass, even with no tolerance; a key of one run
  // only is counted and passes.
  const std::vector<CompareRun> two = {
      runs[0], runOf("faster.txt", "Info:Resolution=64x48 @ unknown refresh rate\r\n"
                                   "Info:Method=Flush\r\nFillrate:32:Col=101.000 M Pix/s\r\n"
                                   "Tiling:Color:Width=4 \r\nTexCache:RGBA=0 B\r\n")};
  gate = gateRuns(two, compareRuns(two), 0);
  EXPECT_FALSE(gate.failed());
  EXPECT_EQ(gate.missing, 1u);
  const std::string passed = gateSummaryText(two, gate);
  EXPECT_EQ(passed.substr(passed.find("verdict")), "verdict: pass, 0 regressions; 1 key in only some runs\n");
}

TEST(CompareGate, NotesNameWhatMakesTheRunsUnlike) {
  std::vector<CompareRun> runs = threeRuns();
  EXPECT_TRUE(compareNotes(runs).empty());

  runs[1] = runOf("other.txt", "Info:Resolution=96x72 @ unknown refresh rate\r\nInfo:Method=Flush\r\n"
                               "Fillrate:32:Col=80.000 M Pix/s\r\nTiling:Color:Width=4 \r\n");
  const std::vector<std::string> notes = compareNotes({runs[0], runs[1]});
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0],
            "Info:Resolution differs: 64x48 @ unknown refresh rate (r.txt), 96x72 @ unknown "
            "refresh rate (other.txt); values are compared where their keys meet");
  EXPECT_EQ(notes[1],
            "the selected tests differ: Fillrate, Tiling, TexCache (r.txt); Fillrate, Tiling "
            "(other.txt); keys of only some runs are listed, not gated");
  EXPECT_EQ(notes[2].rfind("other.txt has no evidence for detected sizes that r.txt has", 0), 0u)
      << notes[2];

  // Texts from the files are cleaned and cut.
  runs[1].report.values[0].second = "\x1b[2J" + std::string(200, 'x');
  const std::string note = compareNotes({runs[0], runs[1]})[0];
  EXPECT_EQ(note.find('\x1b'), std::string::npos);
  EXPECT_NE(note.find(std::string(CompareColumnWidth - 7, 'x') + "... (other.txt)"),
            std::string::npos)
      << note;
}

TEST(CompareGate, TableEndsInTheVerdictAndHasAGateColumn) {
  const std::vector<CompareRun> runs = {threeRuns()[0], threeRuns()[1]};
  const std::vector<CompareRow> rows = compareRuns(runs);
  const CompareGate gate = gateRuns(runs, rows, 5);
  const std::string table = compareTableText(runs, rows, &gate);
  for (const char* line : {"^key +base/r.txt +slower/r.txt +ratio +gate\n",
                           "\nFillrate:32:Col +100.000 M Pix/s +80.000 M Pix/s +0.800 \\* +slower\n",
                           "\nTexCache:DXT1 +64 B +\\(missing\\) +changed\n",
                           "\nInfo:Method +Flush +Flush\n", "\nverdict: FAIL, 2 regressions\n$"})
    EXPECT_TRUE(std::regex_search(table, std::regex(line))) << line << "\n" << table;
  const std::string html = compareHtml(runs, rows, &gate);
  EXPECT_TRUE(contains(html, "<td class=\"changed\">slower</td>")) << html;
  EXPECT_TRUE(contains(html, "<br>verdict: FAIL, 2 regressions</p>")) << html;
}

// The rate's kind, unit, ratio and verdicts are read back by python3 in the gate's
// integration test; here the texts no real run has and the runs without samples.
TEST(CompareGate, JsonHoldsEveryKeyEveryRunAndTheVerdict) {
  std::vector<CompareRun> runs = threeRuns();
  runs[2].path = "b\xff/r.txt";                      // not UTF-8: replaced, no exception
  runs[2].report.values.emplace_back("Info:Comment", "caf\xe9");  // ISO-8859-1
  const std::vector<CompareRow> rows = compareRuns(runs);
  const CompareGate gate = gateRuns(runs, rows, 2.5);
  const nlohmann::json doc = nlohmann::json::parse(compareJson(runs, rows, gate));
  EXPECT_EQ(doc["runs"][2], "b\xef\xbf\xbd/r.txt");
  EXPECT_EQ(doc["gate"]["failOnRegression"], 2.5);
  EXPECT_EQ(doc["gate"]["regressions"], 3);
  EXPECT_EQ(doc["values"]["Info:Comment"]["runs"][2]["text"], "caf\xc3\xa9");
  EXPECT_EQ(doc["values"]["Info:Comment"]["runs"][0]["present"], false);

  const nlohmann::json& col = doc["values"]["Fillrate:32:Col"];
  EXPECT_EQ(col["runs"][0]["value"], 100000000);
  EXPECT_EQ(col["runs"][0]["min"], 99000000);
  EXPECT_TRUE(col["runs"][2]["beyondSpread"].is_null());  // no samples in the third run

  const nlohmann::json& dxt1 = doc["values"]["TexCache:DXT1"]["runs"][1];
  EXPECT_EQ(dxt1["present"], false);
  EXPECT_EQ(dxt1["confidence"], "none");
  EXPECT_EQ(dxt1["verdict"], "changed");

  // Reports without a line make a document without values, and pass.
  const std::vector<CompareRun> empty = {runOf("a.txt", ""), runOf("b.txt", "")};
  const nlohmann::json none = nlohmann::json::parse(
      compareJson(empty, compareRuns(empty), gateRuns(empty, compareRuns(empty), 5)));
  EXPECT_EQ(none["values"], nlohmann::json::object());
  EXPECT_EQ(none["regressions"], nlohmann::json::array());
  EXPECT_EQ(none["gate"]["verdict"], "pass");

  ASSERT_EQ(doc["regressions"].size(), 3u);
  EXPECT_EQ(doc["regressions"][0],
            nlohmann::json::parse(R"({"key": "Fillrate:32:Col", "run": 1, "verdict": "slower",
                                       "ratio": 0.8})"));
}

}  // namespace
