#include <gtest/gtest.h>

#include "model/AppState.h"

namespace tandrel {
namespace {

TEST(TargetFileSizeTest, ParsesAndFormats) {
    struct Case { const wchar_t* text; int number; int unit; const wchar_t* formatted; };
    const Case cases[] = {
        {L"10mb", 10, 2, L"10MB"},
        {L"", 0, 0, L"0"},
        {L"512", 512, 0, L"512"},
        {L"3 GB", 3, 0, L"3"},  // " GB" is no unit
        {L"1K2TB", 12, 4, L"12TB"},
        {L"KB", 0, 1, L"0KB"},
        {L"99999999999999KB", 2147483647, 1, L"2147483647KB"},
    };
    for (const Case& c : cases) {
        const TargetFileSize size = TargetFileSize::Parse(c.text);
        EXPECT_EQ(size.number, c.number) << c.text;
        EXPECT_EQ(size.unit, c.unit) << c.text;
        EXPECT_EQ(size.Format(), c.formatted) << c.text;
    }
    EXPECT_EQ(TargetFileSize::Parse(L"2MB").Bytes(), 2u * 1024 * 1024);
    EXPECT_EQ(TargetFileSize::Parse(L"7GB").Bytes(), 7ull << 30);
    EXPECT_EQ(TargetFileSize::Parse(L"2147483647TB").Bytes(), std::nullopt);
}

TEST(FolderSettingTest, ResetGivesDefaults) {
    FolderSetting s;
    s.Master = L"C:\\data";
    s.Errors = 5;
    s.status.created = 3;
    s.Reset(L"新しい設定");
    EXPECT_EQ(s.Name, L"新しい設定");
    EXPECT_TRUE(s.Master.empty());
    EXPECT_EQ(s.Errors, -1);
    EXPECT_EQ(s.status.created, 0);
    EXPECT_TRUE(s.AutoExec && s.SubDir && s.Overwrite && s.Mirroring && s.NtfsToFat && s.RenameCapital);
    EXPECT_TRUE(s.ShowSkipFile && s.IgnoreSystemFiles && s.OutputSkipLog);
    EXPECT_EQ(s.LeaveTime, 2);
    EXPECT_EQ(s.NetPathRetryCount, 3);
    EXPECT_EQ(s.TargetType, 1);
    EXPECT_EQ(s.ScheduleTime, 1);
    EXPECT_EQ(s.commandIds[0], -1);
    EXPECT_EQ(s.commandIds[1], -1);
}

TEST(CommandListTest, IdsAreUniqueAndLookupsFollowThem) {
    CommandList list;
    EXPECT_EQ(list.NextId(), 0);
    CommandEntry a;
    a.path = L"C:\\tools\\a.exe";
    EXPECT_EQ(list.Store(a), 0);
    EXPECT_EQ(list.Store(a), 1);
    CommandEntry high;
    high.id = 7;
    list.Append(high);
    EXPECT_EQ(list.NextId(), 8);
    EXPECT_EQ(list.Store(a), 8);

    // Store with an existing id overwrites in place.
    CommandEntry changed = *list.Find(1);
    changed.name = L"changed";
    EXPECT_EQ(list.Store(changed), 1);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Find(1)->name, L"changed");
    EXPECT_EQ(list.Find(0)->DisplayName(), L"a.exe");
    EXPECT_EQ(list.Find(1)->DisplayName(), L"changed");

    CommandEntry out;
    out.name = L"stale";
    EXPECT_FALSE(list.CopyInto(out, 42, 1));
    EXPECT_TRUE(out.name.empty());
    EXPECT_EQ(out.type, 1);
    EXPECT_FALSE(list.CopyInto(out, -1, 0));
    EXPECT_EQ(out.type, 0);

