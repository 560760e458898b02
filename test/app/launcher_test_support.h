#pragma once
// Stand-ins for the launcher's surroundings: a dialog view that keeps its controls in
// memory, a platform that records the user-interface calls, and a test with a fixed
// summary.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/launcher_model.h"
#include "framework/bench_test.h"
#include "platform/platform.h"

namespace corvalis_test {

struct FakeControl {
  std::string text;
  bool checked = false;
  bool enabled = true;
};

// The dialog's controls with the enabled states of the resource.
class FakeLauncherView : public corvalis::LauncherView {
 public:
  FakeLauncherView();
  void setCaption(const char* text) override { caption = text; }
  void setText(int id, const char* text) override { controls[id].text = text; }
  void readText(int id, char* buffer, int size) override;
  void setChecked(int id, bool checked) override { controls[id].checked = checked; }
  bool isChecked(int id) override { return controls[id].checked; }
  void setEnabled(int id, bool enabled) override { controls[id].enabled = enabled; }

  std::string caption = "-";
  std::map<int, FakeControl> controls;
};

struct MessageBoxCall {
  std::string text;
  std::string caption;
};

class RecordingPlatform : public corvalis::platform::Platform {
 public:
  void setDisplayMode(int, int, int) override {}
  void restoreDisplayMode() override {}
  uint16_t registerWindowClass() override { return 1; }
  void unregisterWindowClass(uint16_t) override {}
  corvalis::platform::WindowHandle createTestWindow(uint16_t, int, int) override {
    return nullptr;
  }
  void destroyWindow(corvalis::platform::WindowHandle) override {}
  corvalis::platform::DeviceContext getDeviceContext(corvalis::platform::WindowHandle) override {
    return nullptr;
  }
  void releaseDeviceContext(corvalis::platform::WindowHandle,
                            corvalis::platform::DeviceContext) override {}
  int describePixelFormat(corvalis::platform::DeviceContext, int,
                          corvalis::platform::PixelFormatDescriptor*) override {
    return 0;
  }
  bool setPixelFormat(corvalis::platform::DeviceContext, int,
                      const corvalis::platform::PixelFormatDescriptor&) override {
    return false;
  }
  corvalis::platform::RenderContext createContext(corvalis::platform::DeviceContext) override {
    return nullptr;
  }
  unsigned lastError() override { return 0; }
  bool makeCurrent(corvalis::platform::DeviceContext, corvalis::platform::RenderContext) override {
    return false;
  }
  void deleteContext(corvalis::platform::RenderContext) override {}
  bool swapBuffers(corvalis::platform::DeviceContext) override { return false; }
  void* getProcAddress(const char*) override { return nullptr; }
  int64_t performanceCounter() override { return ++counter; }
  int64_t performanceFrequency() override { return 1000000; }
  void sleepMilliseconds(unsigned) override {}
  void showCursor(bool) override {}
  void messageBox(const char* text, const char* caption) override {
    messages.push_back({text, caption});
  }
  bool saveFileDialog(const corvalis::platform::SaveFileRequest& request, char* path,
                      size_t pathSize) override;
  void openWithDefaultApplication(const char* path) override { opened.push_back(path); }
  bool setClipboardText(corvalis::platform::DialogHandle owner, const char* bytes,
                        size_t size) override;
  std::vector<corvalis::platform::DeviceInfo> listDevices() override { return {}; }
  bool selectDevice(int) override { return false; }
  std::string backendDescription() override { return "recording"; }

  // The save dialog's answer: the confirmed name, or a cancel that still scribbles
  // over the buffer.
  bool saveConfirms = true;
  std::string saveAnswer;
  std::vector<corvalis::platform::SaveFileRequest> saveRequests;
  std::vector<std::string> proposedNames;

  bool clipboardAccepts = true;
  int clipboardCalls = 0;
  std::string clipboard;
  corvalis::platform::DialogHandle clipboardOwner = nullptr;

  std::vector<MessageBoxCall> messages;
  std::vector<std::string> opened;
  int64_t counter = 0;
};

// A test whose run only marks it as run, with a fixed summary.
class StubTest : public corvalis::BenchTest {
 public:
  StubTest(const char* name, const char* summaryText) : name_(name), summary_(summaryText) {}
  const char* name() const override { return name_; }
  const char* key() const override { return name_; }
  void run() override { hasRun = true; }
  void writeResults(corvalis::ResultReport&) override {}
  void summary(char* buffer) override;

 private:
  const char* name_;
  const char* summary_;
};

inline FakeLauncherView::FakeLauncherView() {
  const int disabled[] = {IDC_VIEW_DETAILS, IDC_BB_TO_CLIPBOARD, 1010, 1011, 1012, 1013,
                          1014, 1015, 1016};
  for (int id : disabled) controls[id].enabled = false;
}

inline void FakeLauncherView::readText(int id, char* buffer, int size) {
  if (size <= 0) return;
  std::snprintf(buffer, static_cast<size_t>(size), "%s", controls[id].text.c_str());
}

inline bool RecordingPlatform::saveFileDialog(const corvalis::platform::SaveFileRequest& request,
                                              char* path, size_t pathSize) {
  saveRequests.push_back(request);
  proposedNames.push_back(path);
  std::snprintf(path, pathSize, "%s", saveAnswer.c_str());
  return saveConfirms;
}

inline bool RecordingPlatform::setClipboardText(corvalis::platform::DialogHandle owner,
                                                const char* bytes, size_t size) {
  ++clipboardCalls;
  if (!clipboardAccepts) return false;
  clipboard.assign(bytes, size);
  clipboardOwner = owner;
  return true;
}

inline void StubTest::summary(char* buffer) {
  std::snprintf(buffer, corvalis::SummarySize, "%s", summary_);
}

// A new empty folder for files the test writes.
inline std::string makeScratchFolder() {
  char pattern[] = "/tmp/corvalis-launcher-XXXXXX";
  const char* folder = mkdtemp(pattern);
  return folder ? folder : "";
}

inline void removeScratchFolder(const std::string& folder) {
  std::error_code ignored;
  if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
}

}  // namespace corvalis_test
