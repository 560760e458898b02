#pragma once
// The launcher's choices, the seven test objects and their selection flags:
// process-wide, kept in memory only.

#include <array>
#include <cstddef>
#include <memory>

#include "measurements/measurement.h"
#include "platform/platform.h"

namespace corvalis {

constexpr size_t TestCount = 7;
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
  bool resultsAvailable = false;
  bool bbOptionsChanged = false;
  platform::DialogHandle dialogWindow = nullptr;
};

extern LauncherSettings launcherSettings;

// Fillrate, Bandwidth, Geometry, Texturing, Readback, Texture cache, Tiling; a slot is
// null when its object could not be allocated.
extern std::array<std::unique_ptr<BenchTest>, TestCount> testRegistry;
extern std::array<bool, TestCount> testEnabled;

// Allocates the seven tests in registry order and selects every one that exists.
void createTestRegistry();
// Destroys the test objects.
void destroyTestRegistry();

// The BB-code option mask of the current settings.
unsigned bbOptionMask(const LauncherSettings& settings);

}  // namespace corvalis
