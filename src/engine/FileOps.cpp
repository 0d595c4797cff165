#include "engine/FileOps.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>
#include <optional>
#include <utility>

#include "engine/FaultSeam.h"
#include "platform/Environment.h"
#include "platform/Handle.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_engine.h"

namespace tandrel {

namespace {

std::wstring PathAndText(const std::wstring& path, DWORD error) {
    return Format(LoadText(IDS_PATH_AND_TEXT).c_str(), path.c_str(), SystemErrorText(error).c_str());
}

// Lifts the flags that refuse a deletion; what they were, for an entry
// that stays after all.
DWORD ClearAttributes(const std::wstring& path) {
    const std::wstring target = LongPath(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    return attributes;
}

void RestoreAttributes(const std::wstring& path, DWORD attributes) {
    constexpr DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                               FILE_ATTRIBUTE_TEMPORARY;
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & settable)) return;
    SetFileAttributesW(LongPath(path).c_str(), attributes & settable);
}

}  // namespace

bool StagedAsTaken(const std::wstring& path) {
    const std::wstring resolved = ResolvedByName(path);
    return resolved != path && GetFileAttributesW(LongPath(resolved).c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

bool CreateNewFolder(const std::wstring& path, DWORD& error) {
    if (StagedAsTaken(path)) {
        error = ERROR_ALREADY_EXISTS;
        return false;
    }
    if (CreateDirectoryW(LongPath(path).c_str(), nullptr)) return true;
    error = GetLastError();
    return false;
}

}  // namespace

DWORD NamedAttributes(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(LongPath(ResolvedByName(path)).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !MayReachShortName(path)) return attributes;
    DWORD error = 0;
    std::wstring heldBy;
    if (ReadNamedEntry(path, error, &heldBy) || heldBy.empty()) return attributes;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
}

int SendToRecycleBin(const std::wstring& paths) {
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = paths.c_str();
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_NORECURSION | FOF_NO_CONNECTED_ELEMENTS;
    const int result = SHFileOperationW(&op);
    if (result == 0 && op.fAnyOperationsAborted) return ERROR_CANCELLED;
    return result;
}

FileOps::FileOps(ErrorPolicy& policy) : policy_(policy), copier_(policy.CancelFlag()) {}

CopyRules FileOps::Rules() const {
    return {setting_ && setting_->Verify, setting_ && setting_->CopyFileTimeAll};
}

ErrorCall FileOps::Question(int level, const std::wstring& body, const std::wstring& detail, unsigned captionId) {
    ErrorCall call;
    call.level = level;
    call.body = body;
    call.detail = detail;
    call.title = LoadText(captionId);
    return call;
}

ErrorCall FileOps::Question(int level, const std::wstring& body, DWORD error, unsigned captionId) {
    return Question(level, body, WithoutFinalBreak(SystemErrorText(error)), captionId);
}

bool FileOps::Fail(int level, const std::wstring& body, const std::wstring& detail, unsigned captionId) {
    return policy_.RaiseFailure(Question(level, body, detail, captionId));
}

bool FileOps::Retrying(std::optional<FaultPoint> point, const std::wstring& path,
                       const std::function<Attempt(DWORD fault)>& attempt, NetworkRetries* network) {
    const bool netRetry = network && setting_ && setting_->ErrorNetPathRetry;
    const int attempts = netRetry ? std::max(1, setting_->NetPathRetryCount) : 1;
    for (int n = 1;; ++n) {
        const Attempt outcome = attempt(point ? InjectedFault(*point, path) : 0);
        if (outcome.result == Attempt::Result::Done) {
            if (network && network->made > 0) NoteResolvedByRetry(*network, path);
            return true;
        }
        if (outcome.result == Attempt::Result::Stopped) return false;
        if (!network) {
            if (!policy_.RaiseFailure(outcome.question)) return false;
            continue;
        }
        if (!netRetry || !NetworkFailure(outcome.error)) return false;
        network->made = n;
        network->error = outcome.error;
        if (policy_.Cancelled() || n >= attempts) return false;
        policy_.SetStatus(Format(LoadText(IDS_STATUS_RETRY).c_str(), n), path);
    }
}

std::wstring FileOps::NetworkRetries::Text() const {
    return made > 0 ? Format(LoadText(IDS_CHECK_RETRIES).c_str(), made) : std::wstring();
}

void FileOps::RemovePartial(const std::wstring& path) {
    ClearAttributes(path);
    DeleteFileW(LongPath(path).c_str());
}

bool FileOps::Delete(const std::wstring& path, const Removal& removal) {
    return RemoveEntry(path, false, removal);
}

bool FileOps::RemoveEntry(const std::wstring& path, bool folder, const Removal& removal) {
    if (!MayRemove(path, folder)) return false;
    if (recycling_) return AddToRecycleBin(path, removal);
    if (removal.report) removal.report();
    return Retrying(FaultPoint::Delete, path, [&](DWORD error) {
        const std::wstring target = LongPath(path);
        const DWORD attributes = ClearAttributes(path);
        if (!error) {
            if (folder ? RemoveDirectoryW(target.c_str()) : DeleteFileW(target.c_str())) {
                if (removal.gone) removal.gone();
                return Attempt::Done();
            }
            error = GetLastError();
        }
        // The entry stays, as it was.
        RestoreAttributes(path, attributes);
        return Attempt::Failed(
            Question(LevelSkipped, PathAndText(path, error), error, folder ? IDS_RMDIR_FAILED : IDS_DELETE_FAILED));
    });
}

bool FileOps::MayRemove(const std::wstring& path, bool folder) {
    // The shell would take another entry, or refuse the whole batch.
    return !toRecycleBin_ || ShellAddressable(path) || RefuseRecycling(path, folder);
}

bool FileOps::RefuseRecycling(const std::wstring& path, bool folder) {
    // Deleting it for good instead is not what the user chose.
    return RefuseRemoval(path, folder, IDS_RECYCLE_UNADDRESSABLE);
}

bool FileOps::RefuseRemoval(const std::wstring& path, bool folder, unsigned reasonId) {
    const std::wstring reason = LoadText(reasonId);
    ReportCheckError(LevelSkipped, Format(LoadText(IDS_PATH_AND_TEXT).c_str(), path.c_str(), reason.c_str()),
                     Format(LoadText(IDS_LIST_DETAIL).c_str(), path.c_str(), reason.c_str()),
                     LoadText(folder ? IDS_RMDIR_FAILED : IDS_DELETE_FAILED));
    return false;
}

bool ShellAddressable(const std::wstring& path) {
    if (path.size() >= MAX_PATH) return false;
    static const wchar_t* const devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"COM1", L"COM2", L"COM3",
                                             L"COM4", L"COM5", L"COM6", L"COM7", L"COM8", L"COM9", L"LPT1",
                                             L"LPT2", L"LPT3", L"LPT4", L"LPT5", L"LPT6", L"LPT7", L"LPT8",
                                             L"LPT9"};
    const size_t rootEnd = PathRoot(path).size();
    for (size_t start = rootEnd; start < path.size();) {
        const size_t end = std::min(path.find(L'\\', start), path.size());
        const std::wstring name = path.substr(start, end - start);
        if (!name.empty()) {
            if (name.back() == L'.' || name.back() == L' ') return false;
            std::wstring stem = name.substr(0, name.find(L'.'));
            while (!stem.empty() && stem.back() == L' ') stem.pop_back();
            for (const wchar_t* device : devices) {
                if (EqualsNoCase(stem, device)) return false;
            }
        }
        start = end + 1;
    }
    return true;
}

