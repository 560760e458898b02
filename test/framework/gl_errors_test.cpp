// GL errors inside a measurement on a real context (Mesa through EGL): the loop reads
// them after its timed parts, and the value they touched carries them into BASE.json
// and the report's list, while the specified reports keep their bytes.

#include "framework/gl_errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "framework/measurement_loop.h"
#include "measurements/section_text_lines.h"
#include "gl/window.h"
#include "platform/gl_include.h"
#include "report/report_files.h"
#include "report/result_report.h"

namespace corvalis {
namespace {

TEST(GlErrorNames, NamedCodesAndMergedListsKeepEachNameOnceInOrder) {
  EXPECT_EQ(glErrorName(GL_INVALID_ENUM), "GL_INVALID_ENUM");
  EXPECT_EQ(glErrorName(GL_OUT_OF_MEMORY), "GL_OUT_OF_MEMORY");
  EXPECT_EQ(glErrorName(0x0506), "GL_INVALID_FRAMEBUFFER_OPERATION");
  EXPECT_EQ(glErrorName(0x1234), "GL error 0x1234");
  struct Case {
    const char* into;
    const char* more;
    const char* merged;
  };
  const Case cases[] = {
      {"", "", ""},
      {"", "GL_INVALID_ENUM", "GL_INVALID_ENUM"},
      {"GL_INVALID_ENUM", "", "GL_INVALID_ENUM"},
      {"GL_INVALID_ENUM", "GL_INVALID_ENUM", "GL_INVALID_ENUM"},
      {"GL_INVALID_ENUM", "GL_INVALID_VALUE, GL_INVALID_ENUM", "GL_INVALID_ENUM, GL_INVALID_VALUE"},
      // A name that only starts like a listed one is another name.
      {"GL_INVALID_OPERATION", "GL_INVALID_OP", "GL_INVALID_OPERATION, GL_INVALID_OP"},
  };
  for (const Case& c : cases) {
    std::string into = c.into;
    mergeGlErrors(into, c.more);
    EXPECT_EQ(into, c.merged) << c.into << " + " << c.more;
  }
}

// A small window with a real context; skipped where none can be had.
class GlErrorsOnMesa : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<TestWindow>(32, true, true);
    if (window_->initFailed) GTEST_SKIP() << "no GL window: " << window_->errorText;
    takeGlErrors();
  }

  // One batch per repeat; no minimum time, so that speed does not matter.
  LoopResult run(int repeats, const Batch& batch) {
    LoopSpec spec;
    spec.cap = 1;
    spec.minSeconds = 1.0e9;
    spec.warmupSwap = false;
    spec.repeats = repeats;
    return runMeasurementLoop(spec, window_->syncMethod(), batch, Batch());
  }

  testing::NativeDisplay display_{16, 16};
  std::unique_ptr<TestWindow> window_;  // closed before the display goes
};

