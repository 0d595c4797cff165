#include <gtest/gtest.h>

#include <climits>

#include "SettingsFixture.h"
#include "settings/ProfileStore.h"

namespace tandrel {
namespace {

using test::MessageRecorder;
using ProfileStoreTest = test::SettingsTest;

TEST(ProfileNamesTest, SectionsAndKeys) {
    EXPECT_EQ(OptionsSection(0), L"Options");
    EXPECT_EQ(OptionsSection(5), L"Project\\005\\");
    EXPECT_EQ(ListCountKey(0), L"ListCount");
    EXPECT_EQ(ListCountKey(12), L"Project\\012\\ListCount");
    EXPECT_EQ(SettingSection(0, 5), L"Define 5");
    EXPECT_EQ(SettingSection(0, 10), L"Define10");
    EXPECT_EQ(SettingSection(0, 100), L"Define100");
    EXPECT_EQ(SettingSection(2, 10), L"Project\\002\\Define10");
    EXPECT_EQ(SettingSection(5, 3), L"Project\\005\\Define 3");
}

TEST_F(ProfileStoreTest, IniFileStaysUtf16AndReadsAsTheSystemDoes) {
    AppState o = NewOptions();
    ProfileStore store(o);
    ASSERT_TRUE(store.WriteInt(L"Options", L"ListCount", -3));
    EXPECT_EQ(test::ReadBytes(iniPath).substr(0, 2), "\xFF\xFE");
    ASSERT_TRUE(store.WriteString(L"Project\\005\\", L"ProjectName", L"デフォルト"));
    EXPECT_EQ(Value(L"Project\\005\\", L"ProjectName"), L"デフォルト");
    EXPECT_EQ(store.ReadInt(L"options", L"LISTCOUNT", 7), -3);
    EXPECT_EQ(store.ReadInt(L"Options", L"Missing", 7), 7);

    const std::wstring longValue(40000, L'あ');
    WriteIni(L"[Options]\r\nBig=99999999999\r\nSmall=-99999999999\r\nWord=abc\r\nLead=12ab\r\nQuoted=\"a b\"\r\n"
             L"Long=" + longValue + L"\r\n[Old]\r\nKey=1\r\n");
    EXPECT_EQ(store.ReadInt(L"Options", L"Big", 0), INT_MAX);
    EXPECT_EQ(store.ReadInt(L"Options", L"Small", 0), INT_MIN);
    EXPECT_EQ(store.ReadInt(L"Options", L"Word", 5), 0);
    EXPECT_EQ(store.ReadInt(L"Options", L"Lead", 5), 12);
    EXPECT_EQ(store.ReadString(L"Options", L"Quoted", L""), L"a b");
    EXPECT_EQ(store.ReadString(L"Options", L"Long", L""), longValue.substr(0, 32767));
    // A whole section read at once gives the same values.
    SectionReader reader(store, L"OPTIONS");
    EXPECT_EQ(reader.ReadInt(L"big", 0), INT_MAX);
    EXPECT_EQ(reader.ReadString(L"Quoted", L""), L"a b");
    EXPECT_EQ(reader.ReadString(L"Missing", L"既定"), L"既定");

    // Deleting what is not there is no failure.
    EXPECT_TRUE(store.DeleteSection(L"Old"));
    EXPECT_TRUE(store.DeleteSection(L"Project\\009\\"));
    EXPECT_TRUE(store.DeleteKey(L"Options", L"NoSuchKey"));
    EXPECT_EQ(Value(L"Old", L"Key"), L"<missing>");
}

TEST_F(ProfileStoreTest, SectionWritesKeepPlacesAndForeignKeys) {
    WriteIni(L"[Define 0]\r\nFutureKey=残す\r\nName=古い\r\n");
    AppState o = NewOptions();
    ProfileStore store(o);
    SectionWriter writer(store, L"Define 0");
    writer.WriteInt(L"LastExec", 5);
    writer.WriteString(L"NAME", L"新しい");
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(Section(L"Define 0"), (test::Entries{{L"FutureKey", L"残す"}, {L"Name", L"新しい"}, {L"LastExec", L"5"}}));

    // Values of any size go whole, both ways.
    const std::wstring big(20000, L'x'), other(20000, L'y');
    SectionWriter large(store, L"Define 1");
    large.WriteString(L"TargetFile", big);
    large.WriteString(L"TargetDirectory", other);
    ASSERT_TRUE(large.Commit());
    EXPECT_EQ(SectionReader(store, L"Define 1").ReadString(L"TargetDirectory", L""), other);
}

TEST_F(ProfileStoreTest, AFileThatCannotBeWrittenIsReported) {
    AppState o = NewOptions();
    o.iniPath = dir / L"missing folder\\Tandrel.ini";
    MessageRecorder boxes;
    EXPECT_FALSE(ProfileStore(o).WriteInt(L"Options", L"DivideY", 1));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    const auto& box = boxes.Boxes()[0];
    EXPECT_EQ(box.caption, L"INI ファイルのオープン");
    const std::wstring start = L"INI ファイルに書き込めませんでした。\r\nこのまま行った変更と実行結果は、次回の起動まで保存されません。\r\n\r\n"
                               L"ファイル名: " + o.iniPath + L"\r\nエラー: ";
    EXPECT_EQ(box.text.substr(0, start.size()), start);
    EXPECT_GT(box.text.size(), start.size());
    EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK | MB_ICONSTOP | MB_TOPMOST));
}

