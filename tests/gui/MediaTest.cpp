// A medium plugged in while the real program runs: the system's arrival
// message reaches its window, and the folder settings marked for the
// medium's label run as the options say.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <ctime>

#include "ProgramCopy.h"
#include "TestSupport.h"
#include "model/AppState.h"
#include "resource.h"

namespace tandrel::test {
namespace {

constexpr const wchar_t* kLabel = L"TANDRELMEDIA";

// What the system sends when a volume arrives on the drive.
void Arrive(HWND window, wchar_t drive, WORD flags = 0) {
    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << (drive - L'A');
    volume.dbcv_flags = flags;
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume), SMTO_NORMAL,
                        kPatience, &answer);
}

// A menu command, handled before the next message the test sends.
void Choose(HWND window, UINT command) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_COMMAND, command, 0, SMTO_NORMAL, kPatience, &answer);
}

// Closes the window as a user would, again while a run's end refuses it;
// the program's exit code.
DWORD CloseAndWait(HWND window, HANDLE process) {
    WaitUntil([&] {
        PostMessageW(window, WM_CLOSE, 0, 0);
        return WaitForSingleObject(process, 100) == WAIT_OBJECT_0;
    });
    return ExitCodeWithin(process);
}

class MediaTest : public ::testing::Test {
protected:
    MediaTest() {
        CreateDirectoryW(master.c_str(), nullptr);
        WriteBytes(master + L"\\a.txt", "medium");
        drive.SetLabel(kLabel);
        RemoveTree(backupRoot);
    }
    ~MediaTest() override { RemoveTree(backupRoot); }

    // Settings: 写真 marked with the medium's label (its after-command
    // counts its runs, test runs too), 未指定 with the label but not marked,
    // 別ラベル marked with another label, 毎日 for full runs.
    std::wstring SettingsText(int action, const std::wstring& dailyKeys = L"") const {
        const auto define = [&](int n, const std::wstring& name, const std::wstring& keys) {
            return L"[Define " + std::to_wstring(n) + L"]\r\nName=" + name + L"\r\nMaster=" + master +
                   L"\r\nBackup=" + Backup(n) + L"\r\n" + keys;
        };
        const std::wstring counter = L"CommandType1=1\r\nCommandEnable1=1\r\nCommandWindow1=3\r\nCommandOnMode1=1\r\n"
                                     L"CommandPath1=" + HelperPath() + L"\r\nCommandParam1=append=" + runs + L"\r\n";
        return L"[Options]\r\nExecIfDetectMedia=1\r\nDetectMediaAction=" +
               std::to_wstring(GlobalOptionsCode(action)) + L"\r\nListCount=4\r\n" +
               define(0, L"写真", L"AutoExec=0\r\nExecIfDetectMediaVol=1\r\nVolume=" + std::wstring(kLabel) +
                                      L"\r\n" + counter) +
               define(1, L"未指定", L"AutoExec=0\r\nVolume=" + std::wstring(kLabel) + L"\r\n") +
               define(2, L"別ラベル", L"AutoExec=0\r\nExecIfDetectMediaVol=1\r\nVolumeMaster=OTHERDISK\r\n") +
               define(3, L"毎日", dailyKeys);
    }
    static int GlobalOptionsCode(int action) { return AppState::EncodeDetectMediaAction(action); }
    std::wstring Backup(int n) const { return backupRoot + L"\\b" + std::to_wstring(n); }
    bool Copied(int n) const { return FileExists(Backup(n) + L"\\a.txt"); }
    // How often 写真 ran to its end.
    size_t Runs() const {
        const std::string text = ReadBytes(runs);
        size_t count = 0;
        for (size_t at = text.find("run"); at != std::string::npos; at = text.find("run", at + 1)) ++count;
        return count;
    }
    std::wstring Status(HWND window) const { return WindowText(FindControl(window, IDW_STATUS_BAR)); }

    TempDir data;
    std::wstring master = data / L"写真";
    std::wstring runs = data / L"runs.txt";
    TestDrive drive{L'E'};
    std::wstring backupRoot = drive.Root() + L"tandrel-media";
};

