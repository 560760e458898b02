#pragma once
// The launcher's choices: what the dialog (or the console program's options) decided
// for the next run, kept in memory only.

#include <cstddef>

#include "platform/platform.h"

namespace corvalis {

constexpr size_t BaseNameSize = 260;
constexpr size_t CommentSize = 128;  // at most 126 characters are read from the dialog
constexpr const char* DefaultBaseName = ".\\results";

struct LauncherSettings {
  char baseName[BaseNameSize] = {};
  char comment[CommentSize] = {};
  bool commentEnabled = false;
  bool syncSwap = false;  // true: Swap, false: Flush
  bool bbBold = true;
  bool bbCode = true;
  bool bbUrl = true;
  bool charts = true;  // write BASE.charts.htm after a run that wrote data files
  int repeats = 1;     // --repeat N: every timed measurement N times (1 to 100)
  bool adaptive = false;  // --repeat auto: rounds until every value is narrow
  int budget = 0;         // --budget SECONDS of --repeat auto; 0: no limit
  bool resultsAvailable = false;
  bool bbOptionsChanged = false;
  platform::DialogHandle dialogWindow = nullptr;
};

// The BB-code option mask of the settings.
unsigned bbOptionMask(const LauncherSettings& settings);

}  // namespace corvalis
