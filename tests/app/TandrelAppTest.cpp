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
    AppState o;
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
    AppState a, b;
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
    AppState plain, named;
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
    unsigned long privilegeError = 0, actionError = 0;
    std::vector<std::string> calls;
    std::vector<std::wstring> told;
    unsigned long EnableShutdownPrivilege() override { calls.push_back("privilege"); return privilegeError; }
    unsigned long Hibernate() override { calls.push_back("hibernate"); return actionError; }
    unsigned long ShutDown() override { calls.push_back("shutdown"); return actionError; }
    void Tell(const std::wstring& text, const std::wstring& caption) override { told.push_back(caption + L"|" + text); }
};

TEST(TandrelAppTest, PowerActionOnlyWhenAskedFor) {
    struct Case { bool atExit; int runMode; int afterAction; std::vector<std::string> calls; };
    const Case cases[] = {
        {false, RunModeShutdown, 0, {}},
        {true, RunModeExit, 0, {}},
        {true, RunModeNothing, 2, {}},
        {true, RunModeHibernate, 0, {"privilege", "hibernate"}},
        {true, RunModeShutdown, 0, {"privilege", "shutdown"}},
        {true, RunModeCommand, 3, {"privilege", "hibernate"}},
        {true, RunModeCommand, 4, {"privilege", "shutdown"}},
        {true, RunModeShutdown, 3, {"privilege", "hibernate"}},  // hibernation wins
    };
    for (const Case& c : cases) {
        AppState o;
        o.powerActionAtExit = c.atExit;
        o.runMode = c.runMode;
        o.afterAction = c.afterAction;
        o.exitCode = 1;
        RecordingPower power;
        CTandrelApp::PerformPowerAction(o, power);
        EXPECT_EQ(power.calls, c.calls) << c.runMode << "/" << c.afterAction;
        EXPECT_EQ(o.exitCode, 1);
        EXPECT_TRUE(power.told.empty());
    }
}

TEST(TandrelAppTest, ARefusedPowerActionRaisesTheExitCodeAndIsToldWhenSomeoneMayBeThere) {
    struct Case {
        int runMode;
        unsigned long privilegeError, actionError;
        bool unattended;
        int code;
        std::vector<std::string> calls;
        const wchar_t* told;
    };
    const Case cases[] = {
        // The privilege refused: nothing is tried.
        {RunModeShutdown, ERROR_ACCESS_DENIED, 0, false, 0, {"privilege"},
         L"Tandrel Unicode|バックアップは終わりましたが、Windows をシャットダウンできませんでした。"},
        // Hibernation turned off in the system.
        {RunModeHibernate, 0, ERROR_NOT_SUPPORTED, false, 1, {"privilege", "hibernate"},
         L"Tandrel Unicode|バックアップは終わりましたが、コンピュータを休止状態にできませんでした。"},
        // The run's own worse outcome stays.
        {RunModeShutdown, 0, ERROR_ACCESS_DENIED, false, 3, {"privilege", "shutdown"},
         L"Tandrel Unicode|バックアップは終わりましたが、Windows をシャットダウンできませんでした。"},
        // Nobody there: only the exit code tells.
        {RunModeHibernate, 0, ERROR_NOT_SUPPORTED, true, 0, {"privilege", "hibernate"}, nullptr},
    };
    for (const Case& c : cases) {
        AppState o;
        o.powerActionAtExit = true;
        o.runMode = c.runMode;
        o.exitCode = c.code;
        o.autoStart = true;
        o.AutoExitWhenError = c.unattended;
        RecordingPower power;
        power.privilegeError = c.privilegeError;
        power.actionError = c.actionError;
        CTandrelApp::PerformPowerAction(o, power);
        EXPECT_EQ(power.calls, c.calls);
        EXPECT_EQ(o.exitCode, std::max(c.code, 2));
        if (!c.told) {
            EXPECT_TRUE(power.told.empty());
            continue;
        }
        ASSERT_EQ(power.told.size(), 1u);
        // The reason follows, in the system's words.
        EXPECT_EQ(power.told[0].rfind(c.told, 0), 0u) << test::Utf8(power.told[0]);
        EXPECT_GT(power.told[0].size(), std::wstring(c.told).size() + 4);
    }
}

}  // namespace
}  // namespace tandrel
