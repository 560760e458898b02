#include "app/launcher_model.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/launcher_settings.h"
#include "app/launcher_test_support.h"

using namespace corvalis;
using corvalis_test::FakeControl;
using corvalis_test::FakeLauncherView;
using corvalis_test::RecordingPlatform;
using corvalis_test::StubTest;

namespace {

const char* const TestNames[TestCount] = {"Fillrate", "Bandwidth", "Geometry", "Texturing",
                                          "Readback", "Texture cache", "Tiling"};

class LauncherModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    launcherSettings = LauncherSettings{};
    std::snprintf(launcherSettings.baseName, BaseNameSize, "%s", DefaultBaseName);
    for (size_t i = 0; i < TestCount; ++i) {
      testRegistry[i].reset(new StubTest(TestNames[i], "1.000 GPix/s"));
      testEnabled[i] = true;
    }
    platform::install(&plat);
  }
  void TearDown() override {
    platform::install(nullptr);
    for (auto& slot : testRegistry) slot.reset();
    launcherSettings = LauncherSettings{};
  }

  FakeControl& control(int id) { return view.controls[id]; }

  RecordingPlatform plat;
  FakeLauncherView view;
  LauncherModel model{view};
  int dialogMarker = 0;
};

TEST_F(LauncherModelTest, FirstShowingPresentsTheDefaults) {
  model.initialize(&dialogMarker);

  EXPECT_EQ(launcherSettings.dialogWindow, &dialogMarker);
  EXPECT_EQ(view.caption, "Corvalis 0.50");
  for (size_t i = 0; i < TestCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(control(1010 + static_cast<int>(i)).checked);
    EXPECT_TRUE(control(1010 + static_cast<int>(i)).enabled);
    EXPECT_EQ(control(1010 + static_cast<int>(i)).text, TestNames[i]);
    EXPECT_EQ(control(1020 + static_cast<int>(i)).text, "n/a");
  }
  EXPECT_FALSE(control(IDC_VIEW_DETAILS).enabled);
  EXPECT_FALSE(control(IDC_BB_TO_CLIPBOARD).enabled);
  EXPECT_TRUE(control(IDC_SYNC_FLUSH).checked);
  EXPECT_FALSE(control(IDC_SYNC_SWAP).checked);
  EXPECT_TRUE(control(IDC_BB_BOLD).checked);
  EXPECT_TRUE(control(IDC_BB_CODE).checked);
  EXPECT_TRUE(control(IDC_BB_URL).checked);
  EXPECT_FALSE(control(IDC_COMMENT_ENABLED).checked);
  EXPECT_EQ(control(IDC_COMMENT).text, "");
  EXPECT_EQ(control(IDC_BASE_NAME).text, ".\\results");
}

TEST_F(LauncherModelTest, AfterARunTheResultsAndResultButtonsAppear) {
  testRegistry[0]->run();
  testRegistry[1]->run();
  testRegistry[1]->failed = true;
  launcherSettings.resultsAvailable = true;
  launcherSettings.syncSwap = true;
  launcherSettings.bbUrl = false;
  std::snprintf(launcherSettings.comment, CommentSize, "%s", "overclocked");

  model.initialize(&dialogMarker);

  EXPECT_EQ(control(1020).text, "1.000 GPix/s");
  EXPECT_EQ(control(1021).text, "error");
  EXPECT_EQ(control(1022).text, "n/a");
  EXPECT_TRUE(control(IDC_VIEW_DETAILS).enabled);
  EXPECT_TRUE(control(IDC_BB_TO_CLIPBOARD).enabled);
  EXPECT_TRUE(control(IDC_SYNC_SWAP).checked);
  EXPECT_FALSE(control(IDC_SYNC_FLUSH).checked);
  EXPECT_FALSE(control(IDC_BB_URL).checked);
  EXPECT_EQ(control(IDC_COMMENT).text, "overclocked");
}

TEST_F(LauncherModelTest, ANullSlotStaysDisabledAndUnselectable) {
  testRegistry[3].reset();
  testEnabled[3] = false;
  model.initialize(&dialogMarker);

  EXPECT_FALSE(control(1013).enabled);
  EXPECT_FALSE(control(1013).checked);
  EXPECT_EQ(control(1013).text, "");
  EXPECT_EQ(control(1023).text, "");

  control(1013).checked = true;  // a click the dialog manager let through
  EXPECT_EQ(model.command(1013), LauncherOutcome::Continue);
  EXPECT_FALSE(testEnabled[3]);
}

