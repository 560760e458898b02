#pragma once
// The batch command line of the console program: the screen size first, then long
// options that map one-to-one onto the launcher's settings. One table describes every
// option: its name, its argument, what it sets and its help; the parser and the usage
// text are both driven by it.

#include <array>
#include <string>
#include <vector>

#include "app/suite.h"

namespace corvalis {

// Where the test windows are drawn: --window, --headless, or decided by the display.
enum class WindowMode { Auto, Window, Headless };

struct CliOptions {
  int width = 1024;
  int height = 768;
  bool testsGiven = false;
  std::array<bool, TestCount> tests{};  // registry order; all true unless --tests was given
  std::string output;                   // empty: the default base name
  bool commentGiven = false;
  std::string comment;                  // ISO-8859-1, converted from the UTF-8 argument
  bool syncSwap = false;
  bool bbBold = true;
  bool bbCode = true;
  bool bbUrl = true;
  bool printBBCode = false;             // --bbcode
  bool list = false;                    // --list
  bool listDevices = false;             // --list-devices
  int device = -1;                      // --device N; -1: automatic
  WindowMode windowMode = WindowMode::Auto;
  int repeat = 1;                       // --repeat N: every timed measurement N times (1..100)
  bool adaptive = false;                // --repeat auto: rounds until every value is narrow
  int budget = 0;                       // --budget SECONDS for --repeat auto; 0: none
  bool help = false;
  bool version = false;
  bool charts = true;                   // false: --no-charts
  std::vector<std::string> compare;     // --compare OLD NEW [MORE...]: the text reports
  bool gate = false;                    // --fail-on-regression PCT was given
  double regressionPercent = 0.0;       // its PCT, 0 to 100
  bool repeatGiven = false;             // --repeat was given
  // An A/B session (--ab, --a, --b, --a-device, --b-device): per side, A then B, the
  // NAME=VALUE entries set in its worker's environment and its device (-1: --device).
  bool abSession = false;
  std::array<std::vector<std::string>, 2> sideEnv;
  std::array<int, 2> sideDevice{{-1, -1}};
};

// The repeats of an A/B session when --repeat is not given: eight pairs of slices, so
// that the extremes drop out of a ratio's interval and a t test has something to weigh.
constexpr int AbDefaultRepeat = 8;

// Whether 'entry' is NAME=VALUE with a name of letters, digits and underscores that
// does not start with a digit.
bool isEnvironmentEntry(const std::string& entry);

// The command line of side 'side' (0: A, 1: B) of an A/B session: the common settings,
// its device, its repeats and "--output BASE.a" (or .b); argv[0] not included.
std::vector<std::string> workerArguments(const CliOptions& options, int side);

// "A" or "B", and what the side sets ("GALLIUM_DRIVER=softpipe --device 1"; "as the
// session" when nothing).
const char* sideName(int side);
std::string sideDescription(const CliOptions& options, int side);

// What an option reads after its name.
enum class CliArgument {
  None,     // a switch; "--name=value" is an error
  Value,    // one value, from "--name=value" or the next argument
  Reports,  // every following argument up to the next "--" option
};

// Where an option stands in the usage lines.
enum class CliSynopsis {
  Run,            // on the line of a run: "[--name ARG]"
  RunOr,          // on that line, as an alternative to the option before it
  RunAndCompare,  // on the line of a run and on the --compare line
  Compare,        // the --compare line of its own
  CompareOption,  // on the --compare line only, after the reports
};

// Records an option's values in the options; false with a message naming the option
// or value when they are not acceptable. 'values' holds nothing for a switch, one value
// for CliArgument::Value, the reports for CliArgument::Reports.
using CliSetter = bool (*)(CliOptions& options, const std::vector<std::string>& values,
                           std::string& error);

struct CliOption {
  const char* name;       // "--tests"
  const char* alias;      // a second spelling ("-h"), or nullptr
  CliArgument argument;
  const char* valueName;  // the argument as the usage shows it ("LIST"); nullptr for a switch
  CliSynopsis synopsis;
  CliSetter set;
  const char* help;       // the help text; '\n' starts a continuation line
};

// Every option the console program takes, in the order of the usage text.
const std::vector<CliOption>& cliOptionTable();

// Parses argv (argv[0] is the program). On a usage error returns false and sets
// 'error' to a message naming the bad option or value.
bool parseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error);

// The window system a run uses, from the option and whether an X display opened.
enum class WindowBackend { X11Window, Pbuffer, NoDisplay };
// --headless and a chosen --device use pbuffers; --window needs the display (NoDisplay
// when it did not open); without either, windows when the display opened.
WindowBackend chooseWindowBackend(const CliOptions& options, bool displayOpened);
// Whether to try opening the X display at all for these options.
bool wantsDisplay(const CliOptions& options);
// The N of "--repeat N": a whole number from 1 to 100 and nothing else. False for
// anything else (0, negative, not a number, trailing characters).
bool parseRepeatCount(const std::string& text, int& repeat);
// The SECONDS of "--budget SECONDS": a whole number from 1 to MaxBudgetSeconds.
bool parseBudgetSeconds(const std::string& text, int& seconds);
// The value of "--repeat": N as parseRepeatCount reads it, or "auto", the adaptive mode,
// which sets 'adaptive' and the most rounds it may take as 'repeat'.
bool parseRepeatSetting(const std::string& text, int& repeat, bool& adaptive);

// The PCT of "--fail-on-regression PCT": a C-locale number from 0 to 100 ("5", "2.5")
// and nothing else. False for anything else (negative, above 100, not a number).
bool parseRegressionPercent(const std::string& text, double& percent);

// The usage text printed by --help and after a usage error, made from the table.
std::string usageText();

}  // namespace corvalis
