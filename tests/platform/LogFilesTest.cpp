#include <gtest/gtest.h>

#include "platform/LogFiles.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

using test::TempDir;

// Writes a file whose last-write time lies the given number of days after 2020-01-01.
void WriteLog(const std::wstring& path, int day) {
    ASSERT_TRUE(test::WriteBytes(path, "log"));
    SYSTEMTIME base{2020, 1, 0, 1, 12, 0, 0, 0};
    FILETIME time;
    SystemTimeToFileTime(&base, &time);
    ULARGE_INTEGER t{{time.dwLowDateTime, time.dwHighDateTime}};
    t.QuadPart += static_cast<ULONGLONG>(day) * 24 * 3600 * 10000000ULL;
    time = {t.LowPart, t.HighPart};
    HANDLE f = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    SetFileTime(f, nullptr, nullptr, &time);
    CloseHandle(f);
}

TEST(LogFilesTest, NewestLogIsTheLatestWrittenOfTheMasksLength) {
    TempDir temp;
    WriteLog(temp / L"log_20240101.txt", 10);
    WriteLog(temp / L"log_20240301.txt", 30);  // newest of the matching names
    WriteLog(temp / L"log_20240201.txt", 20);
    WriteLog(temp / L"log_2019.txt", 99);     // shorter than the mask
    WriteLog(temp / L"log_202401011.txt", 99);
    ASSERT_TRUE(CreateDirectoryW((temp / L"log_20990101.txt").c_str(), nullptr));

    EXPECT_EQ(FindNewestLog(temp / L"log_%Y%m%d.txt", {}), temp / L"log_20240301.txt");
    EXPECT_TRUE(AnyLogExists(temp / L"log_%Y%m%d.txt", {}));
    EXPECT_FALSE(AnyLogExists(temp / L"log_%y.txt", {}));
    // Environment variables name the folder the log is written to, also
    // when their names begin like date codes (%U, %T).
    SetEnvironmentVariableW(L"USERTANDREL", temp.Path().c_str());
    EXPECT_TRUE(AnyLogExists(L"%USERTANDREL%\\log_%Y%m%d.txt", {}));
    SetEnvironmentVariableW(L"USERTANDREL", nullptr);
    EXPECT_EQ(FindNewestLog(temp / L"none_%Y.txt", {}), L"");
    EXPECT_EQ(FindNewestLog(L"", {}), L"");
}

TEST(LogFilesTest, DeletesAndCountsPerProject) {
    TempDir temp;
    ProjectCollection projects;
    projects.Add(L"A");
    projects.Add(L"B");
    projects.Add(L"C");
    const std::wstring pattern = temp / L"p%p_%Y%m%d.log";

    EXPECT_EQ(DeleteLogsAllProjects(pattern, projects, false).result, LogsNone);

    WriteLog(temp / L"p1_20240101.log", 1);
    WriteLog(temp / L"p1_20240102.log", 2);
    WriteLog(temp / L"p3_20240101.log", 1);
    WriteLog(temp / L"p3_keep.log", 1);

    const LogCleanup counted = DeleteLogsAllProjects(pattern, projects, true);
    EXPECT_EQ(counted.result, LogsFound);
    EXPECT_EQ(counted.count, 3);
    EXPECT_TRUE(test::FileExists(temp / L"p1_20240101.log"));

    const LogCleanup second = DeleteLogsForPattern(pattern, {&projects, 1}, false);
    EXPECT_EQ(second.result, LogsNone);

    const LogCleanup first = DeleteLogsForPattern(pattern, {&projects, 0}, false);
    EXPECT_EQ(first.result, LogsFound);
    EXPECT_EQ(first.count, 2);
    EXPECT_FALSE(test::FileExists(temp / L"p1_20240101.log"));
    EXPECT_TRUE(test::FileExists(temp / L"p3_20240101.log"));
    EXPECT_TRUE(test::FileExists(temp / L"p3_keep.log"));
}

