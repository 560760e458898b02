#include "app/clipboard_export.h"

#include <cstdio>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "app/system_info.h"
#include "platform/platform.h"
#include "report/result_report.h"

namespace corvalis {

namespace {

// Writes the BB-code file again with the current options and comment; false when the
// file could not be written completely.
bool rewriteBBCodeFile(AppContext& app) {
  ResultReport report(app.settings.baseName, bbOptionMask(app.settings), OutputBBCode);
  writeReportBody(report, app);
  app.settings.resultsAvailable = true;
  return report.close();
}

// The whole file in one read, followed by one zero byte; false when it cannot be read.
bool readWholeFile(const std::string& path, std::vector<char>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  bool ok = size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    bytes.assign(static_cast<size_t>(size) + 1, '\0');
    ok = std::fread(bytes.data(), 1, static_cast<size_t>(size), file) ==
         static_cast<size_t>(size);
  }
  std::fclose(file);
  return ok;
}

}  // namespace

ClipboardExportResult copyBBCodeToClipboard(AppContext& app) {
  LauncherSettings& settings = app.settings;
  if (settings.bbOptionsChanged) {
    bool written = rewriteBBCodeFile(app);
    settings.bbOptionsChanged = !written;
    // A half-written file is not put on the clipboard; the next press writes it again.
    if (!written) return ClipboardExportResult::RewriteFailed;
  }

  std::vector<char> bytes;
  if (!readWholeFile(std::string(settings.baseName) + ".bb.txt", bytes))
    return ClipboardExportResult::NoFile;
  // The block handed over holds the file and the zero byte that ends the text.
  if (!platform::current().setClipboardText(settings.dialogWindow, bytes.data(),
                                            bytes.size() - 1))
    return ClipboardExportResult::ClipboardRefused;
  return ClipboardExportResult::Copied;
}

}  // namespace corvalis
