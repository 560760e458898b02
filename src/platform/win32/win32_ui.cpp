#include <cstring>
#include <string>

#include "platform/win32/win32_platform.h"

#include <commdlg.h>
#include <shellapi.h>

namespace corvalis {
namespace platform {

void Win32Platform::showCursor(bool show) { ShowCursor(show ? TRUE : FALSE); }

void Win32Platform::messageBox(const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_OK);
}

bool Win32Platform::saveFileDialog(const SaveFileRequest& request, char* path, size_t pathSize) {
  // One filter entry: description, zero, pattern, zero, and the closing zero.
  std::string filter = request.filterDescription;
  filter += '\0';
  filter += request.filterPattern;
  filter += '\0';
  filter += '\0';

  OPENFILENAMEA dialog;
  ZeroMemory(&dialog, sizeof dialog);
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = nullptr;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = path;
  dialog.nMaxFile = static_cast<DWORD>(pathSize);
  dialog.lpstrTitle = request.title.c_str();
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
  dialog.lpstrDefExt = nullptr;
  return GetSaveFileNameA(&dialog) != FALSE;
}

void Win32Platform::openWithDefaultApplication(const char* path) {
  ShellExecuteA(nullptr, nullptr, path, nullptr, nullptr, SW_SHOW);
}

bool Win32Platform::setClipboardText(DialogHandle owner, const char* bytes, size_t size) {
  // Movable, zero-filled and shareable; the extra zero byte ends the text.
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE, size + 1);
  if (!block) return false;
  void* memory = GlobalLock(block);
  if (!memory) {
    GlobalFree(block);
    return false;
  }
  std::memcpy(memory, bytes, size);
  GlobalUnlock(block);

  if (!OpenClipboard(static_cast<HWND>(owner))) {
    GlobalFree(block);
    return false;
  }
  EmptyClipboard();
  // The clipboard owns the block once it took it; a refused block is still ours.
  bool taken = SetClipboardData(CF_TEXT, block) != nullptr;
  CloseClipboard();
  if (!taken) GlobalFree(block);
  return taken;
}

}  // namespace platform
}  // namespace corvalis
