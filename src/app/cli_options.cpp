#include "app/cli_options.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/command_line.h"
#include "app/launcher_settings.h"
#include "framework/run_context.h"
#include "framework/text_encoding.h"
#include "report/run_files.h"

namespace corvalis {

namespace {

// "'X' (U+20AC)": the character in UTF-8 and its code point.
std::string codePointText(unsigned long point) {
  char code[32];
  std::snprintf(code, sizeof code, "U+%04lX", point);
  return "'" + utf8Of(point) + "' (" + code + ")";
}

using Values = std::vector<std::string>;

std::string lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string trimmed(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return std::string();
  size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

// The first argument is the screen size when it starts with a dash that does not begin
// a long option: "-800x600", "-800", "-x600", "--800x600".
bool isSizeArgument(const char* arg) {
  if (arg[0] != '-') return false;
  if (arg[1] == '-') return arg[2] == '\0' ? false : !std::isalpha(static_cast<unsigned char>(arg[2]));
  return arg[1] == '\0' || arg[1] == 'x' || !std::isalpha(static_cast<unsigned char>(arg[1]));
}

// --tests LIST: comma-separated names or keys, or "all".
bool setTests(CliOptions& options, const Values& values, std::string& error) {
  const std::string& list = values[0];
  options.tests.fill(false);
  options.testsGiven = true;
  size_t start = 0;
  bool any = false;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string name = trimmed(list.substr(start, comma - start));
    start = comma + 1;
    if (name.empty()) continue;
    if (lowered(name) == "all") {
      options.tests.fill(true);
      any = true;
      continue;
    }
    int index = findTestByName(name);
    if (index < 0) {
      error = "unknown test '" + name + "' in --tests (see --list)";
      return false;
    }
    options.tests[static_cast<size_t>(index)] = true;
    any = true;
  }
  if (!any) {
    error = "--tests needs at least one test name (see --list)";
    return false;
  }
  return true;
}

bool setOutput(CliOptions& options, const Values& values, std::string& error) {
  options.output = values[0];
  if (options.output.empty()) {
    error = "--output needs a base name";
    return false;
  }
  if (options.output.size() >= BaseNameSize) {
    error = "--output base name is longer than " + std::to_string(BaseNameSize - 1) +
            " characters";
    return false;
  }
  return true;
}

// The report holds ISO-8859-1: the limit counts its characters, and one it has no byte
// for is refused rather than silently replaced.
bool setComment(CliOptions& options, const Values& values, std::string& error) {
  if (unsigned long beyond = firstBeyondLatin1(values[0])) {
    error = "--comment holds " + codePointText(beyond) +
            ", which the report's ISO-8859-1 text cannot hold";
    return false;
  }
  options.comment = utf8ToLatin1(values[0]);
  if (options.comment.size() > CommentSize - 2) {
    error = "--comment is longer than " + std::to_string(CommentSize - 2) + " characters";
    return false;
  }
  options.commentGiven = true;
  return true;
}

bool setSync(CliOptions& options, const Values& values, std::string& error) {
  const std::string method = lowered(values[0]);
  if (method != "swap" && method != "flush") {
    error = "--sync takes 'flush' or 'swap', not '" + values[0] + "'";
    return false;
  }
  options.syncSwap = method == "swap";
  return true;
}

bool setDevice(CliOptions& options, const Values& values, std::string& error) {
  const std::string& text = values[0];
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < 0 || value > 1000) {
    error = "--device needs a device number from --list-devices, not '" + text + "'";
    return false;
  }
  options.device = static_cast<int>(value);
  return true;
}

bool setRepeat(CliOptions& options, const Values& values, std::string& error) {
  options.repeatGiven = true;
  if (parseRepeatSetting(values[0], options.repeat, options.adaptive)) return true;
  error = "--repeat needs a whole number from 1 to 100 or 'auto', not '" + values[0] + "'";
  return false;
}

bool setBudget(CliOptions& options, const Values& values, std::string& error) {
  if (parseBudgetSeconds(values[0], options.budget)) return true;
  error = "--budget needs a whole number of seconds from 1 to " +
          std::to_string(MaxBudgetSeconds) + ", not '" + values[0] + "'";
  return false;
}

// --window and --headless: either may be given, even twice, but not both.
template <WindowMode Mode>
bool setWindowMode(CliOptions& options, const Values&, std::string& error) {
  if (options.windowMode != WindowMode::Auto && options.windowMode != Mode) {
    error = "--window and --headless exclude each other";
    return false;
  }
  options.windowMode = Mode;
  return true;
}

bool setCompare(CliOptions& options, const Values& values, std::string& error) {
  options.compare.insert(options.compare.end(), values.begin(), values.end());
  if (options.compare.size() >= 2) return true;
  error = "--compare needs at least two text reports (OLD.txt NEW.txt)";
  return false;
}

bool setFailOnRegression(CliOptions& options, const Values& values, std::string& error) {
  if (!parseRegressionPercent(values[0], options.regressionPercent)) {
    error = "--fail-on-regression needs a percentage from 0 to 100, not '" + values[0] + "'";
    return false;
  }
  options.gate = true;
  return true;
}

// --a NAME=VALUE and --b NAME=VALUE: an entry of that side's environment.
template <int Side>
bool setSideEnv(CliOptions& options, const Values& values, std::string& error) {
  if (!isEnvironmentEntry(values[0])) {
    error = std::string("--") + (Side == 0 ? "a" : "b") + " needs NAME=VALUE (side " +
            sideName(Side) + "'s environment), not '" + values[0] + "'";
    return false;
  }
  options.sideEnv[Side].push_back(values[0]);
  options.abSession = true;
  return true;
}

// --a-device N and --b-device N.
template <int Side>
bool setSideDevice(CliOptions& options, const Values& values, std::string& error) {
  CliOptions scratch;
  if (!setDevice(scratch, values, error)) {
    error = std::string("--") + (Side == 0 ? "a" : "b") + "-device needs a device number from "
            "--list-devices, not '" + values[0] + "'";
    return false;
  }
  options.sideDevice[Side] = scratch.device;
  options.abSession = true;
  return true;
}

// A switch that sets one flag of the options to a fixed value.
template <bool CliOptions::*Flag, bool To>
bool setFlag(CliOptions& options, const Values&, std::string&) {
  options.*Flag = To;
  return true;
}

// The options in the order of the usage text. Adding an option is one row here (and
// its entry in the manual page, which a unit test holds to this table).
const std::vector<CliOption> kOptionTable = {
    {"--tests", nullptr, CliArgument::Value, "LIST", CliSynopsis::Run, setTests,
     "comma-separated tests by name or key (default: all; see --list)"},
    {"--output", nullptr, CliArgument::Value, "BASE", CliSynopsis::RunAndCompare, setOutput,
     "report base name; writes BASE.htm, BASE.txt, BASE.bb.txt,\n"
     "BASE.json, the data files BASE.*.csv and their charts\n"
     "BASE.charts.htm (default: results)"},
    {"--comment", nullptr, CliArgument::Value, "TEXT", CliSynopsis::Run, setComment,
     "comment for the report's information section (126 characters)"},
    {"--sync", nullptr, CliArgument::Value, "flush|swap", CliSynopsis::Run, setSync,
     "end timed batches with glFlush (flush, default) or a buffer swap"},
    {"--no-bb-bold", nullptr, CliArgument::None, nullptr, CliSynopsis::Run,
     setFlag<&CliOptions::bbBold, false>, "no [b] tags in the BB-code report"},
    {"--no-bb-code", nullptr, CliArgument::None, nullptr, CliSynopsis::Run,
     setFlag<&CliOptions::bbCode, false>, "no [CODE] block around the BB-code report"},
    {"--no-bb-url", nullptr, CliArgument::None, nullptr, CliSynopsis::Run,
     setFlag<&CliOptions::bbUrl, false>, "no [url] link in the BB-code report"},
    {"--bbcode", nullptr, CliArgument::None, nullptr, CliSynopsis::Run,
     setFlag<&CliOptions::printBBCode, true>, "print the BB-code report to stdout after the run"},
    {"--list", nullptr, CliArgument::None, nullptr, CliSynopsis::Run,
     setFlag<&CliOptions::list, true>, "list the tests and exit"},
    {"--list-devices", nullptr, CliArgument::None, nullptr, CliSynopsis::Run,
     setFlag<&CliOptions::listDevices, true>, "list the rendering devices and exit"},
    {"--device", nullptr, CliArgument::Value, "N", CliSynopsis::Run, setDevice,
     "render headless on device N of --list-devices"},
    {"--repeat", nullptr, CliArgument::Value, "N", CliSynopsis::Run, setRepeat,
     "take every timed measurement N times (1 to 100, default 1; in\n"
     "an A/B session 2 to 100, default 8) and report the median;\n"
     "BASE.json then holds the N samples; 'auto' takes rounds until\n"
     "every value is narrow"},
    {"--budget", nullptr, CliArgument::Value, "SECONDS", CliSynopsis::Run, setBudget,
     "with --repeat auto: start no round after SECONDS"},
    {"--window", nullptr, CliArgument::None, nullptr, CliSynopsis::Run,
     setWindowMode<WindowMode::Window>, "draw in X11 windows on the display DISPLAY names"},
    {"--headless", nullptr, CliArgument::None, nullptr, CliSynopsis::RunOr,
     setWindowMode<WindowMode::Headless>,
     "draw in EGL pbuffers (no display needed)\n"
     "(default: windows when DISPLAY is set and opens)"},
    {"--no-charts", nullptr, CliArgument::None, nullptr, CliSynopsis::Run,
     setFlag<&CliOptions::charts, false>, "do not write the charts page BASE.charts.htm"},
    {"--compare", nullptr, CliArgument::Reports, "OLD.txt NEW.txt [MORE.txt...]",
     CliSynopsis::Compare, setCompare,
     "compare text reports of earlier runs: one row per key,\n"
     "each value and its ratio to the first run (* above spread\n"
     "or 5 %); with --output BASE also BASE.compare.htm"},
    {"--fail-on-regression", nullptr, CliArgument::Value, "PCT", CliSynopsis::CompareOption,
     setFailOnRegression,
     "with --compare: exit with status 4 when a later run is\n"
     "worse than the first: a rate lower by more than PCT %\n"
     "(0 to 100) and beyond the runs' spread, a changed tile or\n"
     "cache size or pixel format, or a new failure; the table\n"
     "ends in the verdict; with --output BASE also\n"
     "BASE.compare.json"},
    {"--ab", nullptr, CliArgument::None, nullptr, CliSynopsis::Run,
     setFlag<&CliOptions::abSession, true>,
     "an A/B session: sides A and B, each in a worker process of\n"
     "its own, measured slice by slice in turn (A B B A); writes\n"
     "BASE.ab.htm, BASE.ab.json and each side's reports BASE.a.*,\n"
     "BASE.b.*; --a, --b, --a-device and --b-device imply it"},
    {"--a", nullptr, CliArgument::Value, "NAME=VALUE", CliSynopsis::Run, setSideEnv<0>,
     "set NAME=VALUE in side A's environment (repeatable)"},
    {"--b", nullptr, CliArgument::Value, "NAME=VALUE", CliSynopsis::Run, setSideEnv<1>,
     "set NAME=VALUE in side B's environment (repeatable)"},
    {"--a-device", nullptr, CliArgument::Value, "N", CliSynopsis::Run, setSideDevice<0>,
     "side A renders headless on device N"},
    {"--b-device", nullptr, CliArgument::Value, "N", CliSynopsis::Run, setSideDevice<1>,
     "side B renders headless on device N"},
    {"--help", "-h", CliArgument::None, nullptr, CliSynopsis::Run,
     setFlag<&CliOptions::help, true>, "print this text and exit"},
    {"--version", nullptr, CliArgument::None, nullptr, CliSynopsis::Run,
     setFlag<&CliOptions::version, true>, "print the version and exit"},
};

// One command-line word, split at its first '=' when it is a long option.
struct Word {
  std::string name;
  std::string value;
  bool hasValue = false;
};

Word splitWord(const std::string& arg) {
  Word word{arg, "", false};
  const size_t eq = arg.find('=');
  if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
    word.name = arg.substr(0, eq);
    word.value = arg.substr(eq + 1);
    word.hasValue = true;
  }
  return word;
}

