#include "report/text_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>


namespace corvalis {
namespace {

// Whole numbers are truncated toward zero; above 500000 (a size: 524288) the text
// switches to millions (of 2^20) with three decimals.
TEST(TextReportText, WholeNumbersOrMillionsAboveTheThresholds) {
  const struct {
    double value;
    bool binary;
    const char* unit;
    const char* text;
  } cases[] = {
      {500000.0, false, nullptr, "500000 "},
      {500000.5, false, nullptr, "0.500 M "},
      {2500000.0, false, "B/s", "2.500 M B/s"},
      {3e15, false, "Pix/s", "3000000000.000 M Pix/s"},
      {499.9, false, nullptr, "499 "},
      {-3.7, false, nullptr, "-3 "},
      {-0.4, false, nullptr, "0 "},  // no "-0"
      {-2147483648.5, false, nullptr, "-2147483648 "},
      {-3e12, false, nullptr, "-3000000000000 "},  // beyond int: every digit kept
      {524288.0, true, "B", "524288 B"},
      {1048576.0, true, nullptr, "1.000 Mi "},
      {1536.7, true, nullptr, "1536 "},
      {INFINITY, false, "Pix/s", "error"},
      {NAN, true, "B", "error"},
  };
  for (const auto& c : cases) {
    const Measured measured(c.value);
    EXPECT_EQ(textReportText({measured, c.unit, c.binary, nullptr}), c.text) << c.value;
  }
}

}  // namespace
}  // namespace corvalis
