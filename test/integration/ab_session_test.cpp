// A/B sessions of the real program: two workers on Mesa taking turns, the same build on
// both sides; sides that cannot start; a side whose driver crashes or hangs in the middle
// of a measurement (an LD_PRELOAD module that aborts or never returns in its n-th read);
// a stop signal.

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "integration/run_support.h"
#include "integration/shell_command.h"

using namespace corvalis_test;

namespace {

// Checks BASE.ab.json with python3's json: 'assertions' in the scope of d.
int checkJson(const std::string& path, const std::string& assertions) {
  return shellCommand("python3 -c 'import json, sys\nd = json.load(open(sys.argv[1]))\n" +
                      assertions + "' '" + path + "'");
}

TEST(AbSession, TheSameBuildOnBothSidesComparesEveryValueInPairs) {
  const RunResult r = runCorvalis({"-64x48", "--tests", "readback,fillrate", "--repeat", "2",
                                   "--ab", "--output", "s", "--no-charts"});
  ASSERT_EQ(r.exitStatus, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out, "A: as the session\nB: as the session\n")) << r.out;
  EXPECT_TRUE(std::regex_search(
      r.out, std::regex("\\nFillrate:32:Col +[0-9.]+ [kMG]? ?Pix/s +[0-9.]+ [kMG]? ?Pix/s +"
                        "[0-9.]+ +[0-9.]+ to [0-9.]+ +(same\\*?|slower|faster)\\n")))
      << r.out;
  EXPECT_FALSE(contains(r.out, "failed")) << r.out;
  EXPECT_FALSE(contains(r.out, "missing")) << r.out;
  for (const char* name : {"s.ab.htm", "s.ab.json", "s.a.txt", "s.a.json", "s.b.txt", "s.b.htm"})
    EXPECT_TRUE(fileExists(r.folder + "/" + name)) << name;
  expectFollowsSchema("corvalis-ab", {r.folder + "/s.ab.json"});
  // Every rate's ratio rests on the two pairs of slices the sides took in turn.
  EXPECT_EQ(checkJson(r.folder + "/s.ab.json",
                      "rates = [v for v in d[\"values\"] if v[\"kind\"] == \"rate\"]\n"
                      "assert len(rates) > 10, rates\n"
                      "assert all(v[\"pairs\"] == 2 for v in rates), rates\n"
                      "assert d[\"lost\"] == {\"A\": False, \"B\": False}\n"
                      "assert \"gate\" not in d"),
            0);
  EXPECT_FALSE(contains(listing(r.folder), "corvalis")) << listing(r.folder);
}

// A side that cannot start is refused before anything is measured, naming the side and
// the cause, with the status of a usage error; nothing of the session is written.
TEST(AbSession, ASideThatCannotStartIsRefusedBeforeMeasuring) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--b-device", "99"}, "side B (--device 99) cannot start: there is no device 99"},
      {{"--a", "LIBGL_DRIVERS_PATH=/nonexistent"},
       "side A (LIBGL_DRIVERS_PATH=/nonexistent) cannot start: OpenGL could not be initialised"},
      {{"--b", "NAME"}, "--b needs NAME=VALUE (side B's environment), not 'NAME'"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"-64x48", "--tests", "fillrate", "--repeat", "2"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult r = runCorvalis(args);
    EXPECT_EQ(r.exitStatus, 2) << c.message << "\n" << r.err;
    EXPECT_TRUE(contains(r.err, c.message)) << r.err;
    EXPECT_EQ(listing(r.folder), "") << c.message;
  }
}

// The processes still running whose environment holds 'entry' (NAME=VALUE), read from
// /proc; those of other users, which cannot be read, are not counted.
std::vector<pid_t> processesWith(const std::string& entry) {
  std::vector<pid_t> found;
  DIR* proc = opendir("/proc");
  if (!proc) return found;
  const std::string framed = std::string(1, '\0') + entry + '\0';
  while (const dirent* item = readdir(proc)) {
    if (!std::isdigit(static_cast<unsigned char>(item->d_name[0]))) continue;
    std::ifstream file(std::string("/proc/") + item->d_name + "/environ", std::ios::binary);
    const std::string environment = std::string(1, '\0') +
        std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (environment.find(framed) != std::string::npos) found.push_back(std::atoi(item->d_name));
  }
  closedir(proc);
  return found;
}