TEST_F(MediaTest, EachActionRunsExactlyTheMarkedSettingsOfTheLabel) {
    ProgramCopy program(true, SettingsText(1));
    HANDLE process = program.Start(L"");
    ASSERT_NE(process, nullptr);
    HWND window = WaitForWindowOf(process);
    ASSERT_NE(window, nullptr);

    // Test after confirmation, declined: the question names the action, the
    // label and only the marked setting of that label.
    Arrive(window, L'E');
    HWND box = WaitForBox(L"メディア検出");
    ASSERT_NE(box, nullptr);
    // In front, as the run's boxes: the window may sit in the tray.
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == box; }));
    const std::wstring question = BoxText(box);
    EXPECT_NE(question.find(L"[テスト] を実行します。"), std::wstring::npos) << Utf8(question);
    EXPECT_NE(question.find(L"【ボリュームラベル】\r\nTANDRELMEDIA"), std::wstring::npos) << Utf8(question);
    EXPECT_NE(question.find(L"【フォルダ設定】\r\n写真"), std::wstring::npos) << Utf8(question);
    EXPECT_EQ(question.find(L"未指定"), std::wstring::npos);
    EXPECT_EQ(question.find(L"別ラベル"), std::wstring::npos);
    PostMessageW(box, WM_COMMAND, IDNO, 0);
    EXPECT_TRUE(WaitUntil([&] { return Status(window) == L"Tandrel Unicode"; }));

    // Test at once: the setting runs, nothing is copied.
    Choose(window, ID_MEDIA_TEST);
    Arrive(window, L'E');
    EXPECT_TRUE(WaitUntil([&] { return Runs() == 1; }));
    EXPECT_FALSE(Copied(0));

    // Update after confirmation, accepted.
    Choose(window, ID_MEDIA_UPDATE_ASK);
    Arrive(window, L'E');
    box = WaitForBox(L"メディア検出");
    ASSERT_NE(box, nullptr);
    EXPECT_NE(BoxText(box).find(L"[更新] を実行します。"), std::wstring::npos);
    PostMessageW(box, WM_COMMAND, IDYES, 0);
    EXPECT_TRUE(WaitUntil([&] { return Runs() == 2; }));
    EXPECT_TRUE(Copied(0));

    // Update at once, for a medium put into a drive that was there.
    RemoveTree(Backup(0));
    Choose(window, ID_MEDIA_UPDATE);
    Arrive(window, L'E', DBTF_MEDIA);
    EXPECT_TRUE(WaitUntil([&] { return Runs() == 3; }));
    EXPECT_TRUE(Copied(0));

    // A medium of another label runs nothing. What would show a wrong run is
    // the question (now asked first): a medium of 別ラベル's label that
    // arrives after it is asked about, and only about 別ラベル, once the other
    // label has been read and matched nothing.
    RemoveTree(Backup(0));
    Choose(window, ID_MEDIA_TEST_ASK);
    drive.SetLabel(L"ANOTHER");
    TestDrive second{L'F'};
    second.SetLabel(L"OTHERDISK");
    Arrive(window, L'E');
    Arrive(window, L'F');
    box = WaitForBox(L"メディア検出");
    ASSERT_NE(box, nullptr);
    const std::wstring other = BoxText(box);
    EXPECT_NE(other.find(L"【フォルダ設定】\r\n別ラベル"), std::wstring::npos) << Utf8(other);
    EXPECT_EQ(other.find(L"写真"), std::wstring::npos) << Utf8(other);
    PostMessageW(box, WM_COMMAND, IDNO, 0);
    EXPECT_TRUE(WaitUntil([&] { return Status(window) == L"終了しました "; }));
    EXPECT_EQ(CloseAndWait(window, process), 0u);
    EXPECT_EQ(Runs(), 3u);
    EXPECT_FALSE(Copied(0));
    // Settings not marked, or marked for another label, never ran.
    EXPECT_FALSE(Copied(1));
    EXPECT_FALSE(Copied(2));
    // The menu's last choice is stored with the options.
    const std::wstring ini = program.Settings();
    EXPECT_EQ(IniValue(ini, L"Options", L"ExecIfDetectMedia"), L"1");
    EXPECT_EQ(IniValue(ini, L"Options", L"DetectMediaAction"), std::to_wstring(GlobalOptionsCode(1))) << Utf8(ini);
}

