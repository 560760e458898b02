// The console program's options: the parser, the table behind it, and the help and
// manual page made or written from that table.
#include "app/cli_options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "report/report_files.h"

using namespace corvalis;

namespace {

using corvalis::testing::contains;
using corvalis::testing::readBytes;

// argv holder for parseCliOptions.
bool parse(std::vector<std::string> args, CliOptions& options, std::string& error) {
  args.insert(args.begin(), "corvalis");
  std::vector<const char*> argv;
  for (auto& a : args) argv.push_back(a.c_str());
  return parseCliOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

// The options of a command line that must parse.
CliOptions parsed(const std::vector<std::string>& args) {
  CliOptions options;
  std::string error;
  EXPECT_TRUE(parse(args, options, error)) << error;
  return options;
}

TEST(CliOptions, DefaultsSelectEverythingAtTheDefaultSize) {
  const CliOptions o = parsed({});
  EXPECT_EQ(o.width, 1024);
  EXPECT_EQ(o.height, 768);
  for (bool t : o.tests) EXPECT_TRUE(t);
  EXPECT_FALSE(o.syncSwap || o.help);
  EXPECT_TRUE(o.bbBold && o.bbCode && o.bbUrl);
  EXPECT_EQ(o.device, -1);
}

// Values follow their option as the next word or after "=", the sync method in any case.
TEST(CliOptions, SizeFirstThenLongOptions) {
  const CliOptions o = parsed({"-320x240", "--tests", "Fillrate, Texture cache,TILING",
                               "--output=out/run1", "--comment", "hello", "--sync=SWAP", "-h",
                               "--repeat=3", "--no-bb-bold", "--no-bb-code", "--no-bb-url",
                               "--bbcode", "--device", "1"});
  EXPECT_EQ(o.width, 320);
  EXPECT_EQ(o.height, 240);
  const bool expected[7] = {true, false, false, false, false, true, true};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(o.tests[i], expected[i]) << i;
  EXPECT_EQ(o.output, "out/run1");
  EXPECT_TRUE(o.commentGiven);
  EXPECT_EQ(o.comment, "hello");
  EXPECT_TRUE(o.syncSwap && o.help && o.printBBCode);
  EXPECT_EQ(o.repeat, 3);
  EXPECT_FALSE(o.bbBold || o.bbCode || o.bbUrl);
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
      {{"-h=1"}, "unknown option '-h=1'"},
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
      {{"--compare", "a.txt", "b.txt", "--fail-on-regression", "5%"}, "'5%'"},
      {{"--compare", "a.txt", "b.txt", "--fail-on-regression"}, "--fail-on-regression"},
      {{"--fail-on-regression", "5"}, "--compare OLD.txt NEW.txt"},
      {{"--a", "GALLIUM_DRIVER"}, "side A's environment"},
      {{"--b", "=softpipe"}, "--b needs NAME=VALUE"},
      {{"--b", "1X=2"}, "'1X=2'"},
      {{"--b", "MESA GL=1"}, "'MESA GL=1'"},
      {{"--b-device", "one"}, "--b-device"},
      {{"--ab", "--repeat", "1"}, "--repeat N with N from 2"},
      {{"--ab", "--repeat", "auto"}, "--repeat N with N from 2"},
      {{"--ab", "--compare", "a.txt", "b.txt"}, "one or the other"},
      {{"--window", "--a-device", "1"}, "--a-device"},
  };
  for (const auto& b : bad) {
    CliOptions o;
    std::string error;
    EXPECT_FALSE(parse(b.args, o, error)) << b.mentions;
    EXPECT_NE(error.find(b.mentions), std::string::npos) << error;
  }
  EXPECT_EQ(parsed({"--comment", std::string(126, 'c')}).comment, std::string(126, 'c'));
  // The limit counts ISO-8859-1 characters, not the bytes of their UTF-8 form.
  std::string accented;
  for (int i = 0; i < 126; ++i) accented += "\xC3\xA9";
  EXPECT_EQ(parsed({"--comment", accented}).comment, std::string(126, '\xE9'));
  CliOptions o;
  std::string error;
  EXPECT_FALSE(parse({"--comment", accented + "\xC3\xA9"}, o, error));
}

// The sides of an A/B session and the command line each worker gets: the common
// settings, its own device and base name, and the session's fixed repeats.
TEST(CliOptions, AbSessionSidesAndWorkerArguments) {
  const CliOptions o = parsed({"-64x48", "--tests", "fillrate", "--a", "LP_NUM_THREADS=1",
                               "--b", "GALLIUM_DRIVER=softpipe", "--b", "X=a=b", "--b-device",
                               "1", "--output", "r", "--fail-on-regression", "3"});
  EXPECT_TRUE(o.abSession);
  EXPECT_EQ(o.sideEnv[1], (std::vector<std::string>{"GALLIUM_DRIVER=softpipe", "X=a=b"}));
  EXPECT_EQ(sideDescription(o, 0), "LP_NUM_THREADS=1");
  EXPECT_EQ(sideDescription(o, 1), "GALLIUM_DRIVER=softpipe X=a=b --device 1");
  EXPECT_EQ(workerArguments(o, 0),
            (std::vector<std::string>{"-64x48", "--tests", "Fillrate", "--output", "r.a", "--sync",
                                      "flush", "--repeat", "8"}));
  EXPECT_EQ(workerArguments(o, 1),
            (std::vector<std::string>{"-64x48", "--tests", "Fillrate", "--output", "r.b", "--sync",
                                      "flush", "--device", "1", "--repeat", "8"}));
  const CliOptions same = parsed({"--ab", "--repeat", "3", "--device", "0", "--headless"});
  EXPECT_EQ(sideDescription(same, 1), "as the session");
  const std::vector<std::string> args = workerArguments(same, 1);
  EXPECT_EQ(std::vector<std::string>(args.end() - 5, args.end()),
            (std::vector<std::string>{"--device", "0", "--headless", "--repeat", "3"}));
  EXPECT_FALSE(parsed({"--repeat", "3"}).abSession);
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
    const CliOptions o = parsed(c.args);
    const std::string what = c.args.empty() ? "(none)" : c.args[0];
    EXPECT_EQ(wantsDisplay(o), c.triesDisplay) << what;
    EXPECT_EQ(chooseWindowBackend(o, c.displayOpened), c.backend) << what << c.displayOpened;
  }
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
      {"inf", false, 0},  {"nan", false, 0},    {"five", false, 0},  {"1e999", false, 0},
      // Too small for a double: zero, as any number that rounds to it.
      {"1e-300", true, 1e-300}, {"1e-400", true, 0}, {"-1e-400", true, 0}, {"0.0001e-330", true, 0},
  };
  for (const auto& c : cases) {
    double percent = -1;
    EXPECT_EQ(parseRegressionPercent(c.text, percent), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(percent, c.percent) << c.text;
    EXPECT_FALSE(std::signbit(percent)) << c.text;
  }
  // --compare takes the reports up to the next option.
  const CliOptions o = parsed({"--compare", "a.txt", "b.txt", "c.txt", "--fail-on-regression=2.5",
                               "--output", "cmp", "--no-charts"});
  EXPECT_EQ(o.compare, (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  EXPECT_TRUE(o.gate);
  EXPECT_EQ(o.regressionPercent, 2.5);
  EXPECT_EQ(o.output, "cmp");
  EXPECT_FALSE(o.charts);
  EXPECT_FALSE(parsed({"--compare", "a.txt", "b.txt"}).gate);
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
  const std::string roff = std::regex_replace(readBytes(CORVALIS_MANUAL_PAGE),
                                              std::regex(R"(\\f[BIRP])"), "");
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

// The help text, the manual page and the bash completion cannot drift from the table:
// the help is made from it and names every option, the manual page gives each an entry,
// the completion offers exactly them, and none of the three names an option the program
// does not take.
TEST(CliOptions, HelpManualPageAndCompletionNameExactlyTheTableOptions) {
  const std::set<std::string> spellings = tableSpellings();
  ASSERT_GE(spellings.size(), 18u);
  const std::string page = manualPageText();
  ASSERT_FALSE(page.empty()) << CORVALIS_MANUAL_PAGE;
  const std::string script = readBytes(CORVALIS_COMPLETION);
  const size_t start = script.find("_corvalis_options=\"");
  ASSERT_NE(start, std::string::npos) << CORVALIS_COMPLETION;
  const size_t from = start + 19;
  const struct {
    const char* what;
    std::string text;
    std::set<std::string> named;  // where each option must be named
    bool exactly;                 // and nothing else
  } docs[] = {
      {"--help", usageText(), optionWords(usageText()), false},
      {"manual page", page, manualPageEntries(page), true},
      {"completion", script, optionWords(script.substr(from, script.find('"', from) - from)), true},
  };
  for (const auto& doc : docs) {
    SCOPED_TRACE(doc.what);
    for (const std::string& spelling : spellings)
      EXPECT_EQ(doc.named.count(spelling), 1u) << spelling;
    EXPECT_TRUE(!doc.exactly || doc.named == spellings) << ::testing::PrintToString(doc.named);
    for (const std::string& option : longOptionsOf(optionWords(doc.text)))
      EXPECT_EQ(spellings.count(option), 1u) << option << " is not in the table";
  }
}

// Each help line stays within the column layout: option, then its text from column 20.
TEST(CliOptions, HelpTextsLineUpAfterTheirOption) {
  const std::string help = usageText();
  EXPECT_TRUE(contains(help, "\n  --sync flush|swap end timed batches")) << help;
  EXPECT_TRUE(contains(help, "\n  --help, -h        print this text and exit\n")) << help;
  // A left side wider than the column puts the text on the next line.
  EXPECT_TRUE(contains(help, "\n  --compare OLD.txt NEW.txt [MORE.txt...]\n                    compare "))
      << help;
  EXPECT_TRUE(contains(help, "[--window | --headless]")) << help;
  EXPECT_TRUE(contains(help, "\n       corvalis --compare OLD.txt NEW.txt [MORE.txt...] [--output BASE]\n"
                             "                [--fail-on-regression PCT]\n"))
      << help;
}

}  // namespace
