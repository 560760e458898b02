// The launcher dialog's model and its BB-code clipboard command, on the fake platform
// with the dialog's controls kept in memory.
#include "app/launcher_model.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "app/clipboard_export.h"
#include "platform/fake/fake_platform.h"
#include "report/report_files.h"

namespace corvalis {
namespace {

using testing::readBytes;
using testing::writeBytes;

int checkBox(size_t row) { return IDC_TEST_CHECK_FIRST + static_cast<int>(row); }
int resultField(size_t row) { return IDC_TEST_RESULT_FIRST + static_cast<int>(row); }

struct Control {
  std::string text;
  bool checked = false;
  bool enabled = true;
};

// The controls start with the enabled states of the dialog resource.
class FakeView : public LauncherView {
 public:
  FakeView() {
    for (size_t row = 0; row < TestCount; ++row) controls[checkBox(row)].enabled = false;
  }
  void setCaption(const char* text) override { caption = text; }
  void setText(int id, const char* text) override { controls[id].text = text; }
  void readText(int id, char* buffer, int size) override {
    std::snprintf(buffer, static_cast<size_t>(size), "%s", controls[id].text.c_str());
  }
  void setChecked(int id, bool checked) override { controls[id].checked = checked; }
  bool isChecked(int id) override { return controls[id].checked; }
  void setEnabled(int id, bool enabled) override { controls[id].enabled = enabled; }

  std::string caption;
  std::map<int, Control> controls;
};

class StubTest : public BenchTest {
 public:
  explicit StubTest(const char* name) : name_(name) {}
  const char* name() const override { return name_; }
  const char* key() const override { return name_; }
  void run(const RunContext&) override {}
  void writeResults(ResultReport&) override {}
  void summary(char* buffer) override { std::snprintf(buffer, SummarySize, "1.000 GPix/s"); }

 private:
  const char* name_;
};

const char* const TestNames[TestCount] = {"Fillrate", "Bandwidth", "Geometry", "Texturing",
                                          "Readback", "Texture cache", "Tiling"};

class LauncherModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    std::snprintf(app.settings.baseName, BaseNameSize, "%s", DefaultBaseName);
    for (size_t i = 0; i < TestCount; ++i) {
      app.registry.tests[i].reset(new StubTest(TestNames[i]));
      app.registry.enabled[i] = true;
    }
    platform::install(&fake);
  }
  void TearDown() override { platform::install(nullptr); }
  Control& control(int id) { return view.controls[id]; }
  void useBaseName(const std::string& name) {
    std::snprintf(app.settings.baseName, BaseNameSize, "%s", name.c_str());
  }

  testing::TempDir dir;
  const std::string base = dir.file("results");
  platform::FakePlatform fake;
  AppContext app;
  FakeView view;
  LauncherModel model{view, app};
  int dialogMarker = 0;
};

// The first showing presents the defaults; after a run the rows show each test's latest
// summary, and the settings the user chose come back on their own controls.
TEST_F(LauncherModelTest, ShowingPresentsTheSettingsAndTheLatestResults) {
  model.initialize(&dialogMarker);
  EXPECT_EQ(app.settings.dialogWindow, &dialogMarker);
  EXPECT_EQ(view.caption, "Corvalis 0.50");
  for (size_t row = 0; row < TestCount; ++row) {
    SCOPED_TRACE(row);
    EXPECT_TRUE(control(checkBox(row)).checked && control(checkBox(row)).enabled);
    EXPECT_EQ(control(checkBox(row)).text, TestNames[row]);
    EXPECT_EQ(control(resultField(row)).text, "n/a");
  }
  EXPECT_FALSE(control(IDC_VIEW_DETAILS).enabled || control(IDC_BB_TO_CLIPBOARD).enabled);
  EXPECT_TRUE(control(IDC_SYNC_FLUSH).checked && !control(IDC_SYNC_SWAP).checked);
  EXPECT_EQ(control(IDC_BASE_NAME).text, ".\\results");

  app.registry.tests[0]->hasRun = app.registry.tests[1]->hasRun = true;
  app.registry.tests[1]->failed = true;
  app.settings.resultsAvailable = app.settings.syncSwap = app.settings.commentEnabled = true;
  app.settings.bbBold = false;
  std::snprintf(app.settings.comment, CommentSize, "%s", "overclocked");

  model.initialize(&dialogMarker);
  EXPECT_EQ(control(resultField(0)).text, "1.000 GPix/s");
  EXPECT_EQ(control(resultField(1)).text, "error");
  EXPECT_EQ(control(resultField(2)).text, "n/a");
  EXPECT_TRUE(control(IDC_VIEW_DETAILS).enabled && control(IDC_BB_TO_CLIPBOARD).enabled);
  EXPECT_TRUE(control(IDC_SYNC_SWAP).checked && !control(IDC_SYNC_FLUSH).checked);
  EXPECT_FALSE(control(IDC_BB_BOLD).checked);
  EXPECT_TRUE(control(IDC_BB_CODE).checked && control(IDC_BB_URL).checked);
  EXPECT_TRUE(control(IDC_COMMENT_ENABLED).checked);
  EXPECT_EQ(control(IDC_COMMENT).text, "overclocked");
}

