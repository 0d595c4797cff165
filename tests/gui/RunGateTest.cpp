// Runs start only when they may: the program's own runs (the automatic
// start, a medium) wait while a dialog is open or a run is going, the
// worker's after-completion step keeps the run commands and the options
// closed, and dialogs that return during a run change nothing.
#include "MainWindowFixture.h"

#include <commctrl.h>
#include <dbt.h>

#include <atomic>
#include <functional>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "dialogs/DefineSheet.h"
#include "resource.h"
#include "ui/MediaDetection.h"

namespace tandrel::test {
namespace {

// What the system sends when a volume arrives on the drive.
void Arrive(HWND window, wchar_t drive) {
    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << (drive - L'A');
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
}

TEST_F(MainWindowTest, RunsAskedForWhileASheetIsOpenStartWhenItCloses) {
    TestDrive drive(L'F');
    drive.SetLabel(L"TANDRELGATE");
    Open(SettingsText(3, L"ExecIfDetectMediaVol=1\r\nVolume=tandrelgate\r\n"), [](AppState& o) {
        o.ExecIfDetectMedia = true;
        o.DetectMediaAction = 4;
    });
    View().dialogs.editSetting = [this](HWND owner, FolderSetting& setting, CommandList& commands, Rect&) {
        return EditFolderSetting(owner, options, setting, commands, false, TargetPrompts::Dialogs());
    };
    size_t startedWhileOpen = 99;
    bool optionsWhileOpen = true, exitWhileOpen = true;
    EXPECT_TRUE(DriveDialog(
        L"フォルダ設定", true,
        [&](HWND) {
            // Both reach the window inside the sheet's own message loop.
            SendMessageW(View().Handle(), WM_TIMER, CTandrelView::kAutoStartTimer, 0);
            Arrive(frame->Handle(), L'F');
            startedWhileOpen = started.size();
            // The tray icon's menu offers neither a second sheet nor the end.
            optionsWhileOpen = frame->QueryCommand(ID_OPTIONS, false).enabled;
            exitWhileOpen = frame->QueryCommand(ID_APP_EXIT, false).enabled;
        },
        [&] { Command(ID_SETTING_ADD); }));
    EXPECT_EQ(startedWhileOpen, 0u);
    EXPECT_FALSE(optionsWhileOpen);
    EXPECT_FALSE(exitWhileOpen);

    // The automatic start first, then, once it is over, the medium's run.
    ASSERT_TRUE(PumpUntil([&] { return !started.empty(); }));
    MirrorBatch& batch = *started[0];
    EXPECT_TRUE(batch.autoOnly);
    EXPECT_TRUE(batch.mayEndProgram);
    // The medium waits for the end of that run.
    Pump();
    EXPECT_EQ(started.size(), 1u);
    batch.running = false;
    ASSERT_TRUE(PumpUntil([&] { return started.size() == 2; }));
    EXPECT_FALSE(batch.autoOnly);
    EXPECT_FALSE(batch.testMode);
    EXPECT_FALSE(batch.startedAutomatically);
    // A medium's run never closes the program nor powers the machine off.
    EXPECT_FALSE(batch.mayEndProgram);
    const std::vector<FolderSetting>& settings = View().Settings();
    EXPECT_EQ(settings[0].runSelection, 1);
    EXPECT_EQ(settings[1].runSelection, 0);
    EXPECT_EQ(settings[2].runSelection, 0);
}

// Message boxes that stay open on the worker until the test lets them go.
class HeldBoxes {
public:
    HeldBoxes() {
        previous_ = SetMessageBoxHandler([this](HWND, const std::wstring&, const std::wstring& caption, UINT) {
            std::unique_lock lock(mutex_);
            caption_ = caption;
            open_ = true;
            changed_.wait(lock, [this] { return released_; });
            open_ = false;
            return IDOK;
        });
    }
    ~HeldBoxes() {
        Release();
        SetMessageBoxHandler(previous_);
    }
    bool Open() {
        std::lock_guard lock(mutex_);
        return open_;
    }
    std::wstring Caption() {
        std::lock_guard lock(mutex_);
        return caption_;
    }
    void Release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false, released_ = false;
    std::wstring caption_;
    MessageBoxHandler previous_;
};

TEST_F(MainWindowTest, RunCommandsWaitForTheWorkersAfterCompletionStep) {
    const std::wstring master = dir / L"m", backup = dir / L"b";
    CreateDirectoryW(master.c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(master + L"\\a.txt", "a"));
    Open(L"[Save]\r\nSaveRegistory=0\r\n[Options]\r\nListCount=1\r\n[Define 0]\r\nName=A\r\nMaster=" + master +
         L"\r\nBackup=" + backup + L"\r\n");
    View().startBatch = StartBatch;
    // The end of the run shows its box and waits for it.
    options.runMode = RunModeMessage;
    HeldBoxes boxes;
    Select({0});
    Command(ID_RUN_UPDATE);
    ASSERT_TRUE(PumpUntil([&] { return boxes.Open(); }));
    EXPECT_EQ(boxes.Caption(), L"バックアップ完了");
    EXPECT_TRUE(View().Finishing());

    for (UINT id : {ID_RUN_TEST, ID_RUN_UPDATE, ID_RUN_ALL_TEST, ID_RUN_ALL_UPDATE, ID_OPTIONS, ID_IMPORT, ID_APP_EXIT})
        EXPECT_FALSE(Enabled(id)) << id;
    // The window is usable meanwhile.
    EXPECT_TRUE(Enabled(ID_SETTING_ADD));
    EXPECT_FALSE(SendMessageW(frame->Toolbar(), TB_ISBUTTONENABLED, ID_RUN_ALL_UPDATE, 0));
    EXPECT_NE(frame->StatusText().find(L"メッセージ「バックアップ完了」の応答を待っています"), std::wstring::npos)
        << Utf8(frame->StatusText());
    // A run command that still arrives leaves the batch the worker reads alone.
    Command(ID_RUN_ALL_TEST);
    EXPECT_FALSE(View().Batch().autoOnly);
    EXPECT_FALSE(View().Batch().testMode);
    // Closing waits for the worker: the close button is off, and a close
    // from elsewhere says why nothing happens.
    const auto closeOff = [this] {
        return (GetMenuState(GetSystemMenu(frame->Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) != 0;
    };
    EXPECT_TRUE(closeOff());
    PostMessageW(frame->Handle(), WM_CLOSE, 0, 0);
    Pump();
    EXPECT_TRUE(IsWindow(frame->Handle()));
    EXPECT_EQ(frame->StatusText(), L"更新終了後の処理(メッセージまたはコマンド)が終わるまで閉じられません");

    boxes.Release();
    ASSERT_TRUE(PumpUntil([&] { return !View().Busy(); }));
    JoinBatch(View().Batch());
    Pump();
    for (UINT id : {ID_RUN_TEST, ID_RUN_ALL_UPDATE, ID_OPTIONS, ID_APP_EXIT}) EXPECT_TRUE(Enabled(id)) << id;
    EXPECT_FALSE(closeOff());
    // The toolbar follows without any other event.
    EXPECT_TRUE(SendMessageW(frame->Toolbar(), TB_ISBUTTONENABLED, ID_RUN_ALL_UPDATE, 0));
    EXPECT_EQ(frame->StatusText().find(L"応答を待っています"), std::wstring::npos);
    EXPECT_TRUE(FileExists(backup + L"\\a.txt"));
}

TEST_F(MainWindowTest, ACloseWhileTheWorkerLeavesHappensOnceItHasLeft) {
    Open(SettingsText());
    Command(ID_RUN_ALL_UPDATE);
    ASSERT_EQ(started.size(), 1u);
    MirrorBatch& batch = *started[0];
    // The worker's last steps, as it takes them: the run is over, the close
    // button comes back on, and only then is the worker gone.
    batch.workerActive = true;
    OnWorker([&] { batch.host->EnableClose(false); });
    batch.running = false;
    OnWorker([&] { batch.host->EnableClose(true); });
    PostMessageW(frame->Handle(), WM_CLOSE, 0, 0);
    Pump();
    EXPECT_TRUE(IsWindow(frame->Handle()));
    batch.workerActive = false;
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(frame->Handle()); }));
}

TEST_F(MainWindowTest, DialogsThatReturnAfterARunBeganChangeNothing) {
    Open(SettingsText());
    const std::wstring stored = ReadUtf16File(iniPath);
    View().dialogs.editSetting = [this](HWND, FolderSetting& setting, CommandList&, Rect&) {
        setting.Name = L"変更";
        // As if a run had started while the sheet was open.
        View().Batch().running = true;
        return true;
    };
    MessageRecorder boxes;
    Command(ID_SETTING_ADD);
    View().Batch().running = false;
    Select({0});
    Command(ID_SETTING_EDIT);
    View().Batch().running = false;
    EXPECT_EQ(Column(SetupList(), 1), (std::vector<std::wstring>{L"A", L"B", L"C"}));
    EXPECT_EQ(ReadUtf16File(iniPath), stored);
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    for (const MessageRecorder::Box& box : boxes.Boxes()) {
        EXPECT_EQ(box.text, L"バックアップ実行中は変更できません。");
        EXPECT_EQ(box.caption, L"フォルダ設定");
    }
}

TEST_F(MainWindowTest, DeleteConfirmationKeepsTheFileOnAStrayEnter) {
    Open(SettingsText());
    std::atomic<bool> answered{false};
    DeleteChoice choice = DeleteChoice::Delete;
    std::atomic<DWORD> workerThread{0};
    std::thread worker([&] {
        workerThread = GetCurrentThreadId();
        choice = View().Host().ConfirmDelete({L"C:\\b\\x.txt", L"2024/01/01 00:00:00", 10});
        answered = true;
    });
    HWND dialog = nullptr;
    // Whatever fails below, the dialog is closed and the worker joined.
    struct AtExit {
        std::function<void()> run;
        ~AtExit() { run(); }
    } joiner{[&] {
        if (!answered && dialog) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        PumpUntil([&] { return answered.load(); });
        worker.join();
    }};
    ASSERT_TRUE(PumpUntil([&] {
        dialog = FindWindowW(L"#32770", L"ファイル削除確認");
        return dialog && IsWindowVisible(dialog);
    }));
    std::vector<std::wstring> buttons;
    for (int id : {IDC_DELETE_THIS, IDC_DELETE_ALL, IDC_DELETE_SKIP, IDC_DELETE_ABORT}) {
        wchar_t text[64] = {};
        GetDlgItemTextW(dialog, id, text, 64);
        buttons.push_back(text);
    }
    EXPECT_EQ(buttons, (std::vector<std::wstring>{L"このファイルを削除(&D)", L"以降すべて削除(&L)", L"スキップ(&S)", L"中止(&A)"}));
    EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), IDC_DELETE_SKIP);
    // Enter where the keyboard is: the dialog's own loop takes it.
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetGUIThreadInfo(workerThread, &info));
    ASSERT_NE(info.hwndFocus, nullptr);
    PostMessageW(info.hwndFocus, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(info.hwndFocus, WM_KEYUP, VK_RETURN, 0);
    ASSERT_TRUE(PumpUntil([&] { return answered.load(); }));
    EXPECT_EQ(choice, DeleteChoice::Skip);
}

