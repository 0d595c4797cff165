#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace tandrel {
namespace {

AppState Parse(const std::vector<std::wstring>& args, CommandLineResult* result = nullptr) {
    AppState o;
    o.Reset(L"0.400");
    const CommandLineResult r = ParseCommandLine(args, o);
    if (result) *result = r;
    return o;
}

TEST(CommandLineTest, RunSwitchesSetStartAndFollowUp) {
    struct Case { const wchar_t* arg; bool autoStart; int runMode; };
    const Case cases[] = {
        {L"/auto", true, RunModeExit},
        {L"-AUTO", true, RunModeExit},
        {L"/autoexec", true, RunModeExit},  // prefix match
        {L"auto", true, RunModeExit},
        {L"/start", true, RunModeNothing},
        {L"/starting", true, RunModeNothing},
        {L"/shutdown", true, RunModeShutdown},
        {L"/Hibernation", true, RunModeHibernate},
        {L"//auto", false, RunModeNothing},  // only one leading slash is skipped
        {L"/aut", false, RunModeNothing},
        {L"", false, RunModeNothing},
        {L"/unknown", false, RunModeNothing},
    };
    for (const Case& c : cases) {
        const AppState o = Parse({c.arg});
        EXPECT_EQ(o.autoStart, c.autoStart) << c.arg;
        EXPECT_EQ(o.runMode, c.runMode) << c.arg;
    }
}

TEST(CommandLineTest, CommandNumbersAreOneBased) {
    struct Case { const wchar_t* arg; bool matches; int index; };
    const Case cases[] = {
        {L"/command=1", true, 0},
        {L"/command=3", true, 2},
        {L"/command=", true, -1},      // no digits read as 0
        {L"/command=abc", true, -1},
        {L"/command=12x", true, 11},
        {L"command=3", true, 2},
        {L"command=", false, 0},       // shorter than 9 characters
        {L"/command=99999999999", true, 2147483646},
        {L"/command=-99999999999", true, -2147483647 - 1},
    };
    for (const Case& c : cases) {
        const AppState o = Parse({c.arg});
        EXPECT_EQ(o.autoStart, c.matches) << c.arg;
        EXPECT_EQ(o.runMode, c.matches ? RunModeCommand : RunModeNothing) << c.arg;
        if (c.matches) {
            EXPECT_EQ(o.commandIndex, c.index) << c.arg;
        }
    }
}

TEST(CommandLineTest, ProjectNumbersOutOfRangeSelectTheFirst) {
    struct Case { const wchar_t* arg; int project; };
    const Case cases[] = {
        {L"/project=3", 2},
        {L"/project=1", 0},
        {L"/project=0", 0},
        {L"/project=1000", 999},
        {L"/project=1001", 0},
        {L"/project=abc", 0},
        {L"/project=99999999999", 0},
        {L"/project=-5", 0},
        {L"/project=", 0},
        {L"project=", -1},  // too short: not a switch, nothing chosen yet
    };
    for (const Case& c : cases) EXPECT_EQ(Parse({c.arg}).ActiveProject, c.project) << c.arg;
}

TEST(CommandLineTest, SettingsLocationSwitches) {
    CommandLineResult r;
    AppState o = Parse({L"/ini=work"}, &r);
    EXPECT_EQ(r.iniName, L"work");
    EXPECT_FALSE(r.defaultIniName);
    EXPECT_TRUE(o.iniForced);

    o = Parse({L"/enableregistry"}, &r);
    EXPECT_TRUE(r.defaultIniName);
    EXPECT_TRUE(o.registryAllowed);
    EXPECT_TRUE(o.useRegistry);
    EXPECT_TRUE(Parse({L"-EnableRegistory"}).useRegistry);

    // A named settings file or logoff keeps the registry out.
    o = Parse({L"/enableregistry", L"/ini=x"});
    EXPECT_FALSE(o.registryAllowed);
    EXPECT_FALSE(o.useRegistry);
    o = Parse({L"/logoff", L"/enableregistry"});
    EXPECT_TRUE(o.noSave);
    EXPECT_TRUE(o.iniForced);
    EXPECT_FALSE(o.useRegistry);

    o = Parse({L"/oldini="});
    EXPECT_TRUE(o.oldIniPath.empty());
    o = Parse({L"/oldini=C:\\old\\mirror.ini", L"/icon", L"/oldtargetsetting"});
    EXPECT_EQ(o.oldIniPath, L"C:\\old\\mirror.ini");
    EXPECT_TRUE(o.startIconic);
    EXPECT_TRUE(o.oldTargetSetting);
    EXPECT_FALSE(o.autoStart);
}

}  // namespace
}  // namespace tandrel
