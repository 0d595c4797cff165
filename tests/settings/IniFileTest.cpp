#include <gtest/gtest.h>

#include <random>

#include "SettingsFixture.h"
#include "settings/IniFile.h"
#include "settings/ProfileStore.h"
#include "settings/SettingsStore.h"

namespace tandrel {
namespace {

using test::MessageRecorder;
using IniFileTest = test::SettingsTest;

std::string Utf16Bytes(const std::wstring& text) {
    return "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

// Hand-edited files: what users and other versions leave behind.
const wchar_t* const kHandEdited[] = {
    L"[Options]\r\nIniVersion=1.000\r\n",
    L"[Options]\r\n  ListCount  =  3  \r\n\tk\t=\tv\t\r\n",
    L"; comment\r\n[options]\r\nK=first\r\nk=second\r\nKEY=\"quoted value\"\r\nq='single'\r\nh=\"half\r\n",
    L"[a]\r\nnoequals\r\nnoequals=later\r\nx==double\r\ny=a=b\r\n",
    L"[a]\r\nk=1\r\n[A]\r\nk=2\r\nz=only in second\r\n",
    L"[ a ]\r\nk=padded name\r\n[a]b]\r\nk=inner bracket\r\n[b\r\nk=no close\r\n",
    L"[b]\nk=unix ends\nlast=no end",
    L"\r\n\r\n[b]\r\n\r\nk = spaced\r\n\r\n[]\r\nk=empty section\r\n",
    L"k=before any section\r\n[a]\r\n;k=commented\r\nk=after\r\n",
    L"[Define 1]\r\nName=日本語\r\nMaster=C:\\フォルダ\\\r\n[Project\\001\\]\r\nProjectName=　全角　\r\n",
    L"[a]\r\nk=\"\"\r\nx=\"\r\ny=''\r\nz= \" spaced \" \r\n",
    L"[a]\r\nk=\x1a\x1atail\x1a\r\n\x1a[b]\r\nk=ctrl z\r\n",
    L"[a]\r\nk=value\rwith cr\r\nx\r=y\r\n",
};

// Random files over a small vocabulary, so that names repeat in every
// letter case and the odd lines meet each other.
std::wstring RandomIni(std::mt19937& random) {
    static const wchar_t* const pieces[] = {
        L"[a]", L"[A]", L"[b]", L"[ a ]", L"[a", L"[]", L"[Define 1]", L"[Project\\001\\]", L"[c]x",
        L"k=1", L"K=2", L" k = 3 ", L"key=\"q\"", L"key='q'", L"key=\"", L"k", L"=v", L";k=c",
        L"x=a=b", L"\t", L"", L"　k　=　全角　", L"KEY=値", L"k=\x1a", L"Name=\"a\"b\"", L"x = ",
    };
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1), lines(0, 14), end(0, 5);
    std::wstring text;
    const size_t count = lines(random);
    for (size_t i = 0; i < count; ++i) {
        text += pieces[pick(random)];
        if (end(random) == 0 && pick(random) % 3 == 0) text += L"=" + std::wstring(33000 + pick(random), L'長');
        const size_t e = end(random);
        if (i + 1 < count || e > 1) text += e == 0 ? L"\n" : L"\r\n";
    }
    return text;
}

// Every value a text holds, read by the system's profile functions and by
// the store, for a spread of names, in both spellings.
void ExpectSameReading(const std::wstring& file, const std::wstring& text) {
    GlobalOptions o;
    o.Reset(L"1.000");
    o.iniPath = file;
    ProfileStore store(o);
    static const wchar_t* const sections[] = {L"a", L"A", L"b", L" a ", L"Define 1", L"project\\001\\", L"c", L"x"};
    static const wchar_t* const keys[] = {L"k", L"K", L"key", L" k ", L"x", L"noequals", L"y", L"z", L"q", L"h",
                                          L"last", L"Name", L"Master", L"ProjectName", L"IniVersion", L"ListCount",
                                          L"listcount", L"　k", L"\x1a"};
    std::vector<wchar_t> buffer(32769);
    for (const wchar_t* section : sections) {
        for (const wchar_t* key : keys) {
            const DWORD n = GetPrivateProfileStringW(section, key, L"<none>", buffer.data(), 32768, file.c_str());
            const std::wstring system(buffer.data(), n);
            EXPECT_EQ(store.ReadString(section, key, L"<none>"), system)
                << "[" << test::Utf8(section) << "] " << test::Utf8(key) << " in:\n" << test::Utf8(text);
            // The same through a whole-section read.
            EXPECT_EQ(SectionReader(store, section).ReadString(key, L"<none>"), system);
        }
    }
}

TEST_F(IniFileTest, ReadsEveryValueAsTheSystemDoes) {
    int n = 0;
    for (const wchar_t* text : kHandEdited) {
        const std::wstring file = dir / (L"hand" + std::to_wstring(n++) + L".ini");
        ASSERT_TRUE(test::WriteBytes(file, Utf16Bytes(text)));
        ExpectSameReading(file, text);
        // Files without the mark read in the ANSI code page.
        const std::wstring ansiFile = file + L".ansi";
        const std::string ansi = test::Utf8(text);
        std::string bytes(ansi.size() * 2, '\0');
        const int length = WideCharToMultiByte(CP_ACP, 0, text, -1, bytes.data(), static_cast<int>(bytes.size()),
                                               nullptr, nullptr);
        bytes.resize(length > 0 ? static_cast<size_t>(length - 1) : 0);
        ASSERT_TRUE(test::WriteBytes(ansiFile, bytes));
        ExpectSameReading(ansiFile, text);
    }
    std::mt19937 random(20261207);
    for (int i = 0; i < 100 && !HasFailure(); ++i) {
        const std::wstring text = RandomIni(random);
        const std::wstring file = dir / (L"random" + std::to_wstring(i) + L".ini");
        ASSERT_TRUE(test::WriteBytes(file, Utf16Bytes(text)));
        ExpectSameReading(file, text);
    }
}

TEST_F(IniFileTest, ChangesKeepEverythingElseOfTheText) {
    const std::wstring text =
        L"; written by hand\r\n[Options]\r\nFuture = kept  \r\nDivideY=1\r\n\r\n[Define 0]\n;note\nName=old\n"
        L"[define 0]\r\nName=shadowed\r\nlast line";
    WriteIni(text);
    GlobalOptions o = NewOptions();
    ProfileStore store(o);
    ASSERT_TRUE(store.WriteInt(L"options", L"DIVIDEY", 2));
    ASSERT_TRUE(store.WriteString(L"Options", L"Added", L"新"));
    ASSERT_TRUE(store.WriteString(L"Define 0", L"Name", L"new"));
    ASSERT_TRUE(store.WriteString(L"Window", L"MainWindow", L"1 2 3 4"));
    EXPECT_EQ(test::ReadUtf16File(iniPath),
              L"; written by hand\r\n[Options]\r\nFuture = kept  \r\nDivideY=2\r\nAdded=新\r\n\r\n[Define 0]\n;note\n"
              L"Name=new\n[define 0]\r\nName=shadowed\r\nlast line\r\n[Window]\r\nMainWindow=1 2 3 4\r\n");
    // A deleted section lets the next one of its name show, as the system does.
    ASSERT_TRUE(store.DeleteSection(L"DEFINE 0"));
    EXPECT_EQ(store.ReadString(L"Define 0", L"Name", L""), L"shadowed");
    ASSERT_TRUE(store.DeleteKey(L"Options", L"future"));
    EXPECT_EQ(store.ReadString(L"Options", L"Future", L"gone"), L"gone");

    // A change made on disk by someone else is seen by the next read.
    WriteIni(L"[Options]\r\nDivideY=77\r\n");
    EXPECT_EQ(store.ReadInt(L"Options", L"DivideY", 0), 77);
}

TEST_F(IniFileTest, AnsiFilesStayAnsi) {
    ASSERT_TRUE(test::WriteBytes(iniPath, "[Options]\r\nName=abc\r\n"));
    GlobalOptions o = NewOptions();
    ASSERT_TRUE(ProfileStore(o).WriteString(L"Options", L"Other", L"x"));
    EXPECT_EQ(test::ReadBytes(iniPath), "[Options]\r\nName=abc\r\nOther=x\r\n");
}

std::vector<FolderSetting> Settings(const std::wstring& name, int count, CommandList& commands) {
    std::vector<FolderSetting> settings(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        settings[static_cast<size_t>(i)].Reset(name + std::to_wstring(i));
        settings[static_cast<size_t>(i)].Master = L"C:\\" + name + L"\\" + std::wstring(200, L'm');
    }
    (void)commands;
    return settings;
}

TEST_F(IniFileTest, AFailedWriteLeavesTheOldFileWhole) {
    GlobalOptions o = NewOptions();
    CommandList commands;
    ASSERT_TRUE(SaveProjectSettings(o, Settings(L"old", 20, commands), commands, 0, -1, PartAll));
    const std::string before = test::ReadBytes(iniPath);

    ini::SetWriteFault([](const std::wstring&) { return static_cast<unsigned long>(ERROR_DISK_FULL); });
    {
        MessageRecorder boxes;
        EXPECT_FALSE(SaveProjectSettings(o, Settings(L"new", 30, commands), commands, 0, -1, PartAll));
        EXPECT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_FALSE(ProfileStore(o).WriteString(L"Options", L"Single", L"x"));
    }
    ini::SetWriteFault({});
    EXPECT_EQ(test::ReadBytes(iniPath), before);
    // Nothing half-written is left beside it, and memory forgot the change.
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((dir / L"*.tmp").c_str(), &found);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    std::vector<FolderSetting> back;
    EXPECT_EQ(LoadProjectSettings(o, back, commands, 0), 20);
    EXPECT_EQ(back[5].Name, L"old5");
    EXPECT_EQ(ProfileStore(o).ReadString(L"Options", L"Single", L"none"), L"none");

    // Leftovers of a process that is gone are cleared on the next read;
    // those of a running one stay.
    const std::wstring gone = iniPath + L".999996-1.tmp";
    const std::wstring running = iniPath + L"." + std::to_wstring(GetCurrentProcessId()) + L"-999.tmp";
    ASSERT_TRUE(test::WriteBytes(gone, "half"));
    ASSERT_TRUE(test::WriteBytes(running, "half"));
    WriteIni(L"[Options]\r\nDivideY=3\r\n");
    EXPECT_EQ(ProfileStore(o).ReadInt(L"Options", L"DivideY", 0), 3);
    EXPECT_FALSE(test::FileExists(gone));
    EXPECT_TRUE(test::FileExists(running));
}

TEST_F(IniFileTest, AFileThatCannotBeReadIsNeverWrittenOver) {
    WriteIni(L"[Options]\r\nDivideY=5\r\n");
    GlobalOptions o = NewOptions();
    HANDLE held = CreateFileW(iniPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    MessageRecorder boxes;
    EXPECT_FALSE(ProfileStore(o).WriteInt(L"Options", L"DivideY", 6));
    CloseHandle(held);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(ProfileStore(o).ReadInt(L"Options", L"DivideY", 0), 5);
}

// Saves two different projects in turn for ever, until killed.
TEST(IniKillChild, DISABLED_SavesForEver) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"TANDREL_KILL_FILE", path, MAX_PATH), 0u);
    GlobalOptions o;
    o.Reset(L"1.000");
    o.iniPath = path;
    CommandList commands;
    const auto first = Settings(L"first", 300, commands), second = Settings(L"second", 300, commands);
    for (unsigned round = 0;; ++round) SaveProjectSettings(o, round % 2 ? second : first, commands, 0, -1, PartAll);
}

