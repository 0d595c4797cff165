// Starts the real program and checks the single-instance rule between
// processes.
#include <gtest/gtest.h>

#include <cstdio>

#include "ProgramCopy.h"
#include "TestSupport.h"
#include "resource.h"

#include <commctrl.h>
#include <prsht.h>

#include "resource.h"

namespace tandrel {
namespace {

using test::BoxText;
using test::ExitCodeWithin;
using test::FindControl;
using test::ProgramCopy;
using test::TempDir;
using test::WaitForBox;
using test::WaitForWindow;
using test::WaitVisible;

TEST(StartupTest, SecondStartOnTheSameSettingsEndsAndLeavesTheFirstAlone) {
    ProgramCopy program;
    const std::wstring workTitle = L"Tandrel Unicode - work.ini";

    HANDLE first = program.Start(L"/ini=work");
    ASSERT_NE(first, nullptr);
    HWND firstWindow = WaitForWindow(workTitle);
    ASSERT_NE(firstWindow, nullptr);
    // Put away, so that the second start has something to bring forward.
    ASSERT_TRUE(WaitVisible(firstWindow));
    ShowWindow(firstWindow, SW_MINIMIZE);
    ASSERT_TRUE(test::WaitUntil([&] { return IsIconic(firstWindow) != FALSE; }));

    HANDLE second = program.Start(L"/ini=work");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(ExitCodeWithin(second), 0u);
    EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(FindWindowW(L"TandrelMainFrame", workTitle.c_str()), firstWindow);
    // The window on the same settings file came back, though its title is
    // not the plain one.
    EXPECT_TRUE(test::WaitUntil([&] { return !IsIconic(firstWindow) && IsWindowVisible(firstWindow); }));
    // The same file in other spellings is the same instance.
    for (const wchar_t* same : {L"/ini=WORK", L"/ini=.\\work.ini", L"/ini=sub/../Work"}) {
        HANDLE again = program.Start(same);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(ExitCodeWithin(again), 0u) << test::Utf8(same);
    }
    EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    // Another settings file is another instance.
    HANDLE plain = program.Start(L"");
    ASSERT_NE(plain, nullptr);
    HWND plainWindow = WaitForWindow(L"Tandrel Unicode");
    ASSERT_NE(plainWindow, nullptr);
    EXPECT_EQ(WaitForSingleObject(plain, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    PostMessageW(firstWindow, WM_CLOSE, 0, 0);
    PostMessageW(plainWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodeWithin(first), 0u);
    EXPECT_EQ(ExitCodeWithin(plain), 0u);
}

TEST(StartupTest, ASettingsNameWithSlashesIsSavedAndFound) {
    ProgramCopy program;
    CreateDirectoryW((program.Dir() / L"conf").c_str(), nullptr);
    const std::wstring file = program.Dir() / L"conf\\x.ini";
    HANDLE process = program.Start(L"/ini=conf/x");
    ASSERT_NE(process, nullptr);
    HWND window = WaitForWindow(L"Tandrel Unicode - " + file);
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodeWithin(process), 0u);
    EXPECT_EQ(test::ReadBytes(file).substr(0, 2), "\xFF\xFE");
    EXPECT_NE(test::ReadUtf16File(file).find(L"IniVersion="), std::wstring::npos);
}

// Starts a program that has no settings yet and answers its first-run
// question with the button.
HANDLE StartAndAnswerFirstRun(ProgramCopy& program, int button) {
    HANDLE process = program.Start(L"");
    HWND box = process ? WaitForBox(L"Tandrel Unicode") : nullptr;
    if (!box) return nullptr;
    EXPECT_NE(BoxText(box).find(L"Tandrel Unicode をご利用いただき、ありがとうございます。"), std::wstring::npos);
    PostMessageW(box, WM_COMMAND, button, 0);
    return process;
}

// Closes the program's plain-titled main window and expects a clean end.
void CloseMainWindow(HANDLE process) {
    HWND window = WaitForWindow(L"Tandrel Unicode");
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodeWithin(process), 0u);
}

TEST(StartupTest, FirstRunQuestionCancelledEndsWithoutWriting) {
    ProgramCopy program(false);
    HANDLE process = StartAndAnswerFirstRun(program, IDCANCEL);
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(ExitCodeWithin(process), 0u);
    EXPECT_FALSE(test::FileExists(program.Dir() / L"Tandrel.ini"));
}

TEST(StartupTest, FirstRunAcceptedStartsAndSavesAUtf16SettingsFile) {
    ProgramCopy program(false);
    HANDLE process = StartAndAnswerFirstRun(program, IDOK);
    ASSERT_NE(process, nullptr);
    CloseMainWindow(process);

    const std::wstring ini = test::ReadUtf16File(program.Dir() / L"Tandrel.ini");
    EXPECT_NE(ini.find(L"[Save]\r\nSaveRegistory=0"), std::wstring::npos) << test::Utf8(ini);
    EXPECT_NE(ini.find(L"IniVersion=" + std::wstring(test::kProductVersion)), std::wstring::npos) << test::Utf8(ini);
    EXPECT_NE(ini.find(L"ProjectName=デフォルト"), std::wstring::npos);
    EXPECT_NE(ini.find(L"ProjectCount=32"), std::wstring::npos);
}

TEST(StartupTest, AnsiSettingsFileIsConvertedWithABackupCopy) {
    ProgramCopy program(false);
    // An older version's file in the Japanese code page: project 0 "仕事".
    const std::string ansi =
        "[Save]\r\nSaveRegistory=0\r\n[Options]\r\nProjectName=\x8e\x64\x8e\x96\r\nProjectCount=2\r\n"
        "ListCount=1\r\n[Define 0]\r\nName=\x95\x5c\r\nMaster=C:\\m\r\n";
    ASSERT_TRUE(test::WriteBytes(program.Dir() / L"Tandrel.ini", ansi));

    HANDLE process = program.Start(L"");
    ASSERT_NE(process, nullptr);
    HWND box = WaitForBox(L"INI ファイルのオープン");
    ASSERT_NE(box, nullptr);
    const std::wstring text = BoxText(box);
    EXPECT_NE(text.find(L"INI ファイルを変換しました。"), std::wstring::npos);
    EXPECT_NE(text.find(program.Dir() / L"Tandrel.ini.20"), std::wstring::npos) << test::Utf8(text);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    CloseMainWindow(process);

    const std::wstring converted = test::ReadUtf16File(program.Dir() / L"Tandrel.ini");
    EXPECT_NE(converted.find(L"ProjectName=仕事"), std::wstring::npos) << test::Utf8(converted);
    EXPECT_NE(converted.find(L"Name=表"), std::wstring::npos);
    EXPECT_NE(converted.find(L"Master=C:\\m"), std::wstring::npos);
    // The old bytes are kept in the dated copy.
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((program.Dir() / L"Tandrel.ini.*.bak").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    EXPECT_EQ(test::ReadBytes(program.Dir() / found.cFileName), ansi);
}

TEST(StartupTest, AutoSwitchMirrorsTheAutomaticSettingsAndEnds) {
    TempDir data;
    const std::wstring master = data / L"マスター";
    const std::wstring backup = data / L"バックアップ";
    CreateDirectoryW(master.c_str(), nullptr);
    CreateDirectoryW((master + L"\\sub").c_str(), nullptr);
    CreateDirectoryW(backup.c_str(), nullptr);
    ASSERT_TRUE(test::WriteBytes(master + L"\\a.txt", "new"));
    ASSERT_TRUE(test::WriteBytes(master + L"\\sub\\b.txt", "bb"));
    ASSERT_TRUE(test::WriteBytes(backup + L"\\gone.txt", "old"));
    ProgramCopy program(true, L"[Options]\r\nListCount=2\r\n[Define 0]\r\nName=写真\r\nMaster=" + master +
                                  L"\r\nBackup=" + backup +
                                  L"\r\n[Define 1]\r\nName=手動のみ\r\nAutoExec=0\r\nMaster=C:\\nowhere\r\n");

    HANDLE process = program.Start(L"/auto");
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(ExitCodeWithin(process), 0u);

    EXPECT_EQ(test::ReadBytes(backup + L"\\a.txt"), "new");
    EXPECT_EQ(test::ReadBytes(backup + L"\\sub\\b.txt"), "bb");
    EXPECT_FALSE(test::FileExists(backup + L"\\gone.txt"));
    const std::wstring ini = test::ReadUtf16File(program.Dir() / L"Tandrel.ini");
    const size_t first = ini.find(L"[Define 0]");
    const size_t second = ini.find(L"[Define 1]");
    ASSERT_NE(first, std::wstring::npos);
    ASSERT_NE(second, std::wstring::npos);
    const std::wstring define0 = ini.substr(first, second > first ? second - first : std::wstring::npos);
    EXPECT_NE(define0.find(L"Errors=0"), std::wstring::npos) << test::Utf8(define0);
    EXPECT_EQ(define0.find(L"LastExec=0\r\n"), std::wstring::npos) << test::Utf8(define0);
    // The setting outside automatic runs was not touched.
    EXPECT_NE(ini.find(L"Errors=-1"), std::wstring::npos);
}

TEST(StartupTest, MinimisedShortcutStartsInTheTrayAndANormalStartShows) {
    ProgramCopy program;
    HANDLE tray = program.Start(L"", SW_SHOWMINNOACTIVE);
    ASSERT_NE(tray, nullptr);
    HWND hidden = WaitForWindow(L"Tandrel Unicode");
    ASSERT_NE(hidden, nullptr);
    // The start-up is over once the program waits for input and its window
    // has answered a message: a window to be shown would be visible by then.
    EXPECT_EQ(WaitForInputIdle(tray, test::kPatience), 0u);
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutW(hidden, WM_NULL, 0, 0, SMTO_NORMAL, test::kPatience, &answer));
    EXPECT_FALSE(IsWindowVisible(hidden));
    EXPECT_FALSE(IsIconic(hidden));
    PostMessageW(hidden, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodeWithin(tray), 0u);

    HANDLE normal = program.Start(L"", SW_SHOWNORMAL);
    ASSERT_NE(normal, nullptr);
    HWND shown = WaitForWindow(L"Tandrel Unicode");
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(WaitVisible(shown));
    EXPECT_FALSE(IsIconic(shown));
    PostMessageW(shown, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodeWithin(normal), 0u);
}

// The view and its two lists inside the main window.
struct Panes {
    HWND view = nullptr, setup = nullptr, report = nullptr;
};
Panes PanesOf(HWND frame) {
    Panes p;
    p.view = FindWindowExW(frame, nullptr, L"TandrelView", nullptr);
    p.setup = FindWindowExW(p.view, nullptr, L"SysListView32", nullptr);
    p.report = FindWindowExW(p.view, p.setup, L"SysListView32", nullptr);
    return p;
}

TEST(StartupTest, PlacementDividerAndColumnsSurviveARestart) {
    ProgramCopy program(true, L"[Options]\r\nListCount=1\r\nDivideY=120\r\n[Define 0]\r\nName=A\r\n");
    HANDLE first = program.Start(L"", SW_SHOWNORMAL);
    HWND window = WaitForWindow(L"Tandrel Unicode");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitVisible(window));
    SetWindowPos(window, nullptr, 50, 60, 720, 560, SWP_NOZORDER);
    Panes panes = PanesOf(window);
    ASSERT_NE(panes.report, nullptr);
    // The divider dragged with the mouse, a column widened.
    PostMessageW(panes.view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 122));
    PostMessageW(panes.view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 200));
    PostMessageW(panes.view, WM_LBUTTONUP, 0, MAKELPARAM(20, 200));
    SendMessageW(panes.setup, LVM_SETCOLUMNWIDTH, 1, 173);
    SendMessageW(panes.report, LVM_SETCOLUMNWIDTH, 1, 291);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    // Posted after the drag, so handled after it.
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(ExitCodeWithin(first), 0u);

    HANDLE second = program.Start(L"", SW_SHOWNORMAL);
    window = WaitForWindow(L"Tandrel Unicode");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitVisible(window));
    RECT r{};
    GetWindowRect(window, &r);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.top, 60);
    EXPECT_EQ(r.right - r.left, 720);
    EXPECT_EQ(r.bottom - r.top, 560);
    panes = PanesOf(window);
    RECT list{};
    GetWindowRect(panes.setup, &list);
    EXPECT_EQ(list.bottom - list.top, 198);
    EXPECT_EQ(SendMessageW(panes.setup, LVM_GETCOLUMNWIDTH, 1, 0), 173);
    EXPECT_EQ(SendMessageW(panes.report, LVM_GETCOLUMNWIDTH, 1, 0), 291);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodeWithin(second), 0u);
}

