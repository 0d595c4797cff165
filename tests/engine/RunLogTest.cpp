#include <gtest/gtest.h>

#include <regex>

#include "engine/RunLog.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

using test::TempDir;
using test::Utf8;

std::time_t March5() {
    return test::LocalTime(2024, 3, 5, 12);
}

FolderSetting OwnLog(const std::wstring& pattern) {
    FolderSetting setting;
    setting.OutputLog = setting.ClearLog = true;
    setting.LogFileName = pattern;
    return setting;
}

const std::string kHeader =
    "-{60}\r\n設定名称　　　：(.*)\r\n更新時間　　　：\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\r\n"
    "マスタ側　　　：C:\\\\m\r\nバックアップ側：E:\\\\b\r\n\r\n";

TEST(RunLogTest, OwnLogAppendsUtf8LinesAndDeniesOtherWriters) {
    TempDir temp;
    GlobalOptions options;
    options.OutputLog = true;  // the setting's own log wins
    options.LogFileName = temp / L"global.log";
    const std::string before = "old \x82\xa0\r\n";  // Shift-JIS, left as it is
    ASSERT_TRUE(test::WriteBytes(temp / L"ログ_20240305.log", before));
    FolderSetting setting = OwnLog(temp / L"ログ_%Y%m%d.log");
    setting.ClearLog = false;
    setting.WriteLogImmediately = true;

    RunLog log(options, false);
    ASSERT_FALSE(log.Open(setting, March5()));
    log.WriteHeader(L"設定Ａ", L"C:\\m", L"E:\\b");
    log.WriteEntry(RowAction::Create, L"フォルダ\\ファイル.txt");
    log.WriteDriveDetection(L"バックアップ側", L"BACKUP", L"E:\\");
    log.WriteErrorBlock(3, L"以下のエラーを無視しました。", L"コピー元：a\r\n\r\n詳細\r\n");
    const std::string bytes = test::ReadBytes(log.Path());  // on disk before Close
    HANDLE writer = CreateFileW(log.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);

    std::smatch match;
    ASSERT_TRUE(std::regex_match(bytes, match, std::regex(
        "old \x82\xa0\r\n" + kHeader + Utf8(L"作成 \"フォルダ\\\\ファイル.txt\"\r\n"
        L"ドライブ判別 バックアップ側ボリュームラベル \"BACKUP\" ドライブ E:\\\\\r\n"
        L"以下のエラーを無視しました。\r\n-{32}\r\nコピー元：a\r\n\r\n詳細\r\n-{32}\r\n")))) << bytes;
    EXPECT_EQ(match[1], Utf8(L"設定Ａ"));
    EXPECT_FALSE(test::FileExists(options.LogFileName));
}

TEST(RunLogTest, GlobalLogIsClearedOnceAndSharedWithErrorsOnly) {
    TempDir temp;
    GlobalOptions options;
    options.OutputLog = options.ClearLog = options.OutputErrorOnly = true;
    options.LogFileName = temp / L"run_%Y%m%d.log";
    ASSERT_TRUE(test::WriteBytes(temp / L"run_20200101.log", "old"));
    ASSERT_TRUE(test::WriteBytes(temp / L"run_keep.log", "keep"));

    RunLog log(options, false);
    EXPECT_EQ(log.ClearGlobalLog().result, LogsFound);
    log.NameGlobalLog(March5());
    for (const wchar_t* name : {L"A", L"B"}) {
        FolderSetting setting;
        setting.ClearLog = true;  // without a log of its own: no effect
        EXPECT_EQ(log.ClearOwnLog(setting).result, LogsNone);
        ASSERT_FALSE(log.Open(setting, std::time(nullptr)));
        log.WriteHeader(name, L"C:\\m", L"E:\\b");
        log.WriteEntry(RowAction::Update, L"a.txt");
        log.WriteErrorBlock(1, L"", L"retried");
    }
    log.Close();

    EXPECT_FALSE(test::FileExists(temp / L"run_20200101.log"));
    EXPECT_TRUE(test::FileExists(temp / L"run_keep.log"));
    const std::string block = "\r\n-{32}\r\nretried\r\n-{32}\r\n";
    std::smatch match;
    const std::string bytes = test::ReadBytes(temp / L"run_20240305.log");
    ASSERT_TRUE(std::regex_match(bytes, match, std::regex(kHeader + block + kHeader + block))) << bytes;
    EXPECT_EQ(match[1], "A");
    EXPECT_EQ(match[2], "B");
}

