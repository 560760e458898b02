#pragma once
// The report's information section and the two measurements behind it, made on the
// run cycle's probe window.

namespace corvalis {

class ResultReport;
class TestWindow;

// The download page that the information heading links to (one place to change it).
constexpr const char* DownloadPageUrl = "https://corvalis.example.org/download";

// Measures the display refresh rate on the window; 0 (unknown) outside 45..220 Hz.
void measureRefreshRate(const TestWindow& window);
// Records "renderer vVersion" and the resolution, or "GL initialization failed ...".
void recordDriverInfo(const TestWindow& window);
// The information section followed by every test's section.
void writeReportBody(ResultReport& report);

}  // namespace corvalis
