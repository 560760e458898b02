#include "app/command_line.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace corvalis {

namespace {

// A decimal integer as atoi reads it: leading white space, an optional sign, then
// digits up to the first non-digit; no digits give 0. Saturates instead of overflowing.
int readInteger(const char* text) {
  while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r' || *text == '\v' ||
         *text == '\f')
    ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  int64_t value = 0;
  while (*text >= '0' && *text <= '9') {
    if (value <= INT32_MAX) value = value * 10 + (*text - '0');
    ++text;
  }
  if (value > INT32_MAX) value = negative ? int64_t(INT32_MAX) + 1 : INT32_MAX;
  return static_cast<int>(negative ? -value : value);
}

}  // namespace

void parseScreenSize(const char* commandLine, int& width, int& height) {
  width = DefaultScreenWidth;
  height = DefaultScreenHeight;
  if (commandLine && commandLine[0] == '-') {
    width = readInteger(commandLine + 1);
    const char* p = commandLine + 1;
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == 'x') height = readInteger(p + 1);
  }
  // The product is taken as a signed 32-bit number, wrapping as the original did, so a
  // size whose product overflows to zero or below falls back to the default.
  int32_t product = static_cast<int32_t>(static_cast<uint32_t>(width) * static_cast<uint32_t>(height));
  if (product <= 0) {
    width = DefaultScreenWidth;
    height = DefaultScreenHeight;
  }
}

}  // namespace corvalis

namespace corvalis {

bool hasCommandLineSwitch(const char* commandLine, const char* word) {
  if (commandLine == nullptr || word == nullptr || *word == '\0') return false;
  const std::string text = commandLine;
  const std::string wanted = word;
  size_t start = 0;
  while (start < text.size()) {
    start = text.find_first_not_of(" \t", start);
    if (start == std::string::npos) break;
    size_t end = text.find_first_of(" \t", start);
    if (end == std::string::npos) end = text.size();
    if (text.compare(start, end - start, wanted) == 0) return true;
    start = end;
  }
  return false;
}

}  // namespace corvalis
