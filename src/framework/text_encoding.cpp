#include "framework/text_encoding.h"

#include <vector>

namespace corvalis {

namespace {

// Appends the code point's UTF-8 bytes.
void appendUtf8(std::string& out, unsigned long codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
    return;
  }
  if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (codePoint & 0x3F));
}

// The code points of valid UTF-8; false (points unspecified) when it is not valid.
bool decodeUtf8(const std::string& utf8, std::vector<unsigned long>& points) {
  points.clear();
  size_t i = 0;
  while (i < utf8.size()) {
    unsigned char lead = static_cast<unsigned char>(utf8[i]);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                                  : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + static_cast<size_t>(length) > utf8.size()) return false;
    unsigned long codePoint = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      unsigned char next = static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) return false;
      codePoint = (codePoint << 6) | (next & 0x3F);
    }
    // Overlong forms are not valid UTF-8.
    static const unsigned long minimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < minimum[length] || codePoint > 0x10FFFF) return false;
    points.push_back(codePoint);
    i += static_cast<size_t>(length);
  }
  return true;
}

}  // namespace

std::string utf8Of(unsigned long codePoint) {
  std::string utf8;
  appendUtf8(utf8, codePoint);
  return utf8;
}

std::string latin1ToUtf8(const std::string& latin1) {
  std::string out;
  out.reserve(latin1.size() * 2);
  for (unsigned char c : latin1) appendUtf8(out, c);
  return out;
}

std::string utf8ToLatin1(const std::string& utf8) {
  std::vector<unsigned long> points;
  if (!decodeUtf8(utf8, points)) return utf8;
  std::string out;
  out.reserve(points.size());
  for (unsigned long point : points) out += point <= 0xFF ? static_cast<char>(point) : '?';
  return out;
}

unsigned long firstBeyondLatin1(const std::string& utf8) {
  std::vector<unsigned long> points;
  if (!decodeUtf8(utf8, points)) return 0;
  for (unsigned long point : points)
    if (point > 0xFF) return point;
  return 0;
}

}  // namespace corvalis
