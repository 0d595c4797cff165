// For random trees and random changes on both sides, files and folders
// moved and renamed among them: the rows and the
// operations of a test run are those of the update run that follows, and
// after it the backup holds what the options say it should. Rounds with failing listings delete
// nothing below a folder that could not be read; rounds whose copy pass
// cannot read a folder that the deletion pass can read still delete there
// what the master lacks, and only that.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "StagedFaults.h"
#include "platform/Strings.h"

namespace tandrel {
namespace {

using test::Batch;
using test::Pair;
using test::Rows;
using test::StagedFaults;
using test::TempDir;
using test::Utf8;
using test::WriteBytes;

struct Entry {
    bool folder = false;
    std::string content;
    // Last-write time in whole seconds.
    long long seconds = 0;
    bool operator==(const Entry&) const = default;
};

// Relative path → entry, names as stored.
using Snapshot = std::map<std::wstring, Entry>;

void Scan(const std::wstring& root, const std::wstring& relative, Snapshot& out) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((root + relative + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring rel = relative + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[rel] = {true, {}, 0};
            Scan(root, rel + L"\\", out);
        } else {
            const ULONGLONG ticks = (ULONGLONG{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
            out[rel] = {false, test::ReadBytes(root + rel), static_cast<long long>(ticks / 10000000ULL)};
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

Snapshot Take(const std::wstring& root) {
    Snapshot out;
    Scan(root + L"\\", L"", out);
    return out;
}

std::string Show(const Snapshot& tree) {
    std::string out;
    for (const auto& [rel, entry] : tree) out += Utf8(rel) + (entry.folder ? "\\" : "=" + entry.content) + "\n";
    return out;
}

bool Excluded(const std::wstring& rel, bool filtered) {
    return filtered && rel.size() > 4 && EqualsNoCase(rel.substr(rel.size() - 4), L".dat");
}

// What the backup holds after an update run without faults: the master's
// folders and target files; a backup file newer than the master's stays
// when Overwrite is off, under the master's spelling.
Snapshot Expected(const Snapshot& master, const Snapshot& before, bool overwrite, bool filtered) {
    Snapshot out;
    for (const auto& [rel, entry] : master) {
        if (entry.folder) {
            out[rel] = entry;
            continue;
        }
        if (Excluded(rel, filtered)) continue;
        out[rel] = entry;
        if (overwrite) continue;
        for (const auto& [old, kept] : before) {
            if (!kept.folder && EqualsNoCase(old, rel) && kept.seconds > entry.seconds + 2) out[rel] = kept;
        }
    }
    return out;
}

bool Inside(const std::wstring& rel, const std::wstring& folder) {
    return folder.empty() || (rel.size() > folder.size() && EqualsNoCase(rel.substr(0, folder.size()), folder));
}

// Random changes to one tree; every write gets a later time than the last.
class Changer {
public:
    // moves: the master's changes include files moved and folders renamed.
    Changer(std::mt19937& random, long long& clock, bool moves = false)
        : random_(random), clock_(clock), moves_(moves) {}

    // The master's own changes, or strays in the backup: older or newer
    // files, and files and folders that took the other kind's place.
    void Change(const std::wstring& root, int count, bool strays) {
        for (int i = 0; i < count; ++i) {
            const Snapshot tree = Take(root);
            std::vector<std::wstring> folders{L""}, files;
            for (const auto& [rel, entry] : tree) {
                if (entry.folder) {
                    folders.push_back(rel + L"\\");
                } else {
                    files.push_back(rel);
                }
            }
            const std::wstring folder = Pick(folders);
            switch (Below(strays || !moves_ ? 10 : 13)) {
                case 0:
                case 1:
                    Write(root + L"\\" + folder + Pick(kFiles), strays ? -1000 : 0);
                    break;
                case 2:
                    if (!strays && folders.size() < 8 && std::count(folder.begin(), folder.end(), L'\\') < 3) {
                        CreateDirectoryW((root + L"\\" + folder + Pick(kFolders)).c_str(), nullptr);
                    }
                    break;
                case 3:
                    if (!files.empty()) Write(root + L"\\" + Pick(files), strays ? 1000 : 0);
                    break;
                case 4:
                    if (!strays && !files.empty()) DeleteFileW((root + L"\\" + Pick(files)).c_str());
                    break;
                case 5:
                    // A sub-folder with everything in it.
                    if (!strays && folders.size() > 1) test::RemoveTree(root + L"\\" + Parent(folders));
                    break;
                case 6:
                    if (!strays && !files.empty()) {
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
                case 7:
                    // A file becomes a folder of its name.
                    if (!files.empty()) {
                        const std::wstring path = root + L"\\" + Pick(files);
                        DeleteFileW(path.c_str());
                        CreateDirectoryW(path.c_str(), nullptr);
                        Write(path + L"\\" + Pick(kFiles), strays ? -1000 : 0);
                    }
                    break;
                case 8:
                    // A folder becomes a file of its name.
                    if (folders.size() > 1) {
                        const std::wstring path = root + L"\\" + Parent(folders);
                        test::RemoveTree(path);
                        Write(path, strays ? -1000 : 0);
                    }
                    break;
                case 9:
                    // In the backup: a folder the master lacks, with a file.
                    if (folders.size() < 8 && std::count(folder.begin(), folder.end(), L'\\') < 3) {
                        const std::wstring path = root + L"\\" + folder + Pick(kFolders);
                        CreateDirectoryW(path.c_str(), nullptr);
                        Write(path + L"\\" + Pick(kFiles), strays ? -1000 : 0);
                    }
                    break;
                case 10:
                    // A file moved to another folder, its time kept.
                    if (!files.empty()) {
                        const std::wstring file = Pick(files);
                        const std::wstring name = file.substr(file.find_last_of(L'\\') + 1);
                        MoveFileW((root + L"\\" + file).c_str(), (root + L"\\" + folder + name).c_str());
                    }
                    break;
                case 11:
                    Rename(root, folders);
                    break;
                case 12:
                    // A folder moved into another one, with everything in it.
                    if (folders.size() > 1) {
                        const std::wstring old = Parent(folders) + L"\\";
                        if (!Inside(folder, old) && !EqualsNoCase(folder, old)) {
                            const std::wstring name = old.substr(old.find_last_of(L'\\', old.size() - 2) + 1);
                            MoveFileW((root + L"\\" + old).c_str(), (root + L"\\" + folder + name).c_str());
                        }
                    }
                    break;
            }
        }
    }

    // A folder renamed, with everything in it.
    void Rename(const std::wstring& root, const std::vector<std::wstring>& folders) {
        if (folders.size() < 2) return;
        const std::wstring old = Parent(folders);
        const std::wstring renamed = old.substr(0, old.find_last_of(L'\\') + 1) + Pick(kFolders) + L"r";
        MoveFileW((root + L"\\" + old).c_str(), (root + L"\\" + renamed).c_str());
    }
    void Rename(const std::wstring& root) {
        std::vector<std::wstring> folders{L""};
        for (const auto& [rel, entry] : Take(root)) {
            if (entry.folder) folders.push_back(rel + L"\\");
        }
        Rename(root, folders);
    }

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    template <class T>
    const T& Pick(const std::vector<T>& from) {
        return from[static_cast<size_t>(Below(static_cast<int>(from.size())))];
    }

private:
    static inline const std::vector<std::wstring> kFiles{L"a.txt", L"b.txt", L"c.dat", L"d", L"e.txt"};
    static inline const std::vector<std::wstring> kFolders{L"x", L"y", L"z"};

    // A folder other than the root, without its final backslash.
    std::wstring Parent(const std::vector<std::wstring>& folders) {
        const std::wstring& folder = folders[1 + static_cast<size_t>(Below(static_cast<int>(folders.size()) - 1))];
        return folder.substr(0, folder.size() - 1);
    }

    // Nothing where a folder has the name, or a file has the folder's.
    void Write(const std::wstring& path, int offset) {
        if (!WriteBytes(path, std::string(static_cast<size_t>(Below(40)), static_cast<char>('a' + Below(26))))) return;
        clock_ += 10;
        const ULONGLONG ticks = static_cast<ULONGLONG>(clock_ + offset) * 10000000ULL;
        HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        SetFileTime(file, nullptr, nullptr, &time);
        CloseHandle(file);
    }

    std::mt19937& random_;
    long long& clock_;
    const bool moves_;
};

// After an update whose copy pass could not list the master's folder
// "unread" (ending in a backslash, "" for the root) and whose deletion pass
// could: outside it the backup is what the options say; inside it nothing
// was copied, and exactly what the master lacks (or holds as the other
// kind, or excludes) was deleted.
void ExpectDeletedOnlyWhatTheMasterLacks(const Snapshot& after, const Snapshot& before, const Snapshot& expected,
                                         const std::wstring& unread) {
    const auto kept = [&](const std::wstring& rel, const Entry& entry) {
        for (const auto& [other, wanted] : expected) {
            if (EqualsNoCase(other, rel) && wanted.folder == entry.folder) return true;
        }
        return false;
    };
    Snapshot outsideAfter, outsideExpected, insideAfter, insideWanted;
    for (const auto& [rel, entry] : after) (Inside(rel, unread) ? insideAfter : outsideAfter)[rel] = entry;
    for (const auto& [rel, entry] : expected) {
        if (!Inside(rel, unread)) outsideExpected[rel] = entry;
    }
    for (const auto& [rel, entry] : before) {
        if (Inside(rel, unread) && kept(rel, entry)) insideWanted[rel] = entry;
    }
    EXPECT_EQ(outsideAfter, outsideExpected) << "backup:\n" << Show(outsideAfter) << "expected:\n" << Show(outsideExpected);
    EXPECT_EQ(insideAfter, insideWanted) << "backup:\n" << Show(insideAfter) << "expected:\n" << Show(insideWanted);
}

// workers: 同時コピー数; with more than one, the update runs copy on several
// threads at once (most rounds, on two or more).
void ForetellAndHoldWhatTheOptionsSay(int workers) {
    std::set<std::wstring> actions;
    size_t mostCopyThreads = 0;
    // The moves that took a folder along.
    int folderMoves = 0;
    const auto countFolderMoves = [&](const std::vector<std::wstring>& carried) {
        const std::wstring move = std::to_wstring(static_cast<int>(OperationKind::Move)) + L" ";
        for (const std::wstring& operation : carried) {
            if (operation.rfind(move, 0) != 0) continue;
            const std::wstring to = operation.substr(move.size(), operation.find(L" < ") - move.size());
            const DWORD attributes = GetFileAttributesW(to.c_str());
            folderMoves += attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        }
    };
    for (unsigned seed = 1; seed <= 16; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        long long clock = 13000000000LL;
        TempDir temp;
        const std::wstring m = temp / L"m", base = temp / L"b";
        CreateDirectoryW(m.c_str(), nullptr);
        // The master's files and folders are also moved and renamed; the
        // seeds whose deletion pass comes first make no move (the copy pass
        // then finds nothing the mirror would remove).
        Changer changer(random, clock, true);
        Batch run;
        run.options.ParallelCopies = workers;
        run.settings = {Pair(m, base)};
        FolderSetting& s = run.settings[0];
        s.BackupType = static_cast<int>(seed % 2);
        s.Overwrite = seed % 3 != 0;
        s.Verify = seed % 5 == 0;
        s.CopyFolderTime = seed % 4 < 2;
        // Filters and date folders with either pass first.
        const bool filtered = seed % 6 == 1 || seed % 6 == 2;
        if (filtered) {
            s.TargetFile = L"*.dat";
            s.DeleteIgnoreTarget = true;
        }
        // A date folder beside an older one that nothing may touch.
        const bool dated = seed % 6 == 3 || seed % 6 == 4;
        std::wstring b = base;
        if (dated) {
            s.MakeDateDir = true;
            s.BackupDateDir = L"dated";
            b = base + L"\\dated";
            test::MakeFolders(temp.Path(), {L"b\\older"});
            WriteBytes(base + L"\\older\\o.txt", "o");
        }
        for (int round = 0; round < 5; ++round) {
            SCOPED_TRACE(round);
            changer.Change(m, round == 0 ? 12 : 5, false);
            // A folder the backup holds, renamed as a whole at the last.
            if (round > 0) changer.Rename(m);
            if (round > 0) changer.Change(b, 3, true);
            const Snapshot master = Take(m);
            Snapshot before = Take(b);
            // Rounds 2 and 4 of the later seeds cannot list one folder of
            // either tree: nothing below it is deleted. Rounds 1 and 3 of
            // those whose copy pass comes first cannot list it the first
            // time a run lists it, in the copy pass: the deletion pass reads
            // it again and still deletes in there what the master lacks.
            const bool unreadable = seed > 6 && round % 2 == 0 && round > 0;
            const bool unreadOnce = s.BackupType == 0 && round % 2 == 1;
            std::wstring unread, root;
            if (unreadable || unreadOnce) {
                std::vector<std::wstring> candidates{L""};
                for (const auto& [rel, entry] : master) {
                    if (entry.folder) candidates.push_back(rel + L"\\");
                }
                unread = changer.Pick(candidates);
                root = changer.Below(2) ? m : b;
            }
            if (unreadable) {
                StagedFaults faults;
                faults.fail = [&](FaultPoint point, const std::wstring& path, int) -> DWORD {
                    return point == FaultPoint::List && EqualsNoCase(path, root + L"\\" + unread) ? ERROR_ACCESS_DENIED : 0;
                };
                SCOPED_TRACE(Utf8(root + L"\\" + unread));
                run.Run(false);
                const Snapshot after = Take(b);
                for (const auto& kept : before) {
                    const std::wstring& rel = kept.first;
                    if (!Inside(rel, unread)) continue;
                    // Perhaps under the master's letter case now.
                    const bool stays = std::any_of(after.begin(), after.end(),
                                                   [&](const auto& now) { return EqualsNoCase(now.first, rel); });
                    EXPECT_TRUE(stays) << Utf8(rel);
                }
                continue;
            }
            if (unreadOnce) {
                const std::wstring path = root + L"\\" + unread;
                SCOPED_TRACE(Utf8(path));
                const auto fault = [&](StagedFaults& faults) {
                    faults.fail = [&](FaultPoint point, const std::wstring& listed, int seen) -> DWORD {
                        return point == FaultPoint::List && EqualsNoCase(listed, path) && seen == 1 ? ERROR_ACCESS_DENIED
                                                                                                    : 0;
                    };
                };
                Rows dry;
                bool hit = false;
                {
                    StagedFaults faults;
                    fault(faults);
                    ASSERT_EQ(run.Run(true), 1);
                    dry = run.Changes();
                    for (const std::wstring& row : dry) {
                        if (row.rfind(L"エラー ", 0) != 0) actions.insert(row.substr(0, row.find(L' ')));
                    }
                }
                {
                    StagedFaults faults;
                    fault(faults);
                    ASSERT_EQ(run.Run(false), 1);
                    hit = faults.calls.count({FaultPoint::List, FoldCase(path)}) > 0;
                    countFolderMoves(faults.carried);
                }
                EXPECT_EQ(run.Changes(), dry);
                // A backup folder that cannot be listed is asked per entry.
                EXPECT_EQ(s.Errors, hit && root == m ? 1 : 0);
                const Snapshot expected = Expected(master, before, s.Overwrite, filtered), after = Take(b);
                if (root == m) {
                    ExpectDeletedOnlyWhatTheMasterLacks(after, before, expected, unread);
                } else {
                    EXPECT_EQ(after, expected) << "backup:\n" << Show(after) << "expected:\n" << Show(expected);
                }
                // The next run, below, completes the backup.
                before = after;
            }

            // The test run's operations are the update run's, one for one.
            std::vector<std::wstring> planned;
            {
                StagedFaults trace;
                ASSERT_EQ(run.Run(true), 1);
                planned = trace.carried;
            }
            const Rows dry = run.Changes();
            for (const std::wstring& row : dry) actions.insert(row.substr(0, row.find(L' ')));
            {
                StagedFaults trace;
                ASSERT_EQ(run.Run(false), 1);
                EXPECT_EQ(trace.carried, planned);
                mostCopyThreads = std::max(mostCopyThreads, trace.copyThreads.size());
                countFolderMoves(trace.carried);
            }
            EXPECT_EQ(run.Changes(), dry);
            EXPECT_EQ(s.Errors, 0);
            const Snapshot expected = Expected(master, before, s.Overwrite, filtered), after = Take(b);
            EXPECT_EQ(after, expected) << "backup:\n" << Show(after) << "expected:\n" << Show(expected);
            run.Run(true);
            for (const std::wstring& row : run.Changes()) {
                EXPECT_EQ(row.rfind(L"スキップ ", 0), 0u) << Utf8(row);
                actions.insert(row.substr(0, row.find(L' ')));
            }
            if (dated) {
                EXPECT_EQ(test::ReadBytes(base + L"\\older\\o.txt"), "o");
            }
        }
    }
    // The rounds made every kind of change.
    EXPECT_EQ(actions,
              (std::set<std::wstring>{L"フォルダ作成", L"作成", L"更新", L"削除", L"フォルダ削除", L"リネーム", L"スキップ",
                                      L"移動"}));
    EXPECT_GT(folderMoves, 0);
    if (workers == 1) {
        EXPECT_EQ(mostCopyThreads, 1u);
    } else {
        EXPECT_GE(mostCopyThreads, 2u);
    }
}

TEST(MirrorPropertyTest, TestRunForetellsTheUpdateAndTheBackupHoldsWhatTheOptionsSay) {
    ForetellAndHoldWhatTheOptionsSay(1);
}

TEST(MirrorPropertyTest, WithCopyThreadsTheUpdateIsStillWhatTheTestRunForetold) {
    ForetellAndHoldWhatTheOptionsSay(4);
}

// With the history on, across random rounds of edits, deletions and kinds
// swapped on both sides: every content the backup ever held is afterwards in
// the backup or in the history.
void WithHistoryNothingIsLost(int workers) {
    const auto contents = [](const Snapshot& tree) {
        std::set<std::string> out;
        for (const auto& [rel, entry] : tree) {
            if (!entry.folder) out.insert(entry.content);
        }
        return out;
    };
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        long long clock = 13000000000LL;
        TempDir temp;
        const std::wstring m = temp / L"m", b = temp / L"b", history = temp / L"b.履歴";
        CreateDirectoryW(m.c_str(), nullptr);
        Changer changer(random, clock, true);
        Batch run;
        run.options.ParallelCopies = workers;
        run.settings = {Pair(m, b)};
        FolderSetting& s = run.settings[0];
        s.DeleteHistory = true;
        s.HistoryDays = 0;
        s.HistoryMinRuns = 9999;
        s.BackupType = static_cast<int>(seed % 2);
        s.OverwriteAlways = seed % 3 == 0;
        for (int round = 0; round < 6; ++round) {
            SCOPED_TRACE(round);
            changer.Change(m, round == 0 ? 12 : 5, false);
            if (round > 0) changer.Rename(m);
            // Strays written into the backup in place replace what it held;
            // the run must lose nothing the backup and history hold then.
            if (round > 0) changer.Change(b, 3, true);
            std::set<std::string> held = contents(Take(b));
            held.merge(contents(Take(history)));
            ASSERT_EQ(run.Run(false), 1);
            EXPECT_EQ(s.Errors, 0);
            std::set<std::string> now = contents(Take(b));
            now.merge(contents(Take(history)));
            for (const std::string& content : held) EXPECT_TRUE(now.count(content) > 0) << "lost: " << content;
        }
        EXPECT_FALSE(Take(history).empty());
    }
}

TEST(MirrorPropertyTest, WithHistoryNothingTheBackupHeldIsLost) {
    WithHistoryNothingIsLost(1);
    WithHistoryNothingIsLost(3);
}

}  // namespace
}  // namespace tandrel
