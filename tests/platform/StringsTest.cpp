#include <gtest/gtest.h>

#include "platform/Strings.h"

namespace tandrel {
namespace {

TEST(CompareVersionsTest, MajorThenMinorAsNumbers) {
    EXPECT_EQ(CompareVersions(L"0.360", L"0.36"), 1);
    EXPECT_EQ(CompareVersions(L"0.36", L"0.360"), -1);
    EXPECT_EQ(CompareVersions(L"1.0", L"0.999"), 1);
    EXPECT_EQ(CompareVersions(L"0.350", L"0.350"), 0);
    EXPECT_EQ(CompareVersions(L"?.??", L"0.0"), 0);
    EXPECT_EQ(CompareVersions(L".5", L"0.0"), 0);
    EXPECT_EQ(CompareVersions(L"2", L"1.0"), -1);
}

TEST(ListTextTest, EntriesSplitAtSemicolonsWithoutEmptyOnesAndJoinAgain) {
    EXPECT_EQ(SplitList(L"a;;b\\c;"), (std::vector<std::wstring>{L"a", L"b\\c"}));
    EXPECT_TRUE(SplitList(L"").empty());
    EXPECT_EQ(JoinList({L"a", L"b\\c"}), L"a;b\\c");
}

}  // namespace
}  // namespace tandrel
