// The real program drawing in X11 windows on an Xvfb server that each test starts and
// stops itself (llvmpipe behind EGL's X11 platform).

#include <gtest/gtest.h>
// After GoogleTest: Xlib defines macros (None, Bool) that its headers use as names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "integration/run_support.h"

using namespace corvalis_test;

namespace {

// An Xvfb server on a display number it picks itself (-displayfd), so that parallel
// tests never collide; stopped by the destructor. It does not reset when its last client
// leaves (-noreset): a reset between two runs of a test refuses, for a moment, the
// connections of the next run and of its other client.
class XvfbServer {
 public:
  explicit XvfbServer(const std::string& screen) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
             "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    for (char c; read(fds[0], &c, 1) == 1 && c != '\n';) number += c;
    close(fds[0]);
    if (!number.empty()) display = ":" + number;
  }
  ~XvfbServer() { stop(); }
  void stop() {
    if (pid_ > 0 && kill(pid_, SIGTERM) == 0) waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  std::string display;  // ":N", empty when the server did not start

 private:
  pid_t pid_ = -1;
};

// The program run on the server with llvmpipe.
RunResult runOn(const XvfbServer& server, const std::vector<std::string>& args) {
  return runCorvalis(args, {{"DISPLAY", server.display}, {"LIBGL_ALWAYS_SOFTWARE", "1"}});
}

// A second client on the server, as a window manager or a user's tool would be: it lists
// the program's top-level windows (titled "Corvalis testing") and reads their pixels.
struct OtherClient {
  explicit OtherClient(const std::string& name) : display(XOpenDisplay(name.c_str())) {
    // A window may go away between being listed and being asked about.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  ~OtherClient() { close(); }
  // Must come before the server goes: Xlib ends the process on a broken connection.
  void close() {
    if (display) XCloseDisplay(display);
    display = nullptr;
  }
  std::vector<Window> testWindows() {
    std::vector<Window> found;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
      return found;
    for (unsigned i = 0; i < count; ++i) {
      char* name = nullptr;
      if (XFetchName(display, children[i], &name) && name) {
        if (std::strcmp(name, "Corvalis testing") == 0) found.push_back(children[i]);
        XFree(name);
      }
    }
    if (children) XFree(children);
    return found;
  }
  // The RGB value of the window's top-left pixel; -1 when the window is gone.
  long topLeftPixel(Window window) {
    XImage* image = XGetImage(display, window, 0, 0, 1, 1, AllPlanes, ZPixmap);
    if (!image) return -1;
    const long pixel = static_cast<long>(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return pixel;
  }
  Display* display;
};

using Pick = std::function<bool(OtherClient&, Window, int)>;

// Runs the program in windows while another client polls its test windows until 'pick'
// chooses one (given each window once, in the order they appear, with the number of
// windows seen before it) and hands it to 'act'. Returns false when the run ended first. A run that has not ended two
// minutes after 'act' ends the whole test program, so that a hang cannot pass unseen.
bool runMeddling(const XvfbServer& server, const std::vector<std::string>& args,
                 const Pick& pick, const std::function<void(OtherClient&, Window)>& act,
                 RunResult& r) {
  std::atomic<bool> runEnded{false}, acted{false};
  std::thread other([&] {
    OtherClient client(server.display);
    std::vector<Window> order;
    while (client.display && !runEnded && !acted) {
      for (Window window : client.testWindows())
        if (std::find(order.begin(), order.end(), window) == order.end()) order.push_back(window);
      for (size_t i = 0; i < order.size() && !acted; ++i) {
        if (pick(client, order[i], static_cast<int>(i))) {
          act(client, order[i]);
          acted = true;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (int i = 0; i < 1200 && !runEnded; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (runEnded) return;
    std::fprintf(stderr, "the run did not end within 120 s of what the other client did\n");
    std::_Exit(1);
  });
  r = runOn(server, args);
  runEnded = true;
  other.join();
  return acted;
}

// Both sync methods in windows (the second chosen by DISPLAY alone): the refresh rate
// comes from the display, and the scan-out of the Bandwidth test uses it, not 85 Hz. The
// screen mode is never switched: a screen smaller than the test size fails every window
// as "no window", and the report says so.
TEST(X11Window, RunsReportTheDisplaysRefreshRateAndFailOnATooSmallScreen) {
  XvfbServer server("320x240x24");
  ASSERT_FALSE(server.display.empty()) << "Xvfb did not start";
  const struct {
    std::vector<std::string> args;
    const char* method;
  } cases[] = {{{"-64x48", "--window", "--sync", "swap", "--tests", "bandwidth"}, "Swap"},
               {{"-64x48", "--sync", "flush", "--tests", "bandwidth"}, "Flush"}};
  for (const auto& c : cases) {
    RunResult r = runOn(server, c.args);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "on X display " + server.display)) << r.err;
    const std::string text = readBytes(r.folder + "/results.txt");
    EXPECT_TRUE(contains(text, std::string("Info:Method=") + c.method + "\r\n")) << text;
    EXPECT_TRUE(contains(text, "Bandwidth:Mode=R8G8B8A8 Z24 S8\r\n")) << text;
    // 64 x 48 pixels of 4 bytes scanned out 'rate' times a second ("0.737 M B/s").
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, std::regex("Info:Resolution=64x48 @ ([0-9]+\\.[0-9]{2})Hz\r\n"
                                                      "[\\s\\S]*Bandwidth:BurnedByRAMDAC=([0-9.]+) M ")))
        << text;
    const double rate = std::stod(m[1]);
    EXPECT_TRUE(rate > 45.0 && rate < 220.0) << text;
    EXPECT_NEAR(std::stod(m[2]) * 1e6 / 12288.0, rate, 0.2) << text;
  }
  RunResult r = runOn(server, {"-640x480", "--window", "--tests", "readback"});
  EXPECT_EQ(r.exitStatus, 3) << r.err;
  EXPECT_TRUE(contains(r.err, "is 320x240, smaller than the 640x480 test window")) << r.err;
  const std::string text = readBytes(r.folder + "/results.txt");
  EXPECT_TRUE(contains(text, "Info:Driver=GL initialization failed ...\r\n")) << text;
  EXPECT_TRUE(contains(text, "Readback:Error=no window\r\n")) << text;
}

// A display that goes away mid-run (the server killed once the first test's window is
// there, the probe window having come and gone) fails that test and every later one as
// "no window"; the report is still written, and its driver line names the driver that
// drew the probe, not a failure of OpenGL: the display is named as what was lost.
TEST(X11Window, DisplayClosingMidRunFailsTheTestsAndWritesTheReport) {
  XvfbServer server("640x480x24");
  ASSERT_FALSE(server.display.empty()) << "Xvfb did not start";
  RunResult r;
  ASSERT_TRUE(runMeddling(server, {"-320x240", "--window", "--tests", "fillrate,bandwidth,tiling"},
                          [](OtherClient&, Window, int n) { return n == 1; },
                          [&](OtherClient& client, Window) {
                            client.close();
                            server.stop();
                          }, r))
      << "the run ended before its first test window opened\n" << r.err;
  EXPECT_EQ(r.exitStatus, 3) << r.err;
  const std::string lost = "the X display " + server.display + " was lost during the run";
  EXPECT_TRUE(contains(r.err, "corvalis: " + lost + "; the test running then and every later "
                              "one failed with \"no window\"\n")) << r.err;
  EXPECT_FALSE(contains(r.err, "OpenGL could not be initialised")) << r.err;
  for (const char* file : {"/results.htm", "/results.bb.txt"})
    EXPECT_TRUE(fileExists(r.folder + file)) << file;
  const std::string text = readBytes(r.folder + "/results.txt");
  for (const char* line : {"Fillrate:32:Error=no window\r\n", "Fillrate:16:Error=no window\r\n",
                           "Bandwidth:Error=no window\r\n", "Tiling:Error=no window\r\n"})
    EXPECT_TRUE(contains(text, line)) << line << text;
  EXPECT_TRUE(std::regex_search(text, std::regex("Info:Driver=llvmpipe[^\r]* v[0-9][^\r]*\r\n")))
      << text;
}

// Another client destroys a test window while the program's connection stays up: at once
// (before its surface exists: the probe window, then Bandwidth's), and while Readback
// reads its window back (once its clear colour shows in the third window). The test running
// then and every later one fail with "no window", never a crash, and the loss is named.
TEST(X11Window, WindowDestroyedByAnotherClientFailsTheTests) {
  XvfbServer server("640x480x24");
  ASSERT_FALSE(server.display.empty()) << "Xvfb did not start";
  // Readback clears to (0.75, 0.5, 0) before each read.
  auto readbackColour = [](long pixel) {
    return pixel >= 0 && (pixel >> 16) > 0xB0 && ((pixel >> 8) & 0xFF) > 0x70 &&
           ((pixel >> 8) & 0xFF) < 0x90 && (pixel & 0xFF) < 0x10;
  };
  const struct {
    const char* what;
    Pick pick;
  } cases[] = {
      {"the probe window, at once", [](OtherClient&, Window, int n) { return n == 0; }},
      {"the first test window, at once", [](OtherClient&, Window, int n) { return n == 1; }},
      {"Readback's window, while it reads",
       [&](OtherClient& client, Window window, int n) {
         return n >= 2 && readbackColour(client.topLeftPixel(window));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RunResult r;
    ASSERT_TRUE(runMeddling(server, {"-320x240", "--window", "--tests", "bandwidth,readback"},
                            c.pick,
                            [](OtherClient& client, Window window) {
                              XDestroyWindow(client.display, window);
                              XSync(client.display, False);
                            }, r))
        << "the run ended before the window was there\n" << r.err;
    EXPECT_EQ(r.exitStatus, 3) << r.err;
    EXPECT_TRUE(contains(r.err, "corvalis: another client destroyed a test window on X display " +
                                    server.display + " during the run; the test running then "
                                    "and every later one failed with \"no window\"\n")) << r.err;
    // Bandwidth may have ended before the loss; Readback, the last test, never did.
    EXPECT_TRUE(contains(readBytes(r.folder + "/results.txt"), "Readback:Error=no window\r\n"))
        << readBytes(r.folder + "/results.txt");
  }
}

// The same loss at the moment a polling client hits only by chance (it crashed a run
// once in many): the window goes after a swap and before the read right after it, which
// must find the buffers of the window's old size, taken up while the window was there.
TEST(X11Window, WindowDestroyedBetweenASwapAndTheNextReadFailsTheTests) {
  XvfbServer server("640x480x24");
  ASSERT_FALSE(server.display.empty()) << "Xvfb did not start";
  // The first and the fourth of Readback's swaps, each followed by a read.
  for (const char* swap : {"1", "4"}) {
    SCOPED_TRACE(swap);
    const RunResult r = runCorvalis({"-320x240", "--window", "--tests", "readback"},
                                    {{"DISPLAY", server.display}, {"LIBGL_ALWAYS_SOFTWARE", "1"},
                                     {"LD_PRELOAD", CORVALIS_THIEF_LIBRARY},
                                     {"CORVALIS_THIEF_SWAP", swap}});
    EXPECT_EQ(r.exitStatus, 3) << r.err;
    EXPECT_TRUE(contains(r.err, "corvalis: another client destroyed a test window on X display " +
                                    server.display + " during the run")) << r.err;
    EXPECT_TRUE(contains(readBytes(r.folder + "/results.txt"), "Readback:Error=no window\r\n"))
        << readBytes(r.folder + "/results.txt");
  }
}

}  // namespace
