// The history folder: what the mirror deletes or overwrites in the backup,
// one folder per run with its manifest, and the clean-up of old runs.
#include "engine/History.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "engine/FolderListing.h"
#include "engine/MirrorWorker.h"
#include "engine/RunLog.h"
#include "platform/DateFormat.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_engine.h"

namespace tandrel {

namespace {

std::wstring LocalStamp(const FILETIME& time) {
    FILETIME local;
    SYSTEMTIME t;
    if (!FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &t)) return L"-";
    return Format(L"%04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

// "YYYY-MM-DD hhmmss", maybe with " n" after it for a second run in the
// same second; its start, or -1.
std::time_t RunStart(const std::wstring& name) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    wchar_t after = 0;
    const int fields = swscanf(name.c_str(), L"%4d-%2d-%2d %2d%2d%2d%lc", &year, &month, &day, &hour, &minute,
                               &second, &after);
    if (fields < 6 || name.size() < 17 || (fields == 7 && after != L' ')) return -1;
    return LocalTimeOf(year, month, day, hour, minute, second);
}

// The run's files, then its folders, then the folder itself.
bool RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    // No short names: nothing here needs them, and each is made on request.
    HANDLE find = FindFirstFileExW(LongPath(folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
    bool ok = true;
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                ok = RemoveTree(path) && ok;
                continue;
            }
            // Only read-only stops a removal; the others cost a call each.
            if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
                SetFileAttributesW(LongPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
            }
            const bool gone = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                                  ? RemoveDirectoryW(LongPath(path).c_str()) != FALSE
                                  : DeleteFileW(LongPath(path).c_str()) != FALSE;
            ok = gone && ok;
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    return RemoveDirectoryW(LongPath(folder).c_str()) && ok;
}

}  // namespace

std::wstring DefaultHistoryFolder(const std::wstring& base, bool dateFolders) {
    // The folder itself, without its backslash ("E:\\" stays a root).
    const std::wstring self = FolderOf(base, true);
    if (dateFolders || self.size() <= 3 || self.back() == L'\\' || UncDepth(self) == 2) {
        return base + LoadText(IDS_HISTORY_INSIDE) + L"\\";
    }
    return self + LoadText(IDS_HISTORY_SUFFIX) + L"\\";
}

std::wstring HistoryRunName(std::time_t start) {
    std::tm t{};
    if (localtime_s(&t, &start) != 0) return L"0000-00-00 000000";
    return Format(L"%04d-%02d-%02d %02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min,
                  t.tm_sec);
}

void HistoryKeeper::Begin(const std::wstring& root, const std::wstring& backupRoot, const std::wstring& settingName,
                          std::time_t start, bool testRun) {
    root_ = root;
    backupRoot_ = backupRoot;
    settingName_ = settingName;
    runName_ = HistoryRunName(start);
    testRun_ = testRun;
    runMade_ = false;
    manifest_.Reset();
}

void HistoryKeeper::End() {
    manifest_.Reset();
    root_.clear();
}

std::wstring HistoryKeeper::TargetOf(const std::wstring& relative) {
    if (!runMade_) {
        // A run of the same second before this one keeps its folder.
        const std::wstring stamp = runName_;
        for (int n = 2; GetFileAttributesW(LongPath(root_ + runName_).c_str()) != INVALID_FILE_ATTRIBUTES; ++n) {
            runName_ = stamp + L" " + std::to_wstring(n);
        }
        runMade_ = CreateDirectoryTree(root_ + runName_);
    }
    return root_ + runName_ + L"\\" + relative;
}

void HistoryKeeper::Record(const std::wstring& relative, Kind kind, const WIN32_FILE_ATTRIBUTE_DATA& data) {
    if (!manifest_) {
        manifest_ = UniqueHandle(CreateFileW(LongPath(root_ + runName_ + L".manifest").c_str(), FILE_APPEND_DATA,
                                             FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!manifest_) return;
        if (GetFileSize(manifest_.Get(), nullptr) == 0) {
            const std::string head = "Tandrel\t" + ToUtf8(settingName_) + "\r\n";
            DWORD written = 0;
            WriteFile(manifest_.Get(), head.data(), static_cast<DWORD>(head.size()), &written, nullptr);
        }
    }
    const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const std::string line = std::string(kind == Kind::Deleted ? "deleted" : "overwritten") + "\t" +
                             std::to_string(size) + "\t" + ToUtf8(LocalStamp(data.ftLastWriteTime)) + "\t" +
                             ToUtf8(relative) + "\r\n";
    DWORD written = 0;
    WriteFile(manifest_.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

bool HistoryKeeper::Keep(const std::wstring& path, Kind kind) {
    const std::wstring relative = path.substr(std::min(backupRoot_.size(), path.size()));
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const bool there = GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &data) != FALSE;
    // An update onto a file that is not there has nothing to keep.
    if (kind == Kind::Overwritten && !there && !testRun_) return true;
    const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    policy_.Report(RowAction::ToHistory,
                   kind == Kind::Overwritten ? Format(LoadText(IDS_HISTORY_OVERWRITTEN).c_str(), relative.c_str())
                                             : relative,
                   RowToList | RowToLog, std::nullopt, there ? std::optional<FILETIME>(data.ftLastWriteTime) : std::nullopt,
                   there ? std::optional<std::uint64_t>(size) : std::nullopt);
    if (testRun_) return true;
    const std::wstring target = TargetOf(relative);
    const bool kept = kind == Kind::Deleted ? ops_.MoveIntoHistory(path, target) : ops_.LinkIntoHistory(path, target);
    if (kept) Record(relative, kind, data);
    return kept;
}

bool HistoryKeeper::Removed(const std::wstring& path, const Removal& removal) {
    if (!Keep(path, Kind::Deleted)) return false;
    if (removal.gone) removal.gone();
    return true;
}

bool HistoryKeeper::Overwritten(const std::wstring& path) {
    return Keep(path, Kind::Overwritten);
}

bool RemoveHistoryRun(const std::wstring& root, const std::wstring& name) {
    const std::wstring folder = root + name;
    if (!RemoveTree(folder)) return false;
    // The manifest goes with a run that is gone, never before.
    DeleteFileW(LongPath(folder + L".manifest").c_str());
    return true;
}

std::vector<HistoryRun> ListHistoryRuns(const std::wstring& root, bool& ok, std::vector<std::wstring>* orphans) {
    std::vector<HistoryRun> runs;
    std::vector<std::wstring> manifests;
    ok = true;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(LongPath(root + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        ok = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return runs;
    }
    constexpr std::wstring_view kManifest = L".manifest";
    do {
        const std::wstring name = data.cFileName;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (orphans && name.size() > kManifest.size() && name.ends_with(kManifest) &&
                RunStart(name.substr(0, name.size() - kManifest.size())) != -1) {
                manifests.push_back(name.substr(0, name.size() - kManifest.size()));
            }
            continue;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        const std::time_t start = RunStart(name);
        if (start != -1) runs.push_back({name, start});
    } while (FindNextFileW(find, &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) ok = false;
    FindClose(find);
    // Only a whole listing tells which folders are gone.
    if (orphans && ok) {
        std::unordered_set<std::wstring> folders;
        for (const HistoryRun& run : runs) folders.insert(FoldCase(run.name));
        for (const std::wstring& name : manifests) {
            if (!folders.count(FoldCase(name))) orphans->push_back(name + std::wstring(kManifest));
        }
    }
    return runs;
}

bool KeepsHistory(const FolderSetting& setting) {
    return setting.DeleteHistory || !setting.HistoryDir.empty();
}

std::wstring HistoryFolderOf(const FolderSetting& setting, const std::wstring& backup) {
    if (!setting.HistoryDir.empty()) return FullFolder(setting.HistoryDir);
    const std::wstring base = FullFolder(backup);
    return base.empty() ? std::wstring() : DefaultHistoryFolder(base, setting.MakeDateDir);
}

std::vector<HistoryEntry> ReadHistoryManifest(const std::wstring& path, bool& ok) {
    std::vector<HistoryEntry> entries;
    ok = true;
    constexpr DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    UniqueHandle file(CreateFileW(LongPath(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        ok = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return entries;
    }
    std::string text;
    std::vector<char> chunk(1 << 16);
    for (DWORD n = 0;; text.append(chunk.data(), n)) {
        if (!ReadFile(file.Get(), chunk.data(), static_cast<DWORD>(chunk.size()), &n, nullptr)) {
            ok = false;
            return entries;
        }
        if (n == 0) break;
    }
    std::unordered_map<std::wstring, size_t> seen;
    size_t start = 0;
    for (bool head = true; start < text.size(); head = false) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (head) continue;
        // kind, size, time, path; a line cut short by a kill has no path yet.
        const size_t a = line.find('\t'), b = line.find('\t', a + 1), c = line.find('\t', b + 1);
        if (a == std::string::npos || b == std::string::npos || c == std::string::npos || c + 1 >= line.size()) continue;
        HistoryEntry entry;
        entry.overwritten = line.compare(0, a, "overwritten") == 0;
        entry.size = std::strtoull(line.c_str() + a + 1, nullptr, 10);
        entry.time = FromUtf8(line.substr(b + 1, c - b - 1));
        entry.path = FromUtf8(line.substr(c + 1));
        const auto [at, added] = seen.emplace(FoldCase(entry.path), entries.size());
        if (added) {
            entries.push_back(std::move(entry));
        } else {
            entries[at->second] = std::move(entry);
        }
    }
    return entries;
}

std::vector<HistoryRunContents> ReadHistory(const std::wstring& root, bool& ok) {
    std::vector<HistoryRun> runs = ListHistoryRuns(root, ok);
    std::sort(runs.begin(), runs.end(), [](const HistoryRun& a, const HistoryRun& b) { return a.name > b.name; });
    std::vector<HistoryRunContents> contents;
    for (HistoryRun& run : runs) {
        HistoryRunContents one;
        bool read = true;
        one.entries = ReadHistoryManifest(root + run.name + L".manifest", read);
        ok = ok && read;
        for (const HistoryEntry& entry : one.entries) one.bytes += entry.size;
        one.run = std::move(run);
        contents.push_back(std::move(one));
    }
    return contents;
}

std::vector<HistoryRun> ExpiredRuns(std::vector<HistoryRun> runs, int days, int minRuns, std::time_t now) {
    // Newest first: the names sort as their starts.
    std::sort(runs.begin(), runs.end(), [](const HistoryRun& a, const HistoryRun& b) {
        return a.start != b.start ? a.start > b.start : a.name > b.name;
    });
    std::vector<HistoryRun> expired;
    const std::time_t limit = now - static_cast<std::time_t>(days) * 86400;
    for (size_t i = static_cast<size_t>(std::max(minRuns, 0)); i < runs.size(); ++i) {
        if (days == 0 || runs[i].start < limit) expired.push_back(runs[i]);
    }
    return expired;
}

bool MirrorWorker::BeginHistory(const FolderSetting& work, const std::wstring& chosen) {
    NoteRestoredHistory();
    if (!work.DeleteHistory) return true;
    const std::wstring root = chosen.empty() ? DefaultHistoryFolder(backupBase_, work.MakeDateDir) : chosen;
    // Inside the master it would be backed up; as the backup folder (or its
    // base) it would be mirrored away.
    if (root.empty() || EqualsNoCase(root, masterRoot_) || LiesBelow(root, masterRoot_) ||
        EqualsNoCase(root, backupRoot_) || EqualsNoCase(root, backupBase_) || LiesBelow(masterRoot_, root) ||
        LiesBelow(backupBase_, root)) {
        Fatal(IDS_HISTORY_INVALID, LoadText(IDS_HISTORY_INVALID) + L"\r\n" + root + L"\r\n", IDS_FOLDER_SETTING_ERROR);
        policy_.AddErrorRow();
        return false;
    }
    history_.Begin(root, backupRoot_, work.Name, std::time(nullptr), batch_.testMode);
    exec_.SetHistory(&history_);
    return true;
}

void MirrorWorker::EndHistory(const FolderSetting& work, bool clean) {
    if (!history_.active()) return;
    const std::wstring root = history_.root();
    exec_.SetHistory(nullptr);
    history_.End();
    // Only a run that read both trees without an error may judge what is old.
    if (!clean || batch_.testMode) return;
    bool listed = false;
    std::vector<std::wstring> orphans;
    const std::vector<HistoryRun> runs = ListHistoryRuns(root, listed, &orphans);
    if (!listed) return;
    // A manifest whose folder went before a kill describes nothing.
    for (const std::wstring& manifest : orphans) DeleteFileW(LongPath(root + manifest).c_str());
    for (const HistoryRun& run : ExpiredRuns(runs, work.HistoryDays, work.HistoryMinRuns, std::time(nullptr))) {
        if (batch_.cancelRequested) return;
        const std::wstring folder = root + run.name;
        if (!RemoveHistoryRun(root, run.name)) {
            const std::wstring title = LoadText(IDS_HISTORY_CLEAN_FAILED);
            policy_.Raise({LevelSkipped, folder + L"\r\n\r\n" + title + L"\r\n", folder, title, kStyleFatal, ErrorDecision::Ignore,
                           false, true});
            policy_.CountError();
            policy_.AddErrorRow();
        }
    }
}

bool MirrorWorker::IsHistoryFolder(const std::wstring& backupPath) const {
    return (history_.active() && EqualsNoCase(backupPath + L"\\", history_.root())) ||
           (!restoredHistory_.empty() && EqualsNoCase(backupPath + L"\\", restoredHistory_));
}

}  // namespace tandrel
