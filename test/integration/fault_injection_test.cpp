// Faults injected around the real program: things in the way of its files, limits,
// full devices, closed descriptors and stop signals. Each must end in a clear exit
// status and message, and leave complete files or the previous ones, never a part.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "integration/run_support.h"
#include "integration/shell_command.h"

using namespace corvalis_test;

namespace {

// Data files in the way of a run: a folder where one should be created, and a link to
// /dev/zero that takes the run's bytes but must not be read back without end for the
// charts page (8 GB of address space bound the reading). Both are named, neither is
// listed, nor is a data file of another run beside them; the reports are written, exit 1.
TEST(Faults, DataFilesInTheWayAreNamedAndNotListed) {
  const std::string folder = makeTempFolder();
  ASSERT_EQ(shellIn(folder, "mkdir r.tile_z.csv && ln -s /dev/zero r.tile_c.csv && "
                            "echo old > r.pal8.csv"), 0);
  ASSERT_EQ(shellIn(folder, "$B -64x48 --tests tiling --output r >out 2>err", 8000000), 1)
      << readBytes(folder + "/err");
  const std::string out = readBytes(folder + "/out"), err = readBytes(folder + "/err");
  EXPECT_TRUE(contains(err, "could not create r.tile_z.csv: Is a directory")) << err;
  EXPECT_TRUE(contains(err, "No charts page: r.tile_c.csv: cannot be read: a character device, "
                            "not a regular file\n")) << err;
  EXPECT_TRUE(contains(out, "r.tile_s.csv")) << out;
  for (const char* name : {"r.tile_z.csv", "r.pal8.csv", "r.charts.htm"})
    EXPECT_FALSE(contains(out, name)) << out;
  EXPECT_TRUE(fileExists(folder + "/r.htm"));
  EXPECT_FALSE(fileExists(folder + "/r.charts.htm"));
  EXPECT_FALSE(contains(listing(folder), "corvalis")) << "temporary left: " << listing(folder);
}

// Limits and full devices end in exit 1 naming the file, keeping the previous one.
TEST(Faults, LimitsFullDevicesAndClosedDescriptors) {
  std::string folder = makeTempFolder();
  ASSERT_EQ(shellIn(folder, "printf old > r.htm"), 0);
  // 1 block of 512 bytes: the page cannot be written whole.
  EXPECT_EQ(shellIn(folder, "ulimit -f 1; $B -64x48 --tests tiling --output r 2>err"), 1);
  EXPECT_TRUE(contains(readBytes(folder + "/err"), "could not write r.htm completely: File too large"))
      << readBytes(folder + "/err");
  EXPECT_EQ(readBytes(folder + "/r.htm"), "old");
  EXPECT_EQ(shellIn(folder, "$B --list >/dev/full"), 1);
  EXPECT_EQ(shellIn(folder, "$B -64x48 --tests tiling --bbcode --output b >/dev/full"), 1);
  EXPECT_FALSE(contains(listing(folder), "corvalis")) << "temporary left: " << listing(folder);
  // Closed standard descriptors: the progress must not land in a report opened on one.
  EXPECT_EQ(shellIn(folder, "$B -64x48 --tests tiling --output c <&- >&- 2>&-"), 0);
  std::string page = readBytes(folder + "/c.htm");
  EXPECT_EQ(page.compare(0, 14, "<!DOCTYPE HTML"), 0) << page.substr(0, 80);
  EXPECT_FALSE(contains(page, "Tiling ...")) << page;
  EXPECT_FALSE(contains(readBytes(folder + "/c.txt"), "[1/1]"));
}

// Runs the program with args in the folder, sends it the signal once its output shows
// 'marker' and calls afterSignal; then waits for its end. No timing: the signal lands
// wherever the run is once the marker is out. With 'ignoredAtStart' the program starts
// with the signal ignored, as nohup starts it for SIGHUP.
RunResult stopAt(const std::string& folder, const std::vector<std::string>& args,
                 const std::string& marker, int signal,
                 const std::function<void()>& afterSignal = {}, bool ignoredAtStart = false) {
  bool sent = false;
  return runCorvalis(args, {}, folder, [&](pid_t pid, const RunResult& soFar) {
    if (sent || !contains(soFar.out + soFar.err, marker)) return;
    kill(pid, signal);
    sent = true;
    if (afterSignal) afterSignal();
  }, ignoredAtStart ? signal : 0);
}

// SIGHUP (a closed terminal) and SIGQUIT (Ctrl-\) stop a run as SIGINT and SIGTERM do, at
// every point of the run.
TEST(Faults, AStoppedRunKeepsThePreviousFilesByteForByte) {
  std::string folder = makeTempFolder();
  ASSERT_EQ(shellIn(folder, "for f in htm txt bb.txt rgba.csv tile_c.csv; do printf old-$f > r.$f; done"), 0);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    for (const char* marker : {"Corvalis:", "[1/2] Texture cache ...", "[2/2] Tiling ..."}) {
      const std::string where = std::string(marker) + " " + strsignal(signal);
      RunResult run = stopAt(folder, {"-64x48", "--tests", "texcache,tiling", "--output", "r"},
                             marker, signal);
      EXPECT_EQ(run.exitStatus, 128 + signal) << where << "\n" << run.err;
      EXPECT_TRUE(contains(run.err, "stopped by signal " + std::to_string(signal))) << where;
      for (const char* ext : {"htm", "txt", "bb.txt", "rgba.csv", "tile_c.csv"})
        EXPECT_EQ(readBytes(folder + "/r." + ext), std::string("old-") + ext) << where;
      EXPECT_EQ(listing(folder), "r.bb.txt\nr.htm\nr.rgba.csv\nr.tile_c.csv\nr.txt\n") << where;
    }
  }
}