// A session in which side B's driver fails ('fault', CORVALIS_ABORT_READ=2 or
// CORVALIS_HANG_READ=2: in B's second read, its first timed slice of Readback) after both
// sides finished Fillrate, since the sides are never more than a turn apart. An old
// c.b.txt lies in the folder. The program's output goes to files, so that a worker that
// outlives the session cannot hold the test up; each worker carries a mark in its
// environment, so that none can outlive it unseen (one that did is named and killed).
// With 'meanwhile' the session runs in the background while that shell line runs in the
// folder ($! the session's process), then the session is waited for.
RunResult sessionWithFaultInB(const std::string& fault, const std::string& environment = "",
                              const std::string& meanwhile = "") {
  RunResult r;
  r.folder = makeTempFolder();
  const std::string output = makeTempFolder();
  EXPECT_EQ(shellIn(r.folder, "printf old > c.b.txt"), 0);
  const std::string mark = "CORVALIS_TEST_MARK=" + r.folder;
  const std::string session =
      environment + " $B -64x48 --headless --tests fillrate,readback --repeat 2 --output c "
      "--no-charts --a '" + mark + "' --b '" + mark + "' --b 'LD_PRELOAD="
      CORVALIS_DRAW_FAULT_LIBRARY "' --b " + fault + " >'" + output + "/out' 2>'" + output +
      "/err'";
  r.exitStatus = shellIn(r.folder, meanwhile.empty()
                                       ? session
                                       : session + " & " + meanwhile + "; wait $!");
  r.out = readBytes(output + "/out");
  r.err = readBytes(output + "/err");
  for (const pid_t left : processesWith(mark)) {
    ADD_FAILURE() << "worker " << left << " outlived the session";
    kill(left, SIGKILL);
  }
  return r;
}

// What a session that stopped at a fault in side B's Readback leaves: exit status 3, a
// message naming side B and 'cause'; side A's reports with its Fillrate values and its
// Readback failed; B's Fillrate, finished before the fault, compared with A's in pairs,
// and only its Readback failed; B's old report untouched; no temporary and no progress
// report of either worker.
void expectStoppedInReadback(const RunResult& r, const std::string& cause) {
  EXPECT_EQ(r.exitStatus, 3) << r.out << r.err;
  EXPECT_TRUE(std::regex_search(
      r.err, std::regex("corvalis: side B \\([^)]*LD_PRELOAD=[^)]*\\) was lost during the "
                        "session: " + cause + "; the session stopped there: side B keeps its "
                        "values of the tests it had finished \\(Fillrate\\), those of the "
                        "others are failed; side A's reports keep the tests it had finished, "
                        "the others failed")))
      << r.err;
  EXPECT_FALSE(contains(r.err, "see the report")) << r.err;
  const std::string aReport = readBytes(r.folder + "/c.a.txt");
  EXPECT_TRUE(
      std::regex_search(aReport, std::regex("\r\nFillrate:32:Col=[0-9.]+ [kMG]? ?Pix/s\r\n")))
      << aReport;
  EXPECT_EQ(linesWithPrefix(crlfLines(aReport), "Readback:"),
            std::vector<std::string>{"Readback:Error=A/B session stopped: other side lost"})
      << aReport;
  EXPECT_TRUE(fileExists(r.folder + "/c.a.htm"));
  EXPECT_EQ(readBytes(r.folder + "/c.b.txt"), "old");
  EXPECT_TRUE(std::regex_search(
      r.out, std::regex("\\nFillrate:32:Col +[0-9.]+ [kMG]? ?Pix/s +[0-9.]+ [kMG]? ?Pix/s +"
                        "[0-9.]+ +[0-9.]+ to [0-9.]+ +(same\\*?|slower|faster)\\n")))
      << r.out;
  EXPECT_TRUE(std::regex_search(
      r.out, std::regex("\\nReadback:Error +A/B session stopped: other side lost +\\(failed\\) +"
                        "- +failed\\n")))
      << r.out;
  EXPECT_FALSE(contains(r.out, "c.b.txt")) << r.out;
  // A's Fillrate values keep their samples; its Readback is one failure.
  EXPECT_EQ(checkJson(r.folder + "/c.a.json",
                      "v = d[\"values\"]\n"
                      "assert len(v[\"Fillrate:32:Col\"][\"samples\"]) == 2, v\n"
                      "assert v[\"Readback:Error\"][\"text\"] == \"A/B session stopped: other "
                      "side lost\", v\n"
                      "assert not [k for k in v if k.startswith(\"Readback:\") and k != "
                      "\"Readback:Error\"], v"),
            0);
  // Every Fillrate rate has both sides' numbers and the two pairs of slices; every
  // Readback value is failed, B having none.
  EXPECT_EQ(checkJson(r.folder + "/c.ab.json",
                      "assert d[\"lost\"] == {\"A\": False, \"B\": True}\n"
                      "rows = {v[\"key\"]: v for v in d[\"values\"]}\n"
                      "assert rows[\"Info:Driver\"][\"b\"][\"text\"], rows\n"
                      "fill = [v for v in d[\"values\"] if v[\"key\"].startswith(\"Fillrate:\") "
                      "and v[\"kind\"] == \"rate\"]\n"
                      "assert len(fill) > 10, fill\n"
                      "assert all(v[\"a\"][\"value\"] > 0 and v[\"b\"][\"value\"] > 0 and "
                      "v[\"pairs\"] == 2 and v[\"word\"] in (\"same\", \"slower\", "
                      "\"faster\") for v in fill), fill\n"
                      "back = [v for v in d[\"values\"] if v[\"key\"].startswith(\"Readback:\")]\n"
                      "assert back and all(v[\"word\"] == \"failed\" and v[\"b\"] == {} for v "
                      "in back), back"),
            0);
  expectFollowsSchema("corvalis-ab", {r.folder + "/c.ab.json"});
  expectFollowsSchema("corvalis-run", {r.folder + "/c.a.json"});
  EXPECT_EQ(listing(r.folder),
            "c.a.bb.txt\nc.a.htm\nc.a.json\nc.a.txt\nc.ab.htm\nc.ab.json\nc.b.txt\n");
}

