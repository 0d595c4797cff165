#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "dialogs/ImportExport.h"
#include "dialogs/ProjectList.h"
#include "dialogs/ProjectListDlg.h"
#include "platform/Strings.h"
#include "resource.h"
#include "settings/IniFile.h"
#include "settings/SettingsStore.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

// A settings file in a fresh folder holding projects given as names and
// numbers of folder settings; settings are named "<project>-<n>".
struct StoredProjects {
    test::TempDir dir;
    AppState options;

    explicit StoredProjects(const std::vector<std::pair<std::wstring, int>>& projects) {
        options.Reset(L"1.000");
        options.iniPath = options.oldIniPath = dir / L"Tandrel.ini";
        options.exeDirectory = dir.Path() + L"\\";
        options.registryKey = L"Software\\TandrelTest\\ProjectList";
        options.projects.ClearAll();
        for (const auto& [name, count] : projects) {
            const int p = options.projects.Count();
            options.projects.Add(name);
            std::vector<FolderSetting> settings(static_cast<size_t>(count));
            CommandList commands;
            for (int i = 0; i < count; ++i) {
                settings[static_cast<size_t>(i)].Reset(name + L"-" + std::to_wstring(i));
                CommandEntry before;
                before.name = name + L" command";
                settings[static_cast<size_t>(i)].commandIds[0] = commands.Store(before);
            }
            EXPECT_TRUE(SaveProjectSettings(options, settings, commands, p, -1, PartAll));
        }
        options.ActiveProject = 0;
        EXPECT_TRUE(SaveOptions(options, GroupProjects));
        options.ActiveProject = -1;
        LoadAtStart(options);
    }

    // The names of project p's stored settings, each with its command.
    std::vector<std::wstring> Settings(int p) {
        std::vector<FolderSetting> settings;
        CommandList commands;
        LoadProjectSettings(options, settings, commands, p);
        std::vector<std::wstring> names;
        for (const FolderSetting& s : settings) {
            CommandEntry entry;
            commands.CopyInto(entry, s.commandIds[0], 0);
            names.push_back(s.Name + L"/" + entry.name);
        }
        return names;
    }
    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        for (int p = 0; p < options.projects.Count(); ++p) names.push_back(options.projects.Name(p));
        return names;
    }
    bool HasText(const std::wstring& text) const {
        return test::ReadUtf16File(options.iniPath).find(text) != std::wstring::npos;
    }
};

std::wstring Order(const ProjectCollection& projects) {
    std::wstring order;
    for (int p = 0; p < projects.Count(); ++p) order += projects.Name(p);
    return order;
}

TEST(ProjectListTest, MovesKeepPackedLinesAndSelection) {
    struct Case {
        std::vector<int> selected;
        int step;
        const wchar_t* order;
        std::vector<int> rows;
    } cases[] = {
        {{0, 1}, -1, L"ABCDE", {0, 1}},       {{0, 2}, -1, L"ACBDE", {0, 1}},
        {{1, 3}, -1, L"BADCE", {0, 2}},       {{0, 1, 3}, -1, L"ABDCE", {0, 1, 2}},
        {{3, 4}, 1, L"ABCDE", {3, 4}},        {{2, 4}, 1, L"ABDCE", {3, 4}},
        {{0, 2, 3}, 1, L"BAECD", {1, 3, 4}},  {{4}, 1, L"ABCDE", {4}},
    };
    for (const Case& c : cases) {
        ProjectCollection projects;
        for (const wchar_t* name : {L"A", L"B", L"C", L"D", L"E"}) projects.Add(name);
        EXPECT_EQ(MoveProjects(projects, c.selected, c.step), c.rows) << c.order;
        EXPECT_EQ(Order(projects), c.order);
    }

    ProjectCollection projects;
    for (const wchar_t* name : {L"A", L"B", L"C", L"D"}) projects.Add(name);
    EXPECT_EQ(RemoveProjects(projects, {1, 2}), 1);
    EXPECT_EQ(Order(projects), L"AD");
    EXPECT_EQ(RemoveProjects(projects, {1}), 0);
    EXPECT_EQ(RemoveProjects(projects, {0}), 0);
    EXPECT_TRUE(projects.Empty());
}

