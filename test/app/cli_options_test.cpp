// The console program's options: the parser, the table behind it, and the help and
// manual page made or written from that table.
#include "app/cli_options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

using namespace corvalis;

namespace {

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
      {{"--compare", "a.txt", "b.txt", "--fail-on-regression", "101"}, "'101'"},
      {{"--compare", "a.txt", "b.txt", "--fail-on-regression", "-1"}, "'-1'"},
      {{"--compare", "a.txt", "b.txt", "--fail-on-regression", "5%"}, "'5%'"},
      {{"--compare", "a.txt", "b.txt", "--fail-on-regression", "nan"}, "'nan'"},
      {{"--compare", "a.txt", "b.txt", "--fail-on-regression"}, "--fail-on-regression"},
      {{"--fail-on-regression", "5"}, "--compare OLD.txt NEW.txt"},
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

// PCT of --fail-on-regression: a C-locale number from 0 to 100, whole or not.
TEST(CliOptions, RegressionPercentIsANumberFromZeroToHundred) {
  const struct {
    const char* text;
    bool ok;
    double percent;
  } cases[] = {
      {"0", true, 0},     {"5", true, 5},       {"2.5", true, 2.5},  {"100", true, 100},
      {"-0", true, 0},    {"100.01", false, 0}, {"-0.5", false, 0},  {"", false, 0},
      {" 5", false, 0},   {"5 ", false, 0},     {"+5", false, 0},    {"2,5", false, 0},
      {"inf", false, 0},  {"nan", false, 0},    {"five", false, 0},
  };
  for (const auto& c : cases) {
    double percent = -1;
    EXPECT_EQ(parseRegressionPercent(c.text, percent), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(percent, c.percent) << c.text;
    EXPECT_FALSE(std::signbit(percent)) << c.text;
  }
  CliOptions o;
  std::string error;
  ASSERT_TRUE(parse({"--compare", "a.txt", "b.txt", "--fail-on-regression=2.5", "--output", "x"}, o,
                    error))
      << error;
  EXPECT_TRUE(o.gate);
  EXPECT_EQ(o.regressionPercent, 2.5);
  EXPECT_EQ(o.compare.size(), 2u);
  ASSERT_TRUE(parse({"--compare", "a.txt", "b.txt"}, o = CliOptions(), error)) << error;
  EXPECT_FALSE(o.gate);
}

TEST(CliOptions, TheHelpAliasAndInlineValues) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(parse({"-h", "--repeat=3", "--sync=SWAP"}, o, error)) << error;
  EXPECT_TRUE(o.help);
  EXPECT_EQ(o.repeat, 3);
  EXPECT_TRUE(o.syncSwap);
  EXPECT_FALSE(parse({"-h=1"}, o, error));
  EXPECT_NE(error.find("unknown option '-h=1'"), std::string::npos) << error;
}

// The spellings of the table's options: names and aliases.
std::set<std::string> tableSpellings() {
  std::set<std::string> spellings;
  for (const CliOption& option : cliOptionTable()) {
    spellings.insert(option.name);
    if (option.alias) spellings.insert(option.alias);
  }
  return spellings;
}

// Every word of the text that looks like an option: "--name" or "-x".
std::set<std::string> optionWords(const std::string& text) {
  static const std::regex word("(^|[^A-Za-z0-9-])(--?[A-Za-z][A-Za-z0-9-]*)");
  std::set<std::string> words;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), word); it != std::sregex_iterator();
       ++it)
    words.insert((*it)[2]);
  return words;
}

std::set<std::string> longOptionsOf(const std::set<std::string>& words) {
  std::set<std::string> options;
  for (const std::string& w : words)
    if (w.compare(0, 2, "--") == 0) options.insert(w);
  return options;
}

// The manual page as plain text: escaped hyphens as hyphens, font changes dropped.
std::string manualPageText() {
  std::ifstream in(CORVALIS_MANUAL_PAGE);
  std::string roff((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  roff = std::regex_replace(roff, std::regex(R"(\\f[BIRP])"), "");
  return std::regex_replace(roff, std::regex(R"(\\-)"), "-");
}

// The options the OPTIONS section gives an entry of their own: the line after each .TP.
std::set<std::string> manualPageEntries(const std::string& page) {
  const size_t start = page.find(".SH OPTIONS\n");
  const size_t end = page.find("\n.SH ", start + 1);
  std::set<std::string> entries;
  if (start == std::string::npos) return entries;
  const std::string section = page.substr(start, end - start);
  for (size_t at = section.find(".TP\n"); at != std::string::npos;
       at = section.find(".TP\n", at + 1)) {
    const size_t from = at + 4;
    const std::set<std::string> words =
        optionWords(section.substr(from, section.find('\n', from) - from));
    entries.insert(words.begin(), words.end());
  }
  entries.erase("-WIDTH");  // the size argument, which is no option of the table
  return entries;
}

// The help text and the manual page cannot drift from the table: the help is made from
// it and must name every option; the manual page must give each an entry and mention no
// option the program does not take.
TEST(CliOptions, HelpAndManualPageNameExactlyTheTableOptions) {
  const std::set<std::string> spellings = tableSpellings();
  ASSERT_GE(spellings.size(), 18u);

  const std::set<std::string> helpWords = optionWords(usageText());
  for (const std::string& spelling : spellings)
    EXPECT_EQ(helpWords.count(spelling), 1u) << spelling;
  for (const std::string& option : longOptionsOf(helpWords))
    EXPECT_EQ(spellings.count(option), 1u) << option << " is in --help but not in the table";

  const std::string page = manualPageText();
  ASSERT_FALSE(page.empty()) << CORVALIS_MANUAL_PAGE;
  EXPECT_EQ(manualPageEntries(page), spellings);
  for (const std::string& option : longOptionsOf(optionWords(page)))
    EXPECT_EQ(spellings.count(option), 1u) << option << " is in the manual page, not the table";
}

// The bash completion offers exactly the table's options, and names no other.
TEST(CliOptions, BashCompletionNamesExactlyTheTableOptions) {
  std::ifstream in(CORVALIS_COMPLETION);
  const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(script.empty()) << CORVALIS_COMPLETION;
  const size_t start = script.find("_corvalis_options=\"");
  ASSERT_NE(start, std::string::npos);
  const size_t from = start + 19;
  const std::set<std::string> offered = optionWords(script.substr(from, script.find('"', from) - from));
  EXPECT_EQ(offered, tableSpellings());
  for (const std::string& option : longOptionsOf(optionWords(script)))
    EXPECT_EQ(tableSpellings().count(option), 1u) << option << " is in the completion, not the table";
}

// Each help line stays within the column layout: option, then its text from column 20.
TEST(CliOptions, HelpTextsLineUpAfterTheirOption) {
  const std::string help = usageText();
  EXPECT_NE(help.find("\n  --sync flush|swap end timed batches"), std::string::npos) << help;
  EXPECT_NE(help.find("\n  --help, -h        print this text and exit\n"), std::string::npos);
  // A left side wider than the column puts the text on the next line.
  EXPECT_NE(help.find("\n  --compare OLD.txt NEW.txt [MORE.txt...]\n                    compare "),
            std::string::npos)
      << help;
  EXPECT_NE(help.find("[--window | --headless]"), std::string::npos) << help;
  EXPECT_NE(
      help.find("\n       corvalis --compare OLD.txt NEW.txt [MORE.txt...] [--output BASE]\n"
                "                [--fail-on-regression PCT]\n"),
      std::string::npos)
      << help;
}

}  // namespace
