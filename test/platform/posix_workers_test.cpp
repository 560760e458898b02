// The hang limit of an A/B session's workers as the environment may set it.

#include "platform/egl/posix_workers.h"

#include <gtest/gtest.h>

#include <string>

namespace corvalis::platform {
namespace {

// Unset, the limit is the default; a whole number of seconds within range replaces it.
TEST(HangSeconds, DefaultOrAWholeNumberInRange) {
  const struct {
    const char* text;
    int seconds;
  } valid[] = {{nullptr, WorkerHangSeconds}, {"1", 1}, {"5", 5}, {"0120", 120}, {"3600", 3600}};
  for (const auto& c : valid) {
    int seconds = -1;
    std::string error;
    EXPECT_TRUE(parseHangSeconds(c.text, seconds, error)) << (c.text ? c.text : "unset");
    EXPECT_EQ(seconds, c.seconds) << (c.text ? c.text : "unset");
    EXPECT_EQ(error, "");
  }
}

// Anything else is refused with the variable and the value named, and the default kept:
// nothing, zero, out of range, signs, blanks, units, fractions, exponents, and numbers
// that would overflow an int.
TEST(HangSeconds, AnythingElseIsRefusedNamingTheVariable) {
  for (const char* text : {"", "0", "3601", "-5", "+5", " 5", "5 ", "5s", "2.5", "1e2",
                           "99999999999999999999", "0x10"}) {
    int seconds = -1;
    std::string error;
    EXPECT_FALSE(parseHangSeconds(text, seconds, error)) << text;
    EXPECT_EQ(seconds, WorkerHangSeconds) << text;
    EXPECT_EQ(error, std::string("CORVALIS_AB_HANG_SECONDS must be a whole number of seconds "
                                 "from 1 to 3600, not '") + text + "'");
  }
}

}  // namespace
}  // namespace corvalis::platform
