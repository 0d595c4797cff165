#include <gtest/gtest.h>

#include "engine/TargetFilter.h"

namespace tandrel {
namespace {

using F = FilterOutcome;
constexpr ListMode In = ListMode::Include;
constexpr ListMode Ex = ListMode::Exclude;

struct ListCase {
    const wchar_t* list;
    ListMode mode;
    const wchar_t* text;
    FilterOutcome expected;
};

enum class Kind { Files, Folders, LegacyFolders };

void ExpectOutcomes(std::initializer_list<ListCase> cases, Kind kind) {
    for (const ListCase& c : cases) {
        TargetMatcher m;
        ASSERT_TRUE(kind == Kind::Files ? BuildFileList(m, c.list)
                                        : BuildFolderList(m, c.list, kind == Kind::LegacyFolders));
        const F outcome = kind == Kind::Files ? MatchFile(m, c.text, c.mode) : MatchFolder(m, c.text, c.mode);
        EXPECT_EQ(static_cast<int>(outcome), static_cast<int>(c.expected)) << c.list << L" / " << c.text;
    }
}

TEST(TargetFilterTest, FileLists) {
    ExpectOutcomes({
        {L"", Ex, L"a.txt", F::NoDecision}, {L"*.bak", Ex, L"A.BAK", F::Excluded},
        {L"*.bak", Ex, L"a.bak.txt", F::Target}, {L"*.bak", Ex, L"x.bak\\a.txt", F::Target},  // the name only
        {L"*.txt;Thumbs.db;", In, L"sub\\thumbs.DB", F::Target}, {L"*.txt;Thumbs.db;", In, L"a.doc", F::NotListed},
        {L"a+b (1)[x]{y}^$|.txt", Ex, L"A+B (1)[X]{Y}^$|.TXT", F::Excluded},
        {L"ärger.txt;ａｂ.txt", Ex, L"ÄRGER.TXT", F::Excluded}, {L"ärger.txt;ａｂ.txt", Ex, L"ＡＢ.txt", F::Excluded},
    }, Kind::Files);
}

TEST(TargetFilterTest, FolderLists) {
    ExpectOutcomes({
        {L";", Ex, L"a", F::NoDecision}, {L"tmp", Ex, L"TMP", F::Excluded}, {L"tmp", Ex, L"a\\tmp", F::Target},
        {L"tmp", In, L"", F::NotListed},  // the root
        {L"*\\tmp", Ex, L"\\a\\b\\tmp\\", F::Excluded}, {L"*\\tmp", Ex, L"tmp", F::Target},
        {L"a\\*\\b", Ex, L"a\\b", F::Excluded}, {L"a\\*\\b", Ex, L"a\\x\\y\\b", F::Excluded},
        {L"tmp\\", Ex, L"tmp", F::Excluded}, {L"re:^cache", Ex, L"Cached\\x", F::Excluded},
        {L"re:^cache", Ex, L"a\\cache", F::Target}, {L"docs;;re:^src\\\\", In, L"src\\lib", F::Target},
        {L"docs;;re:^src\\\\", In, L"src", F::NotListed},
    }, Kind::Folders);
    // Legacy lists anchor plain names at the end only.
    ExpectOutcomes({
        {L"tmp", Ex, L"a\\tmp", F::Excluded}, {L"tmp", Ex, L"tmp\\a", F::Target},
        {L"tm?", Ex, L"a\\tmp", F::Target}, {L"tm?", Ex, L"tmp", F::Excluded},
    }, Kind::LegacyFolders);
}

TEST(TargetFilterTest, BadAndHostileListsFailOrEndQuickly) {
    TargetMatcher m;
    std::wstring many;
    for (int i = 0; i < 3000; ++i) many += L"n" + std::to_wstring(i) + L";";
    for (const std::wstring& list : {std::wstring(L"re:("), std::wstring(L"ok;re:a)|(b"), std::wstring(L"re:(a)\\1"),
                                     many, std::wstring(5000, L'a')}) {
        ASSERT_TRUE(BuildFolderList(m, L"tmp", false));
        EXPECT_FALSE(BuildFolderList(m, list, false)) << list.substr(0, 20);
        EXPECT_FALSE(m.HasPattern());
    }
    EXPECT_FALSE(BuildFileList(m, many));

    // Exponential time or a stack overflow in a backtracking matcher.
    ASSERT_TRUE(BuildFolderList(m, L"re:(a+)+b;*\\tmp", false));
    EXPECT_EQ(MatchFolder(m, std::wstring(40, L'a'), Ex), F::Target);
    EXPECT_EQ(MatchFolder(m, std::wstring(30000, L'x') + L"\\tmp", Ex), F::Excluded);
}

TEST(TargetFilterTest, SettingFiltersAskSystemListsFirstAndReportFailures) {
    AppState options;
    options.IgnoreSystemFolderNames = L"RECYCLER;re:(";  // broken, but not asked for
    options.IgnoreSystemFileNames = L"desktop.ini;Thumbs.db";
    FolderSetting s;
    s.TargetType = 0;
    s.TargetFile = L"*.db";
    s.IgnoreSystemFiles = false;
    TargetFilters filters;
    ASSERT_TRUE(filters.Build(s, options).ok);
    EXPECT_EQ(filters.FileOutcome(L"a\\Thumbs.db"), F::Target);

    options.IgnoreSystemFolderNames = L"RECYCLER";
    options.oldTargetSetting = true;
    s.IgnoreSystemFiles = true;
    ASSERT_TRUE(filters.Build(s, options).ok);
    EXPECT_EQ(filters.FileOutcome(L"a\\Thumbs.db"), F::Excluded);
    EXPECT_EQ(filters.FileOutcome(L"a.db"), F::Target);
    EXPECT_EQ(filters.FileOutcome(L"desktop.txt"), F::NotListed);
    EXPECT_EQ(filters.FolderOutcome(L"a\\recycler"), F::Excluded);
    EXPECT_EQ(filters.FolderOutcome(L""), F::NoDecision);

    s.TargetFile = std::wstring(2000, L'*');
    const FilterBuildResult r = filters.Build(s, options);
    EXPECT_EQ(r.title + L"|" + r.body + L"|" + r.caption,
              L"ターゲットファイル指定の解析に失敗しました。|ターゲットファイル指定の解析に失敗しました。\r\n|ターゲット指定エラー");
    s.TargetFile.clear();
    s.TargetDirectory = L"re:a)";
    EXPECT_EQ(filters.Build(s, options).body, L"ターゲットフォルダ指定の解析に失敗しました。\r\n");

    // TargetType 0..3 and an unknown value: (folder list, file list) include?
    s.TargetDirectory = s.TargetFile = L"listed";
    const std::pair<int, std::pair<bool, bool>> types[] = {{0, {true, true}}, {1, {false, false}}, {2, {false, true}},
                                                           {3, {true, false}}, {9, {false, false}}};
    for (const auto& [type, include] : types) {
        s.TargetType = type;
        ASSERT_TRUE(filters.Build(s, options).ok);
        EXPECT_EQ(filters.FolderOutcome(L"other"), include.first ? F::NotListed : F::Target) << type;
        EXPECT_EQ(filters.FileOutcome(L"other"), include.second ? F::NotListed : F::Target) << type;
    }
}

TEST(TargetFilterTest, ListsOfTheLargestSizeDecideEveryEntry) {
    // 2000 wildcard entries, each a group of its own.
    std::wstring files, folders;
    for (int i = 0; i < 2000; ++i) {
        files += L"*name" + std::to_wstring(i) + L"?.t*;";
        folders += L"top\\*\\dir" + std::to_wstring(i) + L";";
    }
    TargetMatcher fileList, folderList;
    ASSERT_TRUE(BuildFileList(fileList, files));
    ASSERT_TRUE(BuildFolderList(folderList, folders, false));
    EXPECT_EQ(MatchFile(fileList, L"a\\my-name1999x.txt", ListMode::Include), FilterOutcome::Target);
    EXPECT_EQ(MatchFile(fileList, L"a\\my-name2000x.txt", ListMode::Include), FilterOutcome::NotListed);
    EXPECT_EQ(MatchFolder(folderList, L"top\\a\\b\\dir0", ListMode::Exclude), FilterOutcome::Excluded);
    EXPECT_EQ(MatchFolder(folderList, L"top\\dir1999", ListMode::Exclude), FilterOutcome::Excluded);
    EXPECT_EQ(MatchFolder(folderList, L"top\\dir2000", ListMode::Exclude), FilterOutcome::Target);
}

TEST(TargetFilterTest, ListsOfPlainNamesDecideAsTheirExpressionWould) {
    std::wstring many;
    for (int i = 0; i < 40; ++i) many += L"Name" + std::to_wstring(i) + L".Txt;";
    const std::wstring texts[] = {L"thumbs.db", L"THUMBS.DB", L"thumbs.db2", L"thumbs.d", L"x\\Desktop.INI", L"ÄRGER.TXT",
                                  L"ärger.txt", L"ＡＢ.txt", L"ａｂ.TXT", L"name39.txt", L"NAME7.TXT", L"name40.txt",
                                  L"a+b (1)[X]{Y}^$|.TXT", L"", L"Thumbs.db\\other"};
    for (const std::wstring& list : {std::wstring(L"Thumbs.db;desktop.ini;ärger.txt;ａｂ.txt;a+b (1)[x]{y}^$|.txt"), many}) {
        TargetMatcher names, expression;
        ASSERT_TRUE(BuildFileList(names, list));
        // A wildcard entry that matches none of the texts makes it an expression.
        ASSERT_TRUE(BuildFileList(expression, list + L";*\x01never"));
        for (const std::wstring& text : texts) {
            EXPECT_EQ(MatchFile(names, text, Ex), MatchFile(expression, text, Ex)) << list.substr(0, 20) << L" / " << text;
        }
    }
}

TEST(TargetFilterTest, SizeAndDateFilters) {
    constexpr std::uint64_t GiB = 1ull << 30;
    FolderSetting s;
    s.SkipTargetFileSize = true;
    for (const auto& [limit, size, skipped] : std::initializer_list<std::tuple<const wchar_t*, std::uint64_t, bool>>{
             {L"100MB", 104857600, true}, {L"100MB", 104857599, false}, {L"0KB", 1ull << 40, false},
             {L"3GB", 3 * GiB, true}, {L"5GB", 4 * GiB, false}, {L"5GB", 5 * GiB - 1, false}, {L"5GB", 5 * GiB, true},
             {L"7GB", 4 * GiB, false}, {L"7GB", 7 * GiB, true},  // whole GiB, not 4 GiB steps
             {L"1TB", 1024 * GiB - 1, false}, {L"1TB", 1024 * GiB, true},
             {L"8192MB", 1, false}, {L"5000MB", 4 * GiB, false}, {L"16777216TB", 1, false}}) {  // no 32-bit wrap
        s.TargetFileSize = TargetFileSize::Parse(limit);
        EXPECT_EQ(SkipsForSize(s, size), skipped) << limit << L" / " << size;
    }
    s.SkipTargetFileSize = false;
    EXPECT_FALSE(SkipsForSize(s, 1ull << 40));

    s.TargetDate = 1000;
    // Since the last run that finished without an error, not the last run.
    s.LastExec = 3000;
    s.LastCleanExec = 2000;
    for (const auto& [type, time, skipped] : std::initializer_list<std::tuple<int, std::int64_t, bool>>{
             {0, 0, false}, {1, 999, true}, {1, 1000, false}, {2, 2000, true}, {2, 2001, false}, {3, 0, false}}) {
        s.TargetDateType = type;
        EXPECT_EQ(SkipsForDate(s, time), skipped) << type << L" / " << time;
    }
}

}  // namespace
}  // namespace tandrel
