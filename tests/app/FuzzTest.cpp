// Hostile input at scale: mutated and random settings files, target-filter
// lists, command lines and date and log-name patterns fed to the real
// parsers. No case may crash, hang or write outside the test folder.
//
// The suite runs a bounded number of cases; more on request:
//   TANDREL_FUZZ_CASES=<cases per kind>  TANDREL_FUZZ_SEED=<seed>
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "app/CommandLine.h"
#include "engine/TargetFilter.h"
#include "platform/DateFormat.h"
#include "platform/LogFiles.h"
#include "settings/SettingsLocation.h"
#include "settings/SettingsStore.h"

namespace tandrel {
namespace {

using Random = std::mt19937;

unsigned EnvNumber(const wchar_t* name, unsigned fallback) {
    wchar_t text[32] = {};
    if (!GetEnvironmentVariableW(name, text, 32)) return fallback;
    return static_cast<unsigned>(wcstoul(text, nullptr, 10));
}

size_t Pick(Random& random, size_t count) {
    return std::uniform_int_distribution<size_t>(0, count - 1)(random);
}

template <class T, size_t N>
const T& PickOf(Random& random, const T (&items)[N]) {
    return items[Pick(random, N)];
}

// What the case in progress is, for a crash or a hang to name it.
struct CaseInProgress {
    std::atomic<bool> running{false};
    char label[128] = {};
};
CaseInProgress g_case;

LONG CALLBACK NameTheCrash(EXCEPTION_POINTERS* info) {
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    if (code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_STACK_OVERFLOW || code == EXCEPTION_ILLEGAL_INSTRUCTION ||
        code == EXCEPTION_INT_DIVIDE_BY_ZERO) {
        std::fprintf(stderr, "[ fuzz ] crash 0x%08lx in %s\n", code, g_case.label);
        std::fflush(stderr);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// Names every entry of a folder (not below it), for finding writes.
std::set<std::wstring> Listing(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.insert(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

std::wstring TempFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetTempPathW(MAX_PATH, path);
    std::wstring folder(path, n);
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

// Runs the cases of one kind, timing each; a watchdog names a case that hangs.
class Fuzzer {
public:
    explicit Fuzzer(unsigned seed) : seed_(seed), handler_(AddVectoredExceptionHandler(1, NameTheCrash)) {
        // Woken at the end of every case: a case that no end follows within
        // the patience of the suite is a hang, and is named.
        watchdog_ = std::thread([this] {
            for (;;) {
                const DWORD woke = WaitForSingleObject(ended_, test::kPatience);
                if (stop_) break;
                if (woke == WAIT_TIMEOUT && g_case.running) {
                    std::fprintf(stderr, "[ fuzz ] hang in %s\n", g_case.label);
                    std::fflush(stderr);
                    ExitProcess(99);
                }
            }
        });
    }
    ~Fuzzer() {
        stop_ = true;
        SetEvent(ended_);
        watchdog_.join();
        CloseHandle(ended_);
        RemoveVectoredExceptionHandler(handler_);
    }

    template <class Case>
    void Run(const char* kind, unsigned count, Case run) {
        for (unsigned i = 0; i < count; ++i) {
            Random random(seed_ * 7919u + i * 104729u + static_cast<unsigned>(kinds_));
            std::snprintf(g_case.label, sizeof g_case.label, "%s case %u (seed %u)", kind, i, seed_);
            g_case.running = true;
            const auto begin = std::chrono::steady_clock::now();
            run(random, i);
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
            g_case.running = false;
            SetEvent(ended_);
            ++cases_;
            if (ms >= 1000) ++overASecond_;
            if (ms > slowest_) {
                slowest_ = ms;
                slowestLabel_ = g_case.label;
            }
        }
        ++kinds_;
    }

    void Report() const {
        std::printf("[ fuzz ] %u cases, 0 crashes, 0 hangs, %u over a second, slowest %.1f ms: %s\n", cases_,
                    overASecond_, slowest_, slowestLabel_.c_str());
    }

private:
    unsigned seed_;
    unsigned kinds_ = 0;
    unsigned cases_ = 0;
    unsigned overASecond_ = 0;
    double slowest_ = 0;
    std::string slowestLabel_;
    PVOID handler_;
    std::atomic<bool> stop_{false};
    HANDLE ended_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::thread watchdog_;
};

// ---- settings files -------------------------------------------------------

std::wstring BaseSettings() {
    return L"[Save]\r\nSaveRegistory=0\r\n[Options]\r\nIniVersion=0.400\r\nProjectCount=3\r\nActiveProject=1\r\n"
           L"ProjectName=仕事\r\nListCount=2\r\nProject\\002\\ListCount=1\r\nDivideY=200\r\nExecToolCount=2\r\n"
           L"ExecToolName0=全体\r\nExecToolPath0=c0.exe\r\nExecToolParam0=\"%m\" \"%b\"\r\nExecToolName1=b\r\n"
           L"IgnoreSystemFolderNames=RECYCLER;System Volume Information\r\nFontNameDialog=ＭＳ ゴシック\r\n"
           L"FontSizeDialog=90\r\nFormatFolderSetResult=%Y/%m/%d\r\n"
           L"[Window]\r\nMainWindow=10 20 810 620\r\nSetupList=1,2,3,4,5\r\n"
           L"[Project\\001\\]\r\nProjectName=趣味\r\n"
           L"[Define 0]\r\nName=写真\r\nMaster=C:\\m\r\nBackup=D:\\b\r\nTargetFile=*.tmp;*.bak\r\n"
           L"TargetDirectory=re:^te?mp$\r\nTargetFileSize=10MB\r\nLastExec=1600000000\r\nCommandType0=0\r\n"
           L"CommandPath0=before.exe\r\n[Define 1]\r\nName=二\r\nBackupDateDir=%Y-%m\r\nLogFileName=%p_%Y.log\r\n"
           L"[Project\\002\\Define 0]\r\nName=三\r\nCommandType1=1\r\nCommandParam1=%b\r\n";
}

const wchar_t* const kCountKeys[] = {L"ProjectCount", L"ListCount", L"ExecToolCount", L"ActiveProject",
                                     L"Project\\002\\ListCount", L"Project\\999\\ListCount", L"DivideY",
                                     L"NetPathRetryCount", L"Errors", L"FontSizeDialog"};
const wchar_t* const kCounts[] = {L"2147483647", L"-2147483648", L"-1", L"0", L"1000", L"1001", L"99999999999999",
                                  L"-5", L"+7", L"0x10", L"", L" 12 ", L"1e9"};

wchar_t RandomChar(Random& random) {
    switch (Pick(random, 6)) {
        case 0: return static_cast<wchar_t>(0xD800 + Pick(random, 0x800));  // a lone surrogate
        case 1: return static_cast<wchar_t>(Pick(random, 0x20));
        case 2: return PickOf(random, {L'[', L']', L'=', L';', L'"', L'\'', L'%', L'\\', L'\r', L'\n'});
        case 3: return static_cast<wchar_t>(0x3000 + Pick(random, 0x6000));
        default: return static_cast<wchar_t>(0x20 + Pick(random, 0x5F));
    }
}

std::string Bytes(const std::wstring& text, int form) {
    std::string bytes;
    switch (form) {
        case 0:  // UTF-16 with its mark
        case 1:  // without
            bytes = form == 0 ? "\xFF\xFE" : "";
            for (wchar_t c : text) {
                bytes += static_cast<char>(c & 0xFF);
                bytes += static_cast<char>(c >> 8);
            }
            return bytes;
        case 2:  // big-endian with its mark
            bytes = "\xFE\xFF";
            for (wchar_t c : text) {
                bytes += static_cast<char>(c >> 8);
                bytes += static_cast<char>(c & 0xFF);
            }
            return bytes;
        default: {  // UTF-8 with its mark, or the ANSI code page
            const UINT page = form == 3 ? CP_UTF8 : CP_ACP;
            const int n = WideCharToMultiByte(page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                              nullptr);
            bytes.assign(static_cast<size_t>(n > 0 ? n : 0), '\0');
            if (n > 0)
                WideCharToMultiByte(page, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr,
                                    nullptr);
            return form == 3 ? "\xEF\xBB\xBF" + bytes : bytes;
        }
    }
}

std::string MutatedSettings(Random& random) {
    std::wstring text = BaseSettings();
    const size_t edits = 1 + Pick(random, 4);
    for (size_t e = 0; e < edits; ++e) {
        switch (Pick(random, 5)) {
            case 0: {  // a huge, negative or odd count
                const std::wstring key = PickOf(random, kCountKeys);
                text += L"[Options]\r\n" + key + L"=" + PickOf(random, kCounts) + L"\r\n";
                text.insert(0, L"[Options]\r\n" + key + L"=" + PickOf(random, kCounts) + L"\r\n");
                break;
            }
            case 1: {  // a 40,000-character value
                std::wstring value(40000, L'長');
                for (int k = 0; k < 50; ++k) value[Pick(random, value.size())] = RandomChar(random);
                text.insert(Pick(random, text.size() + 1), L"\r\nName=" + value + L"\r\n");
                break;
            }
            case 2:  // lone surrogates and other odd characters anywhere
                for (int k = 0; k < 20; ++k) text.insert(Pick(random, text.size() + 1), 1, RandomChar(random));
                break;
            case 3:  // a piece repeated elsewhere
                if (!text.empty()) {
                    const size_t from = Pick(random, text.size());
                    const std::wstring piece = text.substr(from, Pick(random, 400));
                    text.insert(Pick(random, text.size() + 1), piece);
                }
                break;
            default:  // sections of the far projects
                text += L"[Project\\" + std::to_wstring(Pick(random, 1000)) + L"\\Define" +
                        std::to_wstring(Pick(random, 1100)) + L"]\r\nName=x\r\n";
                break;
        }
    }
    std::string bytes = Bytes(text, static_cast<int>(Pick(random, 5)));
    switch (Pick(random, 4)) {
        case 0:  // flipped bytes
            for (int k = 0; k < 1 + static_cast<int>(Pick(random, 30)); ++k)
                if (!bytes.empty()) bytes[Pick(random, bytes.size())] ^= static_cast<char>(1 << Pick(random, 8));
            break;
        case 1:  // cut short, perhaps inside a character or the mark
            bytes.resize(Pick(random, bytes.size() + 1));
            break;
        case 2:  // a mark that does not fit
            bytes.insert(0, PickOf(random, {std::string("\xFF\xFE"), std::string("\xFE\xFF"),
                                            std::string("\xEF\xBB\xBF"), std::string("\xFF"), std::string("\0\0", 2)}));
            break;
        default: break;
    }
    return bytes;
}

// Start, load every kind of data, export, import and save, as the program does.
void FeedSettings(const test::TempDir& dir, Random& random, unsigned index) {
    const std::wstring file = dir / (L"case" + std::to_wstring(index) + L".ini");
    ASSERT_TRUE(test::WriteBytes(file, MutatedSettings(random)));
    test::MessageRecorder boxes({IDOK, IDOK, IDOK});
    AppState o;
    o.Reset(L"0.400");
    o.iniPath = o.oldIniPath = file;
    o.exeDirectory = dir.Path() + L"\\";
    o.registryKey = L"Software\\TandrelTest\\fuzz";
    if (Pick(random, 3) == 0) o.noSave = o.iniForced = true;
    if (ChooseStorage(o)) OpenSettings(o);
    EXPECT_GE(o.projects.Count(), 1);
    EXPECT_LE(o.projects.Count(), kMaxProjects);
    EXPECT_TRUE(o.projects.Valid(o.ActiveProject));
    std::vector<FolderSetting> settings;
    CommandList commands;
    for (const int p : {0, o.ActiveProject, 2, 999}) {
        const int count = LoadProjectSettings(o, settings, commands, p);
        EXPECT_GE(count, 0);
        EXPECT_LE(count, kMaxSettingsPerProject);
    }
    IsSettingsFile(file);
    ExportSettings(o, dir / L"export.ini");
    AppState target;
    target.Reset(L"0.400");
    target.iniPath = dir / L"target.ini";
    target.exeDirectory = o.exeDirectory;
    target.registryKey = o.registryKey;
    ImportSettings(target, file, true);
    SaveProjectSettings(o, settings, commands, o.ActiveProject, -1, PartAll);
    SaveAtExit(o);
}

// ---- target filters -------------------------------------------------------

const wchar_t* const kFilterPieces[] = {
    L"*.txt", L"*", L"?", L"a?c", L"re:", L"re:^a", L"re:(", L"re:[", L"re:)", L"re:a{2,", L"re:(a+)+$",
    L"re:.*.*.*.*.*x", L"re:\\", L"re:[^]]", L"re:(?=a)", L"re:a|b|", L"(", L")", L"[", L"]", L"{", L"}", L"^",
    L"$", L".", L"+", L"|", L"\\", L"\\\\", L"sub\\*\\x", L"*\\*\\*", L"C:\\abs", L"..", L"名前.txt",
    L"Thumbs.db", L"a+b (1)[x]", L"", L" ", L"re:\\d+\\", L"re:(((((((((((a)))))))))))"};

std::wstring RandomList(Random& random) {
    const size_t entries = Pick(random, 4) == 0 ? 2000 : 1 + Pick(random, 20);
    std::wstring list;
    for (size_t i = 0; i < entries; ++i) {
        if (i) list += L';';
        list += PickOf(random, kFilterPieces);
        if (Pick(random, 4) == 0) list += RandomChar(random);
    }
    return list;
}

std::wstring RandomPath(Random& random) {
    std::wstring path;
    const size_t levels = Pick(random, 6);
    for (size_t i = 0; i < levels; ++i) {
        if (i) path += L'\\';
        for (size_t k = 0, n = 1 + Pick(random, 12); k < n; ++k) path += Pick(random, 3) ? L'a' : RandomChar(random);
    }
    if (Pick(random, 5) == 0) path += std::wstring(300, L'a') + L"b";
    return path;
}

void FeedFilters(Random& random) {
    TargetMatcher matcher;
    BuildFileList(matcher, RandomList(random));
    for (int k = 0; k < 5; ++k) MatchFile(matcher, RandomPath(random), ListMode::Exclude);
    BuildFolderList(matcher, RandomList(random), Pick(random, 2) == 0);
    for (int k = 0; k < 5; ++k) MatchFolder(matcher, RandomPath(random), ListMode::Include);
    matcher.SetPattern(RandomList(random));

    FolderSetting setting;
    setting.Reset(L"x");
    setting.TargetType = static_cast<int>(Pick(random, 6)) - 1;
    setting.TargetFile = RandomList(random);
    setting.TargetDirectory = RandomList(random);
    setting.IgnoreSystemFiles = Pick(random, 2) == 0;
    AppState options;
    options.IgnoreSystemFolderNames = RandomList(random);
    options.IgnoreSystemFileNames = RandomList(random);
    TargetFilters filters;
    filters.Build(setting, options);
    for (int k = 0; k < 5; ++k) {
        filters.FileOutcome(RandomPath(random));
        filters.FolderOutcome(RandomPath(random));
    }
}

// ---- command lines --------------------------------------------------------

void FeedCommandLine(Random& random) {
    static const wchar_t* const switches[] = {L"auto", L"start", L"shutdown", L"hibernation", L"command=",
                                              L"icon", L"ini=", L"oldini=", L"logoff", L"project=",
                                              L"enableregistry", L"enableregistory", L"oldtargetsetting", L""};
    static const wchar_t* const values[] = {L"", L"0", L"1", L"-1", L"1001", L"2147483648", L"-2147483649",
                                            L"99999999999999999999", L"３", L" 5", L"\"", L"C:\\x y\\z"};
    std::vector<std::wstring> args;
    std::wstring line = L"Tandrel.exe";
    for (size_t i = 0, n = Pick(random, 12); i < n; ++i) {
        std::wstring arg = PickOf(random, {L"/", L"-", L"", L"//"});
        arg += PickOf(random, switches);
        if (Pick(random, 2)) arg += PickOf(random, values);
        for (size_t k = 0, extra = Pick(random, 3); k < extra; ++k) arg += RandomChar(random);
        if (Pick(random, 20) == 0) arg += std::wstring(1000, L'x');
        args.push_back(arg);
        line += L" " + arg;
    }
    AppState o;
    o.Reset(L"0.400");
    ParseCommandLine(args, o);
    EXPECT_TRUE(o.ActiveProject == -1 || (o.ActiveProject >= 0 && o.ActiveProject < kMaxProjects));
    EXPECT_FALSE(o.registryAllowed && o.iniForced);
    // The same text split as the system splits the program's command line.
    int count = 0;
    if (LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count)) {
        std::vector<std::wstring> split(argv + (count > 0 ? 1 : 0), argv + count);
        LocalFree(argv);
        AppState again;
        again.Reset(L"0.400");
        ParseCommandLine(split, again);
    }
}

// ---- date folders and log names --------------------------------------------

void FeedPattern(const test::TempDir& dir, Random& random) {
    std::wstring pattern;
    const size_t length = Pick(random, 5) == 0 ? 1000 : Pick(random, 40);
    while (pattern.size() < length) {
        switch (Pick(random, 5)) {
            case 0: pattern += L'%'; pattern += static_cast<wchar_t>(0x20 + Pick(random, 0x5F)); break;
            case 1: pattern += PickOf(random, {L"%0p", L"%p", L"%P", L"%#d", L"%%", L"%TEMP%", L"%NOSUCH%", L"%"}); break;
            case 2: pattern += RandomChar(random); break;
            case 3: pattern += L"\\"; break;
            default: pattern += L"name"; break;
        }
    }
    ProjectCollection projects;
    projects.Add(L"仕事");
    projects.Add(std::wstring(L"a\\b:c*?\"<>|", 11));
    const ProjectSlot slot{&projects, static_cast<int>(Pick(random, 4)) - 1};
    const std::time_t times[] = {0, -1, 1600000000, 4102444800, static_cast<std::time_t>(-62135596800LL),
                                 static_cast<std::time_t>(253402300799LL), static_cast<std::time_t>(1e15)};
    const std::time_t when = PickOf(random, times);
    DateFormat(pattern, slot, when);
    DateMask(pattern, slot);
    LogMask(pattern, slot);
    DashMask(pattern);
    FormatLocalTime(pattern, when);
    ExpandProjectPlaceholders(pattern, slot, Pick(random, 2) == 0);
    // A log name in the test folder is looked for there only.
    FindNewestLog(dir / pattern, slot);
}

TEST(FuzzTest, HostileInputNeitherCrashesNorHangsNorWritesElsewhere) {
    const unsigned cases = EnvNumber(L"TANDREL_FUZZ_CASES", 60);
    const unsigned seed = EnvNumber(L"TANDREL_FUZZ_SEED", std::random_device{}());
    test::TempDir dir;
    const std::wstring temp = TempFolder(), program = test::BuildFolder();
    const std::set<std::wstring> tempBefore = Listing(temp), programBefore = Listing(program);
    {
        Fuzzer fuzzer(seed);
        fuzzer.Run("settings", cases, [&](Random& random, unsigned i) { FeedSettings(dir, random, i); });
        fuzzer.Run("filters", cases, [&](Random& random, unsigned) { FeedFilters(random); });
        fuzzer.Run("command line", cases * 4, [&](Random& random, unsigned) { FeedCommandLine(random); });
        fuzzer.Run("pattern", cases * 4, [&](Random& random, unsigned) { FeedPattern(dir, random); });
        fuzzer.Report();
    }
    EXPECT_EQ(Listing(temp), tempBefore) << "seed " << seed;
    EXPECT_EQ(Listing(program), programBefore) << "seed " << seed;
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TandrelTest\\fuzz");
}

}  // namespace
}  // namespace tandrel
