#pragma once
// The launcher, resource dialog 129, bound to the platform-independent LauncherModel.

#include "platform/win32/win32_platform.h"

namespace corvalis {
namespace platform {

// Shows the dialog modally without owner. Returns 1 for Start, 2 for Exit or the
// close box, and 0 or -1 when the dialog could not be created.
INT_PTR runLauncherDialog(HINSTANCE instance);

}  // namespace platform
}  // namespace corvalis