    // Removing keeps the largest id, so ids are never handed out twice.
    EXPECT_TRUE(list.Remove(8));
    EXPECT_EQ(list.NextId(), 9);
    list.Swap(0, 2);
    EXPECT_EQ(list.At(0).id, 7);
    list.Clear();
    EXPECT_EQ(list.NextId(), 0);
}

Project MakeProject(const std::wstring& name, int settings) {
    Project p;
    p.name = name;
    for (int i = 0; i < settings; ++i) {
        FolderSetting s;
        s.Reset(name + L"-" + std::to_wstring(i));
        CommandEntry before;
        before.path = L"before-" + s.Name;
        s.commandIds[0] = p.commands.Store(before);
        CommandEntry after;
        after.type = 1;
        after.path = L"after-" + s.Name;
        s.commandIds[1] = p.commands.Store(after);
        p.settings.push_back(s);
    }
    return p;
}

// Every setting's command ids point at its own commands.
void ExpectCommandsMatch(const Project& p) {
    for (const FolderSetting& s : p.settings) {
        const CommandEntry* before = p.commands.Find(s.commandIds[0]);
        const CommandEntry* after = p.commands.Find(s.commandIds[1]);
        ASSERT_TRUE(before && after) << s.Name;
        EXPECT_EQ(before->path, L"before-" + s.Name);
        EXPECT_EQ(after->path, L"after-" + s.Name);
    }
}

TEST(ProjectCollectionTest, ListOperationsRenumber) {
    ProjectCollection list;
    for (int i = 0; i < 4; ++i) list.Add(L"p" + std::to_wstring(i));
    list.At(2) = MakeProject(L"p2", 2);
    EXPECT_TRUE(list.Remove(1));
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Name(1), L"p2");
    EXPECT_EQ(list.At(1).settings.size(), 2u);
    EXPECT_TRUE(list.Clear(1));
    EXPECT_TRUE(list.Name(1).empty());
    EXPECT_TRUE(list.At(1).settings.empty());
    EXPECT_TRUE(list.At(1).commands.Empty());
    EXPECT_EQ(list.Name(2), L"p3");
    EXPECT_EQ(list.DisplayText(1, L"%d: %s"), L"2: ");
    EXPECT_EQ(list.DisplayText(2, L"%d: %s"), L"3: p3");
    EXPECT_TRUE(list.Swap(0, 2));
    EXPECT_EQ(list.Name(0), L"p3");
    EXPECT_TRUE(list.Rename(0, L"renamed"));
    EXPECT_EQ(list.Name(0), L"renamed");
    EXPECT_FALSE(list.Remove(3));
    EXPECT_FALSE(list.Rename(-1, L"x"));
}

TEST(ProjectCollectionTest, RefusesMoreThanAThousandProjects) {
    ProjectCollection list;
    for (int i = 0; i < kMaxProjects; ++i) ASSERT_TRUE(list.Add(L""));
    EXPECT_TRUE(list.Full());
    EXPECT_FALSE(list.Add(L"one too many"));
    EXPECT_EQ(list.Count(), kMaxProjects);
}

TEST(ProjectCollectionTest, OverwriteCopyKeepsIds) {
    ProjectCollection list;
    list.Add(L"");
    list.Add(L"");
    list.At(0) = MakeProject(L"src", 3);
    list.At(1) = MakeProject(L"dest", 5);
    EXPECT_TRUE(list.Copy(1, 0, false));
    EXPECT_EQ(list.Name(1), L"src");
    ASSERT_EQ(list.At(1).settings.size(), 3u);
    EXPECT_EQ(list.At(1).commands.Count(), 6);
    ExpectCommandsMatch(list.At(1));
    // Copying onto itself changes nothing.
    EXPECT_TRUE(list.Copy(0, 0, true));
    EXPECT_EQ(list.At(0).settings.size(), 3u);
}

TEST(ProjectCollectionTest, AppendCopyStopsAtTheLimitAndKeepsCommandsMatched) {
    ProjectCollection list;
    list.Add(L"");
    list.Add(L"");
    list.At(0) = MakeProject(L"src", 20);
    list.At(1) = MakeProject(L"dest", 990);
    EXPECT_TRUE(list.Copy(1, 0, true));
    const Project& dest = list.At(1);
    EXPECT_EQ(dest.name, L"src");
    ASSERT_EQ(dest.settings.size(), 1000u);
    EXPECT_EQ(dest.settings[990].Name, L"src-0");
    EXPECT_EQ(dest.settings[999].Name, L"src-9");
    ExpectCommandsMatch(dest);
    // The source is left as it was.
    ExpectCommandsMatch(list.At(0));
    EXPECT_EQ(list.At(0).settings.size(), 20u);
}

