#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace tandrel::test {
namespace {

// A wait that gives up fails the test by itself and says what it waited for
// and where, so a hang reads as a named failure, not as a suite stopped by
// CTest's limit.
TEST(WaitTest, AWaitThatGivesUpFailsNamingWhatAndWhere) {
    bool answer = true;
    EXPECT_NONFATAL_FAILURE(answer = WaitUntil("the sky to fall", [] { return false; }, 50, 5),
                            "waiting for the sky to fall (WaitTest.cpp:");
    EXPECT_FALSE(answer);
    int asked = 0;
    EXPECT_TRUE(WaitUntil("the third question", [&] { return ++asked == 3; }, kPatience, 1));
    EXPECT_EQ(asked, 3);
}

}  // namespace
}  // namespace tandrel::test