// Each repeat reads its own errors; the value has all of them once. An error of the state
// set up before a loop counts for that loop, and none is left for the loop after it.
TEST_F(GlErrorsOnMesa, EveryRepeatAndTheSetUpBeforeItAreChecked) {
  int batches = 0;
  const LoopResult failing = run(3, [&batches] {
    if (batches++ == 1)
      glLineWidth(-1.0f);  // GL_INVALID_VALUE
    else
      glEnable(0x1234);  // GL_INVALID_ENUM
  });
  ASSERT_EQ(failing.repeats.size(), 3u);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(failing.repeats[i].glError, i == 1 ? "GL_INVALID_VALUE" : "GL_INVALID_ENUM") << i;
  EXPECT_EQ(failing.measured(1.0).glError, "GL_INVALID_ENUM, GL_INVALID_VALUE");
  EXPECT_EQ(failing.measured(1.0).scaled(4.0).glError, "GL_INVALID_ENUM, GL_INVALID_VALUE");

  EXPECT_EQ(run(1, [] { glFlush(); }).glError, "") << "nothing left from the loop before";
  glDepthFunc(0x1234);  // a set-up the driver refuses
  EXPECT_EQ(run(1, [] { glFlush(); }).glError, "GL_INVALID_ENUM");
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The value a GL error touched names it in BASE.json, beside its own fields, and in the
// report's list under its key path; a detection without a line (or with "none") gets it
// too. The text report has the same bytes as without the error.
TEST_F(GlErrorsOnMesa, TheValueItTouchedNamesItInBaseJsonAndTheReportsList) {
  const Measured touched = run(2, [] { glEnable(0x1234); }).measured(100.0);
  ASSERT_EQ(touched.glError, "GL_INVALID_ENUM");
  Measured broken(std::nan(""));  // a value that is no number, with an error
  broken.glError = "GL_OUT_OF_MEMORY";
  testing::TempDir dir;
  ASSERT_TRUE(dir.ok());
  const auto write = [&dir](const std::string& name, const Measured& a, const Measured& b,
                            const std::string& detectionError) {
    const std::string base = dir.file(name);
    ResultReport report(base.c_str(), 0, OutputHtml | OutputText | OutputJson);
    report.beginTestSection("Test", "T", false);
    report.addValue(a, "Pix/s", " a", "Col");
    report.addValue(Measured(5.0), "Pix/s", " clean", "Z");
    report.beginGroup("in colour", "Color");
    report.addItem("none", " detected", "Width");
    report.addGlError("Width", detectionError);
    report.addGlError("DXT1", detectionError);
    report.endGroup();
    report.addValue(b, "Pix/s", " b", "Bad");
    std::vector<std::string> notes;
    for (const ResultReport::GlErrorNote& note : report.glErrors())
      notes.push_back(note.key + ": " + note.glError);
    EXPECT_TRUE(report.close());
    return notes;
  };
  const auto notes = write("errors", touched, broken, "GL_INVALID_VALUE");
  Measured clean = touched, cleanBroken = broken;
  clean.glError.clear();
  cleanBroken.glError.clear();
  EXPECT_TRUE(write("clean", clean, cleanBroken, "").empty());

  EXPECT_EQ(notes, (std::vector<std::string>{"T:Col: GL_INVALID_ENUM", "T:Color:Width: GL_INVALID_VALUE",
                                              "T:Color:DXT1: GL_INVALID_VALUE", "T:Bad: GL_OUT_OF_MEMORY"}));
  const auto values =
      nlohmann::ordered_json::parse(testing::readBytes(dir.file("errors.json")))["values"];
  EXPECT_EQ(values["T:Col"]["glError"], "GL_INVALID_ENUM");
  EXPECT_EQ(values["T:Col"]["samples"].size(), 2u) << "the value's own fields stay";
  EXPECT_EQ(values["T:Col"].begin().key(), "text");
  using Json = nlohmann::ordered_json;
  EXPECT_EQ(values["T:Z"], Json({{"text", "5 Pix/s"}, {"value", 5.0}, {"unit", "Pix/s"}}));
  EXPECT_EQ(values["T:Color:Width"], Json({{"text", "none"}, {"glError", "GL_INVALID_VALUE"}}));
  EXPECT_EQ(values["T:Color:DXT1"], Json({{"glError", "GL_INVALID_VALUE"}}));
  EXPECT_EQ(values["T:Bad"], Json({{"text", "error"}, {"glError", "GL_OUT_OF_MEMORY"}}));
  for (const char* suffix : {".txt", ".htm"})
    EXPECT_EQ(testing::readBytes(dir.file(std::string("errors") + suffix)),
              testing::readBytes(dir.file(std::string("clean") + suffix)))
        << suffix;
  EXPECT_EQ(nlohmann::json::parse(testing::readBytes(dir.file("clean.json"))).dump().find("glError"),
            std::string::npos);
}

}  // namespace
}  // namespace corvalis
