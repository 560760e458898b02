#pragma once
// The report's information section and the driver text behind it, recorded on the run
// cycle's probe window (the refresh rate comes from gl/refresh_rate.h).

namespace corvalis {

struct AppContext;
class ResultReport;
class TestWindow;

// The download page that the information heading links to (one place to change it).
constexpr const char* DownloadPageUrl = "https://corvalis.example.org/download";

// Records "renderer vVersion" and the resolution, or "GL initialization failed ...".
void recordDriverInfo(const TestWindow& window);
// The information section followed by every test's section. The launcher's flags
// (resultsAvailable, bbOptionsChanged) are its callers' to set.
void writeReportBody(ResultReport& report, const AppContext& app);

}  // namespace corvalis
