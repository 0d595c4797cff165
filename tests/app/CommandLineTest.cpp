#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace tandrel {
namespace {

TEST(CommandLineTest, AutoMatchesByPrefix) {
    GlobalOptions o;
    ParseCommandLine({L"-AUTO"}, o);
    EXPECT_TRUE(o.autoStart);
    EXPECT_EQ(o.runMode, RunModeExit);
}

}  // namespace
}  // namespace tandrel
