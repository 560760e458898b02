#include "platform/win32/win32_launcher_dialog.h"

namespace corvalis {
namespace platform {

namespace {

// The dialog's controls, found by id.
class Win32DialogControls final : public DialogControls {
 public:
  explicit Win32DialogControls(HWND dialog) : dialog_(dialog) {}

  void setCaption(const char* text) override { SetWindowTextA(dialog_, text); }
  void setText(int id, const char* text) override { SetDlgItemTextA(dialog_, id, text); }
  void readText(int id, char* buffer, int size) override {
    if (size <= 0) return;
    buffer[0] = '\0';
    GetDlgItemTextA(dialog_, id, buffer, size);
  }
  void setChecked(int id, bool checked) override {
    CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
  }
  bool isChecked(int id) override { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
  void setEnabled(int id, bool enabled) override {
    if (HWND control = GetDlgItem(dialog_, id)) EnableWindow(control, enabled ? TRUE : FALSE);
  }

 private:
  HWND dialog_;
};

// The behaviour travels as the dialog's creation parameter and is kept in DWLP_USER;
// messages that arrive before WM_INITDIALOG have none and get the default handling.
INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  auto* behavior = reinterpret_cast<DialogBehavior*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (!behavior) return FALSE;
  Win32DialogControls controls(dialog);
  if (message == WM_INITDIALOG) {
    behavior->initialize(controls, dialog);
    return TRUE;  // default focus
  }
  if (message == WM_COMMAND) {
    switch (behavior->command(controls, LOWORD(wParam))) {
      case DialogOutcome::Start:
        EndDialog(dialog, DialogResultStart);
        return TRUE;
      case DialogOutcome::Exit:
        EndDialog(dialog, DialogResultExit);
        return TRUE;
      case DialogOutcome::Continue:
        break;
    }
  }
  behavior->afterMessage(controls);
  return FALSE;
}

}  // namespace

INT_PTR runModalDialog(HINSTANCE instance, int dialogId, DialogBehavior& behavior) {
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(dialogId), nullptr, dialogProc,
                         reinterpret_cast<LPARAM>(&behavior));
}

}  // namespace platform
}  // namespace corvalis
