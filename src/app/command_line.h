#pragma once
// The screen size given on the command line: "-WIDTH" or "-WIDTHxHEIGHT".

namespace corvalis {

constexpr int DefaultScreenWidth = 1024;
constexpr int DefaultScreenHeight = 768;

// Reads the size from the start of the command-line text (the arguments without the
// program name). Anything it does not understand leaves 1024 x 768.
void parseScreenSize(const char* commandLine, int& width, int& height);

}  // namespace corvalis

namespace corvalis {

// True when a blank-separated word of the command-line text equals 'word' exactly
// ("-800x600 --no-charts"); the size argument itself never matches a switch.
bool hasCommandLineSwitch(const char* commandLine, const char* word);

}  // namespace corvalis