TEST_F(ProfileStoreTest, RegistryKeepsNestedKeysAndValueKinds) {
    AppState o = NewOptions();
    o.useRegistry = true;
    ProfileStore store(o);
    ASSERT_TRUE(store.WriteInt(L"Project\\005\\Define 3", L"LeaveTime", 7));
    ASSERT_TRUE(store.WriteString(L"Project\\005\\", L"ProjectName", L"仕事"));
    EXPECT_EQ(RegistryText(L"Project\\005\\Define 3", L"LeaveTime"), L"dword:7");
    EXPECT_EQ(RegistryText(L"Project\\005", L"ProjectName"), L"仕事");
    EXPECT_EQ(store.ReadInt(L"Project\\005\\Define 3", L"LeaveTime", 0), 7);
    EXPECT_EQ(store.ReadString(L"Project\\005\\", L"ProjectName", L""), L"仕事");

    // Values of another kind than the one asked for read as the default.
    SetRegistryValue(L"Options", L"DivideY", REG_SZ, L"55", 6);
    const DWORD three = 3;
    SetRegistryValue(L"Options", L"LogFileName", REG_DWORD, &three, sizeof three);
    SetRegistryValue(L"Options", L"ClearLog", REG_BINARY, &three, sizeof three);
    EXPECT_EQ(store.ReadInt(L"Options", L"DivideY", 192), 192);
    EXPECT_EQ(store.ReadString(L"Options", L"LogFileName", L"既定"), L"既定");
    EXPECT_EQ(store.ReadInt(L"Options", L"ClearLog", 0), 0);

    // forceIni reaches the file although the registry is in use.
    EXPECT_FALSE(test::FileExists(iniPath));
    ASSERT_TRUE(store.WriteInt(L"Save", L"SaveRegistory", 1, true));
    EXPECT_EQ(Value(L"Save", L"SaveRegistory"), L"1");
    EXPECT_EQ(store.ReadInt(L"Save", L"SaveRegistory", -1), -1);

    // A section goes with the sections nested in it.
    EXPECT_TRUE(store.DeleteSection(L"Project\\005\\"));
    EXPECT_EQ(RegistryText(L"Project\\005\\Define 3", L"LeaveTime"), L"<missing>");
    EXPECT_TRUE(store.DeleteSection(L"Project\\009\\"));
}

TEST_F(ProfileStoreTest, RectanglesAndColumnWidths) {
    WriteIni(L"[Window]\r\nMainWindow=5 6\r\nSetupList=1,2,x,4,5\r\nReportList=9 , 8\r\n");
    AppState o = NewOptions();
    ProfileStore store(o);
    Rect rect{1, 2, 3, 4};
    store.ReadRect(L"MainWindow", rect);
    EXPECT_EQ(rect, (Rect{5, 6, 3, 4}));
    ColumnWidths widths{10, 20, 30, 40, 50};
    store.ReadWidths(L"SetupList", widths, kDefaultSetupListWidths);
    EXPECT_EQ(widths, (ColumnWidths{1, 2, 30, 40, 50}));
    store.ReadWidths(L"ReportList", widths, kDefaultReportListWidths);
    EXPECT_EQ(widths, (ColumnWidths{9, 2, 30, 40, 50}));
    store.ReadWidths(L"", widths, kDefaultReportListWidths);
    EXPECT_EQ(widths, (ColumnWidths{96, 528, 140, 140, 96}));
}

}  // namespace
}  // namespace tandrel
