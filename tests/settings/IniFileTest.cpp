#include <gtest/gtest.h>

#include <random>

#include "SettingsFixture.h"
#include "settings/IniFile.h"
#include "settings/SettingsLocation.h"
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
// letter case (ASCII and beyond) and the odd lines meet each other: NULs,
// blanks before a bracket, and every kind of line end.
std::wstring RandomIni(std::mt19937& random) {
    static const std::wstring pieces[] = {
        L"[a]", L"[A]", L"[b]", L"[ a ]", L"[a", L"[]", L"[Define 1]", L"[Project\\001\\]", L"[c]x",
        L"k=1", L"K=2", L" k = 3 ", L"key=\"q\"", L"key='q'", L"key=\"", L"k", L"=v", L";k=c",
        L"x=a=b", L"\t", L"", L"　k　=　全角　", L"KEY=値", L"k=\x1a", L"Name=\"a\"b\"", L"x = ",
        std::wstring(L"k\0z=nul in name", 15), std::wstring(L"k=nul\0in value", 14), std::wstring(L"[a\0b]", 5),
        std::wstring(L"\0", 1), L"  [b]", L"\t[a]", L" \t [Ä]", L"[ä]", L"Ä=upper", L"ä=lower", L"[Ω]", L"[ω]",
        L"Ｋ=full", L"ｋ=width", L"[Я]", L"я=cyr", L"Я=CYR", L"ß=s", L"ẞ=S",
    };
    static const wchar_t* const ends[] = {L"\n", L"\r\n", L"\r", L"\r\r\n", L"\r\n\r\n", L"\n\r"};
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1), lines(0, 14), end(0, 5),
        endKind(0, std::size(ends) - 1);
    std::wstring text;
    const size_t count = lines(random);
    for (size_t i = 0; i < count; ++i) {
        text += pieces[pick(random)];
        if (end(random) == 0 && pick(random) % 3 == 0) text += L"=" + std::wstring(33000 + pick(random), L'長');
        const size_t e = end(random);
        if (i + 1 < count || e > 1) text += ends[endKind(random)];
    }
    return text;
}

// Every value a text holds, read by the system's profile functions and by
// the store, for a spread of names, in both spellings; and the section
// names. The system reads systemFile, the same text where the system cannot
// read the store's file form.
void ExpectSameReading(const std::wstring& file, const std::wstring& text, const std::wstring& systemFile = {}) {
    const std::wstring& reference = systemFile.empty() ? file : systemFile;
    AppState o;
    o.Reset(L"1.000");
    o.iniPath = file;
    ProfileStore store(o);
    // Names are looked up in ASCII, as the program's own are: Wine folds
    // only ASCII letters, Windows (and the store) every letter with a case.
    static const wchar_t* const sections[] = {L"a", L"A", L"b", L" a ", L"Define 1", L"project\\001\\", L"c", L"x"};
    static const wchar_t* const keys[] = {L"k", L"K", L"key", L" k ", L"x", L"noequals", L"y", L"z", L"q", L"h",
                                          L"last", L"Name", L"Master", L"ProjectName", L"IniVersion", L"ListCount",
                                          L"listcount", L"　k", L"\x1a"};
    std::vector<wchar_t> buffer(32769);
    for (const wchar_t* section : sections) {
        for (const wchar_t* key : keys) {
            const DWORD n = GetPrivateProfileStringW(section, key, L"<none>", buffer.data(), 32768, reference.c_str());
            const std::wstring system(buffer.data(), n);
            EXPECT_EQ(store.ReadString(section, key, L"<none>"), system)
                << "[" << test::Utf8(section) << "] " << test::Utf8(key) << " in:\n" << test::Utf8(text);
            // The same through a whole-section read.
            EXPECT_EQ(SectionReader(store, section).ReadString(key, L"<none>"), system);
        }
    }
    std::vector<wchar_t> names(1 << 20);
    const DWORD n = GetPrivateProfileSectionNamesW(names.data(), static_cast<DWORD>(names.size()), reference.c_str());
    std::vector<std::wstring> system;
    for (size_t at = 0; at < n && names[at];) {
        system.emplace_back(names.data() + at);
        at += system.back().size() + 1;
    }
    EXPECT_EQ(ini::SectionNames(file), system) << "in:\n" << test::Utf8(text);
}

