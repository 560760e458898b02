#pragma once
// What the program keeps for the life of the process and hands to the parts that need
// it: the launcher's settings and the seven tests with their selection. The driver
// text, the refresh rate and the display configuration stay process-wide values.

#include "app/launcher_settings.h"
#include "app/suite.h"

namespace corvalis {

struct AppContext {
  LauncherSettings settings;
  TestRegistry registry;
};

}  // namespace corvalis
