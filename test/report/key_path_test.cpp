#include "report/key_path.h"

#include <gtest/gtest.h>

#include <string>

namespace corvalis {
namespace {

TEST(KeyPath, LevelsGrowAndShrinkAndANullKeyAddsNone) {
  KeyPath keys;
  keys.pop();  // nothing to drop
  EXPECT_EQ(keys.of("Method"), "Method");
  keys.push("Tiling");
  keys.push(nullptr);
  keys.push("Color");
  EXPECT_EQ(keys.prefix(), "Tiling:Color:");
  EXPECT_EQ(keys.of("Width"), "Tiling:Color:Width");
  EXPECT_EQ(keys.of(nullptr), "Tiling:Color:");
  keys.pop();
  EXPECT_EQ(keys.of("Mode"), "Tiling:Mode");
  keys.pop();
  keys.pop();
  EXPECT_EQ(keys.prefix(), "");
  const std::string key(700, 'k');  // far beyond any fixed buffer
  keys.push(key.c_str());
  keys.push(key.c_str());
  EXPECT_EQ(keys.of("v"), key + ":" + key + ":v");
  keys.pop();
  EXPECT_EQ(keys.prefix(), key + ":");
}

}  // namespace
}  // namespace corvalis
