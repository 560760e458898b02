// Number formatting and the single-byte text the reports use.

#include "framework/format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/text_encoding.h"
#include "report/report_files.h"

namespace corvalis {
namespace {

struct Case {
  double value;
  const char* expected;
};

// Decimal prefixes from n to T; in the plain range a value within 2 % above an integer is
// truncated to it, anything else keeps three decimals and the blank of the empty prefix.
TEST(FormatDecimal, PrefixesAndNearIntegers) {
  const Case cases[] = {
      {0.0, "0"},          {-0.0, "0"},           {500.0, "500"},
      {500.5, "500"},      {999.9, "999"},        {1.5, "1.500 "},
      {1.0, "1"},          {1.02, "1"},           {1.03, "1.030 "},
      {1.99, "1.990 "},    {0.5, "500.000 m"},    {0.002, "2.000 m"},
      {2.5e-6, "2.500 \xB5"},                     {3e-9, "3.000 n"},
      {1e-12, "0.001 n"},  {1000.0, "1.000 k"},   {999999.0, "999.999 k"},
      {1.5e9, "1.500 G"},  {1.234e12, "1.234 T"}, {2e15, "2000.000 T"},
      {-2500.0, "-2.500 k"},                      {-0.5, "-500.000 m"}};
  for (const Case& c : cases) EXPECT_EQ(formatDecimal(c.value), c.expected) << c.value;
}

// Binary prefixes step by 1024 up to Ti and round a value within 2 % of an integer to
// it; below one they step by 1000.
TEST(FormatBinary, PrefixesAndNearIntegers) {
  const double tebi = 1099511627776.0;
  const Case cases[] = {
      {0.0, "0"},                     {-0.0, "0"},
      {1000.0, "1000"},               {1023.5, "1023"},
      {1.5, "1.500 "},                {-16384.0, "-16 ki"},
      {1024.0, "1 ki"},               {1536.0, "1.500 ki"},
      {1048576.0, "1 Mi"},            {3.0 * 1073741824.0, "3 Gi"},
      {1.99 * 1024.0, "2 ki"},        {1.7 * 1024.0, "1.700 ki"},
      {5000.0 * tebi, "5000 Ti"},     {5e9 * tebi, "5000000000 Ti"},
      {0.5, "500 m"},                 {0.0015, "1.500 m"},
      {2e-6, "2 \xB5"}};
  for (const Case& c : cases) EXPECT_EQ(formatBinary(c.value), c.expected) << c.value;
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
  std::string longText(5000, 'q');
  EXPECT_EQ(formatC("<%s>", longText.c_str()), "<" + longText + ">");
}

// Each length's first and last code point, and the highest one Unicode has.
TEST(TextEncoding, CodePointsAtEveryLengthBoundary) {
  const struct {
    unsigned long point;
    const char* utf8;
  } cases[] = {
      {0x41, "A"},           {0x7F, "\x7F"},               {0x80, "\xC2\x80"},
      {0xB5, "\xC2\xB5"},    {0x7FF, "\xDF\xBF"},         {0x800, "\xE0\xA0\x80"},
      {0x20AC, "\xE2\x82\xAC"}, {0xFFFF, "\xEF\xBF\xBF"},   {0x10000, "\xF0\x90\x80\x80"},
      {0x1F600, "\xF0\x9F\x98\x80"},                  {0x10FFFF, "\xF4\x8F\xBF\xBF"}};
  for (const auto& c : cases) {
    EXPECT_EQ(utf8Of(c.point), c.utf8) << std::hex << c.point;
    // What the encoder writes, the decoder reads back as the same character.
    if (c.point > 0xFF) {
      EXPECT_EQ(firstBeyondLatin1(utf8Of(c.point)), c.point) << std::hex << c.point;
    }
  }
  EXPECT_EQ(utf8Of(0), std::string(1, '\0'));
}

// Every single-byte character (the micro prefix 0xB5 among them) reaches the terminal as
// its UTF-8 sequence and survives the way back.
TEST(TextEncoding, EveryLatin1ByteRoundTrips) {
  std::string all, expected;
  for (unsigned long c = 1; c < 256; ++c) {
    all += static_cast<char>(c);
    expected += utf8Of(c);
  }
  const std::string utf8 = latin1ToUtf8(all);
  EXPECT_EQ(utf8, expected);
  EXPECT_EQ(latin1ToUtf8("1.500 \xB5s"), "1.500 \xC2\xB5s");
  EXPECT_EQ(utf8ToLatin1(utf8), all);
  EXPECT_EQ(firstBeyondLatin1(utf8), 0u);
}

TEST(TextEncoding, Utf8CommentsBecomeSingleByteText) {
  EXPECT_EQ(utf8ToLatin1("Gr\xC3\xBC\xC3\x9F" "e"), "Gr\xFC\xDF" "e");
  // Beyond U+00FF there is no single byte: a question mark stands in.
  EXPECT_EQ(utf8ToLatin1("\xE2\x82\xAC 5"), "? 5");
  EXPECT_EQ(utf8ToLatin1("\xF0\x9F\x98\x80"), "?");
  // Not UTF-8 at all: already single-byte text, kept as it is.
  EXPECT_EQ(utf8ToLatin1("Gr\xFC\xDF" "e"), "Gr\xFC\xDF" "e");
  EXPECT_EQ(utf8ToLatin1("\xC3"), "\xC3");
  EXPECT_EQ(utf8ToLatin1("\xC0\x80"), "\xC0\x80");  // overlong NUL
}

TEST(TextEncoding, TheFirstCharacterBeyondIso8859OneIsFound) {
  EXPECT_EQ(firstBeyondLatin1("Gr\xC3\xBC\xC3\x9F" "e \xC3\xBF"), 0u);
  EXPECT_EQ(firstBeyondLatin1("a \xE2\x82\xAC \xF0\x9F\x98\x80"), 0x20ACu);
  EXPECT_EQ(firstBeyondLatin1("\xF0\x9F\x98\x80"), 0x1F600u);
  EXPECT_EQ(firstBeyondLatin1("Gr\xFC\xDF" "e"), 0u);  // already single-byte text
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
  }
  void TearDown() override {
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
  }

  corvalis::testing::TempDir dir_;
};

TEST_F(FormatInCommaLocale, NumbersUseThePointAndStringsStayUntouched) {
  EXPECT_EQ(formatDecimal(1.5e9), "1.500 G");
  EXPECT_EQ(formatBinary(1536.0), "1.500 ki");
  EXPECT_EQ(formatC("%s|%.2f|%d|%g", "1,5", 2.25, 1234567, 0.5), "1,5|2.25|1234567|0.5");
  // The grouping flag would bring in the locale's thousands separator: it is ignored.
  EXPECT_EQ(formatC("%'d", 1234567), "1234567");
}

}  // namespace
}  // namespace corvalis
