#pragma once
// A test's report section as the text report writes it, line by line: the section is
// written through writeSection into a real report on a temporary folder and read back.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/bench_test.h"
#include "report/report_files.h"
#include "report/result_report.h"

namespace corvalis::testing {

// The lines of base + ".txt" without their CR LF ends (which are checked).
inline std::vector<std::string> sectionTextLines(BenchTest& test) {
  TempDir dir;
  EXPECT_TRUE(dir.ok());
  const std::string base = dir.file("r");
  {
    ResultReport report(base.c_str(), 0, OutputHtml | OutputText);
    test.writeSection(report, base.c_str());
    report.close();
  }
  const std::string bytes = readBytes(base + ".txt");
  EXPECT_TRUE(allLineEndsCrLf(bytes));
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// The header line every text report opens with, followed by the given lines.
inline std::vector<std::string> withHeader(std::vector<std::string> lines) {
  lines.insert(lines.begin(), "[Corvalis 0.50]");
  return lines;
}

}  // namespace corvalis::testing