// A signal the program was started to ignore (nohup, a background job of a script)
// stays ignored: the run goes on and writes its files.
TEST(Faults, ASignalIgnoredAtStartStaysIgnored) {
  const std::string folder = makeTempFolder();
  for (int signal : {SIGHUP, SIGQUIT}) {
    RunResult run = stopAt(folder, {"-64x48", "--tests", "tiling", "--output", "n"}, "Corvalis:",
                           signal, {}, true);
    EXPECT_EQ(run.exitStatus, 0) << strsignal(signal) << "\n" << run.err;
    EXPECT_TRUE(fileExists(folder + "/n.tile_c.csv")) << strsignal(signal);
    ASSERT_EQ(unlink((folder + "/n.tile_c.csv").c_str()), 0);
  }
}

// A run or --compare waiting to open its page (a FIFO with no reader yet) stops on a
// signal with one line and 128 + the signal: no "Ouch!", no usage text. Once the signal
// is sent the test opens the FIFO's reading end, so that an open the signal did not
// catch can go on, and every point of the run ends the same way.
TEST(Faults, ASignalDuringABlockedOpenStopsWithOneLine) {
  const std::string folder = makeTempFolder();
  const std::string report = "[Corvalis 0.50]\r\nInfo:Method=Flush\r\nFillrate:32:Col=1.000 M Pix/s\r\n";
  ASSERT_EQ(shellIn(folder, "printf '" + report + "' > a.txt && cp a.txt b.txt && "
                          "mkfifo r.htm cmp.compare.htm"), 0);
  const struct {
    std::vector<std::string> args;
    const char* fifo;
    const char* marker;
    int signal;
    const char* message;
  } cases[] = {
      {{"-64x48", "--tests", "tiling", "--output", "r"}, "r.htm", "Corvalis:", SIGHUP,
       "corvalis: stopped by signal 1"},
      {{"--compare", "a.txt", "b.txt", "--output", "cmp"}, "cmp.compare.htm", "ratio: value /",
       SIGQUIT, "corvalis: --compare stopped by signal 3"},
  };
  for (const auto& c : cases) {
    int reader = -1;
    const RunResult run = stopAt(folder, c.args, c.marker, c.signal, [&] {
      reader = open((folder + "/" + c.fifo).c_str(), O_RDONLY | O_NONBLOCK);
    });
    if (reader >= 0) close(reader);
    const std::string output = run.out + run.err;
    EXPECT_EQ(run.exitStatus, 128 + c.signal) << c.fifo << "\n" << output;
    EXPECT_TRUE(contains(output, c.message)) << output;
    EXPECT_FALSE(contains(output, "Ouch!")) << output;
    EXPECT_FALSE(contains(output, "usage:")) << output;
    struct stat st;
    ASSERT_EQ(stat((folder + "/" + c.fifo).c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << c.fifo;
  }
  EXPECT_FALSE(contains(listing(folder), "corvalis")) << "temporary left: " << listing(folder);
}

// Outside text can neither add a line to what the program prints nor leave a control
// character in a report: a line feed in --output is escaped in the listing; a comment
// with NEL (U+0085), a one-byte CSI (U+009B) and a BB list item loses its controls in
// every report and on the terminal, and "[*]" opens no list item.
TEST(Faults, OutsideTextCannotForgeLinesOrSteerTheTerminal) {
  const std::string base = "r\n  FORGED";
  RunResult r = runCorvalis({"-64x48", "--tests", "tiling", "--output", base, "--comment",
                             "[*]x \u0085 \u009b" "31m", "--bbcode"});
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "\n  " + r.folder + "/r\\n  FORGED.htm\n")) << r.out;
  EXPECT_TRUE(contains(r.out, "/r\\n  FORGED.tile_c.csv\n")) << r.out;
  EXPECT_FALSE(contains(r.out, "\n  FORGED")) << r.out;
  EXPECT_TRUE(fileExists(r.folder + "/" + base + ".htm"));
  const std::string text = readBytes(r.folder + "/" + base + ".txt");
  const std::string bb = readBytes(r.folder + "/" + base + ".bb.txt");
  EXPECT_TRUE(contains(text, "\r\nInfo:Comment=[*]x    31m\r\n")) << text;
  EXPECT_TRUE(contains(bb, "\r\nComment             (*]x    31m\r\n")) << bb;
  auto isC1 = [](char c) { return static_cast<unsigned char>(c) >= 0x80 &&
                                   static_cast<unsigned char>(c) <= 0x9F; };
  for (const std::string* report : {&text, &bb})
    EXPECT_EQ(std::count_if(report->begin(), report->end(), isC1), 0) << *report;
  // On the UTF-8 terminal (--bbcode) a C1 control is 0xC2 and a byte 0x80..0x9F.
  for (size_t i = 0; i + 1 < r.out.size(); ++i)
    EXPECT_FALSE(r.out[i] == '\xC2' && isC1(r.out[i + 1])) << "C1 control on stdout at " << i;
  EXPECT_TRUE(contains(r.out, "Comment             (*]x    31m\n")) << r.out;
}

