#include "framework/format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "report/report_files.h"

namespace corvalis {
namespace {

TEST(FormatDecimal, ZeroAndNegativeZeroAreBareZero) {
  EXPECT_EQ(formatDecimal(0.0), "0");
  EXPECT_EQ(formatDecimal(-0.0), "0");
}

TEST(FormatDecimal, PlainRangeTruncatesNearIntegersAndKeepsTheBlankOtherwise) {
  EXPECT_EQ(formatDecimal(500.0), "500");
  EXPECT_EQ(formatDecimal(500.5), "500");
  EXPECT_EQ(formatDecimal(999.9), "999");
  EXPECT_EQ(formatDecimal(1.5), "1.500 ");
  EXPECT_EQ(formatDecimal(1.0), "1");
  // The 2 % rule at its edge: 1.02 is still near 1, 1.03 is not.
  EXPECT_EQ(formatDecimal(1.02), "1");
  EXPECT_EQ(formatDecimal(1.03), "1.030 ");
  // Truncation, not rounding: 1.99 is not within 2 % of 1.
  EXPECT_EQ(formatDecimal(1.99), "1.990 ");
}

TEST(FormatDecimal, SmallValuesStepDownToNanoWithMicroAsByteB5) {
  EXPECT_EQ(formatDecimal(0.5), "500.000 m");
  EXPECT_EQ(formatDecimal(0.002), "2.000 m");
  EXPECT_EQ(formatDecimal(2.5e-6), "2.500 \xB5");
  EXPECT_EQ(formatDecimal(3e-9), "3.000 n");
  // Below the nano range the value stays at the n prefix.
  EXPECT_EQ(formatDecimal(1e-12), "0.001 n");
}

TEST(FormatDecimal, LargeValuesStepUpAndStopAtTera) {
  EXPECT_EQ(formatDecimal(1000.0), "1.000 k");
  EXPECT_EQ(formatDecimal(999999.0), "999.999 k");
  EXPECT_EQ(formatDecimal(1.5e9), "1.500 G");
  EXPECT_EQ(formatDecimal(1.234e12), "1.234 T");
  EXPECT_EQ(formatDecimal(2e15), "2000.000 T");
  EXPECT_EQ(formatDecimal(-2500.0), "-2.500 k");
  EXPECT_EQ(formatDecimal(-0.5), "-500.000 m");
}

TEST(FormatBinary, ZeroAndSignsAndThePlainRange) {
  EXPECT_EQ(formatBinary(0.0), "0");
  EXPECT_EQ(formatBinary(-0.0), "0");
  EXPECT_EQ(formatBinary(1000.0), "1000");
  EXPECT_EQ(formatBinary(1023.5), "1023");
  EXPECT_EQ(formatBinary(1.5), "1.500 ");
  EXPECT_EQ(formatBinary(-16384.0), "-16 ki");
}

TEST(FormatBinary, StepsBy1024AndRoundsToTheNearestInteger) {
  EXPECT_EQ(formatBinary(1024.0), "1 ki");
  EXPECT_EQ(formatBinary(16384.0), "16 ki");
  EXPECT_EQ(formatBinary(1536.0), "1.500 ki");
  EXPECT_EQ(formatBinary(1048576.0), "1 Mi");
  EXPECT_EQ(formatBinary(3.0 * 1073741824.0), "3 Gi");
  // 1.99 ki rounds up to 2 (within 2 %), where the plain range would truncate.
  EXPECT_EQ(formatBinary(1.99 * 1024.0), "2 ki");
  EXPECT_EQ(formatBinary(1.7 * 1024.0), "1.700 ki");
}

TEST(FormatBinary, StopsAtTeraWhateverTheSize) {
  const double tebi = 1099511627776.0;
  EXPECT_EQ(formatBinary(5000.0 * tebi), "5000 Ti");
  // A near-integer beyond 32 bits keeps all its digits.
  EXPECT_EQ(formatBinary(5e9 * tebi), "5000000000 Ti");
}

TEST(FormatBinary, BelowOneStepsBy1000AndKeepsNearIntegers) {
  EXPECT_EQ(formatBinary(0.5), "500 m");
  EXPECT_EQ(formatBinary(0.0015), "1.500 m");
  EXPECT_EQ(formatBinary(2e-6), "2 \xB5");
}

TEST(FormatBuffers, CutToTheBufferAndAlwaysTerminated) {
  char buffer[16];
  formatBinary(1536.0, buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "1.500 ki");
  formatDecimal(1.5e9, buffer, 4);
  EXPECT_STREQ(buffer, "1.5");
  buffer[0] = 'x';
  formatDecimal(1.0, buffer, 0);
  EXPECT_EQ(buffer[0], 'x');
}

TEST(FormatC, MatchesPrintfForEveryConversionKind) {
  long long big = 1234567890123LL;
  size_t size = 42;
  EXPECT_EQ(formatC("%d|%5.2f|%-4s|%x|%lld|%zu|%%|%c", -7, 3.14159, "ab", 255u, big, size, 'Z'),
            "-7| 3.14|ab  |ff|1234567890123|42|%|Z");
  EXPECT_EQ(formatC("[%*d][%-*d][%.*f][%.*f]", 4, 7, 3, 7, 2, 1.0, -1, 0.5),
            "[   7][7  ][1.00][0.500000]");
  EXPECT_EQ(formatC("%e %g %.3f M ", 1500.0, 0.25, 2.5), "1.500000e+03 0.25 2.500 M ");
  const char* volatile none = nullptr;
  EXPECT_EQ(formatC("%s", none), "(null)");
  std::string longText(5000, 'q');
  EXPECT_EQ(formatC("<%s>", longText.c_str()), "<" + longText + ">");
}

// Numbers must keep '.' even when the process runs in a locale with a decimal comma.
// The German locale is compiled into a temporary folder, so the test needs no
// installed locales.
class FormatInCommaLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    std::string command = "localedef -i de_DE -f ISO-8859-1 " + dir_.file("de_DE.ISO-8859-1") +
                          " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "localedef cannot build de_DE";
    setenv("LOCPATH", dir_.path().c_str(), 1);
    if (std::setlocale(LC_ALL, "de_DE.ISO-8859-1") == nullptr) {
      GTEST_SKIP() << "de_DE locale not usable";
    }
    char probe[8];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    if (std::string(probe) != "0,5") GTEST_SKIP() << "locale has no decimal comma";
    active_ = true;
  }
  void TearDown() override {
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
  }

  corvalis::testing::TempDir dir_;
  bool active_ = false;
};

TEST_F(FormatInCommaLocale, NumbersUseThePointAndStringsStayUntouched) {
  ASSERT_TRUE(active_);
  EXPECT_EQ(formatDecimal(1.5), "1.500 ");
  EXPECT_EQ(formatDecimal(1.5e9), "1.500 G");
  EXPECT_EQ(formatBinary(1536.0), "1.500 ki");
  EXPECT_EQ(formatC("%s|%.2f|%d|%g", "1,5", 2.25, 1234567, 0.5), "1,5|2.25|1234567|0.5");
  // The grouping flag would bring in the locale's thousands separator: it is ignored.
  EXPECT_EQ(formatC("%'d", 1234567), "1234567");
}

}  // namespace
}  // namespace corvalis