const CliOption* findOption(const std::string& name) {
  for (const CliOption& option : kOptionTable)
    if (name == option.name || (option.alias && name == option.alias)) return &option;
  return nullptr;
}

// The values 'option' takes, from the word itself or the arguments after it; 'i' moves
// past the arguments it used.
bool takeValues(const CliOption& option, const Word& word, int argc, const char* const* argv,
                int& i, Values& values, std::string& error) {
  if (option.argument != CliArgument::Value && word.hasValue) {
    error = "option " + word.name + " takes no value";
    return false;
  }
  if (option.argument == CliArgument::Value) {
    if (word.hasValue) {
      values.push_back(word.value);
    } else if (i + 1 < argc) {
      values.push_back(argv[++i]);
    } else {
      error = "option " + word.name + " needs a value";
      return false;
    }
  } else if (option.argument == CliArgument::Reports) {
    // Every following argument that is not an option is a report to compare.
    while (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0) values.push_back(argv[++i]);
  }
  return true;
}

std::string notAnOptionError(const std::string& arg) {
  if (arg.empty() || arg[0] != '-')
    return "unexpected argument '" + arg +
           "' (a screen size is written -WIDTHxHEIGHT and comes first)";
  return "unknown option '" + arg + "'";
}

// An A/B session takes both sides through the same fixed slices.
bool checkAbSession(const CliOptions& options, std::string& error) {
  if (!options.compare.empty()) {
    error = "an A/B session measures; --compare reads earlier runs: give one or the other";
    return false;
  }
  if (options.adaptive || (options.repeatGiven && options.repeat < 2)) {
    error = "an A/B session needs --repeat N with N from 2 to 100, the same slices on both sides";
    return false;
  }
  for (int side = 0; side < 2; ++side) {
    if (options.sideDevice[side] >= 0 && options.windowMode == WindowMode::Window) {
      error = std::string("--") + (side == 0 ? "a" : "b") +
              "-device picks a device for headless runs; a --window run renders on the X "
              "server's driver";
      return false;
    }
  }
  if (options.list || options.listDevices) {
    error = "an A/B session measures; --list and --list-devices only list";
    return false;
  }
  return true;
}

