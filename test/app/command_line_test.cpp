#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/cli_options.h"
#include "app/command_line.h"
#include "framework/run_context.h"

using namespace corvalis;

namespace {

struct SizeCase {
  const char* line;
  int width;
  int height;
};

TEST(ScreenSize, FollowsTheDashWidthXHeightRules) {
  const SizeCase cases[] = {
      {"", 1024, 768},           {"800x600", 1024, 768},      {"-1280x1024", 1280, 1024},
      {"-800", 800, 768},        {"-800X600", 800, 768},      {"-x600", 1024, 768},
      // A blank or sign before the width is read, but the skip to "x" only passes digits.
      {"--800x600", 1024, 768},  {"- 640x480", 640, 768},     {"-+640x480", 640, 768},
      {"-640x-480", 1024, 768},  {"-640xabc", 1024, 768},     {"-640x480 junk", 640, 480},
      {"-0x0", 1024, 768},       {"-100000x100000", 100000, 100000},
      // A non-positive side falls back even where the product comes out positive: two
      // negative sides, or -5592405 * 768 wrapping past 2^32.
      {"--800x-600", 1024, 768}, {"-800x0", 1024, 768},       {"--5592405", 1024, 768},
      // 65536 * 65536 wraps to 0 as a 32-bit product: the default, not a zero-sized screen.
      {"-65536x65536", 1024, 768},
      // Digits beyond any int saturate rather than overflow.
      {"-99999999999999999999x1", 2147483647, 1},
  };
  for (const auto& c : cases) {
    int w = -1, h = -1;
    parseScreenSize(c.line, w, h);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(c.width, c.height)) << c.line;
  }
  int w = -1, h = -1;
  parseScreenSize(nullptr, w, h);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(1024, 768));
}

}  // namespace

// --repeat N: a whole number from 1 to 100 on both command lines; anything else is a
// usage error. The Windows line takes it, and --no-charts, after the size argument.
TEST(RepeatOption, AcceptsOneToHundredOnBothCommandLines) {
  const struct {
    const char* value;
    int expected;  // 0: refused
  } cases[] = {{"1", 1}, {"3", 3}, {"100", 100}, {"0", 0},   {"-2", 0}, {"101", 0},
               {"abc", 0}, {"3x", 0}, {"", 0},    {" 3", 0}, {"+3", 0}};
  for (const auto& c : cases) {
    CliOptions options;
    std::string error;
    const char* argv[] = {"corvalis", "-64x48", "--repeat", c.value};
    const bool ok = parseCliOptions(4, argv, options, error);
    EXPECT_EQ(ok ? options.repeat : 0, c.expected) << c.value;
    EXPECT_TRUE(ok || error.find("--repeat") != std::string::npos) << error;
  }
  const struct {
    const char* line;
    bool ok;
    int repeat;
    bool charts;
  } lines[] = {{"", true, 1, true},
               {"-800x600", true, 1, true},
               {"-800x600 --repeat 5", true, 5, true},
               {"--repeat 7", true, 7, true},
               {"-800x600 --no-charts --repeat 4", true, 4, false},
               {"--no-charts", true, 1, false},
               {"-800 --repeat 0", false, 1, true},
               {"-800x600 --repeat", false, 1, true},
               {"-800x600 --repeat 3 extra", false, 3, true},
               {"-800x600 --no-chartsX", false, 1, true},
               {"-800x600 --bogus", false, 1, true}};
  for (const auto& l : lines) {
    LauncherSwitches switches;
    EXPECT_EQ(parseLauncherSwitches(l.line, switches), l.ok) << l.line;
    if (l.ok) {
      EXPECT_EQ(switches.repeat, l.repeat) << l.line;
      EXPECT_EQ(switches.charts, l.charts) << l.line;
    }
  }
}

// --repeat auto and --budget SECONDS: the same values on both command lines; a budget
// needs the adaptive mode, a whole number of seconds in range, and on Linux at least
// the first rounds of the selected tests, whose least budget the message names.
TEST(RepeatOption, AutoAndBudgetOnBothCommandLines) {
  const struct {
    std::vector<const char*> args;
    const char* error;  // nullptr: accepted
    int budget;
  } cases[] = {
      {{"--repeat", "auto"}, nullptr, 0},
      {{"--repeat", "auto", "--budget", "600"}, nullptr, 600},
      {{"--budget", "900", "--repeat", "auto"}, nullptr, 900},
      {{"--tests", "readback", "--repeat", "auto", "--budget", "8"}, nullptr, 8},
      {{"--repeat", "Auto"}, "--repeat needs a whole number from 1 to 100 or 'auto'", 0},
      {{"--repeat", "3", "--budget", "600"}, "--budget limits the rounds of --repeat auto", 0},
      {{"--repeat", "auto", "--budget", "0"}, "--budget needs a whole number of seconds from 1 to 86400", 0},
      {{"--repeat", "auto", "--budget", "86401"}, "--budget needs a whole number", 0},
      {{"--repeat", "auto", "--budget", "1e3"}, "--budget needs a whole number", 0},
      {{"--repeat", "auto", "--budget", "30"}, "the smallest that would do is 72", 0},
      {{"--tests", "readback", "--repeat", "auto", "--budget", "7"}, "the smallest that would do is 8", 0},
  };
  for (const auto& c : cases) {
    std::vector<const char*> argv = {"corvalis", "-64x48"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    CliOptions options;
    std::string error;
    const bool ok = parseCliOptions(static_cast<int>(argv.size()), argv.data(), options, error);
    EXPECT_EQ(ok, c.error == nullptr) << c.args.back() << ": " << error;
    if (ok) {
      EXPECT_TRUE(options.adaptive);
      EXPECT_EQ(options.repeat, AutoRoundsCeiling);
      EXPECT_EQ(options.budget, c.budget);
    } else {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
  }
  LauncherSwitches switches;
  EXPECT_TRUE(parseLauncherSwitches("-800x600 --budget 120 --repeat auto --no-charts", switches));
  EXPECT_TRUE(switches.adaptive);
  EXPECT_EQ(switches.budget, 120);
  EXPECT_EQ(switches.repeat, AutoRoundsCeiling);
  for (const char* line : {"--budget 120", "--repeat 5 --budget 120", "--repeat auto --budget 0",
                           "--repeat auto --budget x"}) {
    LauncherSwitches refused;
    EXPECT_FALSE(parseLauncherSwitches(line, refused)) << line;
  }
}
