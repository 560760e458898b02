// The registry's fixed order and the names the command line finds its tests by.
#include "app/suite.h"

#include <gtest/gtest.h>

#include <string>

using namespace corvalis;

namespace {

TEST(TestRegistry, SevenTestsInTheFixedOrderAllSelected) {
  const char* const order[TestCount] = {"Fillrate", "Bandwidth", "Geometry", "Texturing",
                                        "Readback", "Texture cache", "Tiling"};
  TestRegistry registry;
  registry.create();
  for (size_t i = 0; i < TestCount; ++i) {
    SCOPED_TRACE(i);
    ASSERT_NE(registry.tests[i], nullptr);
    EXPECT_STREQ(registry.tests[i]->name(), order[i]);
    EXPECT_EQ(registry.selected(i), registry.tests[i].get());
    // Each test is found by its own name and key, in its own slot.
    EXPECT_EQ(findTestByName(registry.tests[i]->name()), static_cast<int>(i));
    EXPECT_EQ(findTestByName(registry.tests[i]->key()), static_cast<int>(i));
  }
  registry.enabled.fill(false);
  EXPECT_FALSE(registry.anySelected());
  registry.enabled[6] = true;
  EXPECT_TRUE(registry.anySelected());
  registry.destroy();
  EXPECT_EQ(registry.selected(6), nullptr) << "a destroyed test is not selected";
}

TEST(TestRegistry, NamesAreFoundWithoutRegardToCase) {
  const struct {
    const char* name;
    int index;
  } cases[] = {{"fillrate", 0},      {"READBACK", 4},       {"texcache", 5},
               {"Texture Cache", 5}, {"texturecache", 5},   {"TILING", 6},
               {"texture", -1},      {"texture  cache", -1}, {"", -1},
               {"fillrate ", -1},    {"fillrates", -1},     {"fill", -1}};
  for (const auto& c : cases) EXPECT_EQ(findTestByName(c.name), c.index) << '"' << c.name << '"';
}

}  // namespace
