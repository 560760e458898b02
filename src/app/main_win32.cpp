// The Windows program: the launcher dialog, again and again, with one run of the
// selected tests after every Start, until the user leaves with Exit.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <memory>
#include <new>

#include "app/command_line.h"
#include "app/launcher_model.h"
#include "app/launcher_settings.h"
#include "app/run_cycle.h"
#include "gl/display_config.h"
#include "platform/win32/win32_launcher_dialog.h"

using namespace corvalis;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  std::snprintf(launcherSettings.baseName, BaseNameSize, "%s", DefaultBaseName);
  launcherSettings.comment[0] = '\0';

  int width = DefaultScreenWidth;
  int height = DefaultScreenHeight;
  parseScreenSize(commandLine, width, height);
  // After the size: --no-charts leaves the charts page out of every run.
  launcherSettings.charts = !hasCommandLineSwitch(commandLine, "--no-charts");
  // NOTE: the rest of the program requires the configuration; without it there is
  // nothing to run.
  std::unique_ptr<DisplayConfig> config(new (std::nothrow) DisplayConfig(width, height));
  if (!config) return 0;
  displayConfig = config.get();
  createTestRegistry();

  while (platform::runLauncherDialog(instance) == LauncherResultStart) runCycle(*config);

  destroyTestRegistry();
  config.reset();
  displayConfig = nullptr;
  return 0;
}
