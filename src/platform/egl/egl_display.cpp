// The EGL display: the window system's own display, or else which device renders; its
// lazy initialisation, and the display-mode emulation (a recorded colour depth).

#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/egl/egl_platform.h"
#include "platform/egl/egl_window_choice.h"

namespace corvalis {
namespace platform {

namespace {

// True when name occurs as a whole word in a space-separated EGL extension list.
bool listed(const char* extensions, const char* name) {
  if (!extensions) return false;
  const size_t n = std::strlen(name);
  for (const char* p = extensions; (p = std::strstr(p, name)) != nullptr; p += n) {
    const bool startsWord = p == extensions || p[-1] == ' ';
    const bool endsWord = p[n] == ' ' || p[n] == '\0';
    if (startsWord && endsWord) return true;
  }
  return false;
}

std::string hex(unsigned code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", code);
  return text;
}

const char* clientExtensions() {
  const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  return extensions ? extensions : "";
}

}  // namespace

EglPlatform& eglPlatform() {
  static EglPlatform backend;
  return backend;
}

Platform& native() { return eglPlatform(); }

std::string windowSystemDescription() { return eglPlatform().windowSystem().description(); }

std::string windowSystemLoss() { return eglPlatform().windowSystem().lossText(); }

EglPlatform::EglPlatform() : windowSystem_(makePbufferWindowSystem()) {}

void EglPlatform::enumerateDevices() {
  if (devicesEnumerated_) return;
  devicesEnumerated_ = true;
  const char* client = clientExtensions();
  if (!listed(client, "EGL_EXT_device_enumeration") || !listed(client, "EGL_EXT_platform_device"))
    return;
  auto queryDevices =
      reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
  auto queryString = reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(
      eglGetProcAddress("eglQueryDeviceStringEXT"));
  if (!queryDevices || !queryString) return;
  EGLint count = 0;
  if (!queryDevices(0, nullptr, &count) || count <= 0) return;
  devices_.resize(static_cast<size_t>(count));
  if (!queryDevices(count, devices_.data(), &count)) count = 0;
  devices_.resize(static_cast<size_t>(count));

  for (size_t i = 0; i < devices_.size(); ++i) {
    const char* extensions = queryString(devices_[i], EGL_EXTENSIONS);
    DeviceInfo info;
    // NOTE: Mesa lists its software rasteriser as a device of its own, marked by
    // EGL_MESA_device_software; it must not count as a hardware device.
    info.hardware = !listed(extensions, "EGL_MESA_device_software");
    const char* node = nullptr;
    if (listed(extensions, "EGL_EXT_device_drm_render_node"))
      node = queryString(devices_[i], EGL_DRM_RENDER_NODE_FILE_EXT);
    if (!node && listed(extensions, "EGL_EXT_device_drm"))
      node = queryString(devices_[i], EGL_DRM_DEVICE_FILE_EXT);
    if (node)
      info.name = node;
    else if (!info.hardware)
      info.name = "Mesa software renderer";
    else
      info.name = "EGL device " + std::to_string(i);
    deviceInfo_.push_back(info);
  }
}

std::vector<DeviceInfo> EglPlatform::listDevices() {
  enumerateDevices();
  return deviceInfo_;
}

bool EglPlatform::selectDevice(int index) {
  enumerateDevices();
  if (index < 0 || static_cast<size_t>(index) >= devices_.size()) return false;
  if (selectedDevice_ != index && state_ != DisplayState::Untried) {
    // Another device from now on: the next window opens it afresh.
    if (state_ == DisplayState::Ready) eglTerminate(display_);
    display_ = EGL_NO_DISPLAY;
    state_ = DisplayState::Untried;
  }
  selectedDevice_ = index;
  return true;
}

bool EglPlatform::openDisplay(EGLDisplay display, const std::string& where) {
  if (display == EGL_NO_DISPLAY) {
    description_ = "EGL unusable: no display on " + where + " (EGL error " +
                   hex(static_cast<unsigned>(eglGetError())) + ")";
    return false;
  }
  EGLint major = 0, minor = 0;
  if (!eglInitialize(display, &major, &minor)) {
    description_ = "EGL unusable: eglInitialize failed on " + where + " (EGL error " +
                   hex(static_cast<unsigned>(eglGetError())) + ")";
    return false;
  }
  if (!eglBindAPI(EGL_OPENGL_API)) {
    description_ = "EGL unusable: no desktop OpenGL on " + where + " (EGL error " +
                   hex(static_cast<unsigned>(eglGetError())) + ")";
    eglTerminate(display);
    return false;
  }
  display_ = display;
  createContextAttribs_ =
      (major > 1 || (major == 1 && minor >= 5)) ||
      listed(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_create_context");

  const char* vendor = eglQueryString(display, EGL_VENDOR);
  char text[160];
  std::snprintf(text, sizeof text, "EGL %d.%d %s on %s", major, minor, vendor ? vendor : "",
                where.c_str());
  description_ = text;
  if (listed(eglQueryString(display, EGL_EXTENSIONS), "EGL_MESA_query_driver")) {
    auto driverName = reinterpret_cast<PFNEGLGETDISPLAYDRIVERNAMEPROC>(
        eglGetProcAddress("eglGetDisplayDriverName"));
    const char* driver = driverName ? driverName(display) : nullptr;
    if (driver) description_ += std::string(", driver ") + driver;
  }
  return true;
}

bool EglPlatform::ensureDisplay() {
  if (state_ != DisplayState::Untried) return state_ == DisplayState::Ready;
  state_ = DisplayState::Unusable;
  const EglNativeDisplay native = windowSystem_->nativeDisplay();
  if (native.platform != EGL_NONE) {
    if (openNativeDisplay(native)) state_ = DisplayState::Ready;
    return state_ == DisplayState::Ready;
  }
  enumerateDevices();
  const char* client = clientExtensions();
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));

