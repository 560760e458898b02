#include "app/clipboard_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/launcher_model.h"
#include "app/launcher_settings.h"
#include "app/launcher_test_support.h"

using namespace corvalis;
using corvalis_test::FakeLauncherView;
using corvalis_test::RecordingPlatform;
using corvalis_test::StubTest;

namespace {

void writeBytes(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string readBytes(const std::string& path) {
  std::string bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  std::fclose(f);
  return bytes;
}

class ClipboardExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    launcherSettings = LauncherSettings{};
    folder = corvalis_test::makeScratchFolder();
    ASSERT_FALSE(folder.empty());
    base = folder + "/results";
    std::snprintf(launcherSettings.baseName, BaseNameSize, "%s", base.c_str());
    launcherSettings.dialogWindow = &dialogMarker;
    for (auto& slot : testRegistry) slot.reset(new StubTest("Stub", "1"));
    platform::install(&plat);
  }
  void TearDown() override {
    corvalis_test::removeScratchFolder(folder);
    platform::install(nullptr);
    for (auto& slot : testRegistry) slot.reset();
    launcherSettings = LauncherSettings{};
  }

  RecordingPlatform plat;
  std::string folder;
  std::string base;
  int dialogMarker = 0;
};

TEST_F(ClipboardExportTest, CopiesTheFileByteForByteOwnedByTheDialog) {
  const std::string bytes = "[CODE][b]Corvalis 0.50[/b]\r\nDriver              x \xB5 y\r\n\r\n[/CODE]";
  writeBytes(base + ".bb.txt", bytes);

  EXPECT_EQ(copyBBCodeToClipboard(), ClipboardExportResult::Copied);
  EXPECT_EQ(plat.clipboard, bytes);
  EXPECT_EQ(plat.clipboardOwner, &dialogMarker);
  // Unchanged options: the file is not written again.
  EXPECT_EQ(readBytes(base + ".bb.txt"), bytes);

  EXPECT_EQ(copyBBCodeToClipboard(), ClipboardExportResult::Copied);
  EXPECT_EQ(plat.clipboardCalls, 2);
  EXPECT_EQ(plat.clipboard, bytes);
}

TEST_F(ClipboardExportTest, AnEmptyFileGivesAnEmptyText) {
  writeBytes(base + ".bb.txt", "");
  EXPECT_EQ(copyBBCodeToClipboard(), ClipboardExportResult::Copied);
  EXPECT_EQ(plat.clipboardCalls, 1);
  EXPECT_EQ(plat.clipboard, "");
}

TEST_F(ClipboardExportTest, AMissingFileDoesNothing) {
  EXPECT_EQ(copyBBCodeToClipboard(), ClipboardExportResult::NoFile);
  EXPECT_EQ(plat.clipboardCalls, 0);
  EXPECT_TRUE(plat.messages.empty());
}

TEST_F(ClipboardExportTest, ARefusedClipboardIsReportedToTheCaller) {
  writeBytes(base + ".bb.txt", "x\r\n");
  plat.clipboardAccepts = false;
  EXPECT_EQ(copyBBCodeToClipboard(), ClipboardExportResult::ClipboardRefused);
}

TEST_F(ClipboardExportTest, ChangedOptionsRewriteTheFileFirst) {
  const std::string stale = "stale\r\n";
  writeBytes(base + ".bb.txt", stale);
  launcherSettings.bbOptionsChanged = true;
  launcherSettings.bbCode = false;
  launcherSettings.bbBold = false;
  launcherSettings.bbUrl = false;

  EXPECT_EQ(copyBBCodeToClipboard(), ClipboardExportResult::Copied);
  EXPECT_FALSE(launcherSettings.bbOptionsChanged);
  const std::string rewritten = readBytes(base + ".bb.txt");
  EXPECT_NE(rewritten, stale);
  EXPECT_EQ(plat.clipboard, rewritten);
  // Without [CODE], [b] and [url] the file opens with the bare information heading.
  EXPECT_EQ(rewritten.rfind("Corvalis 0.50\r\n", 0), 0u) << rewritten;
  // Only the BB-code file is written.
  EXPECT_EQ(readBytes(base + ".htm"), "");
  EXPECT_EQ(readBytes(base + ".txt"), "");
}

TEST_F(ClipboardExportTest, ARewriteThatCannotCreateTheFileCopiesNothing) {
  std::snprintf(launcherSettings.baseName, BaseNameSize, "%s",
                (folder + "/missing/results").c_str());
  launcherSettings.bbOptionsChanged = true;
  EXPECT_NE(copyBBCodeToClipboard(), ClipboardExportResult::Copied);
  EXPECT_EQ(plat.clipboardCalls, 0);
}

// The dialog's command reads the comment and options, but not the sync method, before
// it copies; a comment typed after the run reaches the clipboard only with a rewrite.
TEST_F(ClipboardExportTest, TheDialogCommandRewritesOnlyAfterAnOptionClick) {
  const std::string lastRun = "[CODE]last run\r\n[/CODE]";
  writeBytes(base + ".bb.txt", lastRun);
  FakeLauncherView view;
  LauncherModel model(view);
  model.initialize(&dialogMarker);
  view.controls[IDC_COMMENT_ENABLED].checked = true;
  view.controls[IDC_COMMENT].text = "new comment";
  view.controls[IDC_SYNC_SWAP].checked = true;

  model.command(IDC_BB_TO_CLIPBOARD);
  EXPECT_EQ(plat.clipboard, lastRun);
  EXPECT_STREQ(launcherSettings.comment, "new comment");
  EXPECT_TRUE(launcherSettings.commentEnabled);
  EXPECT_FALSE(launcherSettings.syncSwap);

  view.controls[IDC_BB_CODE].checked = false;
  model.command(IDC_BB_CODE);
  model.command(IDC_BB_TO_CLIPBOARD);
  EXPECT_EQ(plat.clipboard.find("[CODE]"), std::string::npos) << plat.clipboard;
  EXPECT_NE(plat.clipboard.find("new comment"), std::string::npos) << plat.clipboard;
}

}  // namespace
