#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/app_context.h"
#include "app/run_cycle.h"
#include "app/system_info.h"
#include "gl/display_config.h"
#include "platform/fake/fake_platform.h"
#include "report/report_files.h"
#include "report/result_report.h"

using namespace corvalis;

namespace {

using corvalis::testing::contains;
using corvalis::testing::readBytes;

// A test with fixed results that records which of its hooks were called.
class StubTest : public BenchTest {
 public:
  StubTest(const char* name, const char* key) : name_(name), key_(key) {}
  const char* name() const override { return name_; }
  const char* key() const override { return key_; }
  void run(const RunContext&) override {}
  void writeResults(ResultReport& report) override {
    report.addValue(1234567.0, "Pix/s", nullptr, "Rate");
  }
  void summary(char* buffer) override { std::snprintf(buffer, SummarySize, "fine"); }
  void writeDataFiles(const char* baseName, FileGroup&) override { dataFilesFor = baseName; }
  std::string dataFilesFor;

 private:
  const char* name_;
  const char* key_;
};

class ReportBody : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    std::snprintf(app.settings.baseName, BaseNameSize, "%s", base.c_str());
    app.registry.tests[0].reset(ran = new StubTest("Alpha", "A"));
    app.registry.tests[2].reset(broken = new StubTest("Broken", "B"));
    app.registry.tests[4].reset(fresh = new StubTest("Fresh", "F"));
    ran->hasRun = broken->hasRun = broken->failed = true;
    std::snprintf(driverString, DriverStringSize, "llvmpipe (LLVM 15.0.6, 256 bits) v4.5 (Compatibility Profile) Mesa 22.3.6");
    reportedWidth = 1024;
    reportedHeight = 768;
    refreshRate = 0.0f;
  }
  std::string write(unsigned outputs) {
    ResultReport report(base.c_str(), BBBold | BBCodeBlock | BBUrl, outputs);
    writeReportBody(report, app);
    EXPECT_TRUE(report.close());
    return readBytes(base + ".txt");
  }

  corvalis::testing::TempDir dir;
  const std::string base = dir.file("r");
  AppContext app;
  StubTest* ran = nullptr;
  StubTest* broken = nullptr;
  StubTest* fresh = nullptr;
};

TEST_F(ReportBody, InfoSectionThenEveryTestInRegistryOrder) {
  app.settings.commentEnabled = true;
  std::snprintf(app.settings.comment, CommentSize, "quiet machine");
  std::string text = write(OutputHtml | OutputText | OutputBBCode | OutputDataFiles);
  EXPECT_EQ(text,
            "[Corvalis 0.50]\r\n"
            "Info:Driver=llvmpipe (LLVM 15.0.6, 256 bits) v4.5 (Compatibility Profile) Mesa 22.3.6\r\n"
            "Info:Resolution=1024x768 @ unknown refresh rate\r\n"
            "Info:Comment=quiet machine\r\n"
            "Info:Method=Flush\r\n"
            "A:Rate=1.235 M Pix/s\r\n"
            "B:Rate=1.235 M Pix/s\r\n");
  // Only tests that ran write data files, and they get the base name.
  EXPECT_EQ(ran->dataFilesFor, base);
  EXPECT_EQ(fresh->dataFilesFor, "");

  const std::string html = readBytes(base + ".htm");
  for (const char* line :
       {"<b><a href=\"https://corvalis.example.org/download\">Corvalis 0.50</a></b><br>\r\n",
        "<br>\r\n1024x768 @ unknown refresh rate (assuming 85Hz)<br>\r\n",
        "Flushing commands, no buffer swaps<br>\r\n", "<b>Fresh</b><br>\r\ntest skipped<br>\r\n"})
    EXPECT_TRUE(contains(html, line)) << line << html;
}

TEST_F(ReportBody, MeasuredRateSwapMethodAndNoCommentWhenDisabled) {
  refreshRate = 59.94f;
  app.settings.syncSwap = true;
  std::snprintf(app.settings.comment, CommentSize, "typed but not enabled");
  std::string text = write(OutputHtml | OutputText);
  EXPECT_TRUE(contains(text, "Info:Resolution=1024x768 @ 59.94Hz\r\nInfo:Method=Swap\r\n")) << text;
  EXPECT_FALSE(contains(text, "Comment")) << text;
  EXPECT_TRUE(contains(readBytes(base + ".htm"), "Swapping buffers<br>\r\n"));
}

TEST_F(ReportBody, ClipboardReportWritesNoDataFiles) {
  EXPECT_EQ(write(OutputBBCode), "") << "nor a text report";
  EXPECT_EQ(ran->dataFilesFor, "");
  EXPECT_EQ(readBytes(base + ".bb.txt").rfind("[CODE][b][url=https://corvalis.example.org/download]", 0), 0u);
}

// A run cycle that wrote its report body lets the launcher offer the results and marks
// the BB-code file as matching the options; one whose report could not be opened does
// neither.
TEST_F(ReportBody, RunCycleSetsTheLauncherFlagsOnlyWhenItWroteTheBody) {
  platform::FakePlatform fake;
  platform::install(&fake);
  {
    DisplayConfig config(160, 120);
    displayConfig = &config;
    app.settings.charts = false;
    app.registry.enabled.fill(false);
    for (const bool opens : {false, true}) {
      const std::string name = opens ? base : dir.file("missing/r");
      std::snprintf(app.settings.baseName, BaseNameSize, "%s", name.c_str());
      app.settings.resultsAvailable = false;
      app.settings.bbOptionsChanged = true;
      EXPECT_EQ(runCycle(app, config).reportOpened, opens);
      EXPECT_EQ(app.settings.resultsAvailable, opens);
      EXPECT_EQ(app.settings.bbOptionsChanged, !opens);
    }
    displayConfig = nullptr;
  }
  platform::install(nullptr);
  EXPECT_TRUE(contains(readBytes(base + ".txt"), "A:Rate=1.235 M Pix/s\r\n"));
}

}  // namespace
