// The Windows program: the launcher dialog, again and again, with one run of the
// selected tests after every Start, until the user leaves with Exit.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "app/command_line.h"
#include "app/launcher_model.h"
#include "app/app_context.h"
#include "app/run_cycle.h"
#include "gl/display_config.h"
#include "platform/platform.h"
#include "platform/win32/win32_launcher_dialog.h"

using namespace corvalis;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  AppContext app;
  std::snprintf(app.settings.baseName, BaseNameSize, "%s", DefaultBaseName);
  app.settings.comment[0] = '\0';

  int width = DefaultScreenWidth;
  int height = DefaultScreenHeight;
  parseScreenSize(commandLine, width, height);
  LauncherSwitches switches;
  if (!parseLauncherSwitches(commandLine, switches)) {
    MessageBoxA(nullptr,
                "usage: corvalis.exe [-WIDTHxHEIGHT] [--repeat N|auto] [--budget SECONDS] "
                "[--no-charts]\n\n"
                "N is a whole number from 1 to 100; SECONDS, from 1 to 86400, limits the\n"
                "rounds of --repeat auto. Comparing two drivers in one session (A/B) is\n"
                "offered by the Linux program only.",
                "Corvalis", MB_OK | MB_ICONERROR);
    return 2;
  }
  app.settings.repeats = switches.repeat;
  app.settings.adaptive = switches.adaptive;
  app.settings.budget = switches.budget;
  app.settings.charts = switches.charts;
  // NOTE: the rest of the program requires the configuration; without it there is
  // nothing to run.
  std::unique_ptr<DisplayConfig> config(new (std::nothrow) DisplayConfig(width, height));
  if (!config) return 0;
  displayConfig = config.get();
  app.registry.create();

  LauncherBehavior launcher(app);
  while (platform::runModalDialog(instance, LauncherDialogId, launcher) == LauncherResultStart) {
    RunCycleOutcome outcome = runCycle(app, *config);
    // A page that could not be created has had its "Ouch!" already. Files lost after
    // the page was created: name each, with the reason.
    if (!outcome.reportOpened) continue;
    std::string lost;
    for (const auto& message : outcome.fileErrors) lost += message + "\n";
    for (const auto& message : outcome.dataFileErrors) lost += message + "\n";
    if (!lost.empty()) {
      lost = "Some output files could not be written:\n\n" + lost +
             "\nIf one or more of the files are currently opened, please close them and try "
             "again.";
      platform::current().messageBox(lost.c_str(), "Ouch!");
    }
  }

  app.registry.destroy();
  config.reset();
  displayConfig = nullptr;
  return 0;
}
