#pragma once
// A resource dialog shown modally, its behaviour supplied by the caller.

#include "platform/modal_dialog.h"
#include "platform/win32/win32_platform.h"

namespace corvalis {
namespace platform {

// Shows dialog resource 'dialogId' modally without owner. Returns DialogResultStart for
// Start, DialogResultExit for Exit or the close box, and 0 or -1 when the dialog could
// not be created.
INT_PTR runModalDialog(HINSTANCE instance, int dialogId, DialogBehavior& behavior);

}  // namespace platform
}  // namespace corvalis
