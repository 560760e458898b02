#pragma once
// The screen size given on the command line: "-WIDTH" or "-WIDTHxHEIGHT".

namespace corvalis {

constexpr int DefaultScreenWidth = 1024;
constexpr int DefaultScreenHeight = 768;

// Reads the size from the start of the command-line text (the arguments without the
// program name). Anything it does not understand leaves 1024 x 768.
void parseScreenSize(const char* commandLine, int& width, int& height);

// Reads "--repeat N" after the size argument (or alone) from the command-line text.
// Leaves 'repeat' alone and returns true when the switch is absent; false when its
// value is not a whole number from 1 to 100 or something else follows.
bool parseRepeatSwitch(const char* commandLine, int& repeat);

}  // namespace corvalis