TEST_F(MainWindowTest, ADriveThatDoesNotAnswerHoldsBackNoOtherAndIsGivenUp) {
    TestDrive medium(L'E');
    medium.SetLabel(L"TANDRELHANG");
    const std::wstring master = dir / L"m", backup = dir / L"b";
    CreateDirectoryW(master.c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(master + L"\\a.txt", "a"));
    Open(L"[Save]\r\nSaveRegistory=0\r\n[Options]\r\nListCount=1\r\n[Define 0]\r\nName=A\r\nMaster=" + master +
             L"\r\nBackup=" + backup + L"\r\nExecIfDetectMediaVol=1\r\nVolume=TANDRELHANG\r\n",
         [](AppState& o) {
             o.ExecIfDetectMedia = true;
             o.DetectMediaAction = 4;
         });
    View().startBatch = StartBatch;
    // G: never answers until the test ends; its reads outlive the window.
    std::shared_ptr<void> hold(CreateEventW(nullptr, TRUE, FALSE, nullptr), CloseHandle);
    View().readLabels = [hold](DWORD drives) {
        if (drives & (1u << (L'G' - L'A'))) WaitForSingleObject(hold.get(), INFINITE);
        return ReadArrivedLabels(drives);
    };
    struct Release {
        HANDLE event;
        ~Release() { SetEvent(event); }
    } release{hold.get()};

    const auto searching = [this] { return frame->StatusText().rfind(L"メディア検出中…", 0) == 0; };
    Arrive(frame->Handle(), L'G');
    EXPECT_TRUE(searching()) << Utf8(frame->StatusText());
    // It holds back neither detection nor another drive.
    Arrive(frame->Handle(), L'E');
    EXPECT_TRUE(PumpUntil([&] { return FileExists(backup + L"\\a.txt"); }));
    ASSERT_TRUE(PumpUntil([&] { return !View().Busy(); }));
    // Given up, it may arrive again; given up again, the status line goes
    // back to the last run's end, not to the search or the idle title.
    EXPECT_TRUE(PumpUntil([&] {
        Arrive(frame->Handle(), L'G');
        return searching();
    }));
    EXPECT_TRUE(PumpUntil([&] { return frame->StatusText().rfind(L"終了しました", 0) == 0; }))
        << Utf8(frame->StatusText());
    EXPECT_EQ(View().Settings()[0].Errors, 0);
}

