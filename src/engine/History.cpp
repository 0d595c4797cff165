// The history folder: what the mirror deletes or overwrites in the backup,
// one folder per run with its manifest, and the clean-up of old runs.
#include "engine/History.h"

#include <algorithm>
#include <cwchar>

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
    HANDLE find = FindFirstFileW(LongPath(folder + L"\\*").c_str(), &data);
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
            SetFileAttributesW(LongPath(path).c_str(), FILE_ATTRIBUTE_NORMAL);
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

std::vector<HistoryRun> ListHistoryRuns(const std::wstring& root, bool& ok) {
    std::vector<HistoryRun> runs;
    ok = true;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(LongPath(root + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        ok = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return runs;
    }
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            continue;
        }
        const std::time_t start = RunStart(data.cFileName);
        if (start != -1) runs.push_back({data.cFileName, start});
    } while (FindNextFileW(find, &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) ok = false;
    FindClose(find);
    return runs;
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
    const std::vector<HistoryRun> runs = ListHistoryRuns(root, listed);
    if (!listed) return;
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