std::string Utf16BigEndianBytes(const std::wstring& text, bool marked) {
    std::string bytes = marked ? "\xFE\xFF" : "";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c >> 8);
        bytes += static_cast<char>(c & 0xFF);
    }
    return bytes;
}

std::string Utf8Bytes(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    return "\xEF\xBB\xBF" + bytes;
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
        // The same text in the other forms a file comes in.
        const std::wstring other = file + L".other";
        switch (i % 3) {
            case 0: ASSERT_TRUE(test::WriteBytes(other, Utf8Bytes(text))); break;
            case 1: ASSERT_TRUE(test::WriteBytes(other, Utf16BigEndianBytes(text, true))); break;
            case 2: break;
        }
        if (i % 3 != 2) ExpectSameReading(other, text);
    }
    // UTF-16 without its mark, which the system takes for ANSI: it reads as
    // the marked text does.
    for (const bool big : {false, true}) {
        const std::wstring text = L"[Options]\r\nProjectName=仕事\r\nListCount=1\r\n[Define 0]\r\nName=\"名前\"\r\n";
        const std::wstring file = dir / (big ? L"bare-be.ini" : L"bare-le.ini");
        ASSERT_TRUE(test::WriteBytes(file, big ? Utf16BigEndianBytes(text, false) : Utf16Bytes(text).substr(2)));
        const std::wstring marked = dir / L"marked.ini";
        ASSERT_TRUE(test::WriteBytes(marked, Utf16Bytes(text)));
        ExpectSameReading(file, text, marked);
    }
}