TEST(RunLogTest, OnlyAnUpdateRunClearsOrCreatesALog) {
    TempDir temp;
    GlobalOptions options;
    const FolderSetting setting = OwnLog(temp / L"new\\deeper\\own.log");
    const FolderSetting old = OwnLog(temp / L"old.log");
    ASSERT_TRUE(test::WriteBytes(old.LogFileName, "old"));
    {
        RunLog test(options, true);
        EXPECT_EQ(test.ClearOwnLog(old).result, LogsNone);
        EXPECT_FALSE(test.Open(setting, March5()));
        EXPECT_FALSE(test.IsOpen());
    }
    EXPECT_TRUE(test::FileExists(old.LogFileName));
    EXPECT_FALSE(test::FileExists(temp / L"new"));

    RunLog update(options, false);
    EXPECT_EQ(update.ClearOwnLog(old).result, LogsFound);
    EXPECT_FALSE(update.Open(setting, March5()));
    EXPECT_TRUE(update.IsOpen());
    EXPECT_FALSE(test::FileExists(old.LogFileName));
}

TEST(RunLogTest, FailuresComeBackAsBoxesToShow) {
    TempDir temp;
    GlobalOptions options;
    RunLog log(options, false);
    const std::wstring cannotOpen = L"ログファイルがオープンできませんでした。\r\n中断します。\r\n\r\nファイル: ";

    ASSERT_TRUE(test::WriteBytes(temp / L"file", ""));
    const auto folder = log.Open(OwnLog(temp / L"file\\sub\\run.log"), March5());
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->caption, L"ログファイルを開く");
    EXPECT_EQ(folder->flags, static_cast<UINT>(MB_TOPMOST | MB_ICONHAND));
    EXPECT_TRUE(folder->text.starts_with(L"ログファイルのフォルダが作成できませんでした。\r\n中断します。\r\n\r\n"
                                         L"フォルダ: " + temp / L"file\\sub" + L"\r\nエラー詳細: "));

    // A name too long to be formed: the box names the pattern.
    const std::wstring tooLong = temp / (std::wstring(130, L'x') + L"%Y.log");
    const auto unnamed = log.Open(OwnLog(tooLong), March5());
    ASSERT_TRUE(unnamed);
    EXPECT_TRUE(unnamed->text.starts_with(cannotOpen + tooLong + L"\r\nエラー詳細: "));

    const std::wstring held = temp / L"held_2024.log";
    const FolderSetting setting = OwnLog(temp / L"held_%Y.log");
    test::HeldFile holder(held);
    const LogClearing clearing = log.ClearOwnLog(setting);
    ASSERT_TRUE(clearing.failure);
    EXPECT_EQ(clearing.failure->text, L"ログファイルの削除に失敗しました。\r\n以下のファイルを開いているアプリケーションを"
                                      L"終了してください。\r\n\r\n" + held);
    EXPECT_EQ(clearing.failure->caption, L"ログファイルの削除");
    EXPECT_EQ(clearing.failure->flags, static_cast<UINT>(MB_TOPMOST | MB_ICONEXCLAMATION));
    const auto open = log.Open(setting, March5());
    ASSERT_TRUE(open);
    EXPECT_TRUE(open->text.starts_with(cannotOpen + held + L"\r\nエラー詳細: "));
    EXPECT_FALSE(log.IsOpen());
}

TEST(RunLogTest, ViewerSeesBufferedLinesWithoutFurtherWrites) {
    TempDir temp;
    GlobalOptions options;
    FolderSetting setting = OwnLog(temp / L"run.log");
    setting.ClearLog = false;
    setting.WriteLogImmediately = false;
    RunLog log(options, false);
    ASSERT_FALSE(log.Open(setting, March5()));
    log.WriteEntry(RowAction::Create, L"a.txt");
    // Nothing more is written, as during one long copy.
    std::string seen;
    EXPECT_TRUE(test::WaitUntil([&] { return !(seen = test::ReadBytes(log.Path())).empty(); }));
    EXPECT_EQ(seen, Utf8(L"作成 \"a.txt\"\r\n"));
    log.WriteEntry(RowAction::Update, L"b.txt");
    log.Close();
    EXPECT_EQ(test::ReadBytes(temp / L"run.log"), Utf8(L"作成 \"a.txt\"\r\n更新 \"b.txt\"\r\n"));
}

TEST(RunLogTest, EveryRowActionIsLoggedAsItsOwnText) {
    TempDir temp;
    GlobalOptions options;
    FolderSetting setting = OwnLog(temp / L"run.log");
    RunLog log(options, false);
    ASSERT_FALSE(log.Open(setting, March5()));
    for (std::size_t i = 0; i < kRowActionCount; ++i) log.WriteEntry(static_cast<RowAction>(i), L"x");
    log.Close();
    std::wstring expected;
    for (const wchar_t* text : {L"開始", L"テスト開始", L"作成", L"フォルダ作成", L"更新", L"削除", L"フォルダ削除",
                                L"リネーム", L"スキップ", L"中止", L"終了", L"ドライブ判別", L"集計", L"エラー",
                                L"コマンド実行", L"確認", L"履歴へ移動", L"移動"})
        expected += std::wstring(text) + L" \"x\"\r\n";
    EXPECT_EQ(test::ReadBytes(temp / L"run.log"), Utf8(expected));
}

}  // namespace
}  // namespace tandrel