// A report that cannot be created (a missing folder; a read-only one where permissions
// apply, which they do not for root) runs no test: the file is named with the system's
// reason, there is no usage text, and nothing is left behind.
TEST(Faults, AReportThatCannotBeCreatedRunsNothingAndSaysWhy) {
  const std::string folder = makeTempFolder();
  RunResult r = runCorvalis({"-64x48", "--tests", "tiling", "--output", folder + "/missing/r"});
  EXPECT_EQ(r.exitStatus, 1) << r.err;
  EXPECT_TRUE(contains(r.err, "Ouch!: Could not create output files. If one or more of the files "
                              "are currently opened, please close them and try again.\n")) << r.err;
  EXPECT_TRUE(contains(r.err, "corvalis: could not create " + folder +
                                  "/missing/r.htm: No such file or directory\n")) << r.err;
  EXPECT_FALSE(contains(r.err, "usage:")) << r.err;
  EXPECT_FALSE(contains(r.err, "[1/")) << "a test ran: " << r.err;
  EXPECT_EQ(listing(folder), "");
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  if (access(folder.c_str(), W_OK) != 0) {
    RunResult ro = runCorvalis({"-64x48", "--tests", "tiling", "--output", folder + "/r"});
    EXPECT_EQ(ro.exitStatus, 1);
    EXPECT_TRUE(contains(ro.err, "could not create " + folder + "/r.htm: Permission denied\n"))
        << ro.err;
    EXPECT_EQ(listing(folder), "");
  }
  chmod(folder.c_str(), 0755);
}

}  // namespace