TEST(ProjectListTest, CommitRenumbersAndRemovesStoredProjects) {
    StoredProjects store({{L"P1", 2}, {L"P2", 1}, {L"P3", 3}, {L"P4", 1}, {L"P5", 1}});
    store.options.ActiveProject = 4;

    // Deleting project 2 moves 3 to 5 up; nothing stays under the last number.
    EditedProjects edited = ReadProjectsForEditing(store.options);
    EXPECT_EQ(edited.storedCounts, (std::vector<int>{2, 1, 3, 1, 1}));
    RemoveProjects(edited.projects, {1, 4});
    ASSERT_TRUE(CommitProjectList(store.options, std::move(edited)));
    EXPECT_EQ(store.Names(), (std::vector<std::wstring>{L"P1", L"P3", L"P4"}));
    EXPECT_EQ(store.options.ActiveProject, 0);
    EXPECT_EQ(store.Settings(1), (std::vector<std::wstring>{L"P3-0/P3 command", L"P3-1/P3 command", L"P3-2/P3 command"}));
    EXPECT_EQ(store.Settings(2), (std::vector<std::wstring>{L"P4-0/P4 command"}));
    EXPECT_FALSE(store.HasText(L"[Project\\003\\"));
    EXPECT_FALSE(store.HasText(L"Project\\004\\"));
    EXPECT_FALSE(store.HasText(L"[Project\\002\\Define 1]")) << "old settings beyond the new count";

    // Clearing keeps the numbers and removes what the cleared project stored.
    store.options.ActiveProject = 2;
    edited = ReadProjectsForEditing(store.options);
    edited.projects.Clear(1);
    EXPECT_EQ(edited.projects.DisplayText(1, LoadText(IDS_PROJECT_DISPLAY)), L"2: ");
    ASSERT_TRUE(CommitProjectList(store.options, std::move(edited)));
    EXPECT_EQ(store.Names(), (std::vector<std::wstring>{L"P1", L"", L"P4"}));
    EXPECT_EQ(store.options.ActiveProject, 2);
    EXPECT_TRUE(store.Settings(1).empty());
    EXPECT_FALSE(store.HasText(L"Project\\001\\"));
    EXPECT_EQ(store.Settings(2), (std::vector<std::wstring>{L"P4-0/P4 command"}));

    // An emptied list comes back as the default project alone.
    edited = ReadProjectsForEditing(store.options);
    RemoveProjects(edited.projects, {0, 1, 2});
    ASSERT_TRUE(CommitProjectList(store.options, std::move(edited)));
    EXPECT_EQ(store.Names(), (std::vector<std::wstring>{L"デフォルト"}));
    EXPECT_TRUE(store.Settings(0).empty());
    EXPECT_FALSE(store.HasText(L"Project\\"));
    EXPECT_FALSE(store.HasText(L"[Define"));
    store.options.ActiveProject = -1;
    LoadAtStart(store.options);
    EXPECT_EQ(store.Names(), (std::vector<std::wstring>{L"デフォルト"}));
}

