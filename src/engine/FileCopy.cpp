// Copies: the system's copy into a partial file beside the destination,
// the checks on it, and the one rename that puts it in place.
#include "engine/FileCopy.h"

#include <cstring>
#include <new>
#include <optional>

#include "engine/FileOps.h"
#include "platform/Environment.h"
#include "platform/Handle.h"
#include "platform/Paths.h"
#include "platform/Strings.h"
#include "resource_engine.h"

namespace tandrel {

namespace {

// Writes a file's data through to the disk; a read-only file is opened by
// lifting its flag for the moment. The system's error when that could not
// be done: the data may still be in the cache only.
DWORD FlushToDisk(const std::wstring& path) {
    if (const DWORD fault = InjectedFault(FaultPoint::Flush, path)) return fault;
    const std::wstring target = LongPath(path);
    const auto open = [&] {
        return UniqueHandle(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    };
    const auto flush = [](const UniqueHandle& data) {
        return FlushFileBuffers(data.Get()) ? DWORD{0} : GetLastError();
    };
    if (UniqueHandle data = open()) return flush(data);
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return error;
    SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    DWORD result = error;
    if (UniqueHandle data = open()) {
        result = flush(data);
    } else {
        result = GetLastError();
    }
    SetFileAttributesW(target.c_str(), attributes);
    return result;
}

// A rename that replaces nothing.
bool MoveNoReplace(const std::wstring& from, const std::wstring& to, DWORD& error) {
    if (StagedAsTaken(to)) {
        error = ERROR_ALREADY_EXISTS;
        return false;
    }
    if (MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(), 0)) return true;
    error = GetLastError();
    return false;
}

}  // namespace

namespace {

// Verify compares in pieces of this size; a read past the cache takes whole
// sectors of it.
constexpr DWORD kVerifyPiece = 1 << 20;

// Size and last-write time: what a copy compares of its source before and
// after it.
struct SourceState {
    std::uint64_t size = 0;
    FILETIME write{};

