#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/cli_options.h"
#include "app/command_line.h"

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
    EXPECT_EQ(w, c.width) << c.line;
    EXPECT_EQ(h, c.height) << c.line;
  }
  int w = -1, h = -1;
  parseScreenSize(nullptr, w, h);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);
}

// argv holder for parseCliOptions.
bool parse(std::vector<std::string> args, CliOptions& options, std::string& error) {
  args.insert(args.begin(), "corvalis");
  std::vector<const char*> argv;
  for (auto& a : args) argv.push_back(a.c_str());
  return parseCliOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(CliOptions, DefaultsSelectEverythingAtTheDefaultSize) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(parse({}, o, error)) << error;
  EXPECT_EQ(o.width, 1024);
  EXPECT_EQ(o.height, 768);
  for (bool t : o.tests) EXPECT_TRUE(t);
  EXPECT_FALSE(o.syncSwap);
  EXPECT_TRUE(o.bbBold && o.bbCode && o.bbUrl);
  EXPECT_EQ(o.device, -1);
}

TEST(CliOptions, SizeFirstThenLongOptions) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(parse({"-320x240", "--tests", "Fillrate, Texture cache,TILING", "--output=out/run1",
                     "--comment", "hello", "--sync", "swap", "--no-bb-bold", "--no-bb-code",
                     "--no-bb-url", "--bbcode", "--device", "1"},
                    o, error))
      << error;
  EXPECT_EQ(o.width, 320);
  EXPECT_EQ(o.height, 240);
  const bool expected[7] = {true, false, false, false, false, true, true};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(o.tests[i], expected[i]) << i;
  EXPECT_EQ(o.output, "out/run1");
  EXPECT_TRUE(o.commentGiven);
  EXPECT_EQ(o.comment, "hello");
  EXPECT_TRUE(o.syncSwap);
  EXPECT_FALSE(o.bbBold || o.bbCode || o.bbUrl);
  EXPECT_TRUE(o.printBBCode);
  EXPECT_EQ(o.device, 1);
}

TEST(CliOptions, UsageErrorsNameTheBadOptionOrValue) {
  struct Bad {
    std::vector<std::string> args;
    const char* mentions;
  };
  const Bad bad[] = {
      {{"--frobnicate"}, "--frobnicate"},
      {{"-q"}, "-q"},
      {{"--tests", "fillrate,warp"}, "warp"},
      {{"--tests", "texture"}, "texture"},
      {{"--tests", ","}, "--tests"},
      {{"--tests"}, "--tests"},
      {{"--sync", "vsync"}, "vsync"},
      {{"--device", "x"}, "--device"},
      {{"--device", "-1"}, "--device"},
      {{"--bbcode=yes"}, "--bbcode"},
      {{"--output", ""}, "--output"},
      {{"--output", std::string(300, 'a')}, "--output"},
      {{"--comment", std::string(127, 'c')}, "--comment"},
      {{"--comment", "5 \xE2\x82\xAC"}, "'\xE2\x82\xAC' (U+20AC)"},
      {{"stray"}, "stray"},
      {{"-320x240", "-640x480"}, "-640x480"},
      {{"--window", "--headless"}, "--window and --headless"},
      {{"--window", "--device", "0"}, "--device"},
      {{"--headless=1"}, "--headless"},
      {{"--compare", "one.txt"}, "--compare"},
      {{"--compare", "--output", "x"}, "--compare"},
      {{"--no-charts=1"}, "--no-charts"},
  };
  for (const auto& b : bad) {
    CliOptions o;
    std::string error;
    EXPECT_FALSE(parse(b.args, o, error)) << b.mentions;
    EXPECT_NE(error.find(b.mentions), std::string::npos) << error;
  }
  CliOptions o;
  std::string error;
  EXPECT_TRUE(parse({"--comment", std::string(126, 'c')}, o, error)) << error;
  // The limit counts ISO-8859-1 characters, not the bytes of their UTF-8 form.
  std::string accented;
  for (int i = 0; i < 126; ++i) accented += "\xC3\xA9";
  EXPECT_TRUE(parse({"--comment", accented}, o, error)) << error;
  EXPECT_EQ(o.comment, std::string(126, '\xE9'));
  EXPECT_FALSE(parse({"--comment", accented + "\xC3\xA9"}, o, error));
}

// Which window system a run gets from its options and whether the X display opened.
TEST(CliOptions, WindowBackendChoice) {
  struct Case {
    std::vector<std::string> args;
    bool displayOpened;
    bool triesDisplay;
    WindowBackend backend;
  };
  const Case cases[] = {
      {{}, true, true, WindowBackend::X11Window},
      {{}, false, true, WindowBackend::Pbuffer},
      {{"--window"}, true, true, WindowBackend::X11Window},
      {{"--window"}, false, true, WindowBackend::NoDisplay},
      {{"--headless"}, true, false, WindowBackend::Pbuffer},
      {{"--device", "0"}, true, false, WindowBackend::Pbuffer},
      {{"--headless", "--device", "0"}, false, false, WindowBackend::Pbuffer},
  };
  for (const Case& c : cases) {
    CliOptions o;
    std::string error;
    ASSERT_TRUE(parse(c.args, o, error)) << error;
    const std::string what = c.args.empty() ? "(none)" : c.args[0];
    EXPECT_EQ(wantsDisplay(o), c.triesDisplay) << what;
    EXPECT_EQ(chooseWindowBackend(o, c.displayOpened), c.backend) << what << c.displayOpened;
  }
}

TEST(CliOptions, CompareTakesTheReportsUpToTheNextOption) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(parse({"--compare", "a.txt", "b.txt", "c.txt", "--output", "cmp", "--no-charts"}, o,
                    error))
      << error;
  EXPECT_EQ(o.compare, (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(o.output, "cmp");
  EXPECT_FALSE(o.charts);
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
    EXPECT_EQ(parseCliOptions(4, argv, options, error), c.expected != 0) << c.value;
    if (c.expected != 0) {
      EXPECT_EQ(options.repeat, c.expected) << c.value;
    } else {
      EXPECT_NE(error.find("--repeat"), std::string::npos) << error;
    }
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