TEST_F(MediaTest, AMediumArrivingDuringARunRunsOnceWhenTheRunHasEnded) {
    const std::wstring go = data / L"go", started = data / L"started";
    // The full run waits in its before-command until the test lets it go
    // (the settings file drops quotes around a whole value: the temporary
    // paths hold no blanks).
    ProgramCopy program(true, SettingsText(4, L"CommandType0=0\r\nCommandEnable0=1\r\nCommandWindow0=3\r\nCommandPath0=" +
                                                  HelperPath() + L"\r\nCommandParam0=wait=" + go + L" marker=" + started +
                                                  L"\r\n"));
    HANDLE process = program.Start(L"");
    ASSERT_NE(process, nullptr);
    HWND window = WaitForWindowOf(process);
    ASSERT_NE(window, nullptr);
    Choose(window, ID_RUN_ALL_UPDATE);
    ASSERT_TRUE(WaitUntil([&] { return FileExists(started); }));

    // The same medium twice while the run is going: one run afterwards.
    Arrive(window, L'E');
    Arrive(window, L'E', DBTF_MEDIA);
    ASSERT_TRUE(WriteBytes(go, "go"));
    EXPECT_TRUE(WaitUntil([&] { return Runs() == 1; }));
    EXPECT_TRUE(Copied(0));
    EXPECT_TRUE(Copied(3));

    // The program ends only after any run; a second media run would have counted.
    EXPECT_EQ(CloseAndWait(window, process), 0u);
    EXPECT_EQ(Runs(), 1u);
    EXPECT_FALSE(Copied(1));
}

TEST_F(MediaTest, AMediumDuringTheAutomaticStartsDelayWaitsForTheAutomaticRun) {
    // 毎日 ran today already: the automatic run's schedule passes it by,
    // a run from the window would not.
    const std::wstring today = L"ScheduleType=1\r\nLastExec=" + std::to_wstring(std::time(nullptr)) + L"\r\n";
    ProgramCopy program(true, SettingsText(4, today));
    HANDLE process = program.Start(L"/start");
    ASSERT_NE(process, nullptr);
    HWND window = WaitForWindowOf(process);
    ASSERT_NE(window, nullptr);
    // At once, within the delay before the automatic 全更新.
    Arrive(window, L'E');
    EXPECT_TRUE(WaitUntil([&] { return Runs() == 1; }));
    EXPECT_TRUE(Copied(0));
    // Wait for the automatic state to end (the list may be chosen again),
    // then for any run it would still start.
    HWND list = FindControl(window, IDC_AFTER_LIST);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(list) != FALSE; }));
    EXPECT_EQ(CloseAndWait(window, process), 0u);
    EXPECT_FALSE(Copied(3));
    EXPECT_EQ(Runs(), 1u);
}

TEST_F(MediaTest, ASettingOfTwoLabelsArrivingAMomentApartRunsOnce) {
    // 両方 copies from the medium labelled TANDRELPHOTO on F: to this one.
    TestDrive photos{L'F'}, other{L'G'};
    photos.SetLabel(L"TANDRELPHOTO");
    other.SetLabel(L"OTHERDISK");
    const std::wstring source = photos.Root() + L"tandrel-media-master", marker = other.Root() + L"tandrel-media";
    RemoveTree(source);
    RemoveTree(marker);
    CreateDirectoryW(source.c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(source + L"\\a.txt", "photo"));
    const std::wstring counter = L"CommandType1=1\r\nCommandEnable1=1\r\nCommandWindow1=3\r\nCommandOnMode1=1\r\n"
                                 L"CommandPath1=" + HelperPath() + L"\r\nCommandParam1=append=" + runs + L"\r\n";
    ProgramCopy program(true, L"[Options]\r\nExecIfDetectMedia=1\r\nDetectMediaAction=" +
                                  std::to_wstring(GlobalOptionsCode(4)) + L"\r\nListCount=2\r\n[Define 0]\r\nName=両方\r\n"
                                  L"Master=" + source + L"\r\nBackup=" + Backup(0) + L"\r\nAutoExec=0\r\n"
                                  L"ExecIfDetectMediaVol=1\r\nVolumeMaster=TANDRELPHOTO\r\nVolume=" + kLabel + L"\r\n" +
                                  counter + L"[Define 1]\r\nName=別ラベル\r\nMaster=" + master + L"\r\nBackup=" +
                                  marker + L"\r\nAutoExec=0\r\nExecIfDetectMediaVol=1\r\nVolume=OTHERDISK\r\n");
    HANDLE process = program.Start(L"");
    ASSERT_NE(process, nullptr);
    HWND window = WaitForWindowOf(process);
    ASSERT_NE(window, nullptr);
    Arrive(window, L'E');
    Arrive(window, L'F');
    EXPECT_TRUE(WaitUntil([&] { return Runs() == 1; }));
    EXPECT_EQ(ReadBytes(Backup(0) + L"\\a.txt"), "photo");
    // A medium that arrives later runs after anything the first two left.
    Arrive(window, L'G');
    EXPECT_TRUE(WaitUntil([&] { return FileExists(marker + L"\\a.txt"); }));
    EXPECT_EQ(CloseAndWait(window, process), 0u);
    EXPECT_EQ(Runs(), 1u);
    RemoveTree(source);
    RemoveTree(marker);
}

}  // namespace
}  // namespace tandrel::test