// A driver crash: the worker is killed by SIGABRT.
TEST(AbSession, AWorkerThatCrashesStopsTheSessionAndKeepsWhatWasMeasured) {
  expectStoppedInReadback(sessionWithFaultInB("CORVALIS_ABORT_READ=2"),
                          "its worker was killed by signal 6 \\(Aborted\\)");
}

// A hung driver, under a hang limit of 5 s instead of 120 s: the parent kills the worker
// that held its turn that long, and the session stops as after a crash.
TEST(AbSession, AWorkerThatHangsIsKilledAndStopsTheSession) {
  expectStoppedInReadback(sessionWithFaultInB("CORVALIS_HANG_READ=2", "CORVALIS_AB_HANG_SECONDS=5"),
                          "its worker held one turn for more than 5 s and was killed");
}

// The hang limit is checked before any worker starts.
TEST(AbSession, AHangLimitThatIsNoWholeNumberOfSecondsIsAUsageError) {
  const RunResult r = runCorvalis({"-64x48", "--tests", "fillrate", "--ab", "--output", "h"},
                                  {{"CORVALIS_AB_HANG_SECONDS", "0.5"}});
  EXPECT_EQ(r.exitStatus, 2) << r.err;
  EXPECT_EQ(r.err, "corvalis: CORVALIS_AB_HANG_SECONDS must be a whole number of seconds from 1 "
                   "to 3600, not '0.5'\n");
  EXPECT_EQ(listing(r.folder), "");
}

// A stop signal to the session ends both workers: the previous files stay as they were
// and no temporary is left.
TEST(AbSession, AStopSignalEndsBothWorkersAndKeepsThePreviousFiles) {
  const std::string folder = makeTempFolder();
  ASSERT_EQ(shellIn(folder, "printf old > r.ab.htm && printf old > r.a.txt"), 0);
  bool sent = false;
  const RunResult r = runCorvalis(
      {"-64x48", "--tests", "fillrate", "--ab", "--output", "r"}, {}, folder,
      [&](pid_t pid, const RunResult& soFar) {
        if (sent || !contains(soFar.err, "  B: as the session")) return;
        kill(pid, SIGTERM);
        sent = true;
      });
  EXPECT_EQ(r.exitStatus, 128 + SIGTERM) << r.err;
  EXPECT_TRUE(contains(r.err, "A/B session stopped by signal 15")) << r.err;
  EXPECT_EQ(readBytes(folder + "/r.ab.htm"), "old");
  EXPECT_EQ(readBytes(folder + "/r.a.txt"), "old");
  EXPECT_EQ(listing(folder), "r.a.txt\nr.ab.htm\n");
}

// A stop signal once the workers keep progress reports (side B has finished Fillrate and
// hangs in Readback): the reports go with the workers, and the previous files stay.
TEST(AbSession, AStopSignalLeavesNoProgressReportBehind) {
  const std::string seen = makeTempFolder() + "/seen";
  const RunResult r = sessionWithFaultInB(
      "CORVALIS_HANG_READ=2", "CORVALIS_AB_HANG_SECONDS=60",
      "for i in $(seq 600); do ls -A | grep -q '^\\.corvalis-ab-.*-b\\.txt$' && break; "
      "sleep 0.1; done; ls -A >'" + seen + "'; kill -TERM $!");
  EXPECT_TRUE(contains(readBytes(seen), ".corvalis-ab-")) << readBytes(seen);
  EXPECT_EQ(r.exitStatus, 128 + SIGTERM) << r.err;
  EXPECT_TRUE(contains(r.err, "A/B session stopped by signal 15")) << r.err;
  EXPECT_EQ(readBytes(r.folder + "/c.b.txt"), "old");
  EXPECT_EQ(listing(r.folder), "c.b.txt\n");
}

}  // namespace
