#pragma once
// The screen size given on the command line: "-WIDTH" or "-WIDTHxHEIGHT".

namespace corvalis {

constexpr int DefaultScreenWidth = 1024;
constexpr int DefaultScreenHeight = 768;

// Reads the size from the start of the command-line text (the arguments without the
// program name). Anything it does not understand leaves 1024 x 768.
void parseScreenSize(const char* commandLine, int& width, int& height);

// The switches the Windows program takes after the size argument.
struct LauncherSwitches {
  int repeat = 1;         // --repeat N: every timed measurement N times (1 to 100)
  bool adaptive = false;  // --repeat auto: rounds until every value is narrow
  int budget = 0;         // --budget SECONDS of --repeat auto (1 to 86400); 0: none
  bool charts = true;     // --no-charts: no charts page after a run
};

// Reads "--repeat N|auto", "--budget SECONDS" and "--no-charts", in any order, after the
// size argument (or alone) from the command-line text. False when a repeat count is not
// a whole number from 1 to 100 or "auto", a budget not a whole number of seconds from 1
// to 86400 or given without "--repeat auto", or a word is not one of these switches;
// 'switches' is then unreliable.
bool parseLauncherSwitches(const char* commandLine, LauncherSwitches& switches);

}  // namespace corvalis