    bool operator==(const SourceState& other) const {
        return size == other.size && CompareFileTime(&write, &other.write) == 0;
    }
};

std::optional<SourceState> ReadState(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return SourceState{(std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow, data.ftLastWriteTime};
}

// One read of a piece; a file gives less only at its end. (A second read
// for the rest would not be sector-aligned where the cache is bypassed.)
bool ReadPiece(HANDLE file, char* buffer, DWORD wanted, DWORD& got) {
    got = 0;
    return ReadFile(file, buffer, wanted, &got, nullptr) != FALSE;
}

}  // namespace

// What the system's copy tells its progress routine about one copy.
struct FileCopier::Progress {
    FileCopier& copier;
    const std::wstring& source;
    bool reported = false;
    bool cancelled = false;
    DWORD fault = 0;
};

DWORD CALLBACK FileCopier::OnProgress(LARGE_INTEGER, LARGE_INTEGER transferred, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                                      DWORD, HANDLE, HANDLE, void* data) {
    auto& copy = *static_cast<Progress*>(data);
    return copy.copier.Progressed(copy, static_cast<std::uint64_t>(transferred.QuadPart)) ? PROGRESS_CONTINUE
                                                                                         : PROGRESS_CANCEL;
}

bool FileCopier::Progressed(Progress& copy, std::uint64_t transferred) {
    copy.reported = true;
    Shown(transferred);
    if ((copy.fault = InjectedFault(FaultPoint::Progress, copy.source))) return false;
    copy.cancelled = cancel_.load();
    return !copy.cancelled;
}

FileCopier::~FileCopier() {
    if (buffers_) VirtualFree(buffers_, 0, MEM_RELEASE);
}

bool FileCopier::CopyTimes(const std::wstring& source, const std::wstring& destination) {
    constexpr DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    UniqueHandle from(CreateFileW(LongPath(source).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!from) return false;
    // Write access to the attributes only, which a read-only file grants.
    UniqueHandle to(CreateFileW(LongPath(destination).c_str(), FILE_WRITE_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!to) return false;
    FILETIME created, accessed, written;
    return GetFileTime(from.Get(), &created, &accessed, &written) &&
           SetFileTime(to.Get(), &created, &accessed, &written);
}

char* FileCopier::Buffer(int which) {
    if (!buffers_) {
        buffers_ = VirtualAlloc(nullptr, 2 * kVerifyPiece, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!buffers_) throw std::bad_alloc();
    }
    return static_cast<char*>(buffers_) + static_cast<size_t>(which) * kVerifyPiece;
}

FileCopier::Result FileCopier::Verify(const std::wstring& source, const std::wstring& partial, DWORD& error) {
    constexpr DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    UniqueHandle master(CreateFileW(LongPath(source).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    // Past the cache where the file system allows it, so what is compared
    // is what reached the disk.
    const std::wstring path = LongPath(partial);
    UniqueHandle copy(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!copy) {
        copy = UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    }
    if (!master || !copy) {
        error = GetLastError();
        return Result::Failed;
    }
    char* theirs = Buffer(0);
    char* ours = Buffer(1);
    for (;;) {
        DWORD copied = 0, read = 0;
        if (!ReadPiece(copy.Get(), ours, kVerifyPiece, copied) || !ReadPiece(master.Get(), theirs, kVerifyPiece, read)) {
            error = GetLastError();
            return Result::Failed;
        }
        if (copied != read || std::memcmp(ours, theirs, copied) != 0) return Result::Mismatch;
        if (copied == 0) return Result::Done;
        if (cancel_.load()) return Result::Cancelled;
    }
}

FileCopier::Result FileCopier::CopyToPartial(const std::wstring& source, const std::wstring& destination,
                                             const FindEntry* listed, const CopyRules& rules, std::wstring& partial,
                                             std::uint64_t& copied, DWORD& error) {
    // What the run decided on: the listing's figures, or the file's own
    // where there was no listing (a link's listing describes the link).
    std::optional<SourceState> before;
    if (listed && !(listed->attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        before = SourceState{listed->size, listed->write};
    } else {
        before = ReadState(source);
    }
    Progress progress{*this, source};
    const std::wstring folder = FolderOf(destination);
    unsigned number = GetTickCount() ^ (GetCurrentThreadId() << 16);
    for (int attempt = 0;; ++attempt, ++number) {
        partial = folder + PartialCopyName(number);
        // The system's copy: data, attributes, last-write time, and on
        // Windows also the alternate streams, encryption and sparseness;
        // its progress routine sees each piece and can stop it.
        if (CopyFileExW(LongPath(source).c_str(), LongPath(partial).c_str(), OnProgress, &progress, nullptr,
                        COPY_FILE_FAIL_IF_EXISTS)) {
            break;
        }
        error = GetLastError();
        if (progress.cancelled) return Result::Cancelled;
        if (progress.fault) error = progress.fault;
        // Someone else's partial copy under that name: never touched.
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
            if (attempt < 63) continue;
            partial.clear();
        }
        // What a failed copy left under its name is removed by the caller.
        return Result::Failed;
    }
    // A copy whose progress the system did not report has its end as its
    // progress: the bytes are shown and 中止 is heard once per file.
    const std::optional<SourceState> after = ReadState(source);
    if (!progress.reported && !Progressed(progress, after ? after->size : 0)) {
        if (progress.cancelled) return Result::Cancelled;
        error = progress.fault;
        return Result::Failed;
    }
    if ((error = InjectedFault(FaultPoint::Copy, destination))) return Result::Failed;
    if ((error = InjectedFault(FaultPoint::Written, partial))) return Result::Failed;
    if (rules.allTimes) CopyTimes(source, partial);
    // A source that a program wrote to while it was read is a mix of two
    // states; one that differs from what the run decided on was judged by
    // figures that are no longer true. (Asked after the progress above,
    // where a test changes the file as a writer would.)
    const std::optional<SourceState> now = progress.reported ? ReadState(source) : after;
    if (!before || !now || !(*before == *now)) return Result::Changed;
    copied = now->size;
    if (rules.verify) {
        if ((error = FlushToDisk(partial))) return Result::Failed;
        return Verify(source, partial, error);
    }
    return Result::Done;
}

bool FileCopier::PutInPlace(const std::wstring& partial, const std::wstring& destination, bool destinationMissing,
                         bool flushed, DWORD& error, std::wstring& reason) {
    if ((error = InjectedFault(FaultPoint::Replace, destination))) return false;
    if (destinationMissing) {
        // A rename that replaces nothing: no question about an old file.
        // Should one have come since the check, it fails, and the careful
        // way below keeps that file's spelling and flushes before replacing.
        if (MoveNoReplace(partial, destination, error)) return true;
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return false;
        error = 0;
    }
    std::wstring heldBy;
    DWORD lookError = 0;
    const std::optional<FindEntry> old = ReadNamedEntry(destination, lookError, &heldBy);
    if (!heldBy.empty()) {
        // Another file holds the name as its short name: it is not this
        // file's old copy, and stays as it is.
        error = ERROR_FILE_EXISTS;
        reason = Format(LoadText(IDS_SHORT_NAME_HELD).c_str(), heldBy.c_str());
        return false;
    }
    std::wstring target = destination;
    const bool replacing = old && !old->IsFolder();
    // A read-only, hidden or system file refuses to be replaced.
    constexpr DWORD guarded = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const bool unguard = replacing && (old->attributes & guarded);
    if (replacing) {
        // The old copy keeps its spelling (a case rename is a step of its
        // own), and is given up only for data that has reached the disk.
        target = FolderOf(destination) + old->name;
        if (!flushed && (error = FlushToDisk(partial))) return false;
        if (unguard) SetFileAttributesW(LongPath(target).c_str(), old->attributes & ~guarded);
    }
    if (MoveFileExW(LongPath(partial).c_str(), LongPath(target).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    error = GetLastError();
    if (unguard) SetFileAttributesW(LongPath(target).c_str(), old->attributes);
    return false;
}

namespace {

ErrorCall CopyProblem(const std::wstring& source, const std::wstring& destination, unsigned textId, unsigned titleId) {
    ErrorCall call;
    call.level = LevelError;
    call.body = Format(LoadText(textId).c_str(), source.c_str(), destination.c_str());
    call.detail = source;
    call.title = LoadText(titleId);
    return call;
}

}  // namespace

FileCopier::Outcome FileCopier::Copy(const std::wstring& source, const std::wstring& destination,
                                     bool destinationMissing, const FindEntry* listed, const CopyRules& rules,
                                     bool& copiedAgain) {
    // The data goes to a partial copy beside the destination and takes its
    // place in one rename: the backup file is the old one or the new one,
    // whenever the copy stops.
    for (;;) {
        std::wstring partial, reason;
        DWORD error = 0;
        std::uint64_t copied = 0;
        const Result result =
            CopyToPartial(source, destination, copiedAgain ? nullptr : listed, rules, partial, copied, error);
        if (result == Result::Done && PutInPlace(partial, destination, destinationMissing, rules.verify, error, reason)) {
            Shown(0);
            return {Outcome::Kind::Done, {}, copied};
        }
        if (!partial.empty()) FileOps::RemovePartial(partial);
        Shown(0);
        switch (result) {
            case Result::Cancelled:
                return {Outcome::Kind::Stopped, {}, 0};
            case Result::Changed:
                if (!copiedAgain) {
                    copiedAgain = true;
                    continue;
                }
                return {Outcome::Kind::Failed, CopyProblem(source, destination, IDS_COPY_CHANGED_BODY, IDS_COPY_CHANGED), 0};
            case Result::Mismatch:
                return {Outcome::Kind::Failed, CopyProblem(source, destination, IDS_VERIFY_BODY, IDS_VERIFY_FAILED), 0};
            default:
                break;
        }
        ErrorCall call;
        call.body = Format(LoadText(IDS_COPY_FAILED_BODY).c_str(), source.c_str(), destination.c_str(),
                           (reason.empty() ? SystemErrorText(error) : reason).c_str());
        call.detail = reason.empty() ? WithoutFinalBreak(SystemErrorText(error)) : reason;
        call.title = LoadText(IDS_COPY_FAILED);
        return {Outcome::Kind::Failed, call, 0};
    }
}

bool FileOps::Copy(const std::wstring& source, const std::wstring& destination, bool destinationMissing,
                   const FindEntry* listed) {
    bool copiedAgain = false;
    const CopyRules rules = Rules();
    return Retrying(std::nullopt, destination, [&](DWORD) {
        const FileCopier::Outcome outcome =
            copier_.Copy(source, destination, destinationMissing, listed, rules, copiedAgain);
        switch (outcome.kind) {
            case FileCopier::Outcome::Kind::Done:
                copiedBytes_ += outcome.copied;
                return Attempt::Done();
            case FileCopier::Outcome::Kind::Stopped:
                return Attempt::Stopped();
            case FileCopier::Outcome::Kind::Failed:
                break;
        }
        return Attempt::Failed(outcome.problem);
    });
}

}  // namespace tandrel
