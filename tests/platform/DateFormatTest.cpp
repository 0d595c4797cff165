#include <gtest/gtest.h>

#include <ctime>
#include <cwchar>

#include "platform/DateFormat.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

using test::LocalTime;

ProjectCollection ProjectsWithWorkAtSlot2(int count = 32) {
    ProjectCollection projects;
    for (int i = 0; i < count; ++i) projects.Add(i == 2 ? L"Work" : L"P" + std::to_wstring(i));
    return projects;
}

TEST(DateFormatTest, FormatsEveryOfferedCode) {
    // Tuesday, 65th day of the year; the year began on a Monday.
    const std::time_t when = LocalTime(2024, 3, 5, 17, 8, 9);
    const ProjectSlot none;
    const struct {
        const wchar_t* pattern;
        const wchar_t* expected;
    } cases[] = {
        {L"%Y%m%d", L"20240305"},     {L"%y-%H%M%S", L"24-170809"}, {L"%I", L"05"}, {L"%j", L"065"},
        {L"%w", L"2"},                {L"%U", L"09"},               {L"%W", L"10"}, {L"100%%", L"100%"},
        {L"C:\\Logs\\log.txt", L"C:\\Logs\\log.txt"}, {L"D:\\ログ\\設定_%Y.log", L"D:\\ログ\\設定_2024.log"},
    };
    for (const auto& c : cases) EXPECT_EQ(DateFormat(c.pattern, none, when), c.expected) << test::Utf8(c.pattern);
}

TEST(DateFormatTest, UnknownCodesGiveEmptyInsteadOfEndingTheProgram) {
    const std::time_t when = LocalTime(2024, 3, 5);
    for (const wchar_t* pattern : {L"%Q", L"log_%", L"%E", L"%Ey", L"%#", L"%Y%TANDREL_UNSET%", L"%0"}) {
        EXPECT_EQ(DateFormat(pattern, {}, when), L"") << test::Utf8(pattern);
    }
    EXPECT_EQ(FormatLocalTime(L"%Q%Y", when), L"");
    EXPECT_EQ(FormatLocalTime(L"%#d", when), L"5");
}

// The numeric codes are written without the runtime: they must read as the
// runtime writes them.
TEST(DateFormatTest, NumericCodesReadAsTheRuntimeWritesThem) {
    for (std::time_t t : {std::time_t{1}, std::time_t{951782400}, std::time_t{1700000000}, std::time_t{2000000000}}) {
        for (const wchar_t* format : {L"%Y/%m/%d %H:%M:%S", L"%y-%m-%d %%", L"%H:%M", L"%Y %A %j"}) {
            wchar_t expected[128];
            ASSERT_GT(std::wcsftime(expected, 128, format, std::localtime(&t)), 0u);
            EXPECT_EQ(FormatLocalTime(format, t), expected) << t << " " << test::Utf8(format);
        }
    }
}

TEST(DateFormatTest, TextsBeyond127CharactersGiveEmpty) {
    const std::time_t when = LocalTime(2024, 3, 5);
    const std::wstring folder = L"C:\\" + std::wstring(115, L'a') + L"\\";
    ASSERT_EQ(folder.size(), 119u);
    EXPECT_EQ(DateFormat(folder + L"%Y.log", {}, when), folder + L"2024.log");  // 127 characters.
    EXPECT_EQ(DateFormat(folder + L"%Y0.log", {}, when), L"");                // 128.
    EXPECT_EQ(DateFormat(folder + L"%Y%m.log", {}, when), L"");               // 129.
    EXPECT_EQ(DateFormat(std::wstring(32000, L'%'), {}, when), L"");
    EXPECT_EQ(DateFormat(L"", {}, when), L"");
}

TEST(DateFormatTest, TimeWithoutLocalFormGivesEmpty) {
    EXPECT_EQ(DateFormat(L"%Y", {}, static_cast<std::time_t>(-100000000000LL)), L"");
}

TEST(DateFormatTest, EnvironmentVariablesExpandAfterFormatting) {
    SetEnvironmentVariableW(L"TANDREL_LOGS", L"D:\\logs");
    EXPECT_EQ(DateFormat(L"%%TANDREL_LOGS%%\\%Y.txt", {}, LocalTime(2024, 3, 5)), L"D:\\logs\\2024.txt");
    // A defined variable may also be written plainly beside the date codes.
    EXPECT_EQ(DateFormat(L"%TANDREL_LOGS%\\%Y%m.txt", {}, LocalTime(2024, 3, 5)), L"D:\\logs\\202403.txt");
    EXPECT_EQ(LogMask(L"%TANDREL_LOGS%\\%Y%m.txt", {}), L"D:\\logs\\??????.txt");
    EXPECT_EQ(LogMask(L"%%TANDREL_LOGS%%\\%Y.txt", {}), L"D:\\logs\\????.txt");
    SetEnvironmentVariableW(L"TANDREL_LOGS", nullptr);
}

TEST(DateFormatTest, ProjectPlaceholders) {
    const ProjectCollection projects = ProjectsWithWorkAtSlot2();
    const ProjectSlot work{&projects, 2};
    EXPECT_EQ(ExpandProjectPlaceholders(L"%0p_%p_%P", work, true), L"03_3_Work");
    EXPECT_EQ(DateFormat(L"%0p_%p_%P", work, LocalTime(2024, 3, 5)), L"03_3_Work");

    const ProjectCollection hundred = ProjectsWithWorkAtSlot2(100);
    EXPECT_EQ(ExpandProjectPlaceholders(L"%0p", {&hundred, 4}, true), L"005");
    const ProjectCollection nine = ProjectsWithWorkAtSlot2(9);
    EXPECT_EQ(ExpandProjectPlaceholders(L"%0p", {&nine, 4}, true), L"5");

    ProjectCollection odd;
    odd.Add(L"a/b:c*d?e<f>g|h\"i\\j k.l");
    EXPECT_EQ(ExpandProjectPlaceholders(L"%P", {&odd, 0}, true), L"a_b_c_d_e_f_g_h_i_j k.l");
    EXPECT_EQ(ExpandProjectPlaceholders(L"%P", {&odd, 0}, false), L"a/b:c*d?e<f>g|h\"i\\j k.l");

    // No active project: number 0, no name; a text without placeholders stays.
    EXPECT_EQ(ExpandProjectPlaceholders(L"%p[%P]", {&projects, -1}, true), L"0[]");
    EXPECT_EQ(ExpandProjectPlaceholders(L"%", {}, true), L"%");
}

TEST(DateFormatTest, MasksStandForEveryDateCode) {
    const ProjectCollection projects = ProjectsWithWorkAtSlot2();
    const ProjectSlot work{&projects, 2};
    EXPECT_EQ(DateMask(L"log_%Y%m%d.txt", work), L"log_????????.txt");
    EXPECT_EQ(DateMask(L"%Y%y%m%d%H%M%S%I%j%U%w%W", work), std::wstring(26, L'?'));
    EXPECT_EQ(DateMask(L"C:\\p%0p\\%P_%Y.log", work), L"C:\\p03\\Work_????.log");
    EXPECT_EQ(DashMask(L"%Y/%m/%d %H:%M:%S"), L"----/--/-- --:--:--");
    // Codes the masks do not know stay as they are.
    EXPECT_EQ(DateMask(L"%a_%Y", work), L"%a_????");
}

}  // namespace
}  // namespace tandrel
