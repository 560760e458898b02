#pragma once
// What the launcher dialog does, apart from the window system: which settings each
// command reads and changes, which controls are enabled, the base-name write probe
// and the path that View details opens. The native dialog only binds its controls to
// a LauncherView and forwards its messages here.

#include <cstddef>
#include <string>

#include "app/app_context.h"
#include "app/resource.h"
#include "platform/modal_dialog.h"

namespace corvalis {

constexpr int LauncherDialogId = IDD_LAUNCHER;
constexpr int LauncherResultStart = platform::DialogResultStart;
constexpr int LauncherResultExit = platform::DialogResultExit;

// The texts of the base-name command.
constexpr const char* BaseNameDialogTitle = "Enter base name (multiple files will be saved)";
constexpr const char* BaseNameFilterDescription = "Full disclosure";
constexpr const char* BaseNameFilterPattern = "*";
constexpr const char* BaseNameUnwritableText =
    "Whoops! Cannot write a file of that name. Try something else.";
constexpr const char* BaseNameUnwritableCaption = "Oh no ...";

// The dialog's controls and the outcome of a command, in the platform's terms.
using LauncherView = platform::DialogControls;
using LauncherOutcome = platform::DialogOutcome;

// The dialog's behaviour over the launcher's settings and the tests of 'app', with the
// platform's message box, save dialog, shell and clipboard.
class LauncherModel {
 public:
  LauncherModel(LauncherView& view, AppContext& app) : view_(view), app_(app) {}

  // Fills the controls from the settings and the tests; remembers the dialog handle.
  void initialize(platform::DialogHandle dialog);
  // A WM_COMMAND by control id; Start and Exit end the dialog with their result.
  LauncherOutcome command(int controlId);
  // After every message but initialisation and the two that end the dialog: Start is
  // available exactly while at least one test is selected.
  void afterMessage();

 private:
  void readBBOptionsAndComment();
  void chooseBaseName();
  void resetBaseName();

  LauncherView& view_;
  AppContext& app_;
};

// The launcher as the platform's modal dialog sees it: a LauncherModel over the
// controls of each message and the program's context.
class LauncherBehavior final : public platform::DialogBehavior {
 public:
  explicit LauncherBehavior(AppContext& app) : app_(app) {}
  void initialize(platform::DialogControls& controls, platform::DialogHandle dialog) override {
    LauncherModel(controls, app_).initialize(dialog);
  }
  platform::DialogOutcome command(platform::DialogControls& controls, int controlId) override {
    return LauncherModel(controls, app_).command(controlId);
  }
  void afterMessage(platform::DialogControls& controls) override {
    LauncherModel(controls, app_).afterMessage();
  }

 private:
  AppContext& app_;
};

// The HTML page of a base name, the file that View details opens.
std::string reportPagePath(const char* baseName);

// True when a file of exactly this path can be written. A new file is created and
// deleted again; an existing file is opened for update and left as it was.
bool canWriteFile(const char* path);

}  // namespace corvalis