TEST_F(LauncherModelTest, ANullSlotStaysDisabledAndUnselectable) {
  app.registry.tests[3].reset();
  app.registry.enabled[3] = false;
  model.initialize(&dialogMarker);
  EXPECT_FALSE(control(checkBox(3)).enabled || control(checkBox(3)).checked);
  EXPECT_EQ(control(checkBox(3)).text + control(resultField(3)).text, "");

  control(checkBox(3)).checked = true;  // a click the dialog manager let through
  EXPECT_EQ(model.command(checkBox(3)), LauncherOutcome::Continue);
  EXPECT_FALSE(app.registry.enabled[3]);
}

// Start is offered only while a test is selected; Enter still reaches the disabled default
// button as a Start command, which then reads nothing, as Exit never does.
TEST_F(LauncherModelTest, StartReadsTheDialogOnlyWhileATestIsSelected) {
  model.initialize(&dialogMarker);
  for (size_t row = 0; row < TestCount; ++row) {
    control(checkBox(row)).checked = false;
    model.command(checkBox(row));
    model.afterMessage();
  }
  EXPECT_FALSE(app.registry.anySelected() || control(IDC_START).enabled);
  control(IDC_BB_BOLD).checked = control(IDC_BB_URL).checked = false;
  control(IDC_COMMENT_ENABLED).checked = control(IDC_SYNC_SWAP).checked = true;
  control(IDC_COMMENT).text = std::string(200, 'c');
  EXPECT_EQ(model.command(IDC_START), LauncherOutcome::Continue);
  EXPECT_EQ(model.command(IDC_EXIT), LauncherOutcome::Exit);
  EXPECT_TRUE(app.settings.bbBold && !app.settings.commentEnabled && !app.settings.syncSwap);

  control(checkBox(5)).checked = true;
  model.command(checkBox(5));
  model.afterMessage();
  EXPECT_TRUE(app.registry.enabled[5] && control(IDC_START).enabled);
  EXPECT_EQ(model.command(IDC_START), LauncherOutcome::Start);
  EXPECT_TRUE(!app.settings.bbBold && app.settings.bbCode && !app.settings.bbUrl);
  EXPECT_TRUE(app.settings.commentEnabled && app.settings.syncSwap);
  EXPECT_EQ(app.settings.comment, std::string(126, 'c')) << "cut at 126 characters";
  EXPECT_FALSE(app.settings.bbOptionsChanged) << "reading is not an option change";
}

TEST_F(LauncherModelTest, ViewDetailsOpensTheHtmlPageAndKeepsTheBaseName) {
  useBaseName("run1.txt");
  model.command(IDC_VIEW_DETAILS);
  // A base name that fills its whole buffer cannot grow in place.
  const std::string longest(BaseNameSize - 1, 'b');
  useBaseName(longest);
  model.command(IDC_VIEW_DETAILS);
  EXPECT_EQ(fake.calls, (std::vector<std::string>{"open run1.txt.htm", "open " + longest + ".htm"}));
  EXPECT_EQ(app.settings.baseName, longest);
}