// Settings text of one automatic folder setting.
std::wstring AutoSetting(int index, const std::wstring& master, const std::wstring& backup,
                         const std::wstring& more = L"") {
    return L"[Define " + std::to_wstring(index) + L"]\r\nName=S" + std::to_wstring(index) + L"\r\nMaster=" + master +
           L"\r\nBackup=" + backup + L"\r\n" + more;
}

// Long (fifty program starts): run by its own CTest test "autorun", not
// with the rest of the window tests.
TEST(AutoRunStress, DISABLED_EveryAutomaticRunEndsByItself) {
    TempDir data;
    const std::wstring master = data / L"m";
    CreateDirectoryW(master.c_str(), nullptr);
    ASSERT_TRUE(test::WriteBytes(master + L"\\a.txt", "a"));
    ProgramCopy program(true, L"[Options]\r\nListCount=1\r\n" + AutoSetting(0, master, data / L"b"));

    // The close of a finished run must never be lost to the window thread.
    constexpr int kRuns = 50;
    const DWORD began = GetTickCount();
    for (int run = 0; run < kRuns; ++run) {
        HANDLE process = program.Start(L"/auto");
        ASSERT_NE(process, nullptr);
        // A hang fails the run instead of holding up the suite.
        const DWORD code = ExitCodeWithin(process);
        ASSERT_NE(code, static_cast<DWORD>(STILL_ACTIVE)) << "run " << run << " did not end";
        ASSERT_EQ(code, 0u) << "run " << run;
    }
    EXPECT_EQ(test::ReadBytes(data / L"b\\a.txt"), "a");
    std::printf("%d automatic runs in %lu ms\n", kRuns, GetTickCount() - began);
}