TEST(ProjectListTest, ExportThenImportWithQuestions) {
    StoredProjects store({{L"P1", 2}, {L"P2", 1}});
    const std::wstring file = store.dir / L"export.ini";
    std::vector<std::wstring> status;
    std::vector<ImportResult> results;
    int picks = 0;
    TransferHooks hooks;
    hooks.status = [&](const wchar_t* text) { status.push_back(text ? text : L"<idle>"); };
    // The view is reloaded before the closing box: count the boxes by then.
    const test::MessageRecorder* recorder = nullptr;
    size_t boxesAtReload = 0;
    hooks.imported = [&](ImportResult result) {
        results.push_back(result);
        boxesAtReload = recorder ? recorder->Boxes().size() : 0;
    };
    std::wstring pickFile = file;
    hooks.pickFile = [&](HWND, std::wstring& path, bool) {
        ++picks;
        path = pickFile;
        return true;
    };
    {
        test::MessageRecorder boxes;
        ASSERT_TRUE(ExportFolderSettings(nullptr, store.options, hooks));
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, L"フォルダ設定をエクスポートしました。");
        EXPECT_EQ(boxes.Boxes()[0].caption, L"エクスポート");
        EXPECT_EQ(status, (std::vector<std::wstring>{L"エクスポート中…", L"<idle>"}));
    }

    // Declining the first question changes nothing and picks no file.
    EditedProjects edited = ReadProjectsForEditing(store.options);
    RemoveProjects(edited.projects, {0});
    ASSERT_TRUE(CommitProjectList(store.options, std::move(edited)));
    store.options.useRegistry = true;
    picks = 0;
    {
        test::MessageRecorder boxes({IDNO});
        EXPECT_FALSE(ImportFolderSettings(nullptr, store.options, hooks));
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text,
                  L"インポートすると現在のフォルダ設定がすべて削除され、INI ファイルへ保存される設定に変更されますがよろしいですか？");
        EXPECT_EQ(boxes.Boxes()[0].flags & (MB_DEFBUTTON2 | MB_YESNO | MB_ICONQUESTION),
                  static_cast<UINT>(MB_DEFBUTTON2 | MB_YESNO | MB_ICONQUESTION));
        EXPECT_EQ(picks, 0);
    }
    store.options.useRegistry = false;

    // A file of a newer version is only taken on the user's word.
    store.options.programVersion = L"0.900";
    {
        status.clear();
        test::MessageRecorder boxes({IDYES, IDNO});
        EXPECT_FALSE(ImportFolderSettings(nullptr, store.options, hooks));
        ASSERT_EQ(boxes.Boxes().size(), 2u);
        EXPECT_EQ(boxes.Boxes()[0].text, L"インポートすると現在のフォルダ設定がすべて削除されますがよろしいですか？");
        EXPECT_NE(boxes.Boxes()[1].text.find(L"\r\n\r\n現在のバージョン: 0.900\r\nインポートする INI ファイルバージョン: 1.000"),
                  std::wstring::npos);
        EXPECT_EQ(store.Names(), (std::vector<std::wstring>{L"P2"}));
        EXPECT_EQ(status, (std::vector<std::wstring>{L"インポート中…", L"<idle>"}));
        EXPECT_TRUE(results.empty());
    }
    {
        test::MessageRecorder boxes({IDYES, IDYES});
        recorder = &boxes;
        EXPECT_TRUE(ImportFolderSettings(nullptr, store.options, hooks));
        recorder = nullptr;
        EXPECT_EQ(boxesAtReload, 2u);
        ASSERT_EQ(boxes.Boxes().size(), 3u);
        EXPECT_EQ(boxes.Boxes()[2].text, L"フォルダ設定をインポートしました。");
        EXPECT_EQ(boxes.Boxes()[2].caption, L"インポート");
        EXPECT_EQ(results, (std::vector<ImportResult>{ImportDone}));
        EXPECT_EQ(store.Names(), (std::vector<std::wstring>{L"P1", L"P2"}));
        EXPECT_EQ(store.Settings(0), (std::vector<std::wstring>{L"P1-0/P1 command", L"P1-1/P1 command"}));
        EXPECT_EQ(store.Settings(1), (std::vector<std::wstring>{L"P2-0/P2 command"}));
    }

    // A run that began while the file was chosen: nothing is imported.
    hooks.mayImport = [] { return false; };
    {
        const std::string before = test::ReadBytes(store.options.iniPath);
        test::MessageRecorder boxes({IDYES});
        results.clear();
        EXPECT_FALSE(ImportFolderSettings(nullptr, store.options, hooks));
        EXPECT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_TRUE(results.empty());
        EXPECT_EQ(test::ReadBytes(store.options.iniPath), before);
    }
    hooks.mayImport = {};

    // A file that cannot be read leaves the settings as they were.
    pickFile = store.dir / L"missing.ini";
    {
        test::MessageRecorder boxes({IDYES});
        EXPECT_FALSE(ImportFolderSettings(nullptr, store.options, hooks));
        ASSERT_EQ(boxes.Boxes().size(), 2u);
        EXPECT_EQ(boxes.Boxes()[1].text, L"インポートでエラーが発生しました。");
        EXPECT_EQ(boxes.Boxes()[1].caption, L"インポートエラー");
        EXPECT_EQ(results.back(), ImportFailed);
        EXPECT_EQ(store.Names(), (std::vector<std::wstring>{L"P1", L"P2"}));
    }

    // Nor does a file that is not a settings file, however readable.
    pickFile = store.dir / L"notes.txt";
    ASSERT_TRUE(test::WriteBytes(pickFile, "[Section]\r\nkey=value\r\n"));
    const std::string stored = test::ReadBytes(store.options.iniPath);
    {
        test::MessageRecorder boxes({IDYES});
        EXPECT_FALSE(ImportFolderSettings(nullptr, store.options, hooks));
        ASSERT_EQ(boxes.Boxes().size(), 2u);
        EXPECT_EQ(boxes.Boxes()[1].text, L"インポートでエラーが発生しました。");
        EXPECT_EQ(results.back(), ImportFailed);
        EXPECT_EQ(test::ReadBytes(store.options.iniPath), stored);
    }
}