TEST(LogFilesTest, SharedPatternIsCountedOnce) {
    TempDir temp;
    ProjectCollection projects;
    for (int i = 0; i < 32; ++i) projects.Add(L"P");
    WriteLog(temp / L"run_2024.log", 1);
    const LogCleanup counted = DeleteLogsAllProjects(temp / L"run_%Y.log", projects, true);
    EXPECT_EQ(counted.result, LogsFound);
    EXPECT_EQ(counted.count, 1);
}

TEST(LogFilesTest, OneHeldLogAmongTenIsReported) {
    TempDir temp;
    ProjectCollection projects;
    projects.Add(L"A");
    projects.Add(L"B");
    for (int project = 1; project <= 2; ++project) {
        for (int day = 1; day <= 5; ++day) {
            WriteLog(temp / (L"p" + std::to_wstring(project) + L"_2024010" + std::to_wstring(day) + L".log"), day);
        }
    }
    const std::wstring held = temp / L"p2_20240103.log";
    LogCleanup cleanup;
    {
        test::HeldFile holder(held);
        cleanup = DeleteLogsAllProjects(temp / L"p%p_%Y%m%d.log", projects, false);
    }
    EXPECT_EQ(cleanup.result, LogsFailed);
    EXPECT_EQ(cleanup.count, 9);
    EXPECT_EQ(cleanup.failures, held);
    EXPECT_TRUE(test::FileExists(held));
    EXPECT_FALSE(test::FileExists(temp / L"p2_20240104.log"));

    const LogDeletion rest = DeleteLogs(temp / L"p?_????????.log", false);
    EXPECT_EQ(rest.result, LogsFound);
    EXPECT_EQ(rest.count, 1);
}

TEST(LogFilesTest, ClearingTakesOnlyNamesWithDigitsWhereTheDatesAre) {
    TempDir temp;
    for (const wchar_t* name : {L"20240105.txt", L"20231231.TXT", L"notes-01.txt", L"abcdefgh.txt", L"2024010x.txt",
                                L"20240105.doc", L"2024-1-5.txt"}) {
        WriteLog(temp / name, 1);
    }
    const LogCleanup cleared = DeleteLogsForPattern(temp / L"%Y%m%d.txt", {}, false);
    EXPECT_EQ(cleared.result, LogsFound);
    EXPECT_EQ(cleared.count, 2);
    EXPECT_FALSE(test::FileExists(temp / L"20240105.txt"));
    EXPECT_FALSE(test::FileExists(temp / L"20231231.TXT"));
    for (const wchar_t* kept : {L"notes-01.txt", L"abcdefgh.txt", L"2024010x.txt", L"20240105.doc", L"2024-1-5.txt"}) {
        EXPECT_TRUE(test::FileExists(temp / kept)) << test::Utf8(kept);
    }
}

TEST(LogFilesTest, EnvironmentVariablesNameTheSameLogsForWritingClearingAndFinding) {
    TempDir temp;
    // "%U" alone is a date code (week); "%UTANDREL_LOGS%" is the variable.
    ASSERT_TRUE(SetEnvironmentVariableW(L"UTANDREL_LOGS", temp.Path().c_str()));
    const std::wstring pattern = L"%UTANDREL_LOGS%\\log_%Y%m.txt";
    const std::time_t when = test::LocalTime(2024, 3, 15, 12);
    const std::wstring written = DateFormat(pattern, {}, when);
    EXPECT_EQ(written, temp / L"log_202403.txt");
    WriteLog(written, 1);
    WriteLog(temp / L"log_2024xx.txt", 2);
    EXPECT_EQ(FindNewestLog(pattern, {}), written);
    const LogCleanup cleared = DeleteLogsForPattern(pattern, {}, false);
    EXPECT_EQ(cleared.count, 1);
    EXPECT_FALSE(test::FileExists(written));
    EXPECT_TRUE(test::FileExists(temp / L"log_2024xx.txt"));
    // A variable that is not set stays an unknown code: no name at all.
    EXPECT_EQ(DateFormat(L"%TANDREL_UNSET_VAR%\\%Y.txt", {}, when), L"");
    SetEnvironmentVariableW(L"UTANDREL_LOGS", nullptr);
}

}  // namespace
}  // namespace tandrel