TEST(MediaTextTest, TheQuestionListsTenSettingsAndMarksTheRest) {
    std::vector<std::wstring> names;
    for (int i = 1; i <= 12; ++i) names.push_back(L"設定" + std::to_wstring(i));
    const std::wstring text = MediaQuestion(false, {{L'E', L"写真"}, {L'F', L"控え"}}, names);
    EXPECT_EQ(text.rfind(L"メディアが検出されました。\r\nボリュームラベルが一致したフォルダ設定を対象に [更新] を実行します。", 0), 0u) << Utf8(text);
    EXPECT_NE(text.find(L"【ボリュームラベル】\r\n写真\r\n控え\r\n\r\n【フォルダ設定】\r\n設定1\r\n"), std::wstring::npos);
    EXPECT_NE(text.find(L"\r\n設定10\r\n(以下省略)"), std::wstring::npos);
    EXPECT_EQ(text.find(L"設定11"), std::wstring::npos);
    EXPECT_EQ(MediaQuestion(true, {{L'E', L"X"}}, {L"A"}).find(L"(以下省略)"), std::wstring::npos);
}

TEST(MediaTextTest, ADriveWaitingOrBeingHandledArrivesOnceAndArrivalsAMomentApartAreOne) {
    constexpr DWORD e = 1u << 4, f = 1u << 5;
    MediaArrivals arrivals;
    EXPECT_TRUE(arrivals.Arrive(e, 0));
    EXPECT_FALSE(arrivals.Arrive(e, 0));
    EXPECT_EQ(arrivals.StartReading(0), e);
    // A second drive is read beside the first.
    EXPECT_TRUE(arrivals.Arrive(f, 100));
    EXPECT_EQ(arrivals.StartReading(100), f);
    arrivals.Read(e, {{L'E', L"DISK"}});
    // Handled together once the second read is in and arrivals settled.
    EXPECT_FALSE(arrivals.Ready(1000));
    arrivals.Read(f, {{L'F', L"disk"}, {L'F', L"OTHER"}});
    EXPECT_FALSE(arrivals.Ready(100 + kArrivalsSettleMs - 1));
    EXPECT_TRUE(arrivals.Ready(100 + kArrivalsSettleMs));
    // The same label on another drive is one volume.
    const std::vector<ArrivedVolume> volumes = arrivals.Take();
    ASSERT_EQ(volumes.size(), 2u);
    EXPECT_EQ(volumes[0].drive, L'E');
    EXPECT_EQ(volumes[1].label, L"OTHER");
    // While its question is open, the drive counts as there already.
    EXPECT_FALSE(arrivals.Arrive(e, 5000));
    arrivals.Handled();
    EXPECT_FALSE(arrivals.Waiting());
    EXPECT_TRUE(arrivals.Arrive(e, 6000));
}