TEST(ProjectListTest, AFailedCommitLeavesTheStoredProjects) {
    StoredProjects store({{L"P1", 2}, {L"P2", 1}, {L"P3", 1}});
    const std::string stored = test::ReadBytes(store.options.iniPath);
    EditedProjects edited = ReadProjectsForEditing(store.options);
    RemoveProjects(edited.projects, {0});
    ini::SetWriteFault([](const std::wstring&) { return static_cast<unsigned long>(ERROR_DISK_FULL); });
    {
        test::MessageRecorder boxes;
        EXPECT_FALSE(CommitProjectList(store.options, std::move(edited)));
    }
    ini::SetWriteFault({});
    EXPECT_EQ(test::ReadBytes(store.options.iniPath), stored);
    EXPECT_EQ(store.Names(), (std::vector<std::wstring>{L"P1", L"P2", L"P3"}));
    EXPECT_EQ(store.Settings(0), (std::vector<std::wstring>{L"P1-0/P1 command", L"P1-1/P1 command"}));
}

TEST(ProjectListTest, ALogoffStartKeepsTheStoredNames) {
    StoredProjects store({{L"P1", 1}, {L"P2", 1}});
    store.options.noSave = true;
    LoadAtStart(store.options);
    // Its made-up list of 32 projects is never committed.
    EXPECT_FALSE(CommitProjectList(store.options, ReadProjectsForEditing(store.options)));
    store.options.noSave = false;
    store.options.ActiveProject = -1;
    LoadAtStart(store.options);
    EXPECT_EQ(store.Names(), (std::vector<std::wstring>{L"P1", L"P2"}));
    EXPECT_EQ(store.Settings(1), (std::vector<std::wstring>{L"P2-0/P2 command"}));
}

// Runs the editor while a second thread drives it; boxes are answered from
// a script.
struct EditorRun {
    StoredProjects& store;

    bool Run(const std::function<void(HWND)>& drive) {
        bool ok = false;
        EXPECT_TRUE(test::DriveDialog(L"プロジェクトリストの編集", false, drive,
                                      [&] { ok = EditProjectList(nullptr, store.options); }));
        return ok;
    }
};

std::vector<int> Selected(HWND list) {
    std::vector<int> rows(static_cast<size_t>(SendMessageW(list, LB_GETCOUNT, 0, 0)));
    rows.resize(static_cast<size_t>(SendMessageW(list, LB_GETSELITEMS, rows.size(), reinterpret_cast<LPARAM>(rows.data()))));
    return rows;
}

std::wstring LineText(HWND list, int row) {
    wchar_t text[128] = {};
    SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text));
    return text;
}