TEST(StartupTest, ExitCodeOfAnAutomaticRunTellsHowItWent) {
    TempDir data;
    const std::wstring master = data / L"m", held = data / L"held";
    for (const std::wstring& dir : {master, held, held + L"\\b"}) CreateDirectoryW(dir.c_str(), nullptr);
    ASSERT_TRUE(test::WriteBytes(master + L"\\a.txt", "a"));
    ASSERT_TRUE(test::WriteBytes(held + L"\\x.txt", "newer!"));
    const std::wstring missing = data / L"none";
    const struct {
        const wchar_t* what;
        std::wstring settings;
        DWORD code;
    } cases[] = {
        {L"fine", AutoSetting(0, master, data / L"b1"), 0},
        {L"skipped", AutoSetting(0, master, data / L"b2") + AutoSetting(1, missing, data / L"b3", L"SkipIfFolderNotExist=1\r\n"), 1},
        {L"errors", AutoSetting(0, held, held + L"\\b", L"ErrorLeave=1\r\n") + AutoSetting(1, missing, data / L"b4", L"SkipIfFolderNotExist=1\r\n"), 2},
        {L"aborted", AutoSetting(0, missing, data / L"b5"), 3},
    };
    // The copy into held\b\x.txt fails while the file is held.
    ASSERT_TRUE(test::WriteBytes(held + L"\\b\\x.txt", "old"));
    test::HeldFile holder(held + L"\\b\\x.txt");
    for (const auto& c : cases) {
        const int count = c.settings.find(L"[Define 1]") == std::wstring::npos ? 1 : 2;
        // Unattended: no box waits for anyone, the program ends on errors too.
        ProgramCopy program(true, L"[Options]\r\nAutoExitWhenError=1\r\nListCount=" + std::to_wstring(count) + L"\r\n" +
                                      c.settings);
        HANDLE process = program.Start(L"/auto");
        ASSERT_NE(process, nullptr);
        EXPECT_EQ(ExitCodeWithin(process), c.code) << test::Utf8(c.what);
    }
}