// Options that are each fine alone but not together.
bool checkCombination(const CliOptions& options, std::string& error) {
  if (options.windowMode == WindowMode::Window && options.device >= 0) {
    error = "--device picks a device for headless runs; a --window run renders on the X "
            "server's driver";
    return false;
  }
  if (options.budget > 0 && !options.adaptive) {
    error = "--budget limits the rounds of --repeat auto";
    return false;
  }
  if (options.budget > 0) {
    const int least = leastAutoBudget(options.tests);
    if (options.budget < least) {
      error = "--budget " + std::to_string(options.budget) +
              " is too small for the rounds that decide anything in the selected tests; the "
              "smallest that would do is " + std::to_string(least);
      return false;
    }
  }
  if (options.gate && options.compare.empty() && !options.abSession) {
    error = "--fail-on-regression gates a --compare of earlier runs (--compare OLD.txt NEW.txt) "
            "or an A/B session";
    return false;
  }
  if (options.abSession) return checkAbSession(options, error);
  return true;
}

// The column where the help texts begin.
constexpr size_t HelpColumn = 20;

// "  LEFT   help", the help's further lines under its first; a left side too wide for
// the column puts the help on the next line.
void appendHelp(std::string& text, const std::string& left, const char* help) {
  std::string line = "  " + left;
  if (line.size() >= HelpColumn) {
    text += line + "\n";
    line.clear();
  }
  line.resize(HelpColumn, ' ');
  for (const char* start = help;;) {
    const char* end = std::strchr(start, '\n');
    text += line + std::string(start, end ? end : start + std::strlen(start)) + "\n";
    if (!end) break;
    start = end + 1;
    line.assign(HelpColumn, ' ');
  }
}