TEST_F(IniFileTest, ChangesKeepEverythingElseOfTheText) {
    const std::wstring text =
        L"; written by hand\r\n[Options]\r\nFuture = kept  \r\nDivideY=1\r\n\r\n[Define 0]\n;note\nName=old\n"
        L"[define 0]\r\nName=shadowed\r\nlast line";
    WriteIni(text);
    AppState o = NewOptions();
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

TEST_F(IniFileTest, EveryValueWrittenReadsBackAsWrittenThroughTheSystem) {
    const std::wstring values[] = {
        L"\"%m\" \"%b\"", L"'single'", L"\"", L"\"\"", L"'", L"x\"", L"\"x", L"\"a\" b \"c\"", L"  blanks round  ",
        L"\ttab", L"end\t", L" ", L"a=b=c", L"=", L";not a comment", L"[not a section]", L"[x]", L"日本語　全角　",
        L"　全角の空白　", L"\x1a", L"ctrl\x1az", L"", L"plain", std::wstring(32000, L'長'),
        L"\"" + std::wstring(31000, L'q') + L"\"",
    };
    AppState o = NewOptions();
    ProfileStore store(o);
    std::vector<wchar_t> buffer(32769);
    const auto system = [&](const std::wstring& key) {
        const DWORD n = GetPrivateProfileStringW(L"Values", key.c_str(), L"<none>", buffer.data(), 32768,
                                                 iniPath.c_str());
        return std::wstring(buffer.data(), n);
    };
    for (size_t i = 0; i < std::size(values); ++i) {
        const std::wstring key = L"v" + std::to_wstring(i), sectionKey = L"s" + std::to_wstring(i);
        ASSERT_TRUE(store.WriteString(L"Values", key, values[i]));
        SectionWriter writer(store, L"Values");
        writer.WriteString(sectionKey, values[i]);
        ASSERT_TRUE(writer.Commit());
        const std::string shown = test::Utf8(values[i].substr(0, 40));
        EXPECT_EQ(system(key), values[i]) << shown;
        EXPECT_EQ(system(sectionKey), values[i]) << shown;
        EXPECT_EQ(store.ReadString(L"Values", key, L"<none>"), values[i]) << shown;
        // Read at one start and written back at its exit, many times over.
        for (int start = 0; start < 3; ++start)
            ASSERT_TRUE(store.WriteString(L"Values", key, store.ReadString(L"Values", key, L"")));
        EXPECT_EQ(system(key), values[i]) << shown;
    }
}

TEST_F(IniFileTest, ALineEndInAValueNeverAddsALine) {
    AppState o = NewOptions();
    ProfileStore store(o);
    ASSERT_TRUE(store.WriteString(L"Options", L"Name", L"a\r[x]"));
    ASSERT_TRUE(store.WriteString(L"Options", L"Param", L"b\n[y]\r\nk=v"));
    SectionWriter writer(store, L"Options");
    writer.WriteString(L"Tail", L"c\r\n");
    ASSERT_TRUE(writer.Commit());
    // Each line end became one blank.
    std::vector<wchar_t> buffer(1024);
    GetPrivateProfileStringW(L"Options", L"Name", L"", buffer.data(), 1024, iniPath.c_str());
    EXPECT_STREQ(buffer.data(), L"a [x]");
    GetPrivateProfileStringW(L"Options", L"Param", L"", buffer.data(), 1024, iniPath.c_str());
    EXPECT_STREQ(buffer.data(), L"b [y] k=v");
    GetPrivateProfileStringW(L"Options", L"Tail", L"", buffer.data(), 1024, iniPath.c_str());
    EXPECT_STREQ(buffer.data(), L"c ");
    EXPECT_EQ(store.ReadString(L"Options", L"Param", L""), L"b [y] k=v");
    const DWORD n = GetPrivateProfileSectionNamesW(buffer.data(), 1024, iniPath.c_str());
    EXPECT_EQ(std::wstring(buffer.data(), n), std::wstring(L"Options\0", 8));
    EXPECT_EQ(ini::SectionNames(iniPath), std::vector<std::wstring>{L"Options"});
    EXPECT_EQ(GetPrivateProfileStringW(L"Options", L"k", L"<none>", buffer.data(), 1024, iniPath.c_str()), 6u);
}

TEST_F(IniFileTest, AnsiFilesStayAnsi) {
    ASSERT_TRUE(test::WriteBytes(iniPath, "[Options]\r\nName=abc\r\n"));
    AppState o = NewOptions();
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
    AppState o = NewOptions();
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
    AppState o = NewOptions();
    HANDLE held = CreateFileW(iniPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    MessageRecorder boxes;
    EXPECT_FALSE(ProfileStore(o).WriteInt(L"Options", L"DivideY", 6));
    CloseHandle(held);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(ProfileStore(o).ReadInt(L"Options", L"DivideY", 0), 5);
}

// The options of a child on the file its parent named.
AppState ChildOptions() {
    wchar_t path[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TANDREL_KILL_FILE", path, MAX_PATH);
    AppState o;
    o.Reset(L"1.000");
    o.iniPath = path;
    return o;
}

// Saves two different projects in turn for ever, until killed.
TEST(IniKillChild, DISABLED_SavesForEver) {
    AppState o = ChildOptions();
    ASSERT_FALSE(o.iniPath.empty());
    CommandList commands;
    const auto first = Settings(L"first", 300, commands), second = Settings(L"second", 300, commands);
    for (unsigned round = 0;; ++round) SaveProjectSettings(o, round % 2 ? second : first, commands, 0, -1, PartAll);
}

// Saves once into a folder that refuses the last rename, and ends.
TEST(IniKillChild, DISABLED_SavesOnceButCannotPutTheFileInPlace) {
    AppState o = ChildOptions();
    ASSERT_FALSE(o.iniPath.empty());
    CommandList commands;
    ini::SetPlaceFault([](const std::wstring&) { return static_cast<unsigned long>(ERROR_ACCESS_DENIED); });
    MessageRecorder boxes;
    EXPECT_FALSE(SaveProjectSettings(o, Settings(L"first", 300, commands), commands, 0, -1, PartAll));
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    ini::SetPlaceFault({});
}

// What a save leaves beside the settings file while it runs.
std::vector<std::wstring> NewFilesBeside(const test::TempDir& dir) {
    std::vector<std::wstring> found;
    for (const wchar_t* pattern : {L"*.tmp", L"*.new"}) {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((dir / pattern).c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) continue;
        do found.push_back(data.cFileName);
        while (FindNextFileW(find, &data));
        FindClose(find);
    }
    return found;
}

// Size and time of the last write: another save shows in either.
std::pair<ULONGLONG, ULONGLONG> WriteStamp(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return {0, 0};
    return {(static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
            (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime};
}

TEST_F(IniFileTest, AKilledSaveLeavesTheOldOrTheNewFile) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"TANDREL_KILL_FILE", iniPath.c_str()));
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    for (int round = 0; round < 4; ++round) {
        const auto before = WriteStamp(iniPath);
        HANDLE child = test::StartChild(L"IniKillChild.DISABLED_SavesForEver");
        ASSERT_NE(child, nullptr);
        // Once it has saved in this round, kill it at a moment of chance.
        test::WaitUntil("the child's save", [&] { return WriteStamp(iniPath) != before; }, test::kPatience, 5);
        Sleep(std::uniform_int_distribution<DWORD>(0, 300)(random));
        TerminateProcess(child, 9);
        test::WaitForExit(child, "the killed child");
        CloseHandle(child);

        AppState o = NewOptions();
        std::vector<FolderSetting> back;
        CommandList commands;
        ASSERT_EQ(LoadProjectSettings(o, back, commands, 0), 300) << "round " << round << ", seed " << seed;
        const std::wstring prefix = back[0].Name.substr(0, back[0].Name.size() - 1);
        ASSERT_TRUE(prefix == L"first" || prefix == L"second");
        for (int i = 0; i < 300; ++i) EXPECT_EQ(back[static_cast<size_t>(i)].Name, prefix + std::to_wstring(i));
        // What the killed save had begun is cleared away by the next read.
        EXPECT_EQ(NewFilesBeside(dir), std::vector<std::wstring>{}) << "round " << round << ", seed " << seed;
    }
    SetEnvironmentVariableW(L"TANDREL_KILL_FILE", nullptr);
}

TEST_F(IniFileTest, ASaveThatCouldNotPutItsFileInPlaceIsTakenUpByTheNextStart) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"TANDREL_KILL_FILE", iniPath.c_str()));
    HANDLE child = test::StartChild(L"IniKillChild.DISABLED_SavesOnceButCannotPutTheFileInPlace");
    ASSERT_NE(child, nullptr);
    const DWORD code = test::WaitForExit(child, "the child");
    CloseHandle(child);
    SetEnvironmentVariableW(L"TANDREL_KILL_FILE", nullptr);
    ASSERT_EQ(code, 0u);
    ASSERT_FALSE(test::FileExists(iniPath));
    ASSERT_EQ(NewFilesBeside(dir).size(), 1u);

    // No first-run question: the whole new file becomes the settings file.
    AppState o = NewOptions();
    MessageRecorder boxes;
    EXPECT_TRUE(ChooseStorage(o));
    EXPECT_TRUE(boxes.Boxes().empty());
    std::vector<FolderSetting> back;
    CommandList commands;
    ASSERT_EQ(LoadProjectSettings(o, back, commands, 0), 300);
    EXPECT_EQ(back[299].Name, L"first299");
    EXPECT_TRUE(test::FileExists(iniPath));
    EXPECT_TRUE(NewFilesBeside(dir).empty());
}