TEST(StartupTest, StartSwitchGivesTheAfterCompletionChoiceBackWhenItsRunEnds) {
    TempDir data;
    const std::wstring master = data / L"m";
    CreateDirectoryW(master.c_str(), nullptr);
    ASSERT_TRUE(test::WriteBytes(master + L"\\a.txt", "a"));
    ProgramCopy program(true, L"[Options]\r\nListCount=1\r\n" + AutoSetting(0, master, data / L"b"));
    HANDLE process = program.Start(L"/start");
    ASSERT_NE(process, nullptr);
    // The program's own window once its control bar is there.
    HWND window = nullptr, list = nullptr;
    test::WaitUntil([&] {
        window = FindWindowW(L"TandrelMainFrame", L"Tandrel Unicode");
        DWORD owner = 0;
        if (window) GetWindowThreadProcessId(window, &owner);
        if (window && owner == GetProcessId(process)) list = FindControl(window, IDC_AFTER_LIST);
        return list != nullptr;
    });
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(test::WaitUntil([&] { return IsWindowEnabled(list) && test::FileExists(data / L"b\\a.txt"); }));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodeWithin(process), 0u);
}

TEST(StartupTest, AFailedAfterCompletionCommandHasNoFollowUpAndEndsWithCodeTwo) {
    TempDir data;
    const std::wstring master = data / L"m", log = data / L"run.log";
    CreateDirectoryW(master.c_str(), nullptr);
    ASSERT_TRUE(test::WriteBytes(master + L"\\a.txt", "a"));
    // A global command that fails, whose follow-up is the end of the program.
    const std::wstring options = L"[Options]\r\nListCount=1\r\nOutputLog=1\r\nLogFileName=" + log +
                                 L"\r\nExecToolCount=1\r\nExecToolName0=終了前\r\nExecToolPath0=cmd\r\n"
                                 L"ExecToolParam0=/c exit 1\r\nExecToolWindow0=3\r\nExecToolAction0=2\r\n"
                                 L"ExecToolVisible0=1\r\n";
    const std::wstring failure = L"更新終了後のコマンドが失敗しました: 終了前 コマンドがエラーを返しました(戻り値 1)。";
    {
        // Someone may be there: the program stays and says which command failed and how.
        ProgramCopy program(true, options + AutoSetting(0, master, data / L"b1"));
        HANDLE process = program.Start(L"/command=1");
        ASSERT_NE(process, nullptr);
        HWND window = test::WaitForWindowOf(process);
        ASSERT_NE(window, nullptr);
        HWND status = FindControl(window, IDW_STATUS_BAR);
        EXPECT_TRUE(test::WaitUntil([&] { return test::WindowText(status).rfind(failure, 0) == 0; }))
            << test::Utf8(test::WindowText(status));
        EXPECT_EQ(WaitForSingleObject(process, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(window, WM_COMMAND, ID_EDIT_COPY, 0, SMTO_NORMAL, test::kPatience, &answer);
        EXPECT_NE(test::ClipboardText().find(L"エラー\t" + failure + L"\t"), std::wstring::npos)
            << test::Utf8(test::ClipboardText());
        EXPECT_NE(test::ReadBytes(log).find(test::Utf8(failure)), std::string::npos) << test::ReadBytes(log);
        EXPECT_EQ(test::ReadBytes(data / L"b1\\a.txt"), "a");
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(ExitCodeWithin(process), 2u);
    }
    {
        // Nobody there, the program to end on errors too: it ends, with 2.
        ProgramCopy program(true, options + L"AutoExitWhenError=1\r\n" + AutoSetting(0, master, data / L"b2"));
        HANDLE process = program.Start(L"/command=1");
        ASSERT_NE(process, nullptr);
        EXPECT_EQ(ExitCodeWithin(process), 2u);
        EXPECT_EQ(test::ReadBytes(data / L"b2\\a.txt"), "a");
    }
}

// Whether the project editor's button is enabled, once it is as expected
// (the command states follow the program's state when it is idle).
bool ProjectEditorOffered(HWND window, bool expected) {
    // Shown only after its first update of the command states.
    WaitVisible(window);
    const auto offered = [window] { return IsWindowEnabled(FindControl(window, IDC_PROJECT_EDIT)) != FALSE; };
    test::WaitUntil([&] { return offered() == expected; });
    return offered();
}

// Three folder settings of project 0 and a second project.
std::wstring ThreeSettings() {
    std::wstring text = L"[Options]\r\nIniVersion=0.400\r\nProjectCount=2\r\nProjectName=仕事\r\nListCount=3\r\n"
                        L"IgnoreSystemFolderNames=RECYCLER\r\nExecToolCount=1\r\nExecToolName0=全体\r\n"
                        L"ExecToolPath0=c0.exe\r\n[Project\\001\\]\r\nProjectName=趣味\r\n";
    for (int i = 0; i < 3; ++i)
        text += L"[Define " + std::to_wstring(i) + L"]\r\nName=設定" + std::to_wstring(i) + L"\r\nMaster=C:\\m" +
                std::to_wstring(i) + L"\r\n";
    return text;
}

TEST(StartupTest, ASettingsFileHeldAtStartIsToldOnceAndNeverWrittenOver) {
    ProgramCopy program(true, ThreeSettings());
    const std::wstring ini = program.Dir() / L"Tandrel.ini";
    const std::string stored = test::ReadBytes(ini);
    HANDLE process = nullptr;
    HWND box = nullptr;
    {
        // Another program (a sync client, a virus scanner) holds it while
        // the program starts, and lets go a little later.
        test::HeldFile held(ini);
        process = program.Start(L"");
        ASSERT_NE(process, nullptr);
        box = WaitForBox(L"INI ファイルのオープン");
        ASSERT_NE(box, nullptr);
        const std::wstring text = BoxText(box);
        EXPECT_NE(text.find(L"INI ファイルを読み込めませんでした。"), std::wstring::npos) << test::Utf8(text);
        EXPECT_NE(text.find(L"変更は保存されません"), std::wstring::npos) << test::Utf8(text);
        EXPECT_NE(text.find(L"ファイル名: " + ini), std::wstring::npos) << test::Utf8(text);
        EXPECT_EQ(FindWindowW(L"#32770", L"Tandrel Unicode"), nullptr);  // no first-run question
    }
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    HWND window = WaitForWindow(L"Tandrel Unicode");
    ASSERT_NE(window, nullptr);
    // The project editor is not offered: it would write a list never read.
    EXPECT_FALSE(ProjectEditorOffered(window, false));
    // The file is readable now; closing saves the view and the options.
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodeWithin(process), 0u);
    EXPECT_EQ(test::ReadBytes(ini), stored);
    // The next start reads it again.
    HANDLE again = program.Start(L"");
    ASSERT_NE(again, nullptr);
    window = WaitForWindow(L"Tandrel Unicode");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(ProjectEditorOffered(window, true));
    EXPECT_EQ(FindWindowW(L"#32770", L"INI ファイルのオープン"), nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodeWithin(again), 0u);
}

TEST(StartupTest, AnAutomaticRunOnAHeldSettingsFileEndsWithCodeThreeAndNoBox) {
    TempDir data;
    const std::wstring master = data / L"m";
    CreateDirectoryW(master.c_str(), nullptr);
    ASSERT_TRUE(test::WriteBytes(master + L"\\a.txt", "a"));
    ProgramCopy program(true, L"[Options]\r\nListCount=1\r\n[Define 0]\r\nName=S\r\nMaster=" + master +
                                  L"\r\nBackup=" + (data / L"b") + L"\r\n");
    const std::wstring ini = program.Dir() / L"Tandrel.ini";
    const std::string stored = test::ReadBytes(ini);
    {
        test::HeldFile held(ini);
        HANDLE process = program.Start(L"/auto");
        ASSERT_NE(process, nullptr);
        EXPECT_EQ(ExitCodeWithin(process), 3u);
    }
    EXPECT_FALSE(test::FileExists(data / L"b\\a.txt"));
    EXPECT_EQ(test::ReadBytes(ini), stored);
}

TEST(StartupTest, ALogoffStartKeepsTheStoredOptionsAndProjects) {
    ProgramCopy program(true, ThreeSettings());
    const std::wstring ini = program.Dir() / L"Tandrel.ini";
    HANDLE process = program.Start(L"/logoff");
    ASSERT_NE(process, nullptr);
    HWND window = WaitForWindow(L"Tandrel Unicode");
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(ProjectEditorOffered(window, false));

    // The options sheet opened from the menu and confirmed unchanged.
    PostMessageW(window, WM_COMMAND, ID_OPTIONS, 0);
    HWND sheet = WaitForBox(L"オプション");
    ASSERT_NE(sheet, nullptr);
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    EXPECT_TRUE(test::WaitGone(sheet));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodeWithin(process), 0u);
    // The view saved its own project's folder settings; the options and
    // the project list are the stored ones.
    const std::wstring saved = test::ReadUtf16File(ini);
    for (const wchar_t* kept : {L"IgnoreSystemFolderNames=RECYCLER\r\n", L"ExecToolCount=1\r\n",
                                L"ExecToolName0=全体\r\n", L"ProjectCount=2\r\n", L"ProjectName=仕事\r\n",
                                L"[Project\\001\\]\r\nProjectName=趣味\r\n", L"IniVersion=0.400\r\n"})
        EXPECT_NE(saved.find(kept), std::wstring::npos) << test::Utf8(kept) << " in\n" << test::Utf8(saved);
    EXPECT_EQ(saved.find(L"ActiveProject="), std::wstring::npos);
    EXPECT_EQ(saved.find(L"デフォルト"), std::wstring::npos);
}