void SelectOnly(HWND dialog, int row) {
    HWND list = GetDlgItem(dialog, IDC_PL_LIST);
    SendMessageW(list, LB_SETSEL, FALSE, -1);
    SendMessageW(list, LB_SETSEL, TRUE, row);
    SendMessageW(list, LB_SETCARETINDEX, row, FALSE);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PL_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

TEST(ProjectListTest, EditorAddsCopiesDeletesAndCommits) {
    StoredProjects store({{L"A", 2}, {L"B", 1}, {L"C", 0}});
    store.options.ActiveProject = 1;
    EditorRun run{store};
    test::MessageRecorder boxes({IDOK, IDOK, IDYES});
    std::vector<int> initialSelection, afterAdd, afterCopy, afterDelete;
    int caretAfterAdd = -1, caretAfterCopy = -1, caretAfterDelete = -1;
    std::wstring sourceText, copiedLine;
    int preselected = -1, count = 0;
    bool buttonsOff = false;
    ASSERT_TRUE(run.Run([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_PL_LIST);
        initialSelection = Selected(list);
        SendMessageW(list, LB_SETSEL, FALSE, -1);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PL_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        buttonsOff = !IsWindowEnabled(GetDlgItem(dialog, IDC_PL_DELETE)) && IsWindowEnabled(GetDlgItem(dialog, IDC_PL_ADD));

        // Adding keeps the selected positions; the caret goes to the new line.
        SendMessageW(list, LB_SETSEL, TRUE, 0);
        SendMessageW(list, LB_SETSEL, TRUE, 2);
        PostMessageW(dialog, WM_COMMAND, IDC_PL_ADD, 0);
        HWND name = test::WaitForDialog(L"プロジェクトの追加");
        if (!name) return;
        SetDlgItemTextW(name, IDC_PN_NAME, L"新規");
        PostMessageW(name, WM_COMMAND, IDOK, 0);
        test::WaitGone(name);
        afterAdd = Selected(list);
        caretAfterAdd = static_cast<int>(SendMessageW(list, LB_GETCARETINDEX, 0, 0));

        // A onto the new project, appended; the source itself is refused first.
        SelectOnly(dialog, 0);
        PostMessageW(dialog, WM_COMMAND, IDC_PL_COPY, 0);
        HWND copy = test::WaitForDialog(L"プロジェクトのコピー");
        if (!copy) return;
        wchar_t text[64] = {};
        GetDlgItemTextW(copy, IDC_PC_SOURCE, text, 64);
        sourceText = text;
        preselected = static_cast<int>(SendDlgItemMessageW(copy, IDC_PC_DEST, CB_GETCURSEL, 0, 0));
        SendDlgItemMessageW(copy, IDC_PC_DEST, CB_SETCURSEL, 0, 0);
        SendMessageW(copy, WM_COMMAND, IDOK, 0);
        SendDlgItemMessageW(copy, IDC_PC_DEST, CB_SETCURSEL, 3, 0);
        SendDlgItemMessageW(copy, IDC_PC_APPEND, BM_CLICK, 0, 0);
        PostMessageW(copy, WM_COMMAND, IDOK, 0);
        test::WaitGone(copy);
        afterCopy = Selected(list);
        caretAfterCopy = static_cast<int>(SendMessageW(list, LB_GETCARETINDEX, 0, 0));
        copiedLine = LineText(list, 3);

        SelectOnly(dialog, 1);
        SendMessageW(dialog, WM_COMMAND, IDC_PL_DELETE, 0);
        count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        afterDelete = Selected(list);
        caretAfterDelete = static_cast<int>(SendMessageW(list, LB_GETCARETINDEX, 0, 0));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }));
    EXPECT_EQ(initialSelection, (std::vector<int>{1}));
    EXPECT_TRUE(buttonsOff);
    EXPECT_EQ(sourceText, L"1: A");
    EXPECT_EQ(preselected, 1);
    EXPECT_EQ(afterAdd, (std::vector<int>{0, 2}));
    EXPECT_EQ(caretAfterAdd, 3);
    // The copied line stays selected, the caret is on the destination.
    EXPECT_EQ(afterCopy, (std::vector<int>{0}));
    EXPECT_EQ(caretAfterCopy, 3);
    // The deleted position stays selected; it now holds the next project.
    EXPECT_EQ(afterDelete, (std::vector<int>{1}));
    EXPECT_EQ(caretAfterDelete, 1);
    EXPECT_EQ(copiedLine, L"4: A");
    EXPECT_EQ(count, 3);
    ASSERT_EQ(boxes.Boxes().size(), 3u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"コピー元とコピー先が同じです。");
    EXPECT_EQ(boxes.Boxes()[0].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
    EXPECT_EQ(boxes.Boxes()[1].text, L"プロジェクトをコピーしました。");
    EXPECT_EQ(boxes.Boxes()[2].caption, L"プロジェクトの削除");

    EXPECT_EQ(store.Names(), (std::vector<std::wstring>{L"A", L"C", L"A"}));
    EXPECT_EQ(store.options.ActiveProject, 1);
    EXPECT_EQ(store.Settings(2), (std::vector<std::wstring>{L"A-0/A command", L"A-1/A command"}));
    EXPECT_FALSE(store.HasText(L"Project\\003\\"));
}

TEST(ProjectListTest, DeletingKeepsTheSelectedPositions) {
    StoredProjects store({{L"A", 0}, {L"B", 0}, {L"C", 0}, {L"D", 0}, {L"E", 0}});
    EditorRun run{store};
    test::MessageRecorder boxes({IDYES});
    std::vector<int> after;
    int caret = -1;
    EXPECT_FALSE(run.Run([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_PL_LIST);
        SelectOnly(dialog, 1);
        SendMessageW(list, LB_SETSEL, TRUE, 2);
        SendMessageW(dialog, WM_COMMAND, IDC_PL_DELETE, 0);
        after = Selected(list);
        caret = static_cast<int>(SendMessageW(list, LB_GETCARETINDEX, 0, 0));
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }));
    EXPECT_EQ(after, (std::vector<int>{1, 2}));
    EXPECT_EQ(caret, 1);
    EXPECT_EQ(store.Names(), (std::vector<std::wstring>{L"A", L"B", L"C", L"D", L"E"}));
}

}  // namespace
}  // namespace tandrel
