#include <gtest/gtest.h>

#include "platform/Paths.h"
#include "settings/SettingsLocation.h"

namespace tandrel {
namespace {

TEST(ResolveIniPathTest, NamesAndExtensions) {
    GlobalOptions o;
    const std::wstring folder = ModuleFolder();
    EXPECT_EQ(ResolveIniPath(o, L"", L""), folder + L"settings_tests.ini");
    EXPECT_EQ(o.exeDirectory, folder);
    EXPECT_EQ(ResolveIniPath(o, L"work", L".ini"), folder + L"work.ini");
    EXPECT_EQ(ResolveIniPath(o, L"work.INI", L".ini"), folder + L"work.INI");
    EXPECT_EQ(ResolveIniPath(o, L"C:\\data\\work", L".ini"), L"C:\\data\\work.ini");
}

}  // namespace
}  // namespace tandrel