  int device = selectedDevice_;
  if (device < 0) {
    for (size_t i = 0; i < deviceInfo_.size() && device < 0; ++i)
      if (deviceInfo_[i].hardware) device = static_cast<int>(i);
  }
  if (device >= 0 && getPlatformDisplay) {
    const std::string where = "device " + std::to_string(device) + " (" +
                              deviceInfo_[static_cast<size_t>(device)].name + ")";
    EGLDisplay display = getPlatformDisplay(
        EGL_PLATFORM_DEVICE_EXT, devices_[static_cast<size_t>(device)], nullptr);
    if (openDisplay(display, where)) {
      state_ = DisplayState::Ready;
      return true;
    }
    // A chosen device that fails stays failed; a hardware device picked by default
    // falls back to Mesa's software renderer below.
    if (selectedDevice_ >= 0) return false;
  }
  if (getPlatformDisplay && listed(client, "EGL_MESA_platform_surfaceless")) {
    EGLDisplay display =
        getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (openDisplay(display, "surfaceless")) state_ = DisplayState::Ready;
  } else {
    if (openDisplay(eglGetDisplay(EGL_DEFAULT_DISPLAY), "the default display"))
      state_ = DisplayState::Ready;
  }
  return state_ == DisplayState::Ready;
}

bool EglPlatform::openNativeDisplay(const EglNativeDisplay& native) {
  const std::string where = windowSystem_->description();
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  const char* client = clientExtensions();
  bool offered = false;
  for (const std::string& extension : native.extensions)
    offered = offered || listed(client, extension.c_str());
  if (!getPlatformDisplay || !offered) {
    description_ = "EGL unusable: no " + native.platformName + " platform for " + where;
    return false;
  }
  return openDisplay(getPlatformDisplay(native.platform, native.display, nullptr), where);
}

void EglPlatform::useWindowSystem(std::unique_ptr<EglWindowSystem> system) {
  if (state_ == DisplayState::Ready) eglTerminate(display_);
  display_ = EGL_NO_DISPLAY;
  state_ = DisplayState::Untried;
  windowSystem_ = std::move(system);
}

std::string EglPlatform::backendDescription() {
  ensureDisplay();
  return description_;
}

// There is no screen mode on a headless display: the depth is only remembered, and the
// pixel formats of windows opened from now on are those of that depth.
void EglPlatform::setDisplayMode(int /*width*/, int /*height*/, int bpp) { modeBpp_ = bpp; }

void EglPlatform::restoreDisplayMode() { modeBpp_ = 0; }

}  // namespace platform
}  // namespace corvalis
