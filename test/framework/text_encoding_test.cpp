#include "framework/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

using namespace corvalis;

// Each length's first and last code point, and the highest one Unicode has.
TEST(TextEncoding, CodePointsAtEveryLengthBoundary) {
  const struct {
    unsigned long point;
    const char* utf8;
  } cases[] = {
      {0x41, "A"},
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0xB5, "\xC2\xB5"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0x20AC, "\xE2\x82\xAC"},
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x1F600, "\xF0\x9F\x98\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
  };
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
