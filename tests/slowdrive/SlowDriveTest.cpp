// The real program backing up to and from drive S:, a slow file system
// (slowfs, mounted by the slow_drive_mount fixture) that the prefix shows
// as a network drive.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>

#include "ProgramCopy.h"
#include "StagedFaults.h"
#include "TestSupport.h"

namespace tandrel {
namespace {

using test::ProgramCopy;
using test::TempDir;

// What a test may rely on only when the slow drive is really there: the
// file system answers its marker with the delay it waits.
void RequireSlowDrive() {
    const std::string marker = test::ReadBytes(L"S:\\.slow-drive");
    ASSERT_EQ(marker.rfind("delay ", 0), 0u)
        << "the slow drive S: is not mounted: scripts/slow-drive.sh mount needs /dev/fuse and fuse3 "
           "(read \""
        << marker << "\")";
}

struct Entry {
    bool folder = false;
    std::string bytes;
    ULONGLONG written = 0;
};
using Tree = std::map<std::wstring, Entry>;

void Read(const std::wstring& base, const std::wstring& relative, Tree& tree) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((base + relative + L"\\*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << test::Utf8(base + relative);
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = relative + L"\\" + name;
        Entry& entry = tree[path];
        entry.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (entry.folder) {
            Read(base, path, tree);
        } else {
            entry.bytes = test::ReadBytes(base + path);
            entry.written = (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                            data.ftLastWriteTime.dwLowDateTime;
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

Tree ReadTree(const std::wstring& base) {
    Tree tree;
    Read(base, L"", tree);
    return tree;
}

// Equal names, kinds, contents and last-write times; the first difference
// is named.
void ExpectSameTree(const std::wstring& master, const std::wstring& backup) {
    const Tree a = ReadTree(master), b = ReadTree(backup);
    for (const auto& [path, entry] : a) {
        const auto other = b.find(path);
        ASSERT_NE(other, b.end()) << "missing in the backup: " << test::Utf8(path);
        EXPECT_EQ(other->second.folder, entry.folder) << test::Utf8(path);
        EXPECT_EQ(other->second.bytes, entry.bytes) << test::Utf8(path);
        if (!entry.folder) {
            EXPECT_EQ(other->second.written, entry.written) << test::Utf8(path);
        }
    }
    for (const auto& [path, entry] : b) {
        EXPECT_TRUE(a.count(path)) << "only in the backup: " << test::Utf8(path);
    }
}

// Folders of files of 1 to 8 KiB, drawn from a fixed seed.
void MakeSmallTree(const std::wstring& base, unsigned seed) {
    std::mt19937 random(seed);
    ASSERT_TRUE(CreateDirectoryW(base.c_str(), nullptr));
    for (int f = 0; f < 4; ++f) {
        std::wstring folder = base + L"\\フォルダ" + std::to_wstring(f);
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        if (f == 3) {
            folder += L"\\深い";
            ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        }
        for (int i = 0; i < 6; ++i) {
            std::string bytes(1024 + random() % (7 * 1024 + 1), '\0');
            for (char& c : bytes) c = static_cast<char>(random());
            ASSERT_TRUE(test::WriteBytes(folder + L"\\file" + std::to_wstring(i) + L".bin", bytes));
        }
    }
}

// One automatic run of a mirroring setting; its exit code.
DWORD MirrorOnce(const std::wstring& master, const std::wstring& backup) {
    ProgramCopy program(true, L"[Options]\r\nListCount=1\r\n[Define 0]\r\nName=S\r\nMaster=" + master +
                                  L"\r\nBackup=" + backup + L"\r\nMirroring=1\r\n");
    HANDLE process = program.Start(L"/auto");
    if (!process) return STILL_ACTIVE;
    return test::ExitCodeWithin(process);
}

// A fresh folder on the slow drive, removed afterwards.
struct SlowFolder {
    std::wstring path = L"S:\\run" + std::to_wstring(GetCurrentProcessId());
    SlowFolder() { test::RemoveTree(path); }
    ~SlowFolder() { test::RemoveTree(path); }
};

TEST(SlowDriveTest, IsMountedAndSeenAsANetworkDrive) {
    RequireSlowDrive();
    EXPECT_EQ(GetDriveTypeW(L"S:\\"), static_cast<UINT>(DRIVE_REMOTE));
    // The marker is found by its name only: a mirror never sees it.
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(L"S:\\*", &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            EXPECT_NE(std::wstring(data.cFileName), L".slow-drive");
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
}

TEST(SlowDriveTest, AnAutomaticRunMirrorsASmallTreeToTheDriveAndBack) {
    RequireSlowDrive();
    TempDir local;
    SlowFolder slow;
    const std::wstring master = local / L"master", backup = slow.path + L"\\backup";
    MakeSmallTree(master, 28);

    // First copy onto the slow drive.
    ASSERT_EQ(MirrorOnce(master, backup), 0u);
    ExpectSameTree(master, backup);

    // A change, an addition and a deletion.
    ASSERT_TRUE(test::WriteBytes(master + L"\\フォルダ1\\file2.bin", std::string(3000, 'c')));
    ASSERT_TRUE(test::WriteBytes(master + L"\\フォルダ3\\深い\\new.bin", std::string(1500, 'n')));
    ASSERT_TRUE(DeleteFileW((master + L"\\フォルダ0\\file5.bin").c_str()));
    ASSERT_EQ(MirrorOnce(master, backup), 0u);
    ExpectSameTree(master, backup);
    EXPECT_FALSE(test::FileExists(backup + L"\\フォルダ0\\file5.bin"));

    // The slow drive as the master: read back into a local folder.
    const std::wstring back = local / L"back";
    ASSERT_EQ(MirrorOnce(backup, back), 0u);
    ExpectSameTree(backup, back);
}

// The engine with 同時コピー数 自動, which is several threads for a network
// drive: the update does what its test run foretold, row for row and
// operation for operation, and the backup is the master.
TEST(SlowDriveTest, CopyThreadsMirrorARandomTreeOntoTheDriveAsTheTestRunForetold) {
    RequireSlowDrive();
    TempDir local;
    SlowFolder slow;
    const std::wstring master = local / L"master", backup = slow.path + L"\\backup";
    MakeSmallTree(master, 29);
    test::Batch run;
    run.settings = {test::Pair(master, backup)};
    run.settings[0].Mirroring = true;
    run.settings[0].CopyFolderTime = true;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        if (round == 1) {
            ASSERT_TRUE(test::WriteBytes(master + L"\\フォルダ2\\file1.bin", std::string(5000, 'u')));
            ASSERT_TRUE(test::WriteBytes(master + L"\\フォルダ0\\added.bin", std::string(2000, 'a')));
            ASSERT_TRUE(DeleteFileW((master + L"\\フォルダ3\\深い\\file4.bin").c_str()));
        }
        std::vector<std::wstring> planned;
        {
            test::StagedFaults trace;
            ASSERT_EQ(run.Run(true), 1);
            planned = trace.carried;
        }
        const test::Rows foretold = run.Changes();
        test::StagedFaults trace;
        ASSERT_EQ(run.Run(false), 1);
        EXPECT_EQ(run.Changes(), foretold);
        EXPECT_EQ(trace.carried, planned);
        EXPECT_EQ(run.settings[0].Errors, 0);
        if (round == 0) {
            EXPECT_EQ(run.settings[0].status.created, 24);
            EXPECT_GE(trace.copyThreads.size(), 2u);
        }
        ExpectSameTree(master, backup);
    }
}

}  // namespace
}  // namespace tandrel
