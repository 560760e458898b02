#include "app/launcher_model.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/clipboard_export.h"
#include "measurements/measurement.h"
#include "report/result_report.h"

namespace corvalis {

namespace {

// The comment edit is read into at most this many bytes, the terminating zero included.
constexpr int CommentReadSize = 127;
static_assert(CommentReadSize <= static_cast<int>(CommentSize), "comment buffer too small");

int testCheckId(size_t row) { return IDC_TEST_CHECK_FIRST + static_cast<int>(row); }
int testResultId(size_t row) { return IDC_TEST_RESULT_FIRST + static_cast<int>(row); }

}  // namespace

std::string reportPagePath(const char* baseName) { return std::string(baseName) + ".htm"; }

bool canWriteFile(const char* path) {
  if (!path || !*path) return false;
  // NOTE: the chosen name may be an existing file the user confirmed to overwrite; it
  // is only opened for update, never truncated or deleted, so that the probe itself
  // cannot destroy it.
  if (std::FILE* existing = std::fopen(path, "r+b")) {
    std::fclose(existing);
    return true;
  }
  if (errno != ENOENT) return false;
  std::FILE* created = std::fopen(path, "wb");
  if (!created) return false;
  std::fclose(created);
  std::remove(path);
  return true;
}

void LauncherModel::initialize(platform::DialogHandle dialog) {
  LauncherSettings& settings = app_.settings;
  settings.dialogWindow = dialog;
  for (size_t i = 0; i < TestCount; ++i) {
    BenchTest* test = app_.registry.tests[i].get();
    if (!test) continue;
    view_.setChecked(testCheckId(i), app_.registry.enabled[i]);
    view_.setText(testCheckId(i), test->name());
    view_.setEnabled(testCheckId(i), true);
    char summary[SummarySize] = "n/a";
    test->getSummary(summary);
    view_.setText(testResultId(i), summary);
  }
  view_.setCaption(ProgramVersion);
  view_.setEnabled(IDC_VIEW_DETAILS, settings.resultsAvailable);
  view_.setEnabled(IDC_BB_TO_CLIPBOARD, settings.resultsAvailable);
  view_.setChecked(IDC_COMMENT_ENABLED, settings.commentEnabled);
  view_.setChecked(IDC_BB_BOLD, settings.bbBold);
  view_.setChecked(IDC_BB_CODE, settings.bbCode);
  view_.setChecked(IDC_BB_URL, settings.bbUrl);
  view_.setText(IDC_COMMENT, settings.comment);
  view_.setText(IDC_BASE_NAME, settings.baseName);
  view_.setChecked(IDC_SYNC_SWAP, settings.syncSwap);
  view_.setChecked(IDC_SYNC_FLUSH, !settings.syncSwap);
}

LauncherOutcome LauncherModel::command(int controlId) {
  LauncherSettings& settings = app_.settings;
  switch (controlId) {
    case IDC_START:
      // NOTE: the dialog manager turns Enter into this command even while the
      // disabled Start button is the default one; without a selected test it is ignored.
      if (!app_.registry.anySelected()) return LauncherOutcome::Continue;
      readBBOptionsAndComment();
      settings.syncSwap = view_.isChecked(IDC_SYNC_SWAP);
      return LauncherOutcome::Start;
    case IDC_EXIT:
      return LauncherOutcome::Exit;
    case IDC_VIEW_DETAILS:
      platform::current().openWithDefaultApplication(reportPagePath(settings.baseName).c_str());
      return LauncherOutcome::Continue;
    case IDC_BB_TO_CLIPBOARD:
      readBBOptionsAndComment();
      copyBBCodeToClipboard(app_);
      return LauncherOutcome::Continue;
    case IDC_BASE_NAME_BUTTON:
      chooseBaseName();
      return LauncherOutcome::Continue;
    case IDC_BB_BOLD:
    case IDC_BB_CODE:
    case IDC_BB_URL:
      settings.bbOptionsChanged = true;
      return LauncherOutcome::Continue;
    default:
      break;
  }
  if (controlId >= IDC_TEST_CHECK_FIRST &&
      controlId < IDC_TEST_CHECK_FIRST + static_cast<int>(TestCount)) {
    size_t row = static_cast<size_t>(controlId - IDC_TEST_CHECK_FIRST);
    app_.registry.enabled[row] = app_.registry.tests[row] != nullptr && view_.isChecked(controlId);
  }
  return LauncherOutcome::Continue;
}

void LauncherModel::afterMessage() { view_.setEnabled(IDC_START, app_.registry.anySelected()); }

// The options and the comment as Start reads them; the sync method is left alone.
void LauncherModel::readBBOptionsAndComment() {
  LauncherSettings& settings = app_.settings;
  settings.bbCode = view_.isChecked(IDC_BB_CODE);
  settings.bbUrl = view_.isChecked(IDC_BB_URL);
  settings.bbBold = view_.isChecked(IDC_BB_BOLD);
  settings.commentEnabled = view_.isChecked(IDC_COMMENT_ENABLED);
  view_.readText(IDC_COMMENT, settings.comment, CommentReadSize);
}

// Proposes the current base name in the save dialog; a confirmed name that cannot be
// written is refused with a message and the default base name is taken instead.
void LauncherModel::chooseBaseName() {
  LauncherSettings& settings = app_.settings;
  platform::SaveFileRequest request;
  request.title = BaseNameDialogTitle;
  request.filterDescription = BaseNameFilterDescription;
  request.filterPattern = BaseNameFilterPattern;

  // The dialog works on a copy, so that a cancel keeps the old name whatever the
  // dialog left in its buffer.
  char path[BaseNameSize];
  std::memcpy(path, settings.baseName, BaseNameSize);
  path[BaseNameSize - 1] = '\0';
  platform::Platform& plat = platform::current();
  if (plat.saveFileDialog(request, path, sizeof path)) {
    path[BaseNameSize - 1] = '\0';
    std::memcpy(settings.baseName, path, BaseNameSize);
    if (!canWriteFile(settings.baseName)) {
      plat.messageBox(BaseNameUnwritableText, BaseNameUnwritableCaption);
      resetBaseName();
    }
  }
  view_.setText(IDC_BASE_NAME, settings.baseName);
}

void LauncherModel::resetBaseName() {
  std::snprintf(app_.settings.baseName, BaseNameSize, "%s", DefaultBaseName);
}

}  // namespace corvalis
