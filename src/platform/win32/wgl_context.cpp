#include <cstdint>

#include "platform/win32/win32_platform.h"

namespace corvalis {
namespace platform {

namespace {

// The descriptor size DescribePixelFormat is called with.
constexpr UINT DescriptorSize = 40;
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == DescriptorSize, "PIXELFORMATDESCRIPTOR size");

void translate(const PIXELFORMATDESCRIPTOR& native, PixelFormatDescriptor& out) {
  out.flags = native.dwFlags;
  out.pixelType = native.iPixelType;
  out.layerType = static_cast<int8_t>(native.iLayerType);
  out.colorBits = native.cColorBits;
  out.redBits = native.cRedBits;
  out.greenBits = native.cGreenBits;
  out.blueBits = native.cBlueBits;
  out.alphaBits = native.cAlphaBits;
  out.depthBits = native.cDepthBits;
  out.stencilBits = native.cStencilBits;
  out.auxBuffers = native.cAuxBuffers;
  out.accumBits = native.cAccumBits;
}

}  // namespace

int Win32Platform::describePixelFormat(DeviceContext dc, int index, PixelFormatDescriptor* out) {
  HDC hdc = static_cast<HDC>(dc);
  if (!out) return DescribePixelFormat(hdc, index, DescriptorSize, nullptr);
  PIXELFORMATDESCRIPTOR native;
  ZeroMemory(&native, sizeof native);
  int count = DescribePixelFormat(hdc, index, DescriptorSize, &native);
  if (count > 0) {
    lastDescriptor_ = native;
    lastDescriptorDc_ = hdc;
    lastDescriptorIndex_ = index;
  }
  translate(native, *out);
  return count;
}

bool Win32Platform::setPixelFormat(DeviceContext dc, int index, const PixelFormatDescriptor&) {
  HDC hdc = static_cast<HDC>(dc);
  if (hdc != lastDescriptorDc_ || index != lastDescriptorIndex_) {
    ZeroMemory(&lastDescriptor_, sizeof lastDescriptor_);
    DescribePixelFormat(hdc, index, DescriptorSize, &lastDescriptor_);
    lastDescriptorDc_ = hdc;
    lastDescriptorIndex_ = index;
  }
  return SetPixelFormat(hdc, index, &lastDescriptor_) != FALSE;
}

RenderContext Win32Platform::createContext(DeviceContext dc) {
  return wglCreateContext(static_cast<HDC>(dc));
}

unsigned Win32Platform::lastError() { return GetLastError(); }

bool Win32Platform::makeCurrent(DeviceContext dc, RenderContext rc) {
  return wglMakeCurrent(static_cast<HDC>(dc), static_cast<HGLRC>(rc)) != FALSE;
}

void Win32Platform::deleteContext(RenderContext rc) { wglDeleteContext(static_cast<HGLRC>(rc)); }

bool Win32Platform::swapBuffers(DeviceContext dc) {
  return SwapBuffers(static_cast<HDC>(dc)) != FALSE;
}

void* Win32Platform::getProcAddress(const char* name) {
  PROC proc = wglGetProcAddress(name);
  // NOTE: some ICDs answer a missing name with 1, 2, 3 or -1 instead of null.
  auto value = reinterpret_cast<intptr_t>(proc);
  if (value == 0 || value == 1 || value == 2 || value == 3 || value == -1) return nullptr;
  return reinterpret_cast<void*>(proc);
}

}  // namespace platform
}  // namespace corvalis
