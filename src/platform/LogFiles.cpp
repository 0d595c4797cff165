#include "platform/LogFiles.h"

#include <windows.h>

#include "platform/Paths.h"
#include "platform/Strings.h"

namespace tandrel {

namespace {

struct LogEntry {
    std::wstring path;
    FILETIME written;
};

// A "?" of the mask stands for a digit of a date code, anything else for
// itself (in any letter case): "%Y%m%d.txt" must not take "notes-01.txt".
bool FitsMask(const std::wstring& name, const std::wstring& maskName) {
    if (name.size() != maskName.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (maskName[i] == L'?') {
            if (name[i] < L'0' || name[i] > L'9') return false;
        } else if (CompareStringOrdinal(&name[i], 1, &maskName[i], 1, TRUE) != CSTR_EQUAL) {
            return false;
        }
    }
    return true;
}

std::vector<LogEntry> ListLogs(const std::wstring& mask) {
    std::vector<LogEntry> logs;
    if (mask.empty()) return logs;
    const std::wstring folder = FolderOf(mask);
    const std::wstring maskName = mask.substr(folder.size());
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(LongPath(mask).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return logs;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (FitsMask(data.cFileName, maskName)) logs.push_back({folder + data.cFileName, data.ftLastWriteTime});
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return logs;
}

void AppendLine(std::wstring& text, const std::wstring& line) {
    if (line.empty()) return;
    if (!text.empty()) text += L"\r\n";
    text += line;
}

std::wstring JoinLines(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) AppendLine(text, line);
    return text;
}

LogCleanup CleanupOf(const LogDeletion& deletion) {
    LogCleanup cleanup;
    cleanup.result = deletion.result;
    cleanup.count = deletion.count;
    if (deletion.result == LogsFailed) cleanup.failures = JoinLines(deletion.failed);
    return cleanup;
}

}  // namespace

std::wstring FindNewestLog(const std::wstring& pattern, const ProjectSlot& project) {
    const std::vector<LogEntry> logs = ListLogs(LogMask(pattern, project));
    const LogEntry* newest = nullptr;
    for (const LogEntry& log : logs) {
        if (!newest || CompareFileTime(&log.written, &newest->written) > 0) newest = &log;
    }
    return newest ? newest->path : std::wstring();
}

bool AnyLogExists(const std::wstring& pattern, const ProjectSlot& project) {
    return !ListLogs(LogMask(pattern, project)).empty();
}

LogDeletion DeleteLogs(const std::wstring& mask, bool countOnly) {
    LogDeletion deletion;
    // Listed in full before anything is deleted, so the search never runs
    // over a folder that changes under it.
    for (const LogEntry& log : ListLogs(mask)) {
        if (countOnly || DeleteFileW(LongPath(log.path).c_str())) {
            ++deletion.count;
        } else {
            deletion.failed.push_back(log.path);
        }
    }
    if (!deletion.failed.empty()) {
        deletion.result = LogsFailed;
    } else if (deletion.count > 0) {
        deletion.result = LogsFound;
    }
    return deletion;
}

LogCleanup DeleteLogsForPattern(const std::wstring& pattern, const ProjectSlot& project, bool countOnly) {
    return CleanupOf(DeleteLogs(LogMask(pattern, project), countOnly));
}

LogCleanup DeleteLogsAllProjects(const std::wstring& pattern, const ProjectCollection& projects, bool countOnly) {
    LogCleanup total;
    bool anyFound = false;
    bool anyFailed = false;
    std::vector<std::wstring> masks;
    for (int slot = 0; slot < projects.Count(); ++slot) {
        const std::wstring mask = LogMask(pattern, {&projects, slot});
        // A pattern without project placeholders names the same files for
        // every project; counting them once per project would multiply them.
        bool seen = false;
        for (const std::wstring& m : masks) seen = seen || EqualsNoCase(m, mask);
        if (seen) continue;
        masks.push_back(mask);
        const LogCleanup one = CleanupOf(DeleteLogs(mask, countOnly));
        total.count += one.count;
        AppendLine(total.failures, one.failures);
        anyFound = anyFound || one.result == LogsFound;
        anyFailed = anyFailed || one.result == LogsFailed;
    }
    total.result = anyFailed ? LogsFailed : anyFound ? LogsFound : LogsNone;
    return total;
}

}  // namespace tandrel
