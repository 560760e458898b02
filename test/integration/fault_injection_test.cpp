// Faults injected around the real program: things in the way of its files, limits,
// full devices, closed descriptors and stop signals. Each must end in a clear exit
// status and message, and leave complete files or the previous ones, never a part.

#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "integration/run_support.h"

using namespace corvalis_test;

namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::string> folderNames(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.' || contains(entry->d_name, "corvalis"))
        names.push_back(entry->d_name);
    closedir(dir);
  }
  return names;
}

// Runs a shell line in the folder with $B as the program; returns the exit status.
int shell(const std::string& folder, const std::string& line) {
  std::string command =
      "cd '" + folder + "' && B='" CORVALIS_BINARY "' && (" + line + ") >/dev/null 2>&1";
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Faults, ADataFileThatCannotBeWrittenIsAnErrorAndNotListed) {
  std::string folder = makeTempFolder();
  ASSERT_EQ(mkdir((folder + "/r.tile_c.csv").c_str(), 0755), 0);
  // A data file of another run beside it is not this run's.
  ASSERT_EQ(shell(folder, "echo old > r.pal8.csv"), 0);
  RunResult r = runCorvalis({"-64x48", "--tests", "tiling", "--output", "r"}, {}, folder);
  EXPECT_EQ(r.exitStatus, 1) << r.err;
  EXPECT_TRUE(contains(r.err, "could not create r.tile_c.csv: Is a directory")) << r.err;
  EXPECT_TRUE(contains(r.out, "r.tile_s.csv")) << r.out;
  EXPECT_FALSE(contains(r.out, "r.tile_c.csv")) << r.out;
  EXPECT_FALSE(contains(r.out, "r.pal8.csv")) << r.out;
  EXPECT_TRUE(fileExists(folder + "/r.htm"));
  for (const auto& name : folderNames(folder))
    EXPECT_FALSE(contains(name, "corvalis")) << "temporary left: " << name;
}

TEST(Faults, LimitsAndFullDevicesEndInExitOneNamingTheFile) {
  std::string folder = makeTempFolder();
  ASSERT_EQ(shell(folder, "printf old > r.htm"), 0);
  // 1 block of 512 bytes: the page cannot be written whole.
  EXPECT_EQ(shell(folder, "ulimit -f 1; $B -64x48 --tests tiling --output r 2>err"), 1);
  EXPECT_TRUE(contains(readFile(folder + "/err"), "could not write r.htm completely: File too large"))
      << readFile(folder + "/err");
  EXPECT_EQ(readFile(folder + "/r.htm"), "old");
  EXPECT_EQ(shell(folder, "$B --list >/dev/full"), 1);
  EXPECT_EQ(shell(folder, "$B -64x48 --tests tiling --bbcode --output b >/dev/full"), 1);
  for (const auto& name : folderNames(folder))
    EXPECT_FALSE(contains(name, "corvalis")) << "temporary left: " << name;
}

TEST(Faults, ClosedStandardDescriptorsNeverReachAReport) {
  std::string folder = makeTempFolder();
  EXPECT_EQ(shell(folder, "$B -64x48 --tests tiling --output r <&- >&- 2>&-"), 0);
  std::string page = readFile(folder + "/r.htm");
  EXPECT_EQ(page.compare(0, 14, "<!DOCTYPE HTML"), 0) << page.substr(0, 80);
  EXPECT_FALSE(contains(page, "Tiling ...")) << page;
  EXPECT_FALSE(contains(readFile(folder + "/r.txt"), "[1/1]"));
}

// Starts the program, waits until its progress shows 'marker' on stderr, sends the
// signal, and returns the exit status (128 + signal when it died of it).
int stopAt(const std::string& folder, const std::string& marker, int signal) {
  int errPipe[2];
  if (pipe(errPipe) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(errPipe[1], 2);
    close(errPipe[0]);
    if (chdir(folder.c_str()) != 0) _exit(126);
    execl(CORVALIS_BINARY, CORVALIS_BINARY, "-64x48", "--tests", "texcache,tiling",
          "--output", "r", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(errPipe[1]);
  std::string err;
  char buf[4096];
  bool sent = false;
  ssize_t n;
  while ((n = read(errPipe[0], buf, sizeof buf)) > 0) {
    err.append(buf, static_cast<size_t>(n));
    if (!sent && contains(err, marker)) {
      kill(pid, signal);
      sent = true;
    }
  }
  close(errPipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Faults, AStoppedRunKeepsThePreviousFilesByteForByte) {
  std::string folder = makeTempFolder();
  ASSERT_EQ(shell(folder, "for f in htm txt bb.txt rgba.csv tile_c.csv; do printf old-$f > r.$f; done"), 0);
  const struct {
    const char* marker;
    int signal;
  } points[] = {{"Corvalis:", SIGINT}, {"[1/2] Texture cache ...", SIGTERM},
                {"[2/2] Tiling ...", SIGINT}};
  for (const auto& point : points) {
    EXPECT_EQ(stopAt(folder, point.marker, point.signal), 128 + point.signal) << point.marker;
    for (const char* ext : {"htm", "txt", "bb.txt", "rgba.csv", "tile_c.csv"})
      EXPECT_EQ(readFile(folder + "/r." + ext), std::string("old-") + ext) << point.marker;
    EXPECT_EQ(folderNames(folder).size(), 5u) << "the five files alone: " << point.marker;
  }
}

}  // namespace
