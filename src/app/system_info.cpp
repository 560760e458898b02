#include "app/system_info.h"

#include <cstdio>

#include "app/app_context.h"
#include "gl/display_config.h"
#include "gl/window.h"
#include "report/result_report.h"

namespace corvalis {

void recordDriverInfo(const TestWindow& window) {
  if (window.initFailed) {
    std::snprintf(driverString, DriverStringSize, "%s", GlInitFailedText);
    return;
  }
  recordDriverString();
  if (displayConfig) {
    reportedWidth = static_cast<unsigned>(displayConfig->width);
    reportedHeight = static_cast<unsigned>(displayConfig->height);
  }
}

void writeReportBody(ResultReport& report, const AppContext& app) {
  const LauncherSettings& settings = app.settings;
  report.beginInfoSection(ProgramVersion, "Info", DownloadPageUrl);
  report.addItem(driverString, nullptr, "Driver");

  char resolution[256];
  if (refreshRate != 0.0f) {
    std::snprintf(resolution, sizeof resolution, "%ux%u @ %.2fHz", reportedWidth, reportedHeight,
                  static_cast<double>(refreshRate));
    report.addItem(resolution, nullptr, "Resolution");
  } else {
    std::snprintf(resolution, sizeof resolution, "%ux%u @ unknown refresh rate", reportedWidth,
                  reportedHeight);
    report.addItem(resolution, " (assuming 85Hz)", "Resolution");
  }

  if (settings.commentEnabled) report.addItem(settings.comment, nullptr, "Comment");

  if (settings.syncSwap)
    report.addItem("Swap", "ping buffers", "Method");
  else
    report.addItem("Flush", "ing commands, no buffer swaps", "Method");

  for (auto& test : app.registry.tests)
    if (test) test->writeSection(report, settings.baseName);
}

}  // namespace corvalis
