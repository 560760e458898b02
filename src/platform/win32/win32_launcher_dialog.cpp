#include "platform/win32/win32_launcher_dialog.h"

#include "app/launcher_model.h"

namespace corvalis {
namespace platform {

namespace {

// The model's view of the dialog: its controls, found by id.
class DialogView final : public LauncherView {
 public:
  explicit DialogView(HWND dialog) : dialog_(dialog) {}

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

INT_PTR CALLBACK launcherProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  DialogView view(dialog);
  LauncherModel model(view);
  if (message == WM_INITDIALOG) {
    model.initialize(dialog);
    return TRUE;  // default focus
  }
  if (message == WM_COMMAND) {
    switch (model.command(LOWORD(wParam))) {
      case LauncherOutcome::Start:
        EndDialog(dialog, LauncherResultStart);
        return TRUE;
      case LauncherOutcome::Exit:
        EndDialog(dialog, LauncherResultExit);
        return TRUE;
      case LauncherOutcome::Continue:
        break;
    }
  }
  model.afterMessage();
  return FALSE;
}

}  // namespace

INT_PTR runLauncherDialog(HINSTANCE instance) {
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(LauncherDialogId), nullptr, launcherProc, 0);
}

}  // namespace platform
}  // namespace corvalis
