#include "report/text_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "report/report_files.h"

namespace corvalis {
namespace {

using testing::readBytes;

class TextWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }
  std::string path() const { return dir_.file("report.txt"); }
  testing::TempDir dir_;
};

TEST_F(TextWriterTest, KeyPathGrowsAndShrinksWithTheLevels) {
  TextWriter writer(path().c_str());
  ASSERT_TRUE(writer.isOpen());
  writer.writeValue("Method", "Swap");
  writer.pushKey("Tiling");
  writer.pushKey(nullptr);  // adds no level
  writer.pushKey("Color");
  writer.writeValue("Width", "16 ");
  writer.popKey();
  writer.writeValue("Mode", "a=b:c");
  writer.popKey();
  writer.writeValue("Top", "0");
  writer.popKey();  // empty stack: nothing happens
  writer.writeValue(nullptr, "dropped");
  const std::string key(700, 'k');  // far beyond any fixed buffer
  writer.pushKey(key.c_str());
  writer.pushKey(key.c_str());
  writer.writeValue("v", "1");
  ASSERT_TRUE(writer.finish());
  EXPECT_EQ(readBytes(path()), "[Corvalis 0.50]\r\nMethod=Swap\r\nTiling:Color:Width=16 \r\n"
                               "Tiling:Mode=a=b:c\r\nTop=0\r\n" +
                                   key + ":" + key + ":v=1\r\n");
}

TEST_F(TextWriterTest, MissingFolderWritesNothing) {
  TextWriter writer(dir_.file("missing/report.txt").c_str());
  EXPECT_FALSE(writer.isOpen());
  writer.pushKey("Info");
  writer.writeValue("Method", "Swap");
  EXPECT_TRUE(writer.finish());
}

}  // namespace
}  // namespace corvalis
