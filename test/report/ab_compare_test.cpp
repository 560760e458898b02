// The result of an A/B session as pure logic: the paired ratios, the word on a ratio and
// its interval, and the two sides' runs compared key by key, with the gate, a side that
// lacks a value and a side that was lost after some tests; then what the table, the page
// and BASE.ab.json say of them.
#include "report/ab_compare.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "report/report_files.h"

using namespace corvalis;

namespace {

using corvalis::testing::contains;

const double NaN = std::nan("");

TEST(AbCompare, PairedRatiosTakeTheCommonPrefixAndSkipBrokenPairs) {
  EXPECT_EQ(pairedRatios({1, 2, 4}, {2, 2, 2}), (std::vector<double>{2, 1, 0.5}));
  EXPECT_EQ(pairedRatios({1, 2, 4, 8}, {3, 3}), (std::vector<double>{3, 1.5}));
  EXPECT_EQ(pairedRatios({1, NaN, 0, 2}, {1, 1, 1, 1}), (std::vector<double>{1, 0.5}));
  EXPECT_TRUE(pairedRatios({}, {1, 2}).empty());
}

TEST(AbCompare, RateWordsByTheIntervalAndTheTolerance) {
  const struct {
    double ratio, low, high, tolerance;
    AbWord word;
  } cases[] = {
      {1.00, 0.97, 1.02, 2, AbWord::Same},    // holds 1
      {0.99, 0.985, 0.995, 2, AbWord::Same},  // below 1, within the tolerance
      {0.96, 0.95, 0.97, 2, AbWord::Slower},
      {0.98, 0.97, 0.99, 2, AbWord::Slower},  // reaches out of the band
      {1.05, 1.03, 1.08, 2, AbWord::Faster},
      {1.05, 1.03, 1.08, 10, AbWord::Same},
      {1.00, 1.00, 1.00, 0, AbWord::Same},
      {NaN, NaN, NaN, 2, AbWord::Failed},
  };
  for (const auto& c : cases)
    EXPECT_EQ(rateWord(c.ratio, c.low, c.high, c.tolerance), c.word)
        << c.ratio << " [" << c.low << ", " << c.high << "] tolerance " << c.tolerance;
}

CompareRun runOf(const std::string& lines) {
  CompareRun run;
  std::string error;
  EXPECT_TRUE(parseTextReport("[Corvalis 0.50]\r\n" + lines, run.report, error)) << error;
  return run;
}

void addSamples(CompareRun& run, const std::string& key, const std::vector<double>& samples) {
  run.samples.values[key].samples = samples;
}

void addConfidence(CompareRun& run, const std::string& key, Confidence confidence) {
  run.samples.evidence[key].confidence = confidence;
}

const AbRow& rowOf(const AbSession& session, const std::string& key) {
  for (const AbRow& row : session.rows)
    if (row.key == key) return row;
  ADD_FAILURE() << "no row " << key;
  return session.rows.front();
}

// Side A and side B as a session at 3 % would see them: one rate slower in every pair,
// one the same, a cache size changed where both are clear, a tile size changed where B
// is uncertain, a pixel format only A has.
struct Sides {
  CompareRun a = runOf(
      "Info:Driver=llvmpipe\r\nFillrate:32:Col=100.0 M Pix/s\r\nFillrate:32:Z=50.0 M Pix/s\r\n"
      "Texture cache:RGBA=16.0 ki B\r\nTiling:Width=16 \r\nTiling:Mode=R8G8B8A8 Z24 S8\r\n");
  CompareRun b = runOf(
      "Info:Driver=softpipe\r\nFillrate:32:Col=90.0 M Pix/s\r\nFillrate:32:Z=50.0 M Pix/s\r\n"
      "Texture cache:RGBA=32.0 ki B\r\nTiling:Width=8 \r\n");
  Sides() {
    addSamples(a, "Fillrate:32:Col", {100, 110, 90, 100, 105});
    addSamples(b, "Fillrate:32:Col", {90, 99, 81, 90, 94.5});
    addSamples(a, "Fillrate:32:Z", {50, 52, 48, 50, 51});
    addSamples(b, "Fillrate:32:Z", {51, 51, 49, 49, 50});
    addConfidence(a, "Texture cache:RGBA", Confidence::Clear);
    addConfidence(b, "Texture cache:RGBA", Confidence::Clear);
    addConfidence(a, "Tiling:Width", Confidence::Clear);
    addConfidence(b, "Tiling:Width", Confidence::Uncertain);
  }
};

AbSession sessionOf(const Sides& sides, std::array<bool, 2> lost = {}) {
  AbSession session;
  session.sides = {"LP_NUM_THREADS=1", "GALLIUM_DRIVER=softpipe"};
  session.gate = true;
  session.tolerancePercent = 3;
  session.lost = lost;
  compareSides({&sides.a, &sides.b}, session);
  return session;
}

TEST(AbCompare, SidesComparedKeyByKeyWithTheGate) {
  const Sides sides;
  const AbSession session = sessionOf(sides);
  const AbRow& col = rowOf(session, "Fillrate:32:Col");
  EXPECT_EQ(col.pairs, 5u);
  EXPECT_NEAR(col.ratio, 0.9, 1e-9);
  EXPECT_EQ(col.word, AbWord::Slower);
  EXPECT_TRUE(col.regression);
  const AbRow& z = rowOf(session, "Fillrate:32:Z");
  EXPECT_EQ(z.word, AbWord::Same);
  EXPECT_FALSE(z.regression);
  EXPECT_EQ(rowOf(session, "Texture cache:RGBA").word, AbWord::Changed);
  EXPECT_TRUE(rowOf(session, "Texture cache:RGBA").regression);
  EXPECT_EQ(rowOf(session, "Tiling:Width").word, AbWord::Changed);
  EXPECT_FALSE(rowOf(session, "Tiling:Width").regression);
  EXPECT_EQ(rowOf(session, "Tiling:Mode").word, AbWord::Missing);
  EXPECT_EQ(rowOf(session, "Info:Driver").word, AbWord::Info);
  EXPECT_EQ(session.regressions, 2u);

  // Without the gate nothing is a regression, the words stay.
  AbSession open;
  open.tolerancePercent = 3;
  compareSides({&sides.a, &sides.b}, open);
  EXPECT_EQ(open.regressions, 0u);
  EXPECT_EQ(rowOf(open, "Fillrate:32:Col").word, AbWord::Slower);
}

// Equal sides with seventy rates: one whose pairs lie below 1 about as often as one in
// seventy would by chance (p about 0.005) has an interval off 1 and out of the
// tolerance, but does not stand out among seventy; a drop in every pair does. A rate
// derived from others, with no slices, is not judged.
TEST(AbCompare, SlowerOnlyWhereTheDifferenceStandsOutAmongAllRates) {
  std::string linesA, linesB;
  for (int i = 0; i < 70; ++i) {
    linesA += "Fillrate:V" + std::to_string(i) + "=100.0 M Pix/s\r\n";
    linesB += "Fillrate:V" + std::to_string(i) + "=100.0 M Pix/s\r\n";
  }
  CompareRun a = runOf(linesA + "Bandwidth:Physical=100.0 M B/s\r\n");
  CompareRun b = runOf(linesB + "Bandwidth:Physical=50.0 M B/s\r\n");
  const std::vector<double> base = {100, 100, 100, 100, 100, 100, 100, 100};
  for (int i = 0; i < 70; ++i) {
    const std::string key = "Fillrate:V" + std::to_string(i);
    addSamples(a, key, base);
    // Pairs scattered 4 % about 1, turning from side to side.
    std::vector<double> scattered;
    for (int k = 0; k < 8; ++k) scattered.push_back(100 * (1 + 0.04 * (((k + i) % 3) - 1)));
    addSamples(b, key, scattered);
  }
  addSamples(b, "Fillrate:V5", {95, 101, 93, 96, 94, 88, 96, 90});  // p about 0.005
  addSamples(b, "Fillrate:V6", {90, 90.5, 89.5, 90, 90.2, 89.8, 90, 90});  // a real drop
  AbSession session;
  session.gate = true;
  session.tolerancePercent = 3;
  compareSides({&a, &b}, session);
  const AbRow& chance = rowOf(session, "Fillrate:V5");
  EXPECT_GT(chance.low, 0.89);
  EXPECT_LT(chance.high, 0.97);
  EXPECT_FALSE(chance.standsOut) << chance.p;
  EXPECT_EQ(chance.word, AbWord::Same);
  EXPECT_FALSE(chance.regression);
  EXPECT_TRUE(rowOf(session, "Fillrate:V6").standsOut);
  EXPECT_EQ(rowOf(session, "Fillrate:V6").word, AbWord::Slower);
  const AbRow& derived = rowOf(session, "Bandwidth:Physical");
  EXPECT_EQ(derived.pairs, 0u);
  EXPECT_EQ(derived.word, AbWord::Info);
  EXPECT_FALSE(derived.regression);
  EXPECT_EQ(session.regressions, 1u);
  for (const AbRow& row : session.rows) {
    if (row.key != "Fillrate:V6" && row.key != "Bandwidth:Physical") {
      EXPECT_EQ(row.word, AbWord::Same) << row.key << " " << row.ratio << " p " << row.p;
    }
  }
  // The table and the page mark it, and say why once.
  const std::string table = abTableText(session);
  EXPECT_TRUE(contains(table, "0.945  0.900 to 0.960  same*\n")) << table;
  EXPECT_TRUE(contains(table, "  slower\n")) << table;
  EXPECT_TRUE(contains(table, "same*: the interval alone lies off 1 and out of the tolerance, "
                              "but among 70 rates")) << table;
  EXPECT_TRUE(contains(abHtml(session), "<td class=\"same\">same*</td>"));
  const auto json = nlohmann::json::parse(abJson(session));
  EXPECT_EQ(json["values"][6]["standsOut"], true);
  EXPECT_EQ(json["values"][70]["word"], "info");
}

// A lost side has the tests its worker finished: their values compare as any other (a
// key its finished test lacks is missing), while every value of the tests it did not
// finish is failed on its side; with nothing finished, every value is.
TEST(AbCompare, ALostSideKeepsTheTestsItFinishedAndFailsTheRest) {
  Sides sides;
  sides.b = runOf("Info:Driver=softpipe\r\nFillrate:32:Col=90.0 M Pix/s\r\n");
  addSamples(sides.b, "Fillrate:32:Col", {90, 99, 81, 90, 94.5});
  const AbSession session = sessionOf(sides, {false, true});
  const AbRow& col = rowOf(session, "Fillrate:32:Col");
  EXPECT_EQ(col.word, AbWord::Slower);
  EXPECT_EQ(col.pairs, 5u);
  EXPECT_TRUE(col.regression);
  EXPECT_EQ(rowOf(session, "Fillrate:32:Z").word, AbWord::Missing);
  for (const char* key : {"Texture cache:RGBA", "Tiling:Width", "Tiling:Mode"}) {
    EXPECT_EQ(rowOf(session, key).word, AbWord::Failed) << key;
    EXPECT_FALSE(rowOf(session, key).regression) << key;
  }
  EXPECT_EQ(session.regressions, 1u);
  const std::string table = abTableText(session);
  EXPECT_TRUE(contains(table, "\nInfo:Driver         llvmpipe           softpipe\n")) << table;
  EXPECT_TRUE(contains(table, "\nFillrate:32:Z       50.0 M Pix/s       (none)")) << table;
  EXPECT_TRUE(contains(table, "\nTiling:Mode         R8G8B8A8 Z24 S8    (failed)  ")) << table;
  EXPECT_TRUE(contains(table, "Side B was lost during the session: the values of the tests it "
                              "had finished are kept, those of the others failed.\n"))
      << table;
  const auto json = nlohmann::json::parse(abJson(session));
  EXPECT_EQ(json["lost"]["B"], true);
  EXPECT_EQ(json["values"][1]["b"]["value"], 90000000);
  EXPECT_EQ(json["values"][5]["key"], "Tiling:Mode");
  EXPECT_EQ(json["values"][5]["word"], "failed");
  EXPECT_TRUE(json["values"][5]["b"].empty());

  // Side A lost before it finished a test: nothing of it is kept, not even its Info lines.
  const CompareRun none;
  AbSession early;
  early.lost = {true, false};
  compareSides({&none, &sides.b}, early);
  for (const AbRow& row : early.rows)
    EXPECT_EQ(row.word, row.kind == GateKind::Info ? AbWord::Info : AbWord::Failed) << row.key;
  EXPECT_TRUE(contains(abTableText(early), "\nInfo:Driver      (failed)  softpipe\n"))
      << abTableText(early);
}

TEST(AbCompare, TablePageAndJsonSayTheSame) {
  const Sides sides;
  const AbSession session = sessionOf(sides);
  const std::string table = abTableText(session);
  EXPECT_TRUE(contains(table, "A: LP_NUM_THREADS=1\nB: GALLIUM_DRIVER=softpipe\n")) << table;
  EXPECT_TRUE(contains(
      table,
      "Key                 A                  B                  B/A    95 % interval\n"
      "Info:Driver         llvmpipe           softpipe\n"
      "Fillrate:32:Col     100.0 M Pix/s      90.0 M Pix/s       0.900  0.900 to 0.900  slower\n"
      "Fillrate:32:Z       50.0 M Pix/s       50.0 M Pix/s       0.981  0.980 to 1.021  same\n"
      "Texture cache:RGBA  16.0 ki B (clear)  32.0 ki B (clear)  -                      changed\n"
      "Tiling:Width        16 (clear)         8 (uncertain)      -                      changed\n"
      "Tiling:Mode         R8G8B8A8 Z24 S8    (none)             -                      missing\n"
      "verdict: FAIL, 2 regressions (an interval of B/A below 0.970, or a clear detection "
      "changed)\n"))
      << table;

  const auto json = nlohmann::json::parse(abJson(session));
  EXPECT_EQ(json["schema"], "corvalis-ab");
  EXPECT_EQ(json["gate"]["verdict"], "fail");
  const auto& col = json["values"][1];
  EXPECT_EQ(col["key"], "Fillrate:32:Col");
  EXPECT_EQ(col["word"], "slower");
  EXPECT_EQ(col["pairs"], 5);
  EXPECT_EQ(col["a"]["value"], 100000000);
  EXPECT_TRUE(col["regression"].get<bool>());

  // The page: the table, and a forest plot with a point, a bar and a group per test.
  const std::string page = abHtml(session);
  EXPECT_TRUE(contains(page, "<svg")) << page;
  EXPECT_TRUE(contains(page, "font-weight=\"bold\">Fillrate</text>")) << page;
  EXPECT_TRUE(contains(page, ">32:Col</text>")) << page;
  EXPECT_TRUE(contains(page, "fill=\"#e4eef7\"")) << page;  // the tolerance band
  EXPECT_TRUE(contains(page, "<td class=\"slower\">slower</td>")) << page;
}

}  // namespace