TEST_F(LauncherModelTest, StartIsAvailableOnlyWhileATestIsSelected) {
  model.initialize(&dialogMarker);
  for (int id = 1010; id <= 1016; ++id) {
    control(id).checked = false;
    model.command(id);
    model.afterMessage();
  }
  for (bool enabled : testEnabled) EXPECT_FALSE(enabled);
  EXPECT_FALSE(control(IDC_START).enabled);
  // Enter still reaches the disabled default button as a Start command.
  control(IDC_SYNC_SWAP).checked = true;
  EXPECT_EQ(model.command(IDC_START), LauncherOutcome::Continue);
  EXPECT_FALSE(launcherSettings.syncSwap);

  control(1015).checked = true;
  model.command(1015);
  model.afterMessage();
  EXPECT_TRUE(testEnabled[5]);
  EXPECT_TRUE(control(IDC_START).enabled);
}

TEST_F(LauncherModelTest, StartReadsTheDialogAndExitReadsNothing) {
  model.initialize(&dialogMarker);
  control(IDC_BB_BOLD).checked = false;
  control(IDC_BB_URL).checked = false;
  control(IDC_COMMENT_ENABLED).checked = true;
  control(IDC_COMMENT).text = "first";
  control(IDC_SYNC_SWAP).checked = true;
  control(IDC_SYNC_FLUSH).checked = false;

  EXPECT_EQ(model.command(IDC_EXIT), LauncherOutcome::Exit);
  EXPECT_TRUE(launcherSettings.bbBold);
  EXPECT_FALSE(launcherSettings.commentEnabled);
  EXPECT_FALSE(launcherSettings.syncSwap);

  EXPECT_EQ(model.command(IDC_START), LauncherOutcome::Start);
  EXPECT_FALSE(launcherSettings.bbBold);
  EXPECT_TRUE(launcherSettings.bbCode);
  EXPECT_FALSE(launcherSettings.bbUrl);
  EXPECT_TRUE(launcherSettings.commentEnabled);
  EXPECT_STREQ(launcherSettings.comment, "first");
  EXPECT_TRUE(launcherSettings.syncSwap);
  // Reading the settings is not an option change.
  EXPECT_FALSE(launcherSettings.bbOptionsChanged);
}

TEST_F(LauncherModelTest, TheCommentIsCutAt126Characters) {
  model.initialize(&dialogMarker);
  control(IDC_COMMENT).text = std::string(200, 'c');
  model.command(IDC_START);
  EXPECT_EQ(std::strlen(launcherSettings.comment), 126u);
}

TEST_F(LauncherModelTest, OnlyTheBBCodeOptionsMarkTheReportStale) {
  model.initialize(&dialogMarker);
  for (int id : {IDC_COMMENT_ENABLED, IDC_SYNC_SWAP, IDC_SYNC_FLUSH, IDC_COMMENT, 1010, 4711}) {
    model.command(id);
    EXPECT_FALSE(launcherSettings.bbOptionsChanged) << id;
  }
  for (int id : {IDC_BB_BOLD, IDC_BB_CODE, IDC_BB_URL}) {
    launcherSettings.bbOptionsChanged = false;
    control(id).checked = false;
    EXPECT_EQ(model.command(id), LauncherOutcome::Continue);
    EXPECT_TRUE(launcherSettings.bbOptionsChanged) << id;
    // The value itself is read only by Start and the clipboard command.
    EXPECT_TRUE(id == IDC_BB_BOLD ? launcherSettings.bbBold
                : id == IDC_BB_CODE ? launcherSettings.bbCode
                                    : launcherSettings.bbUrl);
  }
}

TEST_F(LauncherModelTest, ViewDetailsOpensTheHtmlPageAndKeepsTheBaseName) {
  std::snprintf(launcherSettings.baseName, BaseNameSize, "%s", "run1.txt");
  model.command(IDC_VIEW_DETAILS);
  ASSERT_EQ(plat.opened.size(), 1u);
  EXPECT_EQ(plat.opened[0], "run1.txt.htm");
  EXPECT_STREQ(launcherSettings.baseName, "run1.txt");

  // A base name that fills its whole buffer cannot grow in place.
  std::string longest(BaseNameSize - 1, 'b');
  std::memcpy(launcherSettings.baseName, longest.c_str(), BaseNameSize);
  model.command(IDC_VIEW_DETAILS);
  EXPECT_EQ(plat.opened.back(), longest + ".htm");
  EXPECT_EQ(std::string(launcherSettings.baseName), longest);
}