// "--name ARG" as the usage shows an option.
std::string spelledWithValue(const CliOption& option) {
  return std::string(option.name) + (option.valueName ? std::string(" ") + option.valueName : "");
}

// Words joined by blanks after 'first', wrapped before 80 columns under the first word.
std::string wrappedLine(const std::string& first, const std::vector<std::string>& words) {
  const std::string indent(first.size(), ' ');
  std::string text, line = first;
  for (size_t i = 0; i < words.size(); ++i) {
    if (i > 0 && line.size() + 1 + words[i].size() >= 80) {
      text += line + "\n";
      line = indent;
    } else if (i > 0) {
      line += " ";
    }
    line += words[i];
  }
  return text + line + "\n";
}

// The two usage lines: a run with its options, and --compare with its own.
std::string synopsis() {
  std::vector<std::string> run = {"[-WIDTHxHEIGHT]"};
  std::string compare;
  std::vector<std::string> compareOptions;
  for (const CliOption& option : kOptionTable) {
    const std::string word = spelledWithValue(option);
    switch (option.synopsis) {
      case CliSynopsis::Run:
        run.push_back("[" + word + "]");
        break;
      case CliSynopsis::RunOr:
        run.back().insert(run.back().size() - 1, " | " + word);
        break;
      case CliSynopsis::RunAndCompare:
        run.push_back("[" + word + "]");
        compareOptions.push_back("[" + word + "]");
        break;
      case CliSynopsis::Compare:
        compare = word;
        break;
      case CliSynopsis::CompareOption:
        compareOptions.push_back("[" + word + "]");
        break;
    }
  }
  compareOptions.insert(compareOptions.begin(), compare);
  return wrappedLine("usage: corvalis ", run) + wrappedLine("       corvalis ", compareOptions);
}

}  // namespace

