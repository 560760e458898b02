#include "gl/window.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/gl_errors.h"
#include "gl/display_config.h"
#include "gl/pixel_format.h"
#include "platform/gl_include.h"

namespace corvalis {

namespace {

constexpr unsigned SettleMilliseconds = 100;

const char* glText(GLenum name) {
  const char* text = reinterpret_cast<const char*>(glGetString(name));
  return text ? text : "";
}

// Bytes of one full-screen buffer of 'bits' per pixel. Computed wide: a size the command
// line accepts can overflow 32 bits here, and a wrapped value would be nonsense.
int32_t bufferBytes(int32_t bits, int32_t width, int32_t height) {
  const int64_t bytes = (static_cast<int64_t>(height) * width * bits) >> 3;
  return static_cast<int32_t>(std::clamp<int64_t>(bytes, 0, INT32_MAX));
}

}  // namespace

TestWindow::TestWindow(int bpp, bool needDepth, bool needStencil) {
  platform::Platform& plat = platform::current();
  initFailed = true;
  window = nullptr;
  deviceContext = nullptr;
  renderContext = nullptr;
  errorText[0] = '\0';
  // A window refused because the display went away says nothing about the driver: the
  // report keeps the driver text of the windows before it (below).
  const std::string previousDriver = driverString;
  driverString[0] = '\0';

  DisplayConfig* config = displayConfig;
  if (config) {
    bpp = std::min(bpp, static_cast<int>(config->maxBpp));
    if (bpp != config->currentBpp) {
      plat.setDisplayMode(config->width, config->height, bpp);
      config->modeChanged = true;
      config->currentBpp = bpp;
    }
    plat.sleepMilliseconds(SettleMilliseconds);
    window = plat.createTestWindow(config->classAtom, config->width, config->height);
  }
  if (!window) {
    std::snprintf(errorText, sizeof errorText, "no window");
  } else {
    plat.sleepMilliseconds(SettleMilliseconds);
    initFailed = !initContext(bpp, needDepth, needStencil);
  }
  if (initFailed) {
    std::snprintf(driverString, DriverStringSize, "%s",
                  plat.displayLost() ? previousDriver.c_str() : GlInitFailedText);
    return;
  }
  if (caps.swapControl) caps.wglSwapIntervalEXT(0);
  recordDriverString();
  reportedWidth = static_cast<unsigned>(config->width);
  reportedHeight = static_cast<unsigned>(config->height);
}

TestWindow::~TestWindow() {
  platform::Platform& plat = platform::current();
  if (renderContext) {
    glFinish();
    plat.makeCurrent(nullptr, nullptr);
    plat.deleteContext(renderContext);
  }
  if (deviceContext) plat.releaseDeviceContext(window, deviceContext);
  if (window) plat.destroyWindow(window);
}

// Device context, pixel format, context made current, granted bits, first clear and
// the extension table, in that order; the first failure names itself in errorText.
bool TestWindow::initContext(int bpp, bool needDepth, bool needStencil) {
  platform::Platform& plat = platform::current();
  deviceContext = plat.getDeviceContext(window);
  if (!deviceContext) {
    std::snprintf(errorText, sizeof errorText, "no device context");
    return false;
  }
  if (!setChosenPixelFormat(bpp, needDepth, needStencil)) {
    std::snprintf(errorText, sizeof errorText, "no pixel format");
    return false;
  }
  renderContext = plat.createContext(deviceContext);
  if (!renderContext) {
    std::snprintf(errorText, sizeof errorText, "no rendering context / %u", plat.lastError());
    return false;
  }
  if (!plat.makeCurrent(deviceContext, renderContext)) {
    std::snprintf(errorText, sizeof errorText, "wglMakeCurrent failed");
    return false;
  }

  GLint bits[6] = {};
  const GLenum names[6] = {GL_RED_BITS,   GL_GREEN_BITS, GL_BLUE_BITS,
                           GL_ALPHA_BITS, GL_DEPTH_BITS, GL_STENCIL_BITS};
  for (int i = 0; i < 6; ++i) glGetIntegerv(names[i], &bits[i]);
  redBits = bits[0];
  greenBits = bits[1];
  blueBits = bits[2];
  alphaBits = bits[3];
  depthBits = bits[4];
  stencilBits = bits[5];

  const int32_t width = displayConfig->width, height = displayConfig->height;
  colorBytes = bufferBytes(redBits + greenBits + blueBits + alphaBits, width, height);
  depthBytes = bufferBytes(depthBits, width, height);
  stencilBytes = bufferBytes(stencilBits, width, height);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  caps = probeExtensions(deviceContext);
  // NOTE: the probe asks for limits that some contexts do not know (a core profile
  // refuses GL_MAX_TEXTURE_UNITS_ARB, and the table keeps its default); such an error
  // is the probe's, not the first measurement's, and is dropped here.
  takeGlErrors();
  return true;
}

// Enumerates every format of the device context, chooses the least acceptable one and
// sets it; false when there is none or the platform refuses it.
bool TestWindow::setChosenPixelFormat(int bpp, bool needDepth, bool needStencil) {
  platform::Platform& plat = platform::current();
  const int count = plat.describePixelFormat(deviceContext, 1, nullptr);
  if (count < 1) return false;
  std::vector<platform::PixelFormatDescriptor> formats(static_cast<size_t>(count));
  for (int index = 1; index <= count; ++index)
    plat.describePixelFormat(deviceContext, index, &formats[static_cast<size_t>(index - 1)]);
  const int chosen =
      choosePixelFormat(formats, bpp, needDepth, needStencil, displayConfig->formatMode);
  if (chosen == 0) return false;
  platform::PixelFormatDescriptor pfd;
  plat.describePixelFormat(deviceContext, chosen, &pfd);
  return plat.setPixelFormat(deviceContext, chosen, pfd);
}

void recordDriverString() {
  // Truncated to the buffer when renderer and version are longer together.
  std::snprintf(driverString, DriverStringSize, "%s v%s", glText(GL_RENDERER), glText(GL_VERSION));
}

void TestWindow::describeFormat(char* out, size_t outSize) const {
  if (!out || outSize == 0) return;
  if (initFailed)
    std::snprintf(out, outSize, "%s", errorText);
  else
    std::snprintf(out, outSize, "R%dG%dB%dA%d Z%d S%d", redBits, greenBits, blueBits, alphaBits,
                  depthBits, stencilBits);
}

double TestWindow::ramdacBytesPerSecond() const {
  const double rate = refreshRate != 0.0f ? static_cast<double>(refreshRate) : 85.0;
  return colorBytes * rate;
}

SyncMethod TestWindow::syncMethod() const {
  return SyncMethod(deviceContext, displayConfig ? displayConfig->swapSync : true);
}

void TestWindow::swapBuffers() const { platform::current().swapBuffers(deviceContext); }

}  // namespace corvalis
