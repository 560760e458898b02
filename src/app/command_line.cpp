#include "app/command_line.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli_options.h"

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
  // The product is taken as a signed 32-bit number, wrapping, so a size whose product
  // overflows to zero or below falls back to the default. A zero or negative side falls
  // back too, even where two negative sides or a wrap make the product positive.
  int32_t product = static_cast<int32_t>(static_cast<uint32_t>(width) * static_cast<uint32_t>(height));
  if (width <= 0 || height <= 0 || product <= 0) {
    width = DefaultScreenWidth;
    height = DefaultScreenHeight;
  }
}

bool parseLauncherSwitches(const char* commandLine, LauncherSwitches& switches) {
  std::istringstream words(commandLine != nullptr ? commandLine : "");
  std::vector<std::string> tokens;
  for (std::string word; words >> word;) tokens.push_back(word);
  size_t i = 0;
  // The size argument, if any, comes first: a dash not followed by another.
  if (!tokens.empty() && tokens[0][0] == '-' && tokens[0].compare(0, 2, "--") != 0) i = 1;
  while (i < tokens.size()) {
    if (tokens[i] == "--no-charts") {
      switches.charts = false;
      ++i;
    } else if (tokens[i] == "--repeat" && i + 1 < tokens.size() &&
               parseRepeatSetting(tokens[i + 1], switches.repeat, switches.adaptive)) {
      i += 2;
    } else if (tokens[i] == "--budget" && i + 1 < tokens.size() &&
               parseBudgetSeconds(tokens[i + 1], switches.budget)) {
      i += 2;
    } else {
      return false;
    }
  }
  return switches.budget == 0 || switches.adaptive;
}

}  // namespace corvalis
