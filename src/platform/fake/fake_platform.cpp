#include "platform/fake/fake_platform.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace corvalis {
namespace platform {

namespace {

// The fake that handed out the wgl entry points below, so that they can record calls.
FakePlatform* procOwner = nullptr;

int fakeSwapInterval(int interval) {
  if (procOwner) procOwner->calls.push_back("wglSwapIntervalEXT " + std::to_string(interval));
  return 1;
}

const char* fakeExtensionsString(void* /*dc*/) {
  if (procOwner) procOwner->calls.push_back("wglGetExtensionsStringARB");
  return "";
}

// Stands for every other entry point; the fake has no GL behind it, so it must not be
// called.
void fakeEntryPoint() {}

PixelFormatDescriptor format(uint8_t r, uint8_t g, uint8_t b, uint8_t a, uint8_t z, uint8_t s) {
  PixelFormatDescriptor pfd;
  pfd.flags = PfdDrawToWindow | PfdSupportOpenGl | PfdDoubleBuffer;
  pfd.colorBits = static_cast<uint8_t>(r + g + b);
  pfd.redBits = r;
  pfd.greenBits = g;
  pfd.blueBits = b;
  pfd.alphaBits = a;
  pfd.depthBits = z;
  pfd.stencilBits = s;
  return pfd;
}

}  // namespace

FakePlatform::FakePlatform() : formats(standardFormats()) {}

std::vector<PixelFormatDescriptor> FakePlatform::standardFormats() {
  return {format(8, 8, 8, 8, 24, 8), format(5, 6, 5, 0, 16, 0), format(5, 6, 5, 0, 0, 0),
          format(8, 8, 8, 8, 0, 0)};
}

int FakePlatform::count(const std::string& name) const {
  int n = 0;
  for (const std::string& call : calls)
    if (call == name || call.compare(0, name.size() + 1, name + " ") == 0) ++n;
  return n;
}

void FakePlatform::setDisplayMode(int width, int height, int bpp) {
  calls.push_back("setDisplayMode " + std::to_string(width) + "x" + std::to_string(height) +
                  "x" + std::to_string(bpp));
}

void FakePlatform::restoreDisplayMode() { calls.push_back("restoreDisplayMode"); }

uint16_t FakePlatform::registerWindowClass() {
  calls.push_back("registerWindowClass");
  return failWindowClass ? 0 : 0xC001;
}

void FakePlatform::unregisterWindowClass(uint16_t /*atom*/) {
  calls.push_back("unregisterWindowClass");
}

WindowHandle FakePlatform::createTestWindow(uint16_t classAtom, int width, int height) {
  calls.push_back("createTestWindow " + std::to_string(width) + "x" + std::to_string(height));
  if (failWindow || classAtom == 0) return nullptr;
  ++liveWindows;
  return &windowMarker_;
}

void FakePlatform::destroyWindow(WindowHandle /*window*/) {
  calls.push_back("destroyWindow");
  --liveWindows;
}

DeviceContext FakePlatform::getDeviceContext(WindowHandle /*window*/) {
  calls.push_back("getDeviceContext");
  return failDeviceContext ? nullptr : &deviceContextMarker_;
}

void FakePlatform::releaseDeviceContext(WindowHandle /*window*/, DeviceContext /*dc*/) {
  calls.push_back("releaseDeviceContext");
}

int FakePlatform::describePixelFormat(DeviceContext /*dc*/, int index, PixelFormatDescriptor* out) {
  ++describeCalls;
  const int n = static_cast<int>(formats.size());
  if (out && index >= 1 && index <= n) *out = formats[static_cast<size_t>(index - 1)];
  return n;
}

bool FakePlatform::setPixelFormat(DeviceContext /*dc*/, int index, const PixelFormatDescriptor&) {
  calls.push_back("setPixelFormat " + std::to_string(index));
  chosenFormat = index;
  return !failSetPixelFormat && index >= 1 && index <= static_cast<int>(formats.size());
}

RenderContext FakePlatform::createContext(DeviceContext /*dc*/) {
  calls.push_back("createContext");
  if (contextError != 0) {
    lastError_ = contextError;
    return nullptr;
  }
  ++liveContexts;
  return &contextMarker_;
}

unsigned FakePlatform::lastError() { return lastError_; }

bool FakePlatform::makeCurrent(DeviceContext dc, RenderContext rc) {
  calls.push_back(dc || rc ? "makeCurrent" : "makeCurrent null");
  return !(rc && failMakeCurrent);
}

void FakePlatform::deleteContext(RenderContext /*rc*/) {
  calls.push_back("deleteContext");
  --liveContexts;
}

bool FakePlatform::swapBuffers(DeviceContext /*dc*/) {
  calls.push_back("swapBuffers");
  return true;
}

void* FakePlatform::getProcAddress(const char* name) {
  if (!name || missingProcs.count(name)) return nullptr;
  procOwner = this;
  if (std::strcmp(name, "wglSwapIntervalEXT") == 0)
    return reinterpret_cast<void*>(&fakeSwapInterval);
  if (std::strcmp(name, "wglGetExtensionsStringARB") == 0)
    return reinterpret_cast<void*>(&fakeExtensionsString);
  return reinterpret_cast<void*>(&fakeEntryPoint);
}

int64_t FakePlatform::performanceCounter() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t FakePlatform::performanceFrequency() { return 1000000000; }

void FakePlatform::sleepMilliseconds(unsigned ms) { calls.push_back("sleep " + std::to_string(ms)); }

void FakePlatform::showCursor(bool show) { calls.push_back(show ? "showCursor 1" : "showCursor 0"); }

void FakePlatform::messageBox(const char* text, const char* caption) {
  calls.push_back(std::string("messageBox ") + (caption ? caption : "") + ": " + (text ? text : ""));
}

bool FakePlatform::saveFileDialog(const SaveFileRequest& /*request*/, char* path, size_t pathSize) {
  calls.push_back(std::string("saveFileDialog ") + (path ? path : ""));
  if (!path || pathSize == 0) return false;
  // A cancelled dialog may leave anything in the buffer; the caller must not use it.
  if (saveFileAnswer.empty()) {
    std::snprintf(path, pathSize, "%s", "scribbled by a cancelled dialog");
    return false;
  }
  std::snprintf(path, pathSize, "%s", saveFileAnswer.c_str());
  return true;
}

void FakePlatform::openWithDefaultApplication(const char* path) {
  calls.push_back(std::string("open ") + (path ? path : ""));
}

bool FakePlatform::setClipboardText(DialogHandle owner, const char* bytes, size_t size) {
  calls.push_back("setClipboardText");
  clipboardOwner = owner;
  if (!clipboardAccepts) return false;
  clipboard.assign(bytes ? bytes : "", bytes ? size : 0);
  return true;
}

std::vector<DeviceInfo> FakePlatform::listDevices() { return {DeviceInfo{"fake device", true}}; }

bool FakePlatform::selectDevice(int index) { return index == 0; }

std::string FakePlatform::backendDescription() { return "fake platform"; }

}  // namespace platform
}  // namespace corvalis