const std::vector<CliOption>& cliOptionTable() { return kOptionTable; }

bool isEnvironmentEntry(const std::string& entry) {
  const size_t eq = entry.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  if (std::isdigit(static_cast<unsigned char>(entry[0]))) return false;
  for (size_t i = 0; i < eq; ++i) {
    const unsigned char c = static_cast<unsigned char>(entry[i]);
    if (!std::isalnum(c) && c != '_') return false;
  }
  return true;
}

const char* sideName(int side) { return side == 0 ? "A" : "B"; }

std::string sideDescription(const CliOptions& options, int side) {
  std::string text;
  for (const std::string& entry : options.sideEnv[side]) text += (text.empty() ? "" : " ") + entry;
  if (options.sideDevice[side] >= 0)
    text += (text.empty() ? "" : " ") + std::string("--device ") +
            std::to_string(options.sideDevice[side]);
  return text.empty() ? "as the session" : text;
}

std::vector<std::string> workerArguments(const CliOptions& options, int side) {
  std::vector<std::string> args = {"-" + std::to_string(options.width) + "x" +
                                   std::to_string(options.height)};
  std::string tests;
  for (size_t i = 0; i < TestCount; ++i)
    if (options.tests[i]) tests += (tests.empty() ? "" : ",") + std::string(testKeyOf(i));
  args.insert(args.end(), {"--tests", tests});
  const std::string base = options.output.empty() ? std::string("results") : options.output;
  args.insert(args.end(), {"--output", base + (side == 0 ? ".a" : ".b")});
  if (options.commentGiven) args.insert(args.end(), {"--comment", latin1ToUtf8(options.comment)});
  args.insert(args.end(), {"--sync", options.syncSwap ? "swap" : "flush"});
  if (!options.bbBold) args.push_back("--no-bb-bold");
  if (!options.bbCode) args.push_back("--no-bb-code");
  if (!options.bbUrl) args.push_back("--no-bb-url");
  if (!options.charts) args.push_back("--no-charts");
  const int device = options.sideDevice[side] >= 0 ? options.sideDevice[side] : options.device;
  if (device >= 0) args.insert(args.end(), {"--device", std::to_string(device)});
  if (options.windowMode == WindowMode::Window) args.push_back("--window");
  if (options.windowMode == WindowMode::Headless) args.push_back("--headless");
  const int repeat = options.repeatGiven ? options.repeat : AbDefaultRepeat;
  args.insert(args.end(), {"--repeat", std::to_string(repeat)});
  return args;
}