TEST(MediaTextTest, ADriveThatDoesNotAnswerIsNotWaitedForAndIsGivenUp) {
    constexpr DWORD e = 1u << 4, g = 1u << 6;
    MediaArrivals arrivals;
    arrivals.Arrive(g, 0);
    EXPECT_EQ(arrivals.StartReading(0), g);
    arrivals.Arrive(e, 10);
    EXPECT_EQ(arrivals.StartReading(10), e);
    arrivals.Read(e, {{L'E', L"DISK"}});
    EXPECT_TRUE(arrivals.Ready(10 + kArrivalsSettleMs));
    EXPECT_EQ(arrivals.Take().size(), 1u);
    arrivals.Handled();
    EXPECT_TRUE(arrivals.Waiting());
    EXPECT_FALSE(arrivals.GiveUpSlowReads(kLabelReadLimitMs - 1));
    EXPECT_TRUE(arrivals.GiveUpSlowReads(kLabelReadLimitMs));
    EXPECT_FALSE(arrivals.Waiting());
    // Its answer after all comes too late to count.
    arrivals.Read(g, {{L'G', L"LATE"}});
    EXPECT_FALSE(arrivals.Ready(kLabelReadLimitMs * 2));
    // Arriving again, it is read again.
    EXPECT_TRUE(arrivals.Arrive(g, kLabelReadLimitMs * 2));
    EXPECT_EQ(arrivals.StartReading(kLabelReadLimitMs * 2), g);
}

}  // namespace
}  // namespace tandrel::test