class BaseNameTest : public LauncherModelTest {
 protected:
  void SetUp() override {
    LauncherModelTest::SetUp();
    folder = corvalis_test::makeScratchFolder();
    ASSERT_FALSE(folder.empty());
    std::snprintf(launcherSettings.baseName, BaseNameSize, "%s", (folder + "/old").c_str());
    model.initialize(&dialogMarker);
  }
  void TearDown() override {
    corvalis_test::removeScratchFolder(folder);
    LauncherModelTest::TearDown();
  }
  std::string folder;
};

TEST_F(BaseNameTest, TheSaveDialogProposesTheCurrentName) {
  plat.saveAnswer = folder + "/new";
  model.command(IDC_BASE_NAME_BUTTON);
  ASSERT_EQ(plat.saveRequests.size(), 1u);
  EXPECT_EQ(plat.saveRequests[0].title, "Enter base name (multiple files will be saved)");
  EXPECT_EQ(plat.saveRequests[0].filterDescription, "Full disclosure");
  EXPECT_EQ(plat.saveRequests[0].filterPattern, "*");
  EXPECT_EQ(plat.proposedNames[0], folder + "/old");
}

TEST_F(BaseNameTest, ACancelKeepsTheOldName) {
  plat.saveConfirms = false;
  plat.saveAnswer = "scribbled";
  model.command(IDC_BASE_NAME_BUTTON);
  EXPECT_EQ(std::string(launcherSettings.baseName), folder + "/old");
  EXPECT_EQ(control(IDC_BASE_NAME).text, folder + "/old");
  EXPECT_TRUE(plat.messages.empty());
}

TEST_F(BaseNameTest, AWritableNameIsTakenUnchangedAndLeavesNoFile) {
  std::string chosen = folder + "/run1.txt";
  plat.saveAnswer = chosen;
  model.command(IDC_BASE_NAME_BUTTON);
  EXPECT_EQ(std::string(launcherSettings.baseName), chosen);
  EXPECT_EQ(control(IDC_BASE_NAME).text, chosen);
  EXPECT_TRUE(plat.messages.empty());
  EXPECT_EQ(std::fopen(chosen.c_str(), "rb"), nullptr);
}

TEST_F(BaseNameTest, AnUnwritableNameFallsBackToTheDefault) {
  plat.saveAnswer = folder + "/no such folder/run";
  model.command(IDC_BASE_NAME_BUTTON);
  ASSERT_EQ(plat.messages.size(), 1u);
  EXPECT_EQ(plat.messages[0].text, "Whoops! Cannot write a file of that name. Try something else.");
  EXPECT_EQ(plat.messages[0].caption, "Oh no ...");
  EXPECT_STREQ(launcherSettings.baseName, ".\\results");
  EXPECT_EQ(control(IDC_BASE_NAME).text, ".\\results");
}

TEST_F(BaseNameTest, AnExistingFileSurvivesTheWriteProbe) {
  std::string chosen = folder + "/keep.txt";
  std::FILE* f = std::fopen(chosen.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("precious", f);
  std::fclose(f);

  plat.saveAnswer = chosen;
  model.command(IDC_BASE_NAME_BUTTON);
  EXPECT_EQ(std::string(launcherSettings.baseName), chosen);
  EXPECT_TRUE(plat.messages.empty());

  f = std::fopen(chosen.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  char content[16] = {};
  std::fread(content, 1, sizeof content - 1, f);
  std::fclose(f);
  EXPECT_STREQ(content, "precious");
}

TEST(CanWriteFileTest, RefusesAFolderAndAnEmptyName) {
  std::string folder = corvalis_test::makeScratchFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_FALSE(canWriteFile(folder.c_str()));
  EXPECT_FALSE(canWriteFile(""));
  EXPECT_TRUE(canWriteFile((folder + "/fresh").c_str()));
  corvalis_test::removeScratchFolder(folder);
}

}  // namespace
