#include <gtest/gtest.h>

#include "platform/Paths.h"

namespace tandrel {
namespace {

TEST(PathsTest, LongPathForms) {
    EXPECT_EQ(LongPath(L"C:\\a"), L"\\\\?\\C:\\a");
    EXPECT_EQ(LongPath(L"\\\\srv\\sh\\a"), L"\\\\?\\UNC\\srv\\sh\\a");
}

}  // namespace
}  // namespace tandrel
