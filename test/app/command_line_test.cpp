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
  ASSERT_TRUE(parse({"-320x240", "--tests", "Fillrate, texcache,TILING", "--output=out/run1",
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

TEST(CliOptions, TestNamesAndKeysAreCaseInsensitive) {
  EXPECT_EQ(findTestByName("fillrate"), 0);
  EXPECT_EQ(findTestByName("BANDWIDTH"), 1);
  EXPECT_EQ(findTestByName("Texture cache"), 5);
  EXPECT_EQ(findTestByName("TexCache"), 5);
  EXPECT_EQ(findTestByName("tiling"), 6);
  EXPECT_EQ(findTestByName("texture"), -1);
  EXPECT_EQ(findTestByName(""), -1);
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
      {{"--tests", ","}, "--tests"},
      {{"--tests"}, "--tests"},
      {{"--sync", "vsync"}, "vsync"},
      {{"--device", "x"}, "--device"},
      {{"--device", "-1"}, "--device"},
      {{"--bbcode=yes"}, "--bbcode"},
      {{"--output", ""}, "--output"},
      {{"--output", std::string(300, 'a')}, "--output"},
      {{"--comment", std::string(127, 'c')}, "--comment"},
      {{"stray"}, "stray"},
      {{"-320x240", "-640x480"}, "-640x480"},
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

TEST(ScreenSize, WindowsSwitchesAreWholeWordsAfterTheSize) {
  EXPECT_TRUE(hasCommandLineSwitch("-800x600 --no-charts", "--no-charts"));
  EXPECT_TRUE(hasCommandLineSwitch("--no-charts", "--no-charts"));
  EXPECT_FALSE(hasCommandLineSwitch("-800x600 --no-chartsX", "--no-charts"));
  EXPECT_FALSE(hasCommandLineSwitch("-800x600", "--no-charts"));
  EXPECT_FALSE(hasCommandLineSwitch(nullptr, "--no-charts"));
}

}  // namespace
