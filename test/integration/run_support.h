#pragma once
// Runs the real corvalis binary in a fresh folder and reads back what it wrote.

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "report/report_files.h"

namespace corvalis_test {

struct RunResult {
  int exitStatus = -1;   // exit code, or 128 + signal
  std::string out;       // stdout
  std::string err;       // stderr
  std::string folder;    // where it ran; report files lie here
  long peakKilobytes = 0;  // the program's peak resident size (ru_maxrss)
};

// Called with the running program's id and what it has printed so far, after each read.
using OutputWatch = std::function<void(pid_t, const RunResult&)>;

// Runs the binary with args inside 'folder' (a new temporary one when empty), with the
// extra environment variables set (value "" unsets one) and 'ignoredSignal' (when not 0)
// ignored from its start. DISPLAY is unset unless env names it, so runs are headless by
// default. Output is captured whole.
RunResult runCorvalis(const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env = {},
                      const std::string& folder = "", const OutputWatch& watch = {},
                      int ignoredSignal = 0);

// Holds JSON files to their schema in doc/schema/ (SCHEMA.schema.json) with
// python3-jsonschema; returns the validator's exit status (0: every file follows it) and
// appends its lines, one per fault naming the field, to 'out'.
int validateJson(const std::string& schema, const std::vector<std::string>& files, std::string& out);
// Expects every file to follow the schema.
void expectFollowsSchema(const std::string& schema, const std::vector<std::string>& files);

// The file helpers every test shares.
using corvalis::testing::contains;
using corvalis::testing::crlfLines;
using corvalis::testing::fileExists;
using corvalis::testing::linesWithPrefix;
using corvalis::testing::makeTempFolder;
using corvalis::testing::occurrences;
using corvalis::testing::readBytes;

}  // namespace corvalis_test