TEST_F(IniFileTest, NothingBesideAMissingSettingsFileIsDeleted) {
    // Half a file of a process that is gone, and no settings file.
    const std::wstring half = iniPath + L".999996-1.tmp";
    ASSERT_TRUE(test::WriteBytes(half, "\xFF\xFE[Opt"));
    AppState o = NewOptions();
    EXPECT_EQ(ProfileStore(o).ReadInt(L"Options", L"DivideY", -1), -1);
    EXPECT_TRUE(test::FileExists(half));
    EXPECT_FALSE(test::FileExists(iniPath));
    // Once the settings file is there, it goes.
    WriteIni(L"[Options]\r\nDivideY=4\r\n");
    EXPECT_EQ(ProfileStore(o).ReadInt(L"Options", L"DivideY", -1), 4);
    EXPECT_FALSE(test::FileExists(half));
}

TEST_F(IniFileTest, ARewrittenFileKeepsItsAttributesAndAReadOnlyOneIsNotWritten) {
    WriteIni(L"[Options]\r\nDivideY=1\r\n");
    ASSERT_TRUE(SetFileAttributesW(iniPath.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    AppState o = NewOptions();
    ASSERT_TRUE(ProfileStore(o).WriteInt(L"Options", L"DivideY", 2));
    WIN32_FILE_ATTRIBUTE_DATA after{};
    ASSERT_TRUE(GetFileAttributesExW(iniPath.c_str(), GetFileExInfoStandard, &after));
    EXPECT_TRUE(after.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(ProfileStore(o).ReadInt(L"Options", L"DivideY", 0), 2);

    ASSERT_TRUE(SetFileAttributesW(iniPath.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string stored = test::ReadBytes(iniPath);
    {
        MessageRecorder boxes;
        EXPECT_FALSE(ProfileStore(o).WriteInt(L"Options", L"DivideY", 3));
        EXPECT_EQ(boxes.Boxes().size(), 1u);
    }
    EXPECT_EQ(test::ReadBytes(iniPath), stored);
    SetFileAttributesW(iniPath.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace tandrel
