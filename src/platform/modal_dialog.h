#pragma once
// A modal dialog as the platform shows it: the native dialog binds its controls to
// DialogControls and forwards its messages to a DialogBehavior supplied from above the
// seam, so the platform never needs to know what the dialog is for.

#include "platform/platform.h"

namespace corvalis {
namespace platform {

// The dialog's controls as its behaviour sees them, addressed by control id.
class DialogControls {
 public:
  virtual ~DialogControls() = default;
  virtual void setCaption(const char* text) = 0;
  virtual void setText(int id, const char* text) = 0;
  // Reads at most size - 1 characters into buffer and ends them with a zero byte.
  virtual void readText(int id, char* buffer, int size) = 0;
  virtual void setChecked(int id, bool checked) = 0;
  virtual bool isChecked(int id) = 0;
  virtual void setEnabled(int id, bool enabled) = 0;
};

// What a command asks of the dialog.
enum class DialogOutcome { Continue, Start, Exit };

// The values a modal dialog ends with.
constexpr int DialogResultStart = 1;
constexpr int DialogResultExit = 2;

// What the dialog does on its messages.
class DialogBehavior {
 public:
  virtual ~DialogBehavior() = default;
  // WM_INITDIALOG: fill the controls; the handle identifies the dialog to the platform.
  virtual void initialize(DialogControls& controls, DialogHandle dialog) = 0;
  // A WM_COMMAND by control id; Start and Exit end the dialog with their result.
  virtual DialogOutcome command(DialogControls& controls, int controlId) = 0;
  // After every message but initialisation and the two that end the dialog.
  virtual void afterMessage(DialogControls& controls) = 0;
};

}  // namespace platform
}  // namespace corvalis
