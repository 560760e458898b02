// Fillrate, Bandwidth and Readback on the real driver: the text report holds every key
// path in order, each with a positive number.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "integration/run_support.h"

using namespace corvalis_test;

namespace {

const char* const ModePattern = "R[0-9]+G[0-9]+B[0-9]+A[0-9]+ Z[0-9]+ S[0-9]+";

// What one text report line must look like: its full key path and the value's unit
// ("" for the mode text).
struct ExpectedLine {
  std::string keyPath;
  std::string unit;
};

std::vector<ExpectedLine> withUnit(const std::string& prefix, const std::vector<std::string>& keys,
                                   const std::string& unit) {
  std::vector<ExpectedLine> lines;
  for (const auto& key : keys) lines.push_back({prefix + key, unit});
  return lines;
}

void append(std::vector<ExpectedLine>& to, const std::vector<ExpectedLine>& lines) {
  to.insert(to.end(), lines.begin(), lines.end());
}

std::vector<ExpectedLine> fillrateLines() {
  const std::vector<std::string> modeKeys = {"Col",         "Z",           "ColZ",      "ZPassColZ",
                                             "ZCullLEqual", "ZCullGEqual", "ZCullEqual"};
  std::vector<ExpectedLine> lines = {{"Fillrate:32:Mode", ""}};
  append(lines, withUnit("Fillrate:32:", modeKeys, "Pix/s"));
  append(lines, withUnit("Fillrate:32:", {"S", "SCull"}, "Pix/s"));
  append(lines, withUnit("Fillrate:32:SPass:", {"S", "ZFailS"}, "Pix/s"));
  append(lines, withUnit("Fillrate:32:SPass:ZPass:", {"S", "ZS", "Col", "ColZ", "ColS", "ColZS"},
                         "Pix/s"));
  lines.push_back({"Fillrate:16:Mode", ""});
  append(lines, withUnit("Fillrate:16:", modeKeys, "Pix/s"));
  return lines;
}

std::vector<ExpectedLine> bandwidthLines() {
  std::vector<ExpectedLine> lines = {{"Bandwidth:Mode", ""}};
  append(lines,
         withUnit("Bandwidth:Clear:", {"All", "Color", "ZAndStencil", "Z", "Stencil"}, "B/s"));
  append(lines, withUnit("Bandwidth:", {"Draw", "BurnedByRAMDAC", "Physical"}, "B/s"));
  return lines;
}

std::vector<ExpectedLine> readbackLines() {
  const std::vector<std::string> kinds = {"R8G8B8A8", "B8G8R8A8", "R8G8B8", "B8G8R8",
                                          "Zuint",    "Zfloat",   "S8"};
  std::vector<ExpectedLine> lines = {{"Readback:Mode", ""}};
  append(lines, withUnit("Readback:Whole32:", kinds, "Pix/s"));
  append(lines, withUnit("Readback:Small32:", kinds, "Pix/s"));
  return lines;
}

// Checks the report lines that begin with prefix against the expected key paths, in
// order; every number must be positive and written in the text report's own forms.
void expectSection(const std::vector<std::string>& report, const std::string& prefix,
                   const std::vector<ExpectedLine>& expected) {
  const std::vector<std::string> lines = linesWithPrefix(report, prefix);
  ASSERT_EQ(lines.size(), expected.size()) << prefix;
  const std::regex mode(ModePattern);
  // "%d " for values up to 500000, "%.3f M " above, then the unit.
  const std::regex number("([0-9]+) |([0-9]+\\.[0-9]{3}) M ");
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::string head = expected[i].keyPath + "=";
    ASSERT_EQ(line.compare(0, head.size(), head), 0) << "line " << i << ": " << line;
    const std::string value = line.substr(head.size());
    if (expected[i].unit.empty()) {
      EXPECT_TRUE(std::regex_match(value, mode)) << line;
      continue;
    }
    const std::string& unit = expected[i].unit;
    ASSERT_GT(value.size(), unit.size()) << line;
    EXPECT_EQ(value.substr(value.size() - unit.size()), unit) << line;
    const std::string amount = value.substr(0, value.size() - unit.size());
    EXPECT_TRUE(std::regex_match(amount, number)) << line;
    EXPECT_GT(std::strtod(amount.c_str(), nullptr), 0.0) << line;
  }
}

void runAndCheck(const std::map<std::string, std::string>& env) {
  RunResult r = runCorvalis(
      {"-160x120", "--tests", "fillrate,bandwidth,readback", "--output", "out"}, env);
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  const std::vector<std::string> report = crlfLines(readFile(r.folder + "/out.txt"));
  ASSERT_FALSE(report.empty());
  EXPECT_EQ(report[0], "[Corvalis 0.50]");
  expectSection(report, "Fillrate:", fillrateLines());
  expectSection(report, "Bandwidth:", bandwidthLines());
  expectSection(report, "Readback:", readbackLines());
  // The three sections follow each other in registry order.
  std::vector<std::string> order;
  for (const auto& line : report) {
    const std::string key = line.substr(0, line.find(':'));
    if (key != "Info" && (order.empty() || order.back() != key)) order.push_back(key);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"[Corvalis 0.50]", "Fillrate", "Bandwidth",
                                             "Readback"}));
}

}  // namespace

TEST(FramebufferTests, LlvmpipeReportsEveryKeyWithAPositiveRate) {
  runAndCheck({{"GALLIUM_DRIVER", "llvmpipe"}});
}

TEST(FramebufferTests, SoftpipeReportsEveryKeyWithAPositiveRate) {
  runAndCheck({{"GALLIUM_DRIVER", "softpipe"}});
}
