#pragma once
// The batch command line of the console program: the screen size first, then long
// options that map one-to-one onto the launcher's settings.

#include <array>
#include <string>
#include <vector>

namespace corvalis {

struct CliOptions {
  int width = 1024;
  int height = 768;
  bool testsGiven = false;
  std::array<bool, 7> tests{};       // registry order; all true unless --tests was given
  std::string output;                // empty: the default base name
  bool commentGiven = false;
  std::string comment;
  bool syncSwap = false;
  bool bbBold = true;
  bool bbCode = true;
  bool bbUrl = true;
  bool printBBCode = false;          // --bbcode
  bool list = false;                 // --list
  bool listDevices = false;          // --list-devices
  int device = -1;                   // --device N; -1: automatic
  bool help = false;
  bool version = false;
  bool charts = true;                // false: --no-charts
  std::vector<std::string> compare;  // --compare OLD NEW [MORE...]: the text reports
};

// Index in registry order of a test named by display name or key ("fillrate",
// "texcache", "Texture cache", case-insensitive); -1 when unknown.
int findTestByName(const std::string& name);

// Parses argv (argv[0] is the program). On a usage error returns false and sets
// 'error' to a message naming the bad option or value.
bool parseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error);

// The usage text printed by --help and after a usage error.
const char* usageText();

}  // namespace corvalis
