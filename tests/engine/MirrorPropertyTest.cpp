// For random trees and random changes on both sides: the rows of a test run
// are the rows of the update run that follows, and after it the backup
// equals the master.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "EngineRun.h"

namespace tandrel {
namespace {

using test::Batch;
using test::Pair;
using test::Rows;
using test::TempDir;
using test::Utf8;
using test::WriteBytes;

// Relative path → content and last-write time ("<folder>" for folders),
// names as stored.
using Snapshot = std::map<std::wstring, std::string>;

void Scan(const std::wstring& root, const std::wstring& relative, Snapshot& out) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((root + relative + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring rel = relative + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[rel] = "<folder>";
            Scan(root, rel + L"\\", out);
        } else {
            out[rel] = test::ReadBytes(root + rel) + "@" + std::to_string(data.ftLastWriteTime.dwHighDateTime) + ":" +
                       std::to_string(data.ftLastWriteTime.dwLowDateTime);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

Snapshot Take(const std::wstring& root) {
    Snapshot out;
    Scan(root + L"\\", L"", out);
    return out;
}

// Random changes to one tree; every write gets a later time than the last.
class Changer {
public:
    Changer(std::mt19937& random, long long& clock) : random_(random), clock_(clock) {}

    void Change(const std::wstring& root, int count, bool strays) {
        for (int i = 0; i < count; ++i) {
            const Snapshot tree = Take(root);
            std::vector<std::wstring> folders{L""}, files;
            for (const auto& [rel, what] : tree) (what == "<folder>" ? folders : files).push_back(rel + (what == "<folder>" ? L"\\" : L""));
            const std::wstring folder = Pick(folders);
            switch (Below(strays ? 4 : 7)) {
                case 0:
                case 1:
                    Write(root + L"\\" + folder + Pick(kFiles), strays ? -1000 : 0);
                    break;
                case 2:
                    if (folders.size() < 8 && std::count(folder.begin(), folder.end(), L'\\') < 3) {
                        CreateDirectoryW((root + L"\\" + folder + Pick(kFolders)).c_str(), nullptr);
                    }
                    break;
                case 3:
                    if (!files.empty()) Write(root + L"\\" + Pick(files), strays ? -1000 : 0);
                    break;
                case 4:
                    if (!files.empty()) DeleteFileW((root + L"\\" + Pick(files)).c_str());
                    break;
                case 5:
                    if (folders.size() > 1) test::RemoveTree(root + L"\\" + Pick(folders));
                    break;
                case 6:
                    if (!files.empty()) {
                        // A change of letter case only.
                        const std::wstring file = Pick(files);
                        std::wstring upper = file;
                        const size_t name = upper.find_last_of(L'\\') + 1;
                        upper[name] = towupper(upper[name]);
                        // Through another name: a direct one may be taken as done.
                        MoveFileW((root + L"\\" + file).c_str(), (root + L"\\~case").c_str());
                        MoveFileW((root + L"\\~case").c_str(), (root + L"\\" + upper).c_str());
                    }
                    break;
            }
        }
    }

private:
    static inline const std::vector<std::wstring> kFiles{L"a.txt", L"b.txt", L"c.dat", L"d", L"e.txt"};
    static inline const std::vector<std::wstring> kFolders{L"x", L"y", L"z"};

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    const std::wstring& Pick(const std::vector<std::wstring>& from) { return from[static_cast<size_t>(Below(static_cast<int>(from.size())))]; }

    void Write(const std::wstring& path, int offset) {
        ASSERT_TRUE(WriteBytes(path, std::string(static_cast<size_t>(Below(40)), static_cast<char>('a' + Below(26)))));
        clock_ += 10;
        const ULONGLONG ticks = static_cast<ULONGLONG>(clock_ + offset) * 10000000ULL;
        HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        SetFileTime(file, nullptr, nullptr, &time);
        CloseHandle(file);
    }

    std::mt19937& random_;
    long long& clock_;
};

TEST(MirrorPropertyTest, TestRunForetellsTheUpdateAndTheBackupEqualsTheMaster) {
    std::set<std::wstring> actions;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        long long clock = 13000000000LL;
        TempDir temp;
        const std::wstring m = temp / L"m", b = temp / L"b";
        CreateDirectoryW(m.c_str(), nullptr);
        Changer changer(random, clock);
        Batch run;
        run.settings = {Pair(m, b)};
        run.settings[0].BackupType = static_cast<int>(seed % 2);
        for (int round = 0; round < 4; ++round) {
            SCOPED_TRACE(round);
            changer.Change(m, round == 0 ? 12 : 5, false);
            if (round > 0) changer.Change(b, 2, true);
            ASSERT_EQ(run.Run(true), 1);
            const Rows dry = run.Changes();
            for (const std::wstring& row : dry) actions.insert(row.substr(0, row.find(L' ')));
            ASSERT_EQ(run.Run(false), 1);
            EXPECT_EQ(run.Changes(), dry);
            EXPECT_EQ(run.settings[0].Errors, 0);
            EXPECT_EQ(Take(b), Take(m));
            run.Run(true);
            EXPECT_EQ(run.Changes(), Rows{});
        }
    }
    // The rounds made every kind of change.
    EXPECT_EQ(actions, (std::set<std::wstring>{L"フォルダ作成", L"作成", L"更新", L"削除", L"フォルダ削除", L"リネーム"}));
}

}  // namespace
}  // namespace tandrel
