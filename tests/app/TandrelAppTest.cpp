#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "TestSupport.h"
#include "app/TandrelApp.h"

namespace tandrel {
namespace {

TEST(TandrelAppTest, VersionComesFromTheVersionBlock) {
    EXPECT_EQ(CTandrelApp::VersionString(L"FileVersion"), test::kFileVersion);
    EXPECT_EQ(CTandrelApp::VersionString(L"ProductVersion"), test::kProductVersion);
    EXPECT_EQ(CTandrelApp::VersionString(L""), test::kFileVersion);
    EXPECT_EQ(CTandrelApp::VersionString(L"NoSuchValue"), L"?.??");
}

TEST(TandrelAppTest, WindowTitleNamesTheSettingsLocation) {
    GlobalOptions o;
    o.exeDirectory = L"C:\\Prog\\";
    o.iniPath = L"c:\\prog\\work.ini";
    EXPECT_EQ(CTandrelApp::WindowTitle(o, true), L"Tandrel Unicode");
    EXPECT_EQ(CTandrelApp::WindowTitle(o, false), L"Tandrel Unicode - work.ini");
    o.iniPath = L"D:\\data\\work.ini";
    EXPECT_EQ(CTandrelApp::WindowTitle(o, false), L"Tandrel Unicode - D:\\data\\work.ini");
    o.useRegistry = true;
    EXPECT_EQ(CTandrelApp::WindowTitle(o, false), L"Tandrel Unicode - レジストリ使用");
}

TEST(TandrelAppTest, MutexNameCarriesTheSettingsPath) {
    EXPECT_EQ(CTandrelApp::MutexName(L"C:\\p\\Tandrel.ini", false), L"Tandrel Unicode");
    EXPECT_EQ(CTandrelApp::MutexName(L"C:\\p\\work.ini", true), L"Tandrel Unicode c:/p/work.ini");
    // Another letter case, "..", "/" or "." reach the same file and the same name.
    for (const wchar_t* other : {L"C:\\P\\Work.INI", L"c:/p/x/../work.ini", L"C:\\p\\.\\work.ini"})
        EXPECT_EQ(CTandrelApp::MutexName(other, true), L"Tandrel Unicode c:/p/work.ini");
}

TEST(TandrelAppTest, MutexNamesOfLongPathsStayWithinTheLimitAndApart) {
    GlobalOptions a, b;
    a.iniPath = L"C:\\" + std::wstring(400, L'a') + L"\\end.ini";
    b.iniPath = L"C:\\" + std::wstring(400, L'b') + L"\\end.ini";
    const std::wstring name = CTandrelApp::MutexName(a.iniPath, true);
    EXPECT_EQ(name.substr(name.size() - 8), L"/end.ini");
    EXPECT_EQ(name.find(L'\\'), std::wstring::npos);
    const std::wstring settings = CTandrelApp::SettingsMutexNames(a)[0];
    EXPECT_NE(settings, CTandrelApp::SettingsMutexNames(b)[0]);
    // A name the system refuses would end the program without a word.
    for (const std::wstring& n : {name, settings}) {
        EXPECT_LE(n.size(), static_cast<size_t>(MAX_PATH));
        HANDLE mutex = CreateMutexW(nullptr, FALSE, n.c_str());
        EXPECT_NE(mutex, nullptr) << GetLastError();
        if (mutex) CloseHandle(mutex);
    }
}

TEST(TandrelAppTest, TheSettingsMutexFollowsTheFileWhateverItsName) {
    GlobalOptions plain, named;
    plain.iniPath = L"C:\\Prog\\Tandrel.ini";
    named.iniPath = L"c:/prog/sub/../TANDREL.INI";
    const std::vector<std::wstring> names = CTandrelApp::SettingsMutexNames(plain);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], L"Global\\Tandrel Unicode c:/prog/tandrel.ini");
    EXPECT_EQ(CTandrelApp::SettingsMutexNames(named), names);
    // With the registry allowed, the user's profile is guarded too.
    plain.registryAllowed = true;
    const std::vector<std::wstring> withRegistry = CTandrelApp::SettingsMutexNames(plain);
    ASSERT_EQ(withRegistry.size(), 2u);
    EXPECT_EQ(withRegistry[1].rfind(L"Global\\Tandrel Unicode registry S-1-", 0), 0u) << test::Utf8(withRegistry[1]);
    EXPECT_NE(withRegistry[1].find(L"/software/orrelin/tandrel unicode"), std::wstring::npos);
}

class RecordingPower : public PowerActions {
public:
    bool privilegeOk = true;
    std::vector<std::string> calls;
    bool EnableShutdownPrivilege() override { calls.push_back("privilege"); return privilegeOk; }
    void Hibernate() override { calls.push_back("hibernate"); }
    void ShutDown() override { calls.push_back("shutdown"); }
};

TEST(TandrelAppTest, PowerActionOnlyWhenAskedFor) {
    struct Case { bool atExit; int runMode; int afterAction; bool privilegeOk; std::vector<std::string> calls; int code = 7; };
    const Case cases[] = {
        {false, RunModeShutdown, 0, true, {}},
        {true, RunModeExit, 0, true, {}},
        {true, RunModeNothing, 2, true, {}},
        {true, RunModeHibernate, 0, true, {"privilege", "hibernate"}},
        {true, RunModeShutdown, 0, true, {"privilege", "shutdown"}},
        {true, RunModeCommand, 3, true, {"privilege", "hibernate"}},
        {true, RunModeCommand, 4, true, {"privilege", "shutdown"}},
        {true, RunModeShutdown, 3, true, {"privilege", "hibernate"}},  // hibernation wins
        // A refused privilege keeps the run's code and is at least "errors".
        {true, RunModeShutdown, 0, false, {"privilege"}},
        {true, RunModeHibernate, 0, false, {"privilege"}, 0},
        {true, RunModeShutdown, 0, false, {"privilege"}, 1},
    };
    for (const Case& c : cases) {
        GlobalOptions o;
        o.powerActionAtExit = c.atExit;
        o.runMode = c.runMode;
        o.afterAction = c.afterAction;
        o.exitCode = c.code;
        RecordingPower power;
        power.privilegeOk = c.privilegeOk;
        CTandrelApp::PerformPowerAction(o, power);
        EXPECT_EQ(power.calls, c.calls) << c.runMode << "/" << c.afterAction;
        EXPECT_EQ(o.exitCode, c.privilegeOk ? c.code : std::max(c.code, 2));
    }
}

}  // namespace
}  // namespace tandrel