TEST(StartupTest, ACurrentFileSavedAsUtf8KeepsEveryProject) {
    ProgramCopy program(false);
    std::wstring text = L"[Save]\r\nSaveRegistory=0\r\n[Options]\r\nIniVersion=0.400\r\nProjectCount=40\r\n"
                        L"ProjectName=仕事\r\nProject\\039\\ListCount=1\r\n[Project\\039\\]\r\nProjectName=四十番目\r\n"
                        L"[Project\\039\\Define 0]\r\nName=最後の設定\r\nMaster=C:\\m\r\n";
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), n, nullptr, nullptr);
    const std::wstring ini = program.Dir() / L"Tandrel.ini";
    ASSERT_TRUE(test::WriteBytes(ini, "\xEF\xBB\xBF" + utf8));

    HANDLE process = program.Start(L"");
    ASSERT_NE(process, nullptr);
    CloseMainWindow(process);
    EXPECT_EQ(test::ReadBytes(ini).substr(0, 2), "\xFF\xFE");
    const std::wstring saved = test::ReadUtf16File(ini);
    EXPECT_NE(saved.find(L"ProjectCount=40\r\n"), std::wstring::npos) << test::Utf8(saved);
    EXPECT_NE(saved.find(L"[Project\\039\\]\r\nProjectName=四十番目\r\n"), std::wstring::npos);
    EXPECT_NE(saved.find(L"[Project\\039\\Define 0]\r\nName=最後の設定\r\n"), std::wstring::npos);
    EXPECT_NE(saved.find(L"Project\\039\\ListCount=1\r\n"), std::wstring::npos);
}

TEST(StartupTest, TheSameSettingsFileByAnotherNameIsTheSameInstance) {
    ProgramCopy program;
    HANDLE plain = program.Start(L"");
    ASSERT_NE(plain, nullptr);
    HWND window = WaitForWindow(L"Tandrel Unicode");
    ASSERT_NE(window, nullptr);
    // Tandrel.ini beside the program, named.
    HANDLE named = program.Start(L"/ini=Tandrel");
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(ExitCodeWithin(named), 0u);
    // A scheduled run that cannot run beside it says so.
    HANDLE automatic = program.Start(L"/auto");
    ASSERT_NE(automatic, nullptr);
    EXPECT_EQ(ExitCodeWithin(automatic), 3u);
    EXPECT_EQ(WaitForSingleObject(plain, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCodeWithin(plain), 0u);
}

}  // namespace
}  // namespace tandrel
