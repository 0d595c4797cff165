#pragma once
#include <string>
#include <vector>

#include "platform/DateFormat.h"

namespace tandrel {

// Outcome of a log search or removal.
enum LogResult { LogsFound = 0, LogsNone = 1, LogsFailed = 2 };

// A log file is a file (not a folder) in the mask's folder whose name is as
// long as the mask's, with a digit where the mask has "?" (a digit of a date
// code) and the mask's own text elsewhere. Patterns become masks through
// LogMask, so environment variables name the same files as when writing.

// The log of the pattern with the latest last-write time; empty when none.
std::wstring FindNewestLog(const std::wstring& pattern, const ProjectSlot& project);
bool AnyLogExists(const std::wstring& pattern, const ProjectSlot& project);

struct LogDeletion {
    int result = LogsNone;
    int count = 0;
    // Full paths of the logs that could not be deleted.
    std::vector<std::wstring> failed;
};
// Deletes (or with countOnly just counts) the logs matching the mask.
LogDeletion DeleteLogs(const std::wstring& mask, bool countOnly);

struct LogCleanup {
    int result = LogsNone;
    int count = 0;
    // The paths that could not be deleted, one per line ("\r\n").
    std::wstring failures;
};
LogCleanup DeleteLogsForPattern(const std::wstring& pattern, const ProjectSlot& project, bool countOnly);
// The same for the pattern of every project of the list.
LogCleanup DeleteLogsAllProjects(const std::wstring& pattern, const ProjectCollection& projects, bool countOnly);

}  // namespace tandrel