TEST_F(IniFileTest, AKilledSaveLeavesTheOldOrTheNewFile) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_TRUE(SetEnvironmentVariableW(L"TANDREL_KILL_FILE", iniPath.c_str()));
    std::mt19937 random(7);
    for (int round = 0; round < 4; ++round) {
        std::wstring command = L"\"" + std::wstring(self) +
                               L"\" --gtest_filter=IniKillChild.* --gtest_also_run_disabled_tests";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &process));
        // Let it save a few times, then kill it at a moment of chance.
        for (int wait = 0; wait < 200 && !test::FileExists(iniPath); ++wait) Sleep(20);
        Sleep(300 + std::uniform_int_distribution<int>(0, 400)(random));
        TerminateProcess(process.hProcess, 9);
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);

        GlobalOptions o = NewOptions();
        std::vector<FolderSetting> back;
        CommandList commands;
        ASSERT_EQ(LoadProjectSettings(o, back, commands, 0), 300) << "round " << round;
        const std::wstring prefix = back[0].Name.substr(0, back[0].Name.size() - 1);
        ASSERT_TRUE(prefix == L"first" || prefix == L"second");
        for (int i = 0; i < 300; ++i) EXPECT_EQ(back[static_cast<size_t>(i)].Name, prefix + std::to_wstring(i));
        // What the killed save had begun is cleared away by the next read.
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((dir / L"*.tmp").c_str(), &found);
        EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "round " << round;
        if (find != INVALID_HANDLE_VALUE) FindClose(find);
    }
    SetEnvironmentVariableW(L"TANDREL_KILL_FILE", nullptr);
}

}  // namespace
}  // namespace tandrel
