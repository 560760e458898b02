#pragma once
// The batch command line of the console program: the screen size first, then long
// options that map one-to-one onto the launcher's settings.

#include <array>
#include <string>
#include <vector>

#include "app/test_registry.h"

namespace corvalis {

// Where the test windows are drawn: --window, --headless, or decided by the display.
enum class WindowMode { Auto, Window, Headless };

struct CliOptions {
  int width = 1024;
  int height = 768;
  bool testsGiven = false;
  std::array<bool, TestCount> tests{};  // registry order; all true unless --tests was given
  std::string output;                // empty: the default base name
  bool commentGiven = false;
  std::string comment;                // ISO-8859-1, converted from the UTF-8 argument
  bool syncSwap = false;
  bool bbBold = true;
  bool bbCode = true;
  bool bbUrl = true;
  bool printBBCode = false;          // --bbcode
  bool list = false;                 // --list
  bool listDevices = false;          // --list-devices
  int device = -1;                   // --device N; -1: automatic
  WindowMode windowMode = WindowMode::Auto;
  int repeat = 1;                    // --repeat N: every timed measurement N times (1..100)
  bool help = false;
  bool version = false;
  bool charts = true;                // false: --no-charts
  std::vector<std::string> compare;  // --compare OLD NEW [MORE...]: the text reports
};

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

// The usage text printed by --help and after a usage error.
const char* usageText();

}  // namespace corvalis
