#pragma once
// The window system of the Linux backend, chosen by the console program before the
// first test window: headless pbuffers (the default) or X11 windows.

#include <string>

namespace corvalis {
namespace platform {

// Opens the X display that DISPLAY names and makes the native backend draw its test
// windows there. False, with the reason in 'error', when DISPLAY is unset or the
// display does not open; the backend then stays headless.
bool useX11Windows(std::string& error);

// What the test windows are drawn on ("X display :0", "pbuffer").
std::string windowSystemDescription();

// What the window system lost during the run ("the X display :0 was lost"), so that the
// failed tests are not taken for a driver fault; empty while nothing was lost.
std::string windowSystemLoss();

}  // namespace platform
}  // namespace corvalis
