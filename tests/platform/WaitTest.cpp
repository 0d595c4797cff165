#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace tandrel::test {
namespace {

bool WaitInAHelper(Place where = Place::current()) {
    return WaitUntil("nothing", [] { return false; }, 20, 5, where);
}

// A wait that gives up fails the test by itself and says what it waited for
// and where, so a hang reads as a named failure, not as a suite stopped by
// CTest's limit.
TEST(WaitTest, AWaitThatGivesUpFailsNamingWhatAndWhere) {
    bool answer = true;
    const std::string where = "waiting for the sky to fall (WaitTest.cpp:" + std::to_string(__LINE__ + 1) + ")";
    EXPECT_NONFATAL_FAILURE(answer = WaitUntil("the sky to fall", [] { return false; }, 50, 5), where);
    EXPECT_FALSE(answer);
    // A helper that waits names its caller's line, not its own.
    const std::string caller = "(WaitTest.cpp:" + std::to_string(__LINE__ + 1) + ")";
    EXPECT_NONFATAL_FAILURE(WaitInAHelper(), caller);
    int asked = 0;
    EXPECT_TRUE(WaitUntil("the third question", [&] { return ++asked == 3; }, kPatience, 1));
    EXPECT_EQ(asked, 3);
}

}  // namespace
}  // namespace tandrel::test