// The save dialog's answer: a cancel keeps the old name; a confirmed name is taken as it
// is when it can be written (an existing file untouched, a new one not left behind),
// else refused with a message and replaced by the default.
TEST_F(LauncherModelTest, TheBaseNameDialog) {
  ASSERT_TRUE(writeBytes(dir.file("keep.txt"), "precious"));
  struct Case {
    std::string answer, expected;
    bool refused;
  };
  const Case cases[] = {{"", dir.file("old"), false},
                        {dir.file("run1.txt"), dir.file("run1.txt"), false},
                        {dir.file("keep.txt"), dir.file("keep.txt"), false},
                        {dir.file("no such folder/run"), ".\\results", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    useBaseName(dir.file("old"));
    fake.calls.clear();
    fake.saveFileAnswer = c.answer;
    model.command(IDC_BASE_NAME_BUTTON);
    EXPECT_EQ(fake.calls.front(), "saveFileDialog " + dir.file("old"));  // proposes the current name
    EXPECT_EQ(app.settings.baseName, c.expected);
    EXPECT_EQ(control(IDC_BASE_NAME).text, c.expected);
    EXPECT_EQ(fake.count("messageBox"), c.refused ? 1 : 0);
  }
  EXPECT_EQ(fake.calls.back(),
            "messageBox Oh no ...: Whoops! Cannot write a file of that name. Try something else.");
  EXPECT_FALSE(testing::fileExists(dir.file("run1.txt")));
  EXPECT_EQ(readBytes(dir.file("keep.txt")), "precious");
  EXPECT_FALSE(canWriteFile(dir.path().c_str())) << "a folder";
  EXPECT_FALSE(canWriteFile(""));
}

TEST_F(LauncherModelTest, ClipboardCopiesTheFileByteForByte) {
  struct Case {
    const char* name;
    bool fileExists;
    std::string bytes;
    bool accepts;
    ClipboardExportResult result;
  };
  const Case cases[] = {
      {"report", true, "[CODE][b]Corvalis 0.50[/b]\r\nDriver  x \xB5 y\r\n\r\n[/CODE]", true,
       ClipboardExportResult::Copied},
      {"empty file", true, "", true, ClipboardExportResult::Copied},
      {"no file", false, "", true, ClipboardExportResult::NoFile},
      {"refused", true, "x\r\n", false, ClipboardExportResult::ClipboardRefused}};
  useBaseName(base);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove((base + ".bb.txt").c_str());
    if (c.fileExists) {
      ASSERT_TRUE(writeBytes(base + ".bb.txt", c.bytes));
    }
    fake = platform::FakePlatform();
    fake.clipboard = "before";
    fake.clipboardAccepts = c.accepts;
    app.settings.dialogWindow = &dialogMarker;
    EXPECT_EQ(copyBBCodeToClipboard(app), c.result);
    EXPECT_EQ(fake.clipboardOwner, c.fileExists ? &dialogMarker : nullptr);
    EXPECT_EQ(fake.count("setClipboardText"), c.fileExists ? 1 : 0);
    EXPECT_EQ(fake.clipboard, c.accepts && c.fileExists ? c.bytes : "before");
    // Unchanged options: the file is not written again.
    EXPECT_EQ(readBytes(base + ".bb.txt"), c.bytes);
  }
}

// The dialog's command reads the comment and options, but not the sync method, before
// it copies; a comment typed after the run reaches the clipboard only with a rewrite,
// which an option click asks for and which touches only the BB-code file.
TEST_F(LauncherModelTest, TheClipboardCommandRewritesOnlyAfterAnOptionClick) {
  useBaseName(base);
  const std::string lastRun = "[CODE]last run\r\n[/CODE]";
  ASSERT_TRUE(writeBytes(base + ".bb.txt", lastRun));
  model.initialize(&dialogMarker);
  control(IDC_COMMENT_ENABLED).checked = control(IDC_SYNC_SWAP).checked = true;
  control(IDC_COMMENT).text = "new comment";
  // Clicks other than the BB-code options do not mark the file stale; nor does a label.
  for (int id : {IDC_COMMENT_ENABLED, IDC_SYNC_SWAP, IDC_SYNC_FLUSH, IDC_COMMENT, checkBox(0),
                 IDC_STATIC})
    model.command(id);
  EXPECT_FALSE(app.settings.bbOptionsChanged);

  model.command(IDC_BB_TO_CLIPBOARD);
  EXPECT_EQ(fake.clipboard, lastRun);
  EXPECT_STREQ(app.settings.comment, "new comment");
  EXPECT_TRUE(app.settings.commentEnabled && !app.settings.syncSwap);

  for (int id : {IDC_BB_CODE, IDC_BB_BOLD, IDC_BB_URL}) {
    app.settings.bbOptionsChanged = false;
    control(id).checked = false;
    EXPECT_EQ(model.command(id), LauncherOutcome::Continue);
    EXPECT_TRUE(app.settings.bbOptionsChanged) << id;
  }
  // The values themselves are read only by Start and the clipboard command.
  EXPECT_TRUE(app.settings.bbBold && app.settings.bbCode && app.settings.bbUrl);
  model.command(IDC_BB_TO_CLIPBOARD);
  EXPECT_FALSE(app.settings.bbOptionsChanged);
  const std::string rewritten = readBytes(base + ".bb.txt");
  EXPECT_EQ(fake.clipboard, rewritten);
  // Without [CODE], [b] and [url] the file opens with the bare information heading.
  EXPECT_EQ(rewritten.rfind("Corvalis 0.50\r\n", 0), 0u) << rewritten;
  EXPECT_NE(rewritten.find("new comment"), std::string::npos) << rewritten;
  EXPECT_FALSE(testing::fileExists(base + ".htm") || testing::fileExists(base + ".txt"));

  useBaseName(dir.file("missing/results"));
  app.settings.bbOptionsChanged = true;
  fake.calls.clear();
  EXPECT_NE(copyBBCodeToClipboard(app), ClipboardExportResult::Copied);
  EXPECT_EQ(fake.count("setClipboardText"), 0) << "a rewrite that failed copies nothing";
}

}  // namespace
}  // namespace corvalis
