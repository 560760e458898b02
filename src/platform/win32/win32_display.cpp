#include <cstddef>

#include "platform/win32/win32_platform.h"

namespace corvalis {
namespace platform {

namespace {

// DEVMODEA up to and including its two reserved fields, without the panning fields:
// the record size the display-mode change is made with.
constexpr WORD DisplayModeRecordSize = 148;
static_assert(offsetof(DEVMODEA, dmPanningWidth) == DisplayModeRecordSize,
              "DEVMODEA layout differs from the 148-byte record");

}  // namespace

void Win32Platform::setDisplayMode(int width, int height, int bpp) {
  DEVMODEA mode;
  ZeroMemory(&mode, sizeof mode);
  mode.dmSize = DisplayModeRecordSize;
  mode.dmBitsPerPel = static_cast<DWORD>(bpp);
  mode.dmPelsWidth = static_cast<DWORD>(width);
  mode.dmPelsHeight = static_cast<DWORD>(height);
  mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
  ChangeDisplaySettingsExA(nullptr, &mode, nullptr, CDS_FULLSCREEN, nullptr);
}

void Win32Platform::restoreDisplayMode() {
  ChangeDisplaySettingsExA(nullptr, nullptr, nullptr, 0, nullptr);
}

}  // namespace platform
}  // namespace corvalis