TEST(AppStateTest, ResetAndGroupCopies) {
    AppState o;
    o.exeDirectory = L"C:\\prog\\";
    o.DivideY = 5;
    o.OutputLog = true;
    o.autoStart = true;
    o.Reset(L"0.400");
    EXPECT_EQ(o.exeDirectory, L"C:\\prog\\");
    EXPECT_EQ(o.IniVersion, L"0.400");
    EXPECT_EQ(o.DivideY, 192);
    EXPECT_EQ(o.ActiveProject, -1);
    EXPECT_EQ(o.DetectMediaAction, 1);
    EXPECT_EQ(o.RecycleBinFileCount, 200);
    EXPECT_FALSE(o.CheckRecycleBin);
    EXPECT_FALSE(o.OutputLog);
    EXPECT_FALSE(o.autoStart);
    EXPECT_TRUE(o.projects.Empty());
    o.Reset(L"");
    EXPECT_EQ(o.IniVersion, L"0.350");

    AppState src;
    src.iniPath = L"C:\\x.ini";
    src.MinimizeOnTrayOnly = true;
    src.DivideY = 300;
    src.ActiveProject = 1;
    src.projects.Add(L"a");
    src.projects.Add(L"b");
    src.projects.At(1) = MakeProject(L"b", 2);
    src.OutputLog = true;
    src.loaded = true;

    AppState layoutOnly;
    layoutOnly.CopyFrom(src, GroupLayout);
    EXPECT_EQ(layoutOnly.DivideY, 300);
    EXPECT_FALSE(layoutOnly.MinimizeOnTrayOnly);
    EXPECT_TRUE(layoutOnly.iniPath.empty());
    EXPECT_TRUE(layoutOnly.projects.Empty());
    EXPECT_TRUE(layoutOnly.loaded);

    AppState names;
    names.CopyFrom(src, GroupProjects);
    ASSERT_EQ(names.projects.Count(), 2);
    EXPECT_EQ(names.projects.Name(1), L"b");
    EXPECT_TRUE(names.projects.At(1).settings.empty());
    EXPECT_FALSE(names.OutputLog);

    // A group travels whole: its last fields as much as its first.
    src.FormatReportFileTime = L"yyyy";
    src.fonts[FontStatusBar] = FontSlot{L"Meiryo", 90};
    CommandEntry command;
    command.path = L"cmd.exe";
    src.commands.Store(command);
    src.AutoExitWhenError = true;
    src.FolderSettingDialog = Rect{1, 2, 3, 4};
    AppState sheet;
    sheet.CopyFrom(src, GroupSheet);
    EXPECT_TRUE(sheet.OutputLog);
    EXPECT_EQ(sheet.FormatReportFileTime, L"yyyy");
    EXPECT_EQ(sheet.fonts[FontStatusBar], (FontSlot{L"Meiryo", 90}));
    ASSERT_EQ(sheet.commands.Count(), 1);
    EXPECT_EQ(sheet.commands.At(0).path, L"cmd.exe");
    EXPECT_FALSE(sheet.AutoExitWhenError);
    EXPECT_TRUE(sheet.FolderSettingDialog.Empty());
    EXPECT_EQ(sheet.DivideY, 192);
    AppState version;
    version.CopyFrom(src, GroupVersion);
    EXPECT_TRUE(version.AutoExitWhenError);
    EXPECT_TRUE(version.MinimizeOnTrayOnly);
    EXPECT_FALSE(version.OutputLog);
    EXPECT_TRUE(version.iniPath.empty());
    EXPECT_EQ(layoutOnly.FolderSettingDialog, Rect{});

    AppState all;
    all.CopyFrom(src, GroupAll);
    EXPECT_EQ(all.iniPath, L"C:\\x.ini");
    EXPECT_TRUE(all.MinimizeOnTrayOnly);
    EXPECT_TRUE(all.OutputLog);
    EXPECT_EQ(all.ActiveProject, 1);
    ASSERT_EQ(all.projects.At(1).settings.size(), 2u);
    ExpectCommandsMatch(all.projects.At(1));
}

TEST(GlobalOptionsTest, DetectMediaActionEncoding) {
    const int decoded[][2] = {{5, 1}, {6, 2}, {1, 3}, {2, 4}, {0, 3}, {7, 2}, {4, 1}};
    for (const auto& [stored, value] : decoded) EXPECT_EQ(AppState::DecodeDetectMediaAction(stored), value) << stored;
    const int encoded[][2] = {{0, 0}, {1, 5}, {2, 6}, {3, 1}, {4, 2}, {9, 0}, {-1, 0}};
    for (const auto& [value, stored] : encoded) EXPECT_EQ(AppState::EncodeDetectMediaAction(value), stored) << value;
}

}  // namespace
}  // namespace tandrel
