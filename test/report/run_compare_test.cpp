#include "report/run_compare.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace corvalis;

namespace {

CompareRun runOf(const std::string& path, const std::string& text) {
  CompareRun run;
  run.path = path;
  std::string error;
  EXPECT_TRUE(parseTextReport(text, run.report, error)) << error;
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
      runOf("old.txt", "[Corvalis 0.50]\r\nInfo:Method=Flush\r\nFillrate:32:Col=100.000 M Pix/s\r\n"
                       "TexCache:RGBA=16384 B\r\n"),
      runOf("dir/new.txt", "[Corvalis 0.50]\r\nInfo:Method=Swap\r\nFillrate:32:Col=120.000 M Pix/s\r\n"
                           "TexCache:DXT1=16 B\r\n")};
  runs[0].samples.values["Fillrate:32:Col"] = Spread{90e6, 110e6};
  runs[1].samples.values["Fillrate:32:Col"] = Spread{100e6, 125e6};
  std::vector<CompareRow> rows = compareRuns(runs);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].key, "Info:Method");
  EXPECT_TRUE(std::isnan(rows[0].ratios[1]));
  EXPECT_EQ(rows[1].key, "Fillrate:32:Col");
  EXPECT_DOUBLE_EQ(rows[1].ratios[1], 1.2);
  EXPECT_FALSE(rows[1].changed[1]);  // 20 M apart, inside the 25 M spread
  EXPECT_EQ(rows[2].key, "TexCache:RGBA");
  EXPECT_FALSE(rows[2].present[1]);
  EXPECT_EQ(rows[3].key, "TexCache:DXT1");
  EXPECT_FALSE(rows[3].present[0]);

  const std::string table = compareTableText(runs, rows);
  EXPECT_NE(table.find("TexCache:RGBA    16384 B          (missing)"), std::string::npos) << table;
  EXPECT_NE(table.find("100.000 M Pix/s  120.000 M Pix/s  1.200"), std::string::npos) << table;
  EXPECT_NE(table.find("new.txt"), std::string::npos) << table;

  // Without spreads the 20 % change is marked.
  runs[0].samples = RunSamples();
  rows = compareRuns(runs);
  EXPECT_TRUE(rows[1].changed[1]);
  EXPECT_NE(compareTableText(runs, rows).find("1.200 *"), std::string::npos);
  EXPECT_NE(compareHtml(runs, rows).find("<rect"), std::string::npos);
}

// Texts from the reports are cut to the column width on the terminal only, and the table
// says when it cut one.
TEST(RunCompare, TableCutsLongTextsAndCleansControlBytes) {
  const std::string longKey(150, 'K'), longValue(CompareColumnWidth, 'V');
  std::vector<CompareRun> runs = {
      runOf("old.txt", "[Corvalis 0.50]\r\n" + longKey + "=1\r\nInfo:Driver=" + longValue + "\r\n"),
      runOf("new.txt", "[Corvalis 0.50]\r\n" + longKey + "=2\r\nInfo:Driver=" + longValue + "W\r\n")};
  std::vector<CompareRow> rows = compareRuns(runs);
  const std::string table = compareTableText(runs, rows);
  const std::string cutKey = longKey.substr(0, CompareColumnWidth - 3) + "...";
  EXPECT_NE(table.find("\n" + cutKey + "  1  "), std::string::npos) << table;
  // Exactly the width stays whole; one more is cut.
  EXPECT_NE(table.find("  " + longValue + "  " + longValue.substr(0, CompareColumnWidth - 3) + "...\n"),
            std::string::npos)
      << table;
  EXPECT_NE(table.find("texts longer than 96 characters are cut"), std::string::npos);
  EXPECT_NE(compareHtml(runs, rows).find("<td>" + longKey + "</td>"), std::string::npos);

  // Nothing cut, nothing said.
  runs = {runOf("a.txt", "[Corvalis 0.50]\r\nA=1\r\n"), runOf("b.txt", "[Corvalis 0.50]\r\nA=2\r\n")};
  EXPECT_EQ(compareTableText(runs, compareRuns(runs)).find("cut"), std::string::npos);
}

}  // namespace
