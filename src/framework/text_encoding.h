#pragma once
// The one codec between the reports' single-byte ISO-8859-1 and UTF-8: terminals,
// command-line arguments and BASE.json speak UTF-8, the report files keep their bytes.

#include <string>

namespace corvalis {

// A code point (up to U+10FFFF) as UTF-8: one to four bytes.
std::string utf8Of(unsigned long codePoint);

// Every byte as the code point of the same value.
std::string latin1ToUtf8(const std::string& latin1);

// Valid UTF-8 becomes ISO-8859-1, with '?' for characters beyond U+00FF. Text that is
// not valid UTF-8 is taken to be ISO-8859-1 already and returned unchanged.
std::string utf8ToLatin1(const std::string& utf8);

// The first code point of valid UTF-8 text that ISO-8859-1 cannot hold (above U+00FF);
// 0 when there is none or the text is not valid UTF-8.
unsigned long firstBeyondLatin1(const std::string& utf8);

}  // namespace corvalis
