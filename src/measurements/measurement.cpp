#include "measurements/measurement.h"

#include <cstdio>

#include "framework/slice_gate.h"
#include "report/result_report.h"

namespace corvalis {

void BenchTest::writeDataFiles(const char*, FileGroup&) {}

void BenchTest::writeSweeps(ResultReport&) {}

void BenchTest::getSummary(char* buffer) {
  if (!hasRun) {
    std::snprintf(buffer, SummarySize, "%s", "n/a");
  } else if (failed) {
    std::snprintf(buffer, SummarySize, "%s", "error");
  } else {
    summary(buffer);
  }
}

void BenchTest::callOff() {
  calledOff = true;
  failed = true;
  hasRun = true;
}

void BenchTest::writeSection(ResultReport& report, const char* baseName) {
  if (!hasRun) {
    report.beginTestSection(name(), key(), true);
    report.addItem(nullptr, "test skipped", nullptr);
    return;
  }
  // The section opens first, so that the rows handed to the report count as its own.
  report.beginTestSection(name(), key(), false);
  if (calledOff) {
    report.addItem(CalledOffText, nullptr, "Error");
    return;
  }
  if (report.outputs() & OutputDataFiles) {
    writeDataFiles(baseName, report.dataFiles());
    writeSweeps(report);
  }
  writeResults(report);
}

}  // namespace corvalis
