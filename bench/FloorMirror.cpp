// The floor for the mirroring engine: the plainest mirror walk that makes the
// same platform calls, and nothing else (no filters, no rows, no log, no
// retries, no window). What it costs is what the file system costs.
//   floor_mirror <master folder> <backup folder>
// Prints "copied N, deleted N, folders created N, errors N"; exit code 0
// when nothing failed.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

struct Entry {
    std::wstring name;
    DWORD attributes;
    std::uint64_t size;
    std::int64_t write;  // 100 ns ticks
    bool IsFolder() const { return attributes & FILE_ATTRIBUTE_DIRECTORY; }
    bool IsLink() const { return attributes & FILE_ATTRIBUTE_REPARSE_POINT; }
};

struct Counts {
    long copied = 0, deleted = 0, created = 0, errors = 0;
} counts;

// Same tolerance as a backup setting's default (FAT time stamps).
constexpr std::int64_t kTolerance = 2 * 10000000LL;

// One listing of a folder (path ends in a backslash); false when it failed.
bool List(const std::wstring& folder, std::vector<Entry>& out) {
    out.clear();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (data.cFileName[0] == L'.' &&
            (data.cFileName[1] == 0 || (data.cFileName[1] == L'.' && data.cFileName[2] == 0)))
            continue;
        out.push_back({data.cFileName, data.dwFileAttributes,
                       (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                       static_cast<std::int64_t>((std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                                 data.ftLastWriteTime.dwLowDateTime)});
    } while (FindNextFileW(find, &data));
    const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(find);
    return complete;
}

std::wstring Folded(std::wstring name) {
    CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

void Fail() { ++counts.errors; }

// Removes a backup folder and all it holds.
void RemoveTree(const std::wstring& folder) {
    std::vector<Entry> entries;
    if (!List(folder, entries)) return Fail();
    for (const Entry& e : entries) {
        const std::wstring path = folder + e.name;
        if (e.IsFolder() && !e.IsLink()) {
            RemoveTree(path + L"\\");
        } else if (e.IsFolder() ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str())) {
            ++counts.deleted;
        } else {
            Fail();
        }
    }
    if (RemoveDirectoryW(folder.substr(0, folder.size() - 1).c_str())) ++counts.deleted;
    else Fail();
}

// Mirrors one folder; backupListed is false for a folder just created.
void Mirror(const std::wstring& master, const std::wstring& backup, bool backupListed) {
    std::vector<Entry> mine, theirs;
    // Nothing is deleted on the strength of a listing that failed.
    if (!List(master, mine)) return Fail();
    if (backupListed && !List(backup, theirs)) return Fail();
    std::unordered_map<std::wstring, size_t> index;
    index.reserve(theirs.size());
    for (size_t i = 0; i < theirs.size(); ++i) index.emplace(Folded(theirs[i].name), i);
    std::vector<bool> matched(theirs.size());

    for (const Entry& m : mine) {
        if (m.IsLink()) continue;
        const auto found = index.find(Folded(m.name));
        const Entry* b = found == index.end() ? nullptr : &theirs[found->second];
        if (b) matched[found->second] = true;
        const std::wstring to = backup + m.name;
        if (b && b->IsFolder() != m.IsFolder()) {
            if (b->IsFolder()) RemoveTree(to + L"\\");
            else if (DeleteFileW(to.c_str())) ++counts.deleted;
            else Fail();
            b = nullptr;
        }
        if (m.IsFolder()) {
            if (!b) {
                if (!CreateDirectoryW(to.c_str(), nullptr)) {
                    Fail();
                    continue;
                }
                ++counts.created;
            }
            Mirror(master + m.name + L"\\", to + L"\\", b != nullptr);
        } else {
            const std::int64_t diff = b ? m.write - b->write : 0;
            if (b && b->size == m.size && diff <= kTolerance && diff >= -kTolerance) continue;
            if (CopyFileW((master + m.name).c_str(), to.c_str(), FALSE)) ++counts.copied;
            else Fail();
        }
    }
    for (size_t i = 0; i < theirs.size(); ++i) {
        if (matched[i] || theirs[i].IsLink()) continue;
        const std::wstring path = backup + theirs[i].name;
        if (theirs[i].IsFolder()) RemoveTree(path + L"\\");
        else if (DeleteFileW(path.c_str())) ++counts.deleted;
        else Fail();
    }
}

// "\\?\" form with a final backslash.
std::wstring Root(const wchar_t* path) {
    std::wstring full(GetFullPathNameW(path, 0, nullptr, nullptr), L'\0');
    full.resize(GetFullPathNameW(path, static_cast<DWORD>(full.size()), full.data(), nullptr));
    if (full.empty() || full.back() != L'\\') full += L'\\';
    return full.rfind(L"\\\\", 0) == 0 ? full : L"\\\\?\\" + full;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: floor_mirror <master folder> <backup folder>\n", stderr);
        return 2;
    }
    const std::wstring master = Root(argv[1]), backup = Root(argv[2]);
    const DWORD attributes = GetFileAttributesW(master.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::fputs("floor_mirror: no master folder\n", stderr);
        return 2;
    }
    const bool exists = GetFileAttributesW(backup.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!exists && !CreateDirectoryW(backup.c_str(), nullptr)) {
        std::fputs("floor_mirror: cannot create the backup folder\n", stderr);
        return 2;
    }
    Mirror(master, backup, exists);
    std::printf("copied %ld, deleted %ld, folders created %ld, errors %ld\n", counts.copied, counts.deleted,
                counts.created, counts.errors);
    return counts.errors ? 1 : 0;
}