bool NetworkFailure(DWORD error) {
    switch (error) {
        case ERROR_BAD_NETPATH:
        case ERROR_NETNAME_DELETED:
        case ERROR_UNEXP_NET_ERR:
        case ERROR_NETWORK_UNREACHABLE:
        case ERROR_SEM_TIMEOUT:
            return true;
        default:
            return false;
    }
}

bool FileOps::Rename(const std::wstring& folder, const std::wstring& oldName, const std::wstring& newName) {
    const std::wstring from = folder + oldName, to = folder + newName;
    return Retrying(FaultPoint::Rename, from, [&](DWORD error) {
        if (error) {
        } else if (EqualsNoCase(oldName, newName)) {
            std::wstring middle;
            for (unsigned n = GetTickCount();; ++n) {
                middle = folder + newName + Format(L".~%08x", n);
                if (GetFileAttributesW(LongPath(middle).c_str()) == INVALID_FILE_ATTRIBUTES) break;
            }
            if (MoveFileW(LongPath(from).c_str(), LongPath(middle).c_str())) {
                if (MoveFileW(LongPath(middle).c_str(), LongPath(to).c_str())) return Attempt::Done();
                error = GetLastError();
                MoveFileW(LongPath(middle).c_str(), LongPath(from).c_str());
            } else {
                error = GetLastError();
            }
        } else {
            if (MoveFileW(LongPath(from).c_str(), LongPath(to).c_str())) return Attempt::Done();
            error = GetLastError();
        }
        const std::wstring body = Format(LoadText(IDS_RENAME_FAILED_BODY).c_str(), from.c_str(), to.c_str(),
                                         SystemErrorText(error).c_str());
        return Attempt::Failed(Question(LevelError, body, error, IDS_RENAME_FAILED));
    });
}

bool FileOps::Move(const std::wstring& from, const std::wstring& to) {
    if (InjectedFault(FaultPoint::Rename, from)) return false;
    return MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(), 0) != FALSE;
}

