#pragma once
// The launcher's "BB code to clipboard" command: the BB-code report of the base name,
// byte for byte, as plain text on the clipboard.

namespace corvalis {

struct AppContext;

enum class ClipboardExportResult {
  Copied,            // the whole file is on the clipboard
  NoFile,            // the ".bb.txt" file could not be read; nothing changed
  RewriteFailed,     // rewriting the file after an option change did not complete
  ClipboardRefused,  // the clipboard did not take the text
};

// Rewrites the BB-code file first when a BB-code option changed since the report body
// was last written, then copies the file, owned by the launcher dialog, through the
// current platform.
ClipboardExportResult copyBBCodeToClipboard(AppContext& app);

}  // namespace corvalis
