#pragma once
// Shared helpers for the measurement tests' unit tests: a test's report section as the
// text report writes it with its GL errors, a full report with its data files, the
// summary as a string, a display on the native backend, and one on the fake backend for
// failure runs.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "measurements/measurement.h"
#include "gl/display_config.h"
#include "platform/fake/fake_platform.h"
#include "report/report_files.h"
#include "report/result_report.h"

namespace corvalis::testing {

// A test's section as the text report writes it, its lines without their CR LF ends
// (which are checked), and the GL errors it hands to the report as "key path: names".
struct SectionOutput {
  std::vector<std::string> lines, glErrors;
};
inline SectionOutput writeSectionOf(BenchTest& test) {
  TempDir dir;
  EXPECT_TRUE(dir.ok());
  const std::string base = dir.file("r");
  SectionOutput out;
  {
    ResultReport report(base.c_str(), 0, OutputHtml | OutputText);
    test.writeSection(report, base.c_str());
    for (const ResultReport::GlErrorNote& note : report.glErrors())
      out.glErrors.push_back(note.key + ": " + note.glError);
    report.close();
  }
  const std::string bytes = readBytes(base + ".txt");
  EXPECT_TRUE(allLineEndsCrLf(bytes));
  out.lines = crlfLines(bytes);
  return out;
}
inline std::vector<std::string> sectionTextLines(BenchTest& test) { return writeSectionOf(test).lines; }

// The header line every text report opens with, followed by the given lines.
inline std::vector<std::string> withHeader(std::vector<std::string> lines) {
  lines.insert(lines.begin(), "[Corvalis 0.50]");
  return lines;
}

inline std::string summaryOf(BenchTest& test) {
  char buffer[SummarySize] = {};
  test.getSummary(buffer);
  return buffer;
}

// A test's section written into a full report (page, text, data files) at <dir>/r.
struct WrittenReport {
  void write(BenchTest& test) {
    ResultReport report(base.c_str(), 0, OutputHtml | OutputText | OutputDataFiles);
    ASSERT_TRUE(report.isOpen());
    link = report.linkBase();
    test.writeSection(report, base.c_str());
    report.close();
    text = readBytes(base + ".txt");
    html = readBytes(base + ".htm");
  }
  bool htmlHas(const std::string& part) const { return html.find(part) != std::string::npos; }

  TempDir dir;
  std::string base = dir.file("r");
  std::string text, html;
  std::string link;  // the data files' link prefix: the base name on this platform
};

// A DisplayConfig on the native backend (Mesa through EGL here), for the tests that draw
// on a real context; installed for the object's life.
struct NativeDisplay {
  NativeDisplay(int width, int height) : config(width, height) { displayConfig = &config; }
  ~NativeDisplay() { displayConfig = nullptr; }
  DisplayConfig config;
};

// A 160 x 120 DisplayConfig on the fake backend, for runs whose windows are scripted to
// fail. A "working" fake window has no GL context behind it: its measurements run on
// calls that do nothing, so only which parts ran and what the report says count.
class FakeDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::install(&fake);
    config = std::make_unique<DisplayConfig>(160, 120);
    config->swapSync = false;
    displayConfig = config.get();
  }
  void TearDown() override {
    displayConfig = nullptr;
    config.reset();
    platform::install(nullptr);
  }

  // The fake's formats without the 32-bit one: 32-bit windows get "no pixel format".
  void offerOnly16BitFormats() {
    fake.formats.clear();
    for (const auto& pfd : platform::FakePlatform::standardFormats())
      if (pfd.alphaBits == 0 && pfd.depthBits > 0) fake.formats.push_back(pfd);
  }

  platform::FakePlatform fake;
  std::unique_ptr<DisplayConfig> config;
};

}  // namespace corvalis::testing