bool FileOps::CreateFolder(const std::wstring& path) {
    std::wstring target = path;
    while (target.size() > 3 && target.back() == L'\\') target.pop_back();
    if (target.size() <= 3) {
        while (policy_.RaiseFailure(
            Question(LevelError, PathAndText(target, ERROR_INVALID_NAME), ERROR_INVALID_NAME, IDS_MKDIR_FAILED))) {
        }
        return false;
    }
    // Nothing above a share can be created, nor a drive root.
    size_t pos = IsUncPath(target) ? PathRoot(target).size() : 3;
    const auto isFolder = [](const std::wstring& folder) {
        const DWORD attributes = NamedAttributes(folder);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    };
    for (;;) {
        const size_t end = std::min(target.find(L'\\', pos), target.size());
        const std::wstring component = target.substr(0, end);
        const bool made = Retrying(FaultPoint::Create, component, [&](DWORD error) {
            if (!error) {
                if (isFolder(component) || CreateNewFolder(component, error)) return Attempt::Done();
            }
            std::wstring reason = WithoutFinalBreak(SystemErrorText(error));
            if (error == ERROR_ALREADY_EXISTS) {
                if (isFolder(component)) return Attempt::Done();
                // Never entered as this folder: the walk would write into
                // the other entry.
                DWORD lookError = 0;
                std::wstring heldBy;
                ReadNamedEntry(component, lookError, &heldBy);
                if (!heldBy.empty()) reason = Format(LoadText(IDS_SHORT_NAME_HELD).c_str(), heldBy.c_str());
            }
            return Attempt::Failed(Question(
                LevelError, Format(LoadText(IDS_PATH_AND_TEXT).c_str(), component.c_str(), reason.c_str()), reason,
                IDS_MKDIR_FAILED));
        });
        if (!made) return false;
        if (end >= target.size()) return true;
        pos = end + 1;
    }
}

bool FileOps::RemoveFolder(const std::wstring& path, bool holdsKept, const Removal& removal) {
    if (!recycling_ || !holdsKept) return RemoveEntry(path, true, removal);
    FlushRecycleBin(L"");
    recycling_ = false;
    const bool removed = RemoveEntry(path, true, removal);
    recycling_ = true;
    return removed;
}

void FileOps::BeginRecycling(int capacity, bool wait) {
    toRecycleBin_ = true;
    recycling_ = true;
    recycleCapacity_ = std::max(1, capacity);
    recycleWait_ = wait;
    recycleBatch_.clear();
}

bool FileOps::EndRecycling() {
    toRecycleBin_ = false;
    if (!recycling_) return true;
    const bool ok = FlushRecycleBin(L"");
    recycling_ = false;
    return ok;
}

bool FileOps::AddToRecycleBin(const std::wstring& path, const Removal& removal) {
    recycleBatch_.push_back({path, removal});
    if (static_cast<int>(recycleBatch_.size()) >= recycleCapacity_) FlushRecycleBin(path);
    return true;
}

bool FileOps::FlushRecycleBin(const std::wstring& filledBy) {
    if (recycleBatch_.empty()) return true;
    const bool sent = Retrying(FaultPoint::Recycle, filledBy, [&](DWORD fault) {
        policy_.SetStatus(LoadText(IDS_STATUS_MIRROR),
                          Format(LoadText(IDS_STATUS_RECYCLING).c_str(), static_cast<int>(recycleBatch_.size())));
        std::wstring list;
        std::vector<DWORD> attributes;
        attributes.reserve(recycleBatch_.size());
        for (const Queued& entry : recycleBatch_) {
            attributes.push_back(ClearAttributes(entry.path));
            list += entry.path;
            list += L'\0';
        }
        list += L'\0';
        const int result = fault ? static_cast<int>(fault) : sender_(list);
        // What the recycle bin did not take keeps its flags.
        if (result != 0) {
            for (size_t i = 0; i < recycleBatch_.size(); ++i) RestoreAttributes(recycleBatch_[i].path, attributes[i]);
            const std::wstring body = Format(LoadText(IDS_PATH_AND_TEXT).c_str(), filledBy.c_str(),
                                             SystemErrorText(static_cast<DWORD>(result)).c_str());
            return Attempt::Failed(Question(LevelSkipped, body, static_cast<DWORD>(result), IDS_RECYCLE_FAILED));
        }
        if (recycleWait_) {
            SHQUERYRBINFO info{sizeof info, 0, 0};
            SHQueryRecycleBinW(PathRoot(recycleBatch_.back().path).c_str(), &info);
        }
        // Only now have the entries left the disk: their rows and counts.
        std::vector<Queued> gone;
        gone.swap(recycleBatch_);
        for (const Queued& entry : gone) {
            if (entry.removal.report) entry.removal.report();
            if (entry.removal.gone) entry.removal.gone();
        }
        return Attempt::Done();
    });
    if (!sent) recycleBatch_.clear();
    return sent;
}

}  // namespace tandrel
