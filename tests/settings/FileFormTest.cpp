// What a settings file is on disk survives a save: its encoding as text,
// its links, its security; and a file too big to be text is refused.
#include <windows.h>

#include <gtest/gtest.h>
#include <sddl.h>

#include "SettingsFixture.h"
#include "settings/IniFile.h"
#include "settings/ProfileStore.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsStore.h"

namespace tandrel {
namespace {

using test::MessageRecorder;
using FileFormTest = test::SettingsTest;

AppState Started(AppState o) {
    EXPECT_TRUE(ChooseStorage(o));
    OpenSettings(o);
    return o;
}

// Files beside the settings file whose names begin with its own.
std::vector<std::wstring> Beside(const std::wstring& iniPath, const wchar_t* pattern) {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((iniPath + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return found;
    do found.push_back(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

DWORD Links(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return ok ? info.nNumberOfLinks : 0;
}

TEST_F(FileFormTest, AUtf8FileWithoutAMarkIsReadAsUtf8WithEveryProject) {
    const std::wstring text = L"[Options]\r\nProjectCount=33\r\nProjectName=日本語の設定・写真\r\nListCount=0\r\n"
                              L"; 手で書いた行\r\n[Project\\032\\]\r\nProjectName=三十三番目\r\n";
    ASSERT_TRUE(test::WriteBytes(iniPath, test::Utf8(text)));
    MessageRecorder boxes;
    AppState o = Started(NewOptions());
    ASSERT_EQ(o.projects.Count(), 33);
    EXPECT_EQ(o.projects.Name(0), L"日本語の設定・写真");
    EXPECT_EQ(o.projects.Name(32), L"三十三番目");
    // Kept as a copy and written back as UTF-16, every line as it was.
    const std::vector<std::wstring> backups = Beside(iniPath, L".*.bak");
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(test::ReadBytes(dir / backups[0]), test::Utf8(text));
    EXPECT_EQ(test::ReadUtf16File(iniPath), text);
    EXPECT_TRUE(boxes.Boxes().empty());

    // Bytes that are not UTF-8 stay in the ANSI code page.
    ASSERT_TRUE(test::WriteBytes(dir / L"ansi.ini", "[Options]\r\nProjectName=\x93\xfa\x96\x7b\r\n"));
    EXPECT_EQ(ini::EncodingOf(dir / L"ansi.ini"), ini::Encoding::Ansi);
}

TEST_F(FileFormTest, AnEmptyFileIsEmptyAndAHugeOneIsRefused) {
    ASSERT_TRUE(test::WriteBytes(iniPath, ""));
    {
        MessageRecorder boxes;
        AppState o = Started(NewOptions());
        EXPECT_EQ(o.settingsReadError, 0u);
        EXPECT_TRUE(Beside(iniPath, L".*.bak").empty());
        EXPECT_TRUE(boxes.Boxes().empty());
        EXPECT_TRUE(SaveAtExit(o));
        EXPECT_EQ(test::ReadBytes(iniPath).substr(0, 2), "\xFF\xFE");
    }

    // 2 GiB of bytes: no text the system converts, never "no settings".
    HANDLE file = CreateFileW(iniPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size{};
    size.QuadPart = 1LL << 31;
    ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    MessageRecorder boxes;
    AppState o = Started(NewOptions());
    EXPECT_EQ(o.settingsReadError, static_cast<unsigned long>(ERROR_FILE_TOO_LARGE));
    EXPECT_TRUE(boxes.Boxes().empty());
    ReportUnreadSettings(o);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text.rfind(L"INI ファイルを読み込めませんでした。", 0), 0u);
    EXPECT_TRUE(SaveAtExit(o));
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(iniPath.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_EQ(data.nFileSizeLow, 0x80000000u);
}

TEST_F(FileFormTest, AHardLinkStaysOneAndACutWriteIsFinished) {
    WriteIni(test::FullSettingsText());
    const std::wstring other = dir / L"other.ini";
    ASSERT_TRUE(CreateHardLinkW(other.c_str(), iniPath.c_str(), nullptr));
    AppState o = Started(NewOptions());
    o.RecycleBinFileCount = 55;
    ASSERT_TRUE(SaveOptions(o, GroupSheet));
    EXPECT_EQ(Links(iniPath), 2u);
    EXPECT_EQ(Value(L"Options", L"RecycleBinFileCount", other), L"55");
    EXPECT_EQ(Value(L"Project\\001\\", L"ProjectName", other), L"趣味");
    EXPECT_TRUE(Beside(iniPath, L".*-*.*").empty());

    // Killed while writing in place: half the file, and the whole copy of a
    // process that is gone. The next read finishes it.
    const std::string whole = test::ReadBytes(iniPath);
    ASSERT_TRUE(test::WriteBytes(iniPath + L".999996-1.put", whole));
    HANDLE file = CreateFileW(iniPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "\xFF\xFE[\0O\0", 6, &written, nullptr);
    SetEndOfFile(file);
    CloseHandle(file);
    AppState next = Started(NewOptions());
    EXPECT_EQ(next.RecycleBinFileCount, 55);
    EXPECT_EQ(next.projects.Name(1), L"趣味");
    EXPECT_EQ(test::ReadBytes(other), whole);
    EXPECT_EQ(Links(iniPath), 2u);
    EXPECT_TRUE(Beside(iniPath, L".*-*.*").empty());

    // A process killed after its in-place write, before it removed its copy:
    // a later save supersedes the copy, which must not undo it afterwards.
    ASSERT_TRUE(test::WriteBytes(iniPath + L".999995-1.put", whole));
    next.RecycleBinFileCount = 77;
    ASSERT_TRUE(SaveOptions(next, GroupSheet));
    EXPECT_EQ(Started(NewOptions()).RecycleBinFileCount, 77);
    EXPECT_EQ(Value(L"Options", L"RecycleBinFileCount", other), L"77");
    EXPECT_TRUE(Beside(iniPath, L".*-*.*").empty());
}

// A symbolic link the fixture made on the Unix side.
TEST_F(FileFormTest, ASymbolicLinkStaysOne) {
    const std::wstring link = L"G:\\links\\settings\\link.ini", real = L"G:\\links\\settings\\real\\Tandrel.ini";
    WriteIni(test::FullSettingsText(), real);
    AppState o = NewOptions();
    o.iniPath = link;
    o = Started(o);
    ASSERT_EQ(o.projects.Name(1), L"趣味");
    o.RecycleBinFileCount = 66;
    ASSERT_TRUE(SaveOptions(o, GroupSheet));
    EXPECT_EQ(test::ReadBytes(link), test::ReadBytes(real));
    EXPECT_EQ(Value(L"Options", L"RecycleBinFileCount", real), L"66");
    EXPECT_EQ(Value(L"Project\\001\\", L"ProjectName", real), L"趣味");
    EXPECT_TRUE(Beside(real, L".*-*.*").empty());
    EXPECT_TRUE(Beside(link, L".*-*.*").empty());
}

TEST_F(FileFormTest, TheFilesSecurityIsKeptAndAFolderWithoutRoomIsWrittenInPlace) {
    WriteIni(test::FullSettingsText());
    auto dacl = [&](SECURITY_INFORMATION what) {
        DWORD size = 0;
        GetFileSecurityW(iniPath.c_str(), what, nullptr, 0, &size);
        std::vector<BYTE> sd(size);
        wchar_t* text = nullptr;
        if (!size || !GetFileSecurityW(iniPath.c_str(), what, sd.data(), size, &size) ||
            !ConvertSecurityDescriptorToStringSecurityDescriptorW(sd.data(), SDDL_REVISION_1, what, &text, nullptr))
            return std::wstring(L"<none>");
        std::wstring result = text;
        LocalFree(text);
        return result;
    };
    // Only its owner may reach it, unlike a new file.
    const std::wstring owner = dacl(OWNER_SECURITY_INFORMATION);
    ASSERT_EQ(owner.rfind(L"O:", 0), 0u);
    PSECURITY_DESCRIPTOR wanted = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW((L"D:(A;;FA;;;" + owner.substr(2) + L")").c_str(),
                                                                     SDDL_REVISION_1, &wanted, nullptr));
    ASSERT_TRUE(SetFileSecurityW(iniPath.c_str(), DACL_SECURITY_INFORMATION, wanted));
    LocalFree(wanted);
    const std::wstring before = dacl(DACL_SECURITY_INFORMATION);
    ASSERT_EQ(before.find(L";WD)"), std::wstring::npos) << test::Utf8(before);
    AppState o = Started(NewOptions());
    o.RecycleBinFileCount = 44;
    ASSERT_TRUE(SaveOptions(o, GroupSheet));
    EXPECT_EQ(Value(L"Options", L"RecycleBinFileCount"), L"44");
    EXPECT_EQ(dacl(DACL_SECURITY_INFORMATION), before);

    // No new file may be made beside it: the file itself takes the save, whole.
    ini::SetCreateFault([](const std::wstring&) { return static_cast<unsigned long>(ERROR_ACCESS_DENIED); });
    o.RecycleBinFileCount = 33;
    o.projects.Rename(1, std::wstring(3000, L'長'));
    EXPECT_TRUE(SaveOptions(o, GroupSheet | GroupProjects));
    ini::SetCreateFault({});
    EXPECT_EQ(Value(L"Options", L"RecycleBinFileCount"), L"33");
    EXPECT_EQ(Value(L"Project\\001\\", L"ProjectName"), std::wstring(3000, L'長'));
    EXPECT_EQ(Value(L"Define 0", L"Name"), L"日本語の設定");
    EXPECT_TRUE(Beside(iniPath, L".*-*.*").empty());
}

}  // namespace
}  // namespace tandrel