bool parseRepeatCount(const std::string& text, int& repeat) {
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || value < 1 || value > MaxMeasurementRepeats) return false;
  repeat = static_cast<int>(value);
  return true;
}

bool parseBudgetSeconds(const std::string& text, int& seconds) {
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || value < 1 || value > MaxBudgetSeconds) return false;
  seconds = static_cast<int>(value);
  return true;
}

bool parseRepeatSetting(const std::string& text, int& repeat, bool& adaptive) {
  if (text == "auto") {
    repeat = AutoRoundsCeiling;
    adaptive = true;
    return true;
  }
  if (!parseRepeatCount(text, repeat)) return false;
  adaptive = false;
  return true;
}

bool parseRegressionPercent(const std::string& text, double& percent) {
  double value = 0;
  // A C-locale number whatever the user's locale; NaN fails the range as well.
  if (!parseCNumber(text, value) || !(value >= 0 && value <= 100)) return false;
  percent = value + 0.0;  // -0 reads as 0
  return true;
}

bool parseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error) {
  options.tests.fill(true);
  int i = 1;
  if (argc > 1 && isSizeArgument(argv[1])) {
    parseScreenSize(argv[1], options.width, options.height);
    i = 2;
  }
  for (; i < argc; ++i) {
    const Word word = splitWord(argv[i]);
    const CliOption* option = findOption(word.name);
    if (!option) {
      error = notAnOptionError(word.name);
      return false;
    }
    Values values;
    if (!takeValues(*option, word, argc, argv, i, values, error) ||
        !option->set(options, values, error))
      return false;
  }
  return checkCombination(options, error);
}

bool wantsDisplay(const CliOptions& options) {
  return options.windowMode == WindowMode::Window ||
         (options.windowMode == WindowMode::Auto && options.device < 0);
}

WindowBackend chooseWindowBackend(const CliOptions& options, bool displayOpened) {
  if (!wantsDisplay(options)) return WindowBackend::Pbuffer;
  if (displayOpened) return WindowBackend::X11Window;
  return options.windowMode == WindowMode::Window ? WindowBackend::NoDisplay
                                                  : WindowBackend::Pbuffer;
}

std::string usageText() {
  std::string text = synopsis() + "\n";
  appendHelp(text, "-WIDTHxHEIGHT", "screen size of the test windows (default 1024x768)");
  for (const CliOption& option : kOptionTable) {
    std::string left = option.name;
    if (option.alias) left += std::string(", ") + option.alias;
    if (option.valueName) left += std::string(" ") + option.valueName;
    appendHelp(text, left, option.help);
  }
  return text +
         "\n"
         "Exit status: 0 all selected tests produced results, 3 a selected test failed,\n"
         "1 a report or data file (or the output) could not be written, 2 a usage error\n"
         "or a file --compare cannot compare, 4 --fail-on-regression found a regression,\n"
         "128 + N stopped by signal N (previous files kept).\n";
}

}  // namespace corvalis
