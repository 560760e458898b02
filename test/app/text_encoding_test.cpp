#include <gtest/gtest.h>

#include "app/text_encoding.h"

using namespace corvalis;

TEST(TextEncoding, MicroPrefixReachesTheTerminalAsUtf8) {
  EXPECT_EQ(latin1ToUtf8("1.500 \xB5s"), "1.500 \xC2\xB5s");
  EXPECT_EQ(latin1ToUtf8("plain"), "plain");
  EXPECT_EQ(latin1ToUtf8("\xFF"), "\xC3\xBF");
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

